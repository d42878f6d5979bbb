#include "age/bech32.h"

#include <algorithm>
#include <array>

namespace {
constexpr char kCharset[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
constexpr std::size_t kChecksumChars = 6;

std::uint32_t Polymod(std::span<const std::uint8_t> values)
{
    constexpr std::uint32_t kGenerator[] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
    std::uint32_t check = 1;
    for (std::uint8_t value : values) {
        const std::uint32_t top = check >> 25;
        check = (check & 0x1ffffff) << 5 ^ value;
        for (int i = 0; i < 5; ++i)
            if ((top >> i) & 1) check ^= kGenerator[i];
    }
    return check;
}

// The checksum's input: the hrp expanded as BIP 173 says, then the 5-bit data values.
SecretBytes ChecksumInput(std::string_view hrp, std::span<const std::uint8_t> values)
{
    SecretBytes input;
    input.reserve(hrp.size() * 2 + 1 + values.size() + kChecksumChars);
    for (char c : hrp) input.push_back(static_cast<std::uint8_t>(static_cast<unsigned char>(c) >> 5));
    input.push_back(0);
    for (char c : hrp) input.push_back(static_cast<std::uint8_t>(c & 31));
    input.insert(input.end(), values.begin(), values.end());
    return input;
}

// Regroups bits; when widening, leftover bits must be fewer than a group and all zero.
std::optional<SecretBytes> Regroup(std::span<const std::uint8_t> values, int from, int to)
{
    SecretBytes out;
    std::uint32_t bits = 0;
    int count = 0;
    const std::uint32_t mask = (1u << to) - 1;
    for (std::uint8_t value : values) {
        bits = bits << from | value;
        count += from;
        while (count >= to) {
            count -= to;
            out.push_back(static_cast<std::uint8_t>((bits >> count) & mask));
        }
    }
    if (from < to) {
        if (count >= from || (bits & ((1u << count) - 1)) != 0) return std::nullopt;
    } else if (count > 0) {
        out.push_back(static_cast<std::uint8_t>((bits << (to - count)) & mask));
    }
    return out;
}

int CharsetValue(char c)
{
    const char* found = std::find(kCharset, kCharset + 32, c);
    return found == kCharset + 32 ? -1 : static_cast<int>(found - kCharset);
}
}  // namespace

SecretBytes EncodeSecretBech32(std::string_view hrp, std::span<const std::uint8_t> data)
{
    SecretBytes values = *Regroup(data, 8, 5);
    SecretBytes input = ChecksumInput(hrp, values);
    input.resize(input.size() + kChecksumChars, 0);
    const std::uint32_t checksum = Polymod(input) ^ 1;
    for (std::size_t i = 0; i < kChecksumChars; ++i)
        values.push_back(static_cast<std::uint8_t>((checksum >> (5 * (kChecksumChars - 1 - i))) & 31));

    SecretBytes text(hrp.begin(), hrp.end());
    text.push_back('1');
    for (std::uint8_t value : values) text.push_back(static_cast<std::uint8_t>(kCharset[value]));
    return text;
}

std::string EncodeBech32(std::string_view hrp, std::span<const std::uint8_t> data)
{
    return std::string(AsText(EncodeSecretBech32(hrp, data)));
}

std::optional<Bech32Data> DecodeBech32(std::string_view text)
{
    const bool hasLower = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    const bool hasUpper = std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (hasLower && hasUpper) return std::nullopt;
    if (std::any_of(text.begin(), text.end(), [](char c) { return c < 33 || c > 126; })) return std::nullopt;

    SecretBytes lower(text.begin(), text.end());
    for (auto& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<std::uint8_t>(c - 'A' + 'a');
    const std::string_view lowerText = AsText(lower);
    const std::size_t separator = lowerText.rfind('1');
    if (separator == std::string_view::npos || separator == 0 || lowerText.size() - separator - 1 < kChecksumChars)
        return std::nullopt;

    SecretBytes values;
    for (char c : lowerText.substr(separator + 1)) {
        const int value = CharsetValue(c);
        if (value < 0) return std::nullopt;
        values.push_back(static_cast<std::uint8_t>(value));
    }
    const std::string_view hrp = lowerText.substr(0, separator);
    if (Polymod(ChecksumInput(hrp, values)) != 1) return std::nullopt;

    values.resize(values.size() - kChecksumChars);
    auto data = Regroup(values, 5, 8);
    if (!data) return std::nullopt;
    return Bech32Data{std::string(hrp), std::move(*data)};
}
