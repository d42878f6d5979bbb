#include <gtest/gtest.h>

#include "textenc/panecodec.h"

TEST(PaneCodec, DisplayFormOfBytes)
{
    const struct {
        std::string bytes;
        std::u16string display;
    } cases[] = {
        {"a\r\nb", u"a\u2029b"},
        {"\r", u"\u240D"},
        {"\n", u"\u240A"},
        {"\n\r", u"\u240A\u240D"},
        {"\r\r\n", u"\u240D\u2029"},
        {"\x01\x1F\t\x7F", u"\u2401\u241F\t\u2421"},
        {"\x80\x81\x8D\x8F\x90\x9D\x9F", u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178"},
        {" ~\xA0\xE9\xFF", u" ~\u00A0\u00E9\u00FF"},
        {std::string("a\0b", 3), u"a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayFromBytes(c.bytes), c.display) << c.bytes;
        EXPECT_EQ(BytesFromDisplay(c.display), c.bytes.substr(0, c.bytes.find('\0')));
    }
}

TEST(PaneCodec, EveryDisplayTextHasBytes)
{
    const struct {
        std::u16string display;
        std::string bytes;
    } cases[] = {
        {u"a\nb\rc\r\nd\u2028e\u2029f", "a\r\nb\r\nc\r\nd\r\ne\r\nf"},
        {u"\u20AC\u00E9\u0081", "\x80\xE9\x81"},
        {u"\u03A9", "?"},
        {u"\U0001F600x", "?x"},  // a surrogate pair is one character
        {u"\xD800x\xDC00", "?x?"},  // lone surrogates
        {u"\u2400", "?"},  // NUL, shown or not, has no place in the pane
        {std::u16string(1, u'\0'), "?"},
        {u"\u0080\u009F", "??"},  // C1 controls that Windows-1252 lacks
        {u"\x01\t", "\x01\t"},
    };
    for (const auto& c : cases) EXPECT_EQ(BytesFromDisplay(c.display), c.bytes) << c.bytes;
    EXPECT_EQ(CanonicalDisplay(u"a\r\n\x01\U0001F600\u20AC"), u"a\u2029\u2401?\u20AC");
}

TEST(PaneCodec, EveryByteRoundTrips)
{
    std::string bytes;
    for (int b = 1; b <= 255; ++b) bytes += static_cast<char>(b);
    bytes += "\r\n\n\r\r\r\n";
    EXPECT_EQ(BytesFromDisplay(DisplayFromBytes(bytes)), bytes);
}

TEST(PaneCodec, Utf8ForMessages)
{
    EXPECT_EQ(Utf8FromBytes("$\xE9\x80\x81z\r\n"), "$\u00E9\u20AC\u0081z\r\n");
}
