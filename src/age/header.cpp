#include "age/header.h"

#include <algorithm>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/armor.h"
#include "age/base64.h"

namespace {
constexpr std::string_view kIntro = "age-encryption.org/";
constexpr std::string_view kVersionLine = "age-encryption.org/v1\n";
// The version line after a transfer as text changed its line end.
constexpr std::string_view kCrLfVersionLine = "age-encryption.org/v1\r\n";
constexpr std::string_view kStanzaMark = "-> ";
constexpr std::string_view kMacMark = "---";
constexpr std::size_t kBodyColumns = 64;
constexpr std::size_t kMacChars = 43;

std::string_view TextOf(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsArgumentChar(char c)
{
    return c >= 0x21 && c <= 0x7E;
}

// The header's lines one by one, each without its LF.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}

    std::size_t position() const { return pos_; }
    std::size_t number() const { return number_ + 1; }  // of the next line, from 1
    bool AtEnd() const { return pos_ == text_.size(); }
    // The next line without consuming it; a last line without its LF counts as missing.
    std::string_view Peek() const
    {
        const std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) throw AgeError::HeaderDamaged("the header ends early");
        return text_.substr(pos_, end - pos_);
    }
    std::string_view Next()
    {
        const std::string_view line = Peek();
        pos_ += line.size() + 1;
        ++number_;
        return line;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;  // lines consumed
};

std::vector<std::string> Arguments(std::string_view line)
{
    std::vector<std::string> args;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        const std::string_view arg = line.substr(start, end - start);
        if (arg.empty() || !std::all_of(arg.begin(), arg.end(), IsArgumentChar))
            throw AgeError::HeaderDamaged("bad stanza line");
        args.emplace_back(arg);
        if (end == line.size()) return args;
        start = end + 1;
    }
}

// Body lines of 64 columns up to a shorter one, which may be empty.
std::vector<std::uint8_t> Body(Lines& lines)
{
    std::string text;
    for (;;) {
        if (lines.AtEnd()) throw AgeError::HeaderDamaged("the header ends early");
        const std::string_view line = lines.Peek();
        if (line.starts_with('-')) throw AgeError::HeaderDamaged("a stanza body without its final short line");
        if (line.size() > kBodyColumns) throw AgeError::HeaderDamaged("a stanza body line longer than 64 columns");
        lines.Next();
        text += line;
        if (line.size() < kBodyColumns) break;
    }
    auto body = DecodeBase64(text, false);
    if (!body) throw AgeError::HeaderDamaged("bad base64 in a stanza");
    return std::move(*body);
}

Stanza ReadStanza(Lines& lines)
{
    const std::size_t line = lines.number();
    std::vector<std::string> args = Arguments(lines.Next().substr(kStanzaMark.size()));
    Stanza stanza{std::move(args.front()), {}, {}};
    args.erase(args.begin());
    stanza.args = std::move(args);
    stanza.body = Body(lines);
    stanza.line = line;
    return stanza;
}

std::array<std::uint8_t, 32> ReadMac(std::string_view line)
{
    std::array<std::uint8_t, 32> mac{};
    const auto decoded = line.size() == kMacMark.size() + 1 + kMacChars && line[kMacMark.size()] == ' '
                             ? DecodeBase64(line.substr(kMacMark.size() + 1), false)
                             : std::nullopt;
    if (!decoded) throw AgeError::HeaderDamaged("bad MAC line");
    std::copy(decoded->begin(), decoded->end(), mac.begin());
    return mac;
}
}  // namespace

AgeError MalformedStanza(const Stanza& stanza)
{
    return AgeError::HeaderDamaged("the " + stanza.type + " stanza at line " + std::to_string(stanza.line) +
                                   " is malformed");
}

std::optional<std::size_t> FindHeaderEnd(std::span<const std::uint8_t> bytes)
{
    const std::string_view text = TextOf(bytes.first(std::min(bytes.size(), kMaxHeaderBytes)));
    const std::size_t introBytes = std::min(text.size(), kIntro.size());
    if (text.substr(0, introBytes) != kIntro.substr(0, introBytes)) throw AgeError::NotAgeFile();
    const std::size_t versionEnd = text.find('\n');
    if (versionEnd != std::string_view::npos) {
        if (text.substr(0, versionEnd + 1) == kCrLfVersionLine)
            throw AgeError::HeaderDamaged("its lines end in CR LF, as a transfer as text leaves them: copy the file "
                                          "as it is");
        if (text.substr(0, versionEnd + 1) != kVersionLine)
            throw AgeError::HeaderDamaged("an age version other than v1");
        // Stanza lines start with "->" and body lines with base64, so the first line that
        // starts with "---" is the MAC line.
        const std::size_t mac = text.find("\n---", versionEnd);
        const std::size_t end = mac == std::string_view::npos ? mac : text.find('\n', mac + 1);
        if (end != std::string_view::npos) return end + 1;
    }
    if (bytes.size() >= kMaxHeaderBytes) throw AgeError::HeaderTooLarge(kMaxHeaderBytes);
    return std::nullopt;
}

Header ParseHeader(std::string_view text)
{
    Lines lines(text);
    if (text.substr(0, kVersionLine.size()) != kVersionLine) throw AgeError::HeaderDamaged("bad version line");
    lines.Next();
    Header header;
    while (!lines.AtEnd() && lines.Peek().starts_with(kStanzaMark)) header.stanzas.push_back(ReadStanza(lines));
    if (header.stanzas.empty()) throw AgeError::HeaderDamaged("no stanza");
    if (lines.AtEnd() || !lines.Peek().starts_with(kMacMark)) throw AgeError::HeaderDamaged("bad stanza line");

    header.macInput = std::string(text.substr(0, lines.position() + kMacMark.size()));
    header.mac = ReadMac(lines.Next());
    if (!lines.AtEnd()) throw AgeError::HeaderDamaged("data after the MAC line");
    return header;
}

std::string WriteHeader(const std::vector<Stanza>& stanzas, const SecretBytes& fileKey)
{
    std::string text(kVersionLine);
    for (const Stanza& stanza : stanzas) {
        text.append(kStanzaMark).append(stanza.type);
        for (const std::string& arg : stanza.args) text.append(" ").append(arg);
        text += '\n';
        const std::string body = EncodeBase64(stanza.body, false);
        for (std::size_t start = 0;; start += kBodyColumns) {
            const std::string_view line = std::string_view(body).substr(start, kBodyColumns);
            text.append(line).append("\n");
            if (line.size() < kBodyColumns) break;
        }
    }
    text.append(kMacMark);
    const std::string mac = EncodeBase64(HeaderMac(text, fileKey), false);
    text.append(" ").append(mac).append("\n");
    if (text.size() > kMaxHeaderBytes)
        throw AgeError(AgeFailure::HeaderTooLarge, "too many recipients: the header would be larger than " +
                                                       std::to_string(kMaxHeaderBytes >> 20) +
                                                       " MiB, which zorvanta does not open");
    return text;
}

std::array<std::uint8_t, 32> HeaderMac(std::string_view macInput, const SecretBytes& fileKey)
{
    return HmacSha256(Hkdf(fileKey, {}, "header", 32), AsBytes(macInput));
}

bool LooksLikeAge(std::span<const std::uint8_t> firstBytes)
{
    const std::string_view text = TextOf(firstBytes);
    return text.starts_with(kVersionLine) || text.starts_with(kCrLfVersionLine) || IsArmored(firstBytes);
}

bool IsArmored(std::span<const std::uint8_t> firstBytes)
{
    std::string_view text = TextOf(firstBytes);
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    // Whitespace up to the end of the first bytes, or a BEGIN line cut there, begins only
    // armor: no other format starts so, and the armor may follow any amount of it.
    const std::size_t start = std::min(text.find_first_not_of(kArmorWhitespace), text.size());
    return !text.empty() && kArmorBegin.starts_with(text.substr(start, kArmorBegin.size()));
}
