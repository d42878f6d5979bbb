// Phrase cipher: decoding any text agrees with a direct reading of the hex-text rules, fails
// only with the conversion error and then keeps Output; and a text encoded from the fuzz
// input decodes back to that text under the same key.
#include <optional>
#include <string>

#include "common/error.h"
#include "property.h"
#include "textenc/encryp.h"
#include "textenc/panecodec.h"

namespace {
constexpr std::string_view kDefaultKey = "Vor Kal";

std::optional<int> HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return std::nullopt;
}

// The group of one or two characters at 1-based position q; nullopt when it is empty or holds
// anything but hexadecimal digits.
std::optional<int> Group(std::string_view hex, std::size_t q)
{
    if (q > hex.size()) return std::nullopt;
    int value = 0;
    for (char c : hex.substr(q - 1, 2)) {
        const auto digit = HexDigit(c);
        if (!digit) return std::nullopt;
        value = value * 16 + *digit;
    }
    return value;
}

struct Decoding {
    std::string text;
    std::optional<std::string> badGroup;  // set when a group cannot be read
};

// The decoding rules step by step, positions 1-based as they are stated.
Decoding Decoded(std::string_view hex, std::string_view key)
{
    const std::size_t length = key.size();
    const std::string_view used = key.empty() ? kDefaultKey : key;
    const std::size_t t = hex.size();
    const auto groupText = [&](std::size_t q) { return std::string(q > t ? "" : hex.substr(q - 1, 2)); };
    auto b = Group(hex, 1);
    if (!b) return {"", groupText(1)};
    std::string text;
    std::size_t j = 0;
    std::size_t q = 3;
    do {
        const auto c = Group(hex, q);
        if (!c) return {"", groupText(q)};
        j = j < length ? j + 1 : 1;
        const int d = *c ^ static_cast<std::uint8_t>(used[j - 1]);
        const int code = *b < d ? d - *b : d + 255 - *b;
        text += static_cast<char>(code == 0 ? 255 : code);  // a NUL would cut the pane's text
        b = c;
        q += 2;
    } while (q < t);
    return {text, std::nullopt};
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t startByte = input.Byte();
    const std::string key(input.Take(input.Byte() % 12));
    const std::string text(input.Rest());

    TRixEncryption rix([=] { return startByte; });
    rix.SetKey(key);
    rix.SetAction(TActionType::atDecryption);
    rix.SetInput(text);
    rix.SetOutput("earlier");
    const Decoding expected = text.empty() ? Decoding{} : Decoded(text, key);
    try {
        rix.Execute();
        Require(!expected.badGroup && rix.Output() == expected.text, "decoding follows the hex-text rules");
    } catch (const ZorvantaError& e) {
        Require(expected.badGroup.has_value(), "a readable hex text decodes");
        Require(SameMessage(e.what(), "'$" + Utf8FromBytes(*expected.badGroup) + "' ist kein gültiger Integerwert"),
                "a bad group raises the conversion error quoting it");
        Require(rix.Output() == "earlier", "a failed decoding keeps Output");
    }

    // A pane text never holds a NUL: every such text comes back whole.
    const std::string paneText = text.substr(0, text.find('\0'));
    rix.SetAction(TActionType::atEncryption);
    rix.SetInput(paneText);
    rix.Execute();
    const std::string hex = rix.Output();
    Require(hex.size() == (paneText.empty() ? 0 : 2 * paneText.size() + 2), "the hex text has two digits per byte");
    Require(hex.find_first_not_of("0123456789ABCDEF") == std::string::npos, "the hex text uses 0-9 and A-F only");
    rix.SetAction(TActionType::atDecryption);
    rix.SetInput(hex);
    rix.Execute();
    Require(rix.Output() == paneText, "decoding restores the encoded text");
    return 0;
}
