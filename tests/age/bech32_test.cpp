// Bech32 as age writes its keys, against BIP 173's own test strings and the keys age-keygen made.
#include <gtest/gtest.h>

#include <string>

#include "age/bech32.h"
#include "agefile.h"

TEST(Bech32, Bip173ValidStringsDecodeAndEncodeBack)
{
    const std::string valid[] = {
        "a12uel5l",
        "an83characterlonghumanreadablepartthatcontainsthenumber1andtheexcludedcharactersbio1tt5tgs",
        "abcdef1qpzry9x8gf2tvdw0s3jn54khce6mua7lmqqqxw",
        "split1checkupstagehandshakeupstreamerranterredcaperred2y9e3w",
        "?1ezyfcl",
        "a1lu9cgf6y",  // one byte 0xFF
    };
    for (const std::string& text : valid) {
        const auto decoded = DecodeBech32(text);
        ASSERT_TRUE(decoded) << text;
        // BIP 173's strings carry 5-bit data that need not fill whole bytes; those that do
        // encode back to themselves.
        if (text.size() - decoded->hrp.size() - 7 == (decoded->data.size() * 8 + 4) / 5) {
            EXPECT_EQ(EncodeBech32(decoded->hrp, decoded->data), text);
        }
    }
    const auto upper = DecodeBech32("A12UEL5L");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->hrp, "a");
}

TEST(Bech32, StoredKeysRoundTripAndChangesAreRefused)
{
    for (const char* keyFile : {"key1.txt", "key2.txt", "key3.txt"}) {
        const std::string recipient = PrintedRecipient(keyFile);
        const auto decoded = DecodeBech32(recipient);
        ASSERT_TRUE(decoded) << recipient;
        EXPECT_EQ(decoded->hrp, "age");
        EXPECT_EQ(decoded->data.size(), 32u);
        EXPECT_EQ(EncodeBech32("age", decoded->data), recipient);

        // Every single-character change is caught by the checksum or the alphabet.
        for (std::size_t i = 4; i < recipient.size(); ++i) {
            std::string changed = recipient;
            changed[i] = changed[i] == 'q' ? 'p' : 'q';
            EXPECT_FALSE(DecodeBech32(changed)) << changed;
        }
    }
}

TEST(Bech32, InvalidStringsAreRefused)
{
    const std::string recipient = PrintedRecipient("key1.txt");
    std::string mixed = recipient;
    mixed[10] = static_cast<char>(std::toupper(mixed[10]));
    const std::string refused[] = {
        mixed,  // mixed case
        "A12UeL5L",
        recipient.substr(0, recipient.size() - 1) + (recipient.back() == 'q' ? "p" : "q"),  // checksum
        "ag" + recipient.substr(3),  // another prefix: the checksum covers it
        "x" + recipient,
        "A1G7SGD8",                  // checksum over the upper-case hrp
        "pzry9x0s0muk",              // no separator
        "1pzry9x0s0muk",             // empty hrp
        "10a06t8",
        "1qzzfhee",
        "x1b4n0q5v",                 // 'b' is not in the alphabet
        "li1dgmt3",                  // checksum shorter than 6
        std::string("de1lg7wt") + '\xFF',
        std::string(" 1nwldj5"),
        "a 12uel5l",
        "a1",
        "a1lacwuu8k",   // 0xFF with non-zero padding bits (valid checksum)
        "a1qqqd87cpp",  // a whole spare character of padding (valid checksum)
    };
    for (const std::string& text : refused) EXPECT_FALSE(DecodeBech32(text)) << text;
}
