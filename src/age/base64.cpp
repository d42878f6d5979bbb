#include "age/base64.h"

#include <array>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> kValues = [] {
    std::array<std::uint8_t, 256> values{};
    values.fill(kInvalid);
    for (std::uint8_t i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = i;
    return values;
}();

// The text without its padding; nullopt when the padding is not exactly what the length needs.
std::optional<std::string_view> WithoutPadding(std::string_view text)
{
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t pads = 0;
    while (pads < 2 && pads < text.size() && text[text.size() - 1 - pads] == '=') ++pads;
    text.remove_suffix(pads);
    if (pads > 0 && text.size() % 4 != 4 - pads) return std::nullopt;  // "====", "a===" and the like
    return text;
}
}  // namespace

std::string EncodeBase64(std::span<const std::uint8_t> bytes, bool padded)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t group = bytes[i] << 16 | bytes[i + 1] << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) text += kAlphabet[(group >> shift) & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0) return text;
    const std::uint32_t group = bytes[i] << 16 | (rest == 2 ? bytes[i + 1] << 8 : 0);
    text += kAlphabet[group >> 18];
    text += kAlphabet[(group >> 12) & 63];
    if (rest == 2) text += kAlphabet[(group >> 6) & 63];
    if (padded) text.append(3 - rest, '=');
    return text;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text, bool padded)
{
    if (padded) {
        const auto unpadded = WithoutPadding(text);
        if (!unpadded) return std::nullopt;
        text = *unpadded;
    }
    if (text.size() % 4 == 1) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() * 3 / 4);
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const std::uint8_t value = kValues[static_cast<unsigned char>(c)];
        if (value == kInvalid) return std::nullopt;
        bits = bits << 6 | value;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    // The 2 or 4 bits left over from a partial group must be zero in the canonical text.
    if ((bits & ((1u << count) - 1)) != 0) return std::nullopt;
    return bytes;
}
