#include <gtest/gtest.h>

#include <iconv.h>

#include "platform/cp1252.h"
#include "fileenc/passphrase.h"
#include "support/testdata.h"

TEST(Passphrase, Cp1252WhereEveryCharacterHasAByteElseUtf8AsGiven)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"abc XYZ 019", "6162632058595A20303139"},
        {"caf\u00E9 \u00FC\u00DF", "636166E920FCDF"},   // Latin-1 letters
        {"\u20AC\u2122\u0178", "80999F"},                // from the 0x80..0x9F row
        {"\u00E9\u03A9", "C3A9CEA9"},                   // Omega has no byte: the whole text stays UTF-8
        {"\u4E2D\u6587", "E4B8ADE69687"},
        {std::string("\xE9\xFF", 2), "E9FF"},            // not UTF-8: taken byte for byte
        {std::string("\xC3", 1), "C3"},
    };
    for (const auto& [text, hex] : cases) EXPECT_EQ(ToHex(PassphraseBytes(text)), hex) << text;
}

TEST(Cp1252, AgreesWithTheHostConverterAndMapsItsHolesToC1Controls)
{
    iconv_t cd = ::iconv_open("UTF-32LE", "CP1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int holes = 0;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        char32_t out = 0;
        char* pin = &in;
        char* pout = reinterpret_cast<char*>(&out);
        std::size_t inLeft = 1, outLeft = sizeof out;
        const bool known = ::iconv(cd, &pin, &inLeft, &pout, &outLeft) != static_cast<std::size_t>(-1);
        const char32_t ours = CodePointFromCp1252(static_cast<std::uint8_t>(b));
        if (known) {
            EXPECT_EQ(ours, out) << b;
        } else {
            ++holes;
            EXPECT_EQ(ours, static_cast<char32_t>(b)) << b;
        }
        EXPECT_EQ(Cp1252FromCodePoint(ours), static_cast<std::uint8_t>(b));
    }
    ::iconv_close(cd);
    EXPECT_EQ(holes, 5);
    EXPECT_FALSE(Cp1252FromCodePoint(U'\u03A9').has_value());
    EXPECT_FALSE(Cp1252FromCodePoint(0x110000).has_value());
}
