#include "textenc/intconv.h"

#include <optional>
#include <string>

#include "common/error.h"

namespace {
constexpr std::int64_t kLimit = std::int64_t{1} << 32;  // beyond every accepted magnitude

std::optional<int> DigitValue(char c, int base)
{
    int value = 99;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    if (value >= base) return std::nullopt;
    return value;
}

// One or more digits and nothing else; the magnitude saturates at kLimit.
std::optional<std::int64_t> Magnitude(std::string_view digits, int base)
{
    if (digits.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        const auto digit = DigitValue(c, base);
        if (!digit) return std::nullopt;
        value = std::min(value * base + *digit, kLimit);
    }
    return value;
}

std::optional<std::int32_t> Hexadecimal(std::string_view digits)
{
    const auto value = Magnitude(digits, 16);
    if (!value || *value >= kLimit) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

std::optional<std::int32_t> Decimal(std::string_view text)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    const auto value = Magnitude(text, 10);
    if (!value) return std::nullopt;
    const std::int64_t signedValue = negative ? -*value : *value;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(signedValue);
}
}  // namespace

std::int32_t IntegerFromText(std::string_view text)
{
    const std::size_t start = std::min(text.find_first_not_of(' '), text.size());
    const std::string_view rest = text.substr(start);
    const auto value = !rest.empty() && rest.front() == '$' ? Hexadecimal(rest.substr(1)) : Decimal(rest);
    if (!value) throw ZorvantaError("'" + std::string(text) + "' ist kein gültiger Integerwert");
    return *value;
}
