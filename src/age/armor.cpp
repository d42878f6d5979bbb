#include "age/armor.h"

#include <algorithm>

#include "age/ageerror.h"
#include "age/base64.h"

namespace {
constexpr std::size_t kLineChars = 64;
constexpr std::size_t kLineBytes = kLineChars / 4 * 3;

bool IsWhitespace(char c)
{
    return kArmorWhitespace.find(c) != std::string_view::npos;
}

AgeError BadArmor(std::string_view fault)
{
    return AgeError::HeaderDamaged("bad armor: " + std::string(fault));
}
}  // namespace

void ArmorEncoder::Begin(std::string& out)
{
    if (begun_) return;
    out.append(kArmorBegin).append("\n");
    begun_ = true;
}

void ArmorEncoder::Feed(std::span<const std::uint8_t> bytes, std::string& out)
{
    Begin(out);
    while (!bytes.empty()) {
        const std::size_t take = std::min(kLineBytes - pending_.size(), bytes.size());
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (pending_.size() < kLineBytes) break;
        out.append(EncodeBase64(pending_, true)).append("\n");
        pending_.clear();
    }
}

void ArmorEncoder::Finish(std::string& out)
{
    Begin(out);
    if (!pending_.empty()) out.append(EncodeBase64(pending_, true)).append("\n");
    pending_.clear();
    out.append(kArmorEnd).append("\n");
}

void ArmorDecoder::Feed(std::span<const std::uint8_t> text, std::vector<std::uint8_t>& out)
{
    for (const std::uint8_t byte : text) {
        const char c = static_cast<char>(byte);
        const bool blank = line_.empty() && IsWhitespace(c);
        if (state_ == State::AfterEnd) {
            if (!IsWhitespace(c)) throw AgeError::TrailingData();
        } else if (state_ == State::BeforeBegin && lead_ == mark_ && mark_ < kByteOrderMark.size() &&
                   c == kByteOrderMark[mark_]) {
            lead_ = ++mark_;
        } else if (state_ == State::BeforeBegin && blank) {
            if (mark_ % kByteOrderMark.size() != 0) throw BadArmor("a broken byte-order mark");
            if (++lead_ > kMaxArmorLead) throw BadArmor("no BEGIN line within its first 1 MiB");
        } else if (c == '\n') {
            TakeLine(out);
        } else {
            // A line of 64 characters and a CR is the longest the armor has.
            if (line_.size() > kLineChars) throw BadArmor("a line longer than 64 columns");
            line_ += c;
        }
    }
}

void ArmorDecoder::Finish()
{
    if (state_ == State::AfterEnd || AtEndLine()) {
        state_ = State::AfterEnd;
        return;
    }
    throw AgeError::Truncated();
}

// A last line without its line end may still have the CR of a CR LF.
bool ArmorDecoder::AtEndLine() const
{
    const std::string_view line = std::string_view(line_).substr(0, line_.size() - line_.ends_with('\r'));
    return state_ == State::Body && sawData_ && line == kArmorEnd;
}

void ArmorDecoder::TakeLine(std::vector<std::uint8_t>& out)
{
    if (line_.ends_with('\r')) line_.pop_back();
    if (state_ == State::BeforeBegin) {
        if (line_ != kArmorBegin) throw BadArmor("no BEGIN line");
        state_ = State::Body;
    } else if (line_ == kArmorEnd) {
        if (!sawData_) throw BadArmor("no data");
        state_ = State::AfterEnd;
    } else {
        if (dataClosed_) throw BadArmor("a line after the last line");
        if (line_.empty() || line_.size() % 4 != 0) throw BadArmor("a line of a wrong length");
        const auto bytes = DecodeBase64(line_, true);
        if (!bytes) throw BadArmor("bad base64");
        out.insert(out.end(), bytes->begin(), bytes->end());
        sawData_ = true;
        dataClosed_ = line_.size() < kLineChars || line_.back() == '=';
    }
    line_.clear();
}
