#include "textenc/panecodec.h"

#include <cstdint>
#include <optional>

#include "platform/cp1252.h"

namespace {
constexpr char16_t kParagraphSeparator = u'\u2029';
constexpr char16_t kLineSeparator = u'\u2028';
constexpr char16_t kControlPictures = u'\u2400';  // U+2400 + c shows the C0 control c
constexpr char16_t kDeletePicture = u'\u2421';
constexpr std::uint8_t kDelete = 0x7F;

bool IsLineBreak(char32_t c)
{
    return c == '\r' || c == '\n' || c == kParagraphSeparator || c == kLineSeparator;
}

// The byte a display character stands for; none for NUL and for characters outside
// Windows-1252.
std::optional<std::uint8_t> ByteOf(char32_t c)
{
    if (c > kControlPictures && c < kControlPictures + 0x20) return static_cast<std::uint8_t>(c - kControlPictures);
    if (c == kDeletePicture) return kDelete;
    if (c == 0) return std::nullopt;
    return Cp1252FromCodePoint(c);
}

// Walks a UTF-16 text by characters, a surrogate pair as one and a lone surrogate as itself.
class CodePoints {
public:
    explicit CodePoints(std::u16string_view text) : text_(text) {}

    bool Done() const noexcept { return pos_ >= text_.size(); }

    char32_t Next() noexcept
    {
        const char16_t high = text_[pos_++];
        if (high >= 0xD800 && high < 0xDC00 && pos_ < text_.size() && text_[pos_] >= 0xDC00 && text_[pos_] < 0xE000) {
            const char16_t low = text_[pos_++];
            return 0x10000 + ((char32_t(high) - 0xD800) << 10) + (low - 0xDC00);
        }
        return high;
    }

    // Consumes the LF of a CR LF pair.
    void SkipIf(char16_t c) noexcept
    {
        if (!Done() && text_[pos_] == c) ++pos_;
    }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
};

char16_t DisplayOf(std::uint8_t byte)
{
    if (byte < 0x20 && byte != '\t') return static_cast<char16_t>(kControlPictures + byte);
    if (byte == kDelete) return kDeletePicture;
    return static_cast<char16_t>(CodePointFromCp1252(byte));
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::u16string DisplayFromBytes(std::string_view bytes)
{
    std::u16string display;
    display.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes.substr(i, 2) == "\r\n") {
            display += kParagraphSeparator;
            ++i;
        } else {
            display += DisplayOf(static_cast<std::uint8_t>(bytes[i]));
        }
    }
    return display;
}

std::string BytesFromDisplay(std::u16string_view display)
{
    std::string bytes;
    bytes.reserve(display.size());
    for (CodePoints chars(display); !chars.Done();) {
        const char32_t c = chars.Next();
        if (IsLineBreak(c)) {
            if (c == '\r') chars.SkipIf(u'\n');
            bytes += "\r\n";
        } else {
            bytes += static_cast<char>(ByteOf(c).value_or('?'));
        }
    }
    return bytes;
}

std::u16string CanonicalDisplay(std::u16string_view typed)
{
    return DisplayFromBytes(BytesFromDisplay(typed));
}

std::string Utf8FromBytes(std::string_view bytes)
{
    std::string utf8;
    utf8.reserve(bytes.size());
    for (char byte : bytes) AppendUtf8(utf8, CodePointFromCp1252(static_cast<std::uint8_t>(byte)));
    return utf8;
}
