#include "fileenc/passphrase.h"

#include <optional>
#include <vector>

#include "platform/cp1252.h"

namespace {
// The passphrase as code points: wiped when freed, like SecretBytes.
using SecretCodePoints = std::vector<char32_t, WipingAllocator<char32_t>>;

// Continuation bytes after a UTF-8 lead byte, or -1 for a byte that cannot lead.
int ContinuationCount(unsigned char lead)
{
    if (lead < 0x80) return 0;
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return -1;
}

// Decodes UTF-8 strictly (no overlongs, surrogates or values above U+10FFFF).
std::optional<SecretCodePoints> DecodeUtf8(std::string_view s)
{
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    SecretCodePoints out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const int extra = ContinuationCount(lead);
        if (extra < 0 || s.size() - i <= static_cast<std::size_t>(extra)) return std::nullopt;
        char32_t cp = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}
}  // namespace

SecretBytes PassphraseBytes(std::string_view utf8)
{
    auto text = DecodeUtf8(utf8);
    SecretBytes bytes;
    bytes.reserve(utf8.size());
    for (std::size_t i = 0; text && i < text->size(); ++i) {
        const auto byte = Cp1252FromCodePoint((*text)[i]);
        if (!byte) break;
        bytes.push_back(*byte);
    }
    if (!text || bytes.size() != text->size()) bytes.assign(utf8.begin(), utf8.end());
    return bytes;
}
