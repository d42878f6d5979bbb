#include <gtest/gtest.h>

#include <set>

#include "common/error.h"
#include "textenc/encryp.h"

namespace {
StartByteSource Fixed(std::uint8_t start)
{
    return [start] { return start; };
}

std::string Execute(TRixEncryption& rix, TActionType action, const std::string& input, const std::string& key = "")
{
    rix.SetInput(input);
    rix.SetKey(key);
    rix.SetAction(action);
    rix.Execute();
    return rix.Output();
}

std::string Encrypted(const std::string& text, std::uint8_t start, const std::string& key = "")
{
    TRixEncryption rix(Fixed(start));
    return Execute(rix, TActionType::atEncryption, text, key);
}

std::string Decrypted(const std::string& hex, const std::string& key = "")
{
    TRixEncryption rix;
    return Execute(rix, TActionType::atDecryption, hex, key);
}

std::string AllNonNulBytes()
{
    std::string text;
    for (int b = 1; b <= 255; ++b) text += static_cast<char>(b);
    return text;
}
}  // namespace

TEST(PhraseCipher, DefaultsOfANewComponent)
{
    TRixEncryption rix;
    EXPECT_EQ(rix.Action(), TActionType::atEncryption);
    EXPECT_EQ(rix.Input(), "");
    EXPECT_EQ(rix.Output(), "");
    EXPECT_EQ(rix.Key(), "");
}

TEST(PhraseCipher, ValuesWorkedByHand)
{
    // Empty key: every byte is mixed with "V" (0x56). 200 after 100: (200 + 100) mod 255 = 45.
    EXPECT_EQ(Encrypted("\xC8", 100), "647B");
    EXPECT_EQ(Decrypted("647B"), "\xC8");
    // Key "ab" runs a, b, a: 0x41^0x61, (0x41+0x20)^0x62, (0x41+0x03)^0x61.
    EXPECT_EQ(Encrypted("AAA", 0, "ab"), "00200325");
    EXPECT_EQ(Decrypted("00200325", "ab"), "AAA");
    // A byte below 16 gets its leading zero.
    EXPECT_EQ(Encrypted("\x56", 5, "\x01"), "055A");
}

TEST(PhraseCipher, HexTextShapeAndRoundTrips)
{
    const std::string text = AllNonNulBytes() + "\r\n\xFF\xFF\xFF" + std::string(300, 'x');
    for (int start : {0, 1, 0x56, 254, 255}) {
        for (const std::string key : {"", "V", "K", "Vor Kal", "a much longer key, with \xE9"}) {
            const std::string hex = Encrypted(text, static_cast<std::uint8_t>(start), key);
            ASSERT_EQ(hex.size(), 2 * text.size() + 2);
            EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
            EXPECT_EQ(Decrypted(hex, key), text) << "start " << start << " key " << key;
        }
    }
}

TEST(PhraseCipher, ModularChainingAlwaysRestoresCode255)
{
    // Start byte 255 and a first character of 255: modulo 255 the mixed byte is 0, which reads
    // back as 255; a NUL there would cut the rest of the text off in the pane.
    EXPECT_EQ(Encrypted("\xFF" "ab", 255).substr(0, 4), "FF56");
    EXPECT_EQ(Decrypted(Encrypted("\xFF" "ab", 255)), "\xFF" "ab");
    // A NUL cannot be told from 255 and comes back as 255.
    EXPECT_EQ(Decrypted(Encrypted(std::string("a\0b", 3), 7)), "a\xFF" "b");
}

TEST(PhraseCipher, StartByteIsDrawnAtEveryEncryption)
{
    int draws = 0;
    TRixEncryption rix([&draws] { return static_cast<std::uint8_t>(draws++); });
    EXPECT_EQ(Execute(rix, TActionType::atEncryption, "a").substr(0, 2), "00");
    EXPECT_EQ(Execute(rix, TActionType::atEncryption, "a").substr(0, 2), "01");

    std::set<std::uint8_t> starts;
    for (int i = 0; i < 64; ++i) starts.insert(ClockSeededStartByte());
    EXPECT_GT(starts.size(), 1u);
}

TEST(PhraseCipher, KeyRules)
{
    const std::string hex = Encrypted("Some text, long enough", 0x3C, "");
    // With an empty Key only the default key's first character takes part.
    EXPECT_EQ(Decrypted(hex, "V"), Decrypted(hex, ""));
    EXPECT_NE(Decrypted(hex, "Vor Kal"), Decrypted(hex, ""));
    for (const std::string key : {"W", "v", "X"}) {
        const std::string wrong = Decrypted(hex, key);
        EXPECT_NE(wrong, Decrypted(hex, ""));
        EXPECT_EQ(wrong.size(), 22u);
    }
}

TEST(PhraseCipher, ReadingTheHexText)
{
    const std::string hex = Encrypted("Hello\r\nworld", 0xA7);
    const struct {
        std::string input, output;
    } cases[] = {
        {hex, "Hello\r\nworld"},
        {hex + "7", "Hello\r\nworld"},  // one stray character is ignored
        {"ABC", "\xAE"},  // 0x0C ^ 0x56 = 90, after 0xAB: 90 + 255 - 171
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Decrypted(c.input), c.output) << c.input;

    std::string lower = hex;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(Decrypted(lower), "Hello\r\nworld");
}

TEST(PhraseCipher, MalformedHexTextsNameTheGroup)
{
    const std::string hex = Encrypted("abc", 0x10);
    const struct {
        std::string input, group;
    } cases[] = {
        {hex + "\r\n", "$\r\n"},
        {"AB", "$"},
        {"A", "$"},
        {"G0AB", "$G0"},
        {"00 1", "$ 1"},
        {"00-1", "$-1"},
        {"001G", "$1G"},
        {"00\xE9" "1", "$\xC3\xA9" "1"},  // the pane's é, quoted in UTF-8
    };
    for (const auto& c : cases) {
        TRixEncryption rix;
        Execute(rix, TActionType::atDecryption, hex);
        try {
            Execute(rix, TActionType::atDecryption, c.input);
            ADD_FAILURE() << c.input << " accepted";
        } catch (const ZorvantaError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + c.group + "' ist kein gültiger Integerwert");
        }
        EXPECT_EQ(rix.Output(), "abc") << "Output kept after " << c.input;
    }
}

TEST(PhraseCipher, EmptyInputClearsOutputInBothDirections)
{
    for (TActionType action : {TActionType::atEncryption, TActionType::atDecryption}) {
        TRixEncryption rix(Fixed(1));
        Execute(rix, TActionType::atEncryption, "abc");
        EXPECT_EQ(Execute(rix, action, ""), "");
    }
}
