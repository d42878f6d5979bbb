// Integer conversion: any text either converts to the value a plain reading of the grammar
// gives, or is refused with the conversion error quoting the whole text.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "common/error.h"
#include "property.h"
#include "textenc/intconv.h"

namespace {
// Leading spaces; then "$" and hexadecimal digits with at most 8 significant, or an optional
// sign and decimal digits within the 32-bit range; nothing after the digits.
std::optional<std::int32_t> Expected(std::string_view text)
{
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    if (!text.empty() && text.front() == '$') {
        std::string_view digits = text.substr(1);
        if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
            return std::nullopt;
        digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
        if (digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
        return static_cast<std::int32_t>(value);
    }
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
    std::int64_t magnitude = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), magnitude).ec != std::errc{}) return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto expected = Expected(text);
    try {
        const std::int32_t value = IntegerFromText(text);
        Require(expected && *expected == value, "an accepted text has the value its digits give");
    } catch (const ZorvantaError& e) {
        Require(!expected, "a well-formed number in range is accepted");
        Require(SameMessage(e.what(), "'" + std::string(text) + "' ist kein gültiger Integerwert"),
                "the error quotes the whole text");
    }
    return 0;
}
