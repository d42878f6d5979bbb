// Base64 as the age header (unpadded) and the armor (padded) use it: one text per byte string.
#include <gtest/gtest.h>

#include <string>

#include "age/base64.h"
#include "support/testdata.h"

namespace {
Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 37 + 201);
    return b;
}
}  // namespace

TEST(Base64, RfcExamplesInBothForms)
{
    // RFC 4648 section 10.
    const std::pair<std::string, std::string> examples[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, padded] : examples) {
        const Bytes bytes(plain.begin(), plain.end());
        std::string unpadded = padded;
        unpadded.erase(unpadded.find_last_not_of('=') + 1);
        EXPECT_EQ(EncodeBase64(bytes, true), padded);
        EXPECT_EQ(EncodeBase64(bytes, false), unpadded);
        EXPECT_EQ(DecodeBase64(padded, true), bytes) << padded;
        EXPECT_EQ(DecodeBase64(unpadded, false), bytes) << unpadded;
    }
}

TEST(Base64, EveryLengthAndByteRoundTrips)
{
    for (std::size_t n = 0; n <= 300; ++n) {
        const Bytes bytes = Pattern(n);
        for (bool padded : {false, true}) EXPECT_EQ(DecodeBase64(EncodeBase64(bytes, padded), padded), bytes) << n;
    }
    Bytes all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(EncodeBase64(all, false).find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"),
              std::string::npos);
}

TEST(Base64, NonCanonicalTextIsRefused)
{
    const struct {
        const char* text;
        bool padded;
    } refused[] = {
        {"Zg==", false},      // padding where none belongs
        {"Zm8=", false},
        {"Zg", true},         // padding missing
        {"Zg=", true},        // padding short
        {"Zm8==", true},      // padding too long
        {"Zg===", true},
        {"====", true},
        {"Zh", false},        // non-zero trailing bits
        {"Zh==", true},
        {"Zm9=", true},
        {"Zm9", false},
        {"Z", false},         // one character carries no byte
        {"Zm9vY", false},
        {"Zm 9v", false},     // whitespace and line breaks
        {"Zm9v\n", false},
        {"Zm9v\r\n", true},
        {"Zm-v", false},      // the URL alphabet
        {"Zm_v", false},
        {"Zm=v", false},      // padding inside
        {"Zg==Zm8=", true},
        {"Zm9v\xC3\xA9", false},
    };
    for (const auto& [text, padded] : refused) EXPECT_FALSE(DecodeBase64(text, padded)) << text << " " << padded;
}
