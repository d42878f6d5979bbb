// The header's text: where it ends in a file, its strict grammar, its MAC, and format detection.
#include <gtest/gtest.h>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/base64.h"
#include "age/header.h"
#include "agefile.h"

namespace {
// The header of x25519.age, as age wrote it, in pieces.
const std::string kVersion = "age-encryption.org/v1\n";
const std::string kStanza =
    "-> X25519 prmPDXgCl7nutBZe3Uxy5C5Th7s3EbP0tXndjqqDnj4\n22GzWdQvqXaFEB+t1nA6REbMEryNutb4jBIXjTETSDI\n";
const std::string kMac = "--- HGQW3W+aCP2ktsNbbQiFzYRs5vNgTsMYJQPIW7Cy7Vg\n";
const std::string kFull(64, 'A');

Bytes BytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// The failure ParseHeader raises for text, with its message; nullopt when it parses.
std::optional<std::pair<AgeFailure, std::string>> ParseFailure(const std::string& text)
{
    try {
        ParseHeader(text);
    } catch (const AgeError& error) {
        return std::pair{error.failure(), std::string(error.what())};
    }
    return std::nullopt;
}
}  // namespace

TEST(Header, StoredHeaderParsesToItsParts)
{
    const Header header = ParseHeader(kVersion + kStanza + kMac);
    ASSERT_EQ(header.stanzas.size(), 1u);
    EXPECT_EQ(header.stanzas[0].type, "X25519");
    EXPECT_EQ(header.stanzas[0].args, std::vector<std::string>{"prmPDXgCl7nutBZe3Uxy5C5Th7s3EbP0tXndjqqDnj4"});
    EXPECT_EQ(header.stanzas[0].body.size(), 32u);
    EXPECT_EQ(header.macInput, kVersion + kStanza + "---");
    EXPECT_EQ(EncodeBase64(header.mac, false), "HGQW3W+aCP2ktsNbbQiFzYRs5vNgTsMYJQPIW7Cy7Vg");

    // Bodies of a full line and an empty last line, or of the empty line alone, and several
    // arguments are what the grammar allows too.
    EXPECT_FALSE(ParseFailure(kVersion + "-> t\n" + kFull + "\n\n" + kMac));
    EXPECT_FALSE(ParseFailure(kVersion + "-> t a b ~!{\n\n" + kStanza + kMac));
}

TEST(Header, EveryFaultTheGrammarForbidsIsDamage)
{
    const std::string macChars = kMac.substr(4, 43);
    const struct {
        const char* fault;
        std::string text;
        const char* detail;
    } cases[] = {
        {"empty", "", "bad version line"},
        {"other version", "age-encryption.org/v2\n" + kStanza + kMac, "bad version line"},
        {"CRLF line ends", "age-encryption.org/v1\r\n" + kStanza + kMac, "bad version line"},
        {"no stanza", kVersion + kMac, "no stanza"},
        {"no space after ->", kVersion + "->X25519 a\n\n" + kMac, "no stanza"},
        {"no argument", kVersion + "-> \n\n" + kMac, "bad stanza line"},
        {"two spaces", kVersion + "-> X25519  a\n\n" + kMac, "bad stanza line"},
        {"trailing space", kVersion + "-> X25519 a \n\n" + kMac, "bad stanza line"},
        {"tab in argument", kVersion + "-> X25519 a\tb\n\n" + kMac, "bad stanza line"},
        {"CR in argument", kVersion + "-> X25519 a\r\n\n" + kMac, "bad stanza line"},
        {"non-ASCII argument", kVersion + "-> X25519 \xC3\xA9\n\n" + kMac, "bad stanza line"},
        {"line between stanza and MAC", kVersion + kStanza + "junk\n" + kMac, "bad stanza line"},
        {"65-column body line", kVersion + "-> t\n" + kFull + "A\n\n" + kMac,
         "a stanza body line longer than 64 columns"},
        {"no final short line", kVersion + "-> t\n" + kFull + "\n" + kMac,
         "a stanza body without its final short line"},
        {"no body line", kVersion + "-> t\n" + kMac, "a stanza body without its final short line"},
        {"body then nothing", kVersion + "-> t\n" + kFull + "\n", "the header ends early"},
        {"padded body", kVersion + "-> t\nAA==\n" + kMac, "bad base64 in a stanza"},
        {"non-zero trailing bits", kVersion + "-> t\nAB\n" + kMac, "bad base64 in a stanza"},
        {"one spare character", kVersion + "-> t\nAAAAA\n" + kMac, "bad base64 in a stanza"},
        {"space in body", kVersion + "-> t\nAA AA\n" + kMac, "bad base64 in a stanza"},
        {"MAC without space", kVersion + kStanza + "---" + macChars + "\n", "bad MAC line"},
        {"MAC of 42 characters", kVersion + kStanza + "--- " + macChars.substr(1) + "\n", "bad MAC line"},
        {"MAC of 44 characters", kVersion + kStanza + "--- " + macChars + "A\n", "bad MAC line"},
        {"MAC with trailing bits", kVersion + kStanza + "--- " + macChars.substr(0, 42) + "h\n", "bad MAC line"},
        {"MAC line without LF", kVersion + kStanza + kMac.substr(0, kMac.size() - 1), "the header ends early"},
        {"data after the MAC", kVersion + kStanza + kMac + "x", "data after the MAC line"},
    };
    for (const auto& [fault, text, detail] : cases) {
        const auto failure = ParseFailure(text);
        ASSERT_TRUE(failure) << fault;
        EXPECT_EQ(failure->first, AgeFailure::HeaderDamaged) << fault;
        EXPECT_EQ(failure->second, std::string("the header was changed or damaged (") + detail + ")") << fault;
    }
}

TEST(Header, WrittenHeadersParseBackWithTheirMac)
{
    const SecretBytes fileKey(16, 0x33);
    std::vector<Stanza> stanzas;
    for (const std::size_t n : {0, 1, 47, 48, 49, 96, 200})
        stanzas.push_back({"t" + std::to_string(n), {"a", "b" + std::to_string(n)}, Bytes(n, 0x5A)});
    const std::string text = WriteHeader(stanzas, fileKey);
    const Header header = ParseHeader(text);
    EXPECT_EQ(header.stanzas, stanzas);
    EXPECT_EQ(header.mac, HmacSha256(Hkdf(fileKey, {}, "header", 32), AsBytes(header.macInput)));
    EXPECT_EQ(FindHeaderEnd(BytesOf(text + "payload")), text.size());
}

TEST(Header, EndIsFoundOnlyOnceTheWholeHeaderIsThere)
{
    const Bytes file = AgeData("x25519.age");
    const auto end = FindHeaderEnd(file);
    ASSERT_TRUE(end);
    // Nonce, a full chunk and a final one, each with its tag, follow the header.
    EXPECT_EQ(file.size() - *end, kPayloadNonceBytes + AgeData("plain.txt").size() + 2 * kTagBytes);
    for (std::size_t n = 0; n < *end; ++n) EXPECT_FALSE(FindHeaderEnd(std::span(file).first(n))) << n;
    EXPECT_EQ(FindHeaderEnd(std::span(file).first(*end)), end);
}

TEST(Header, FirstBytesThatCannotBeAHeaderAreRefusedEarly)
{
    const auto failureOf = [](std::string_view text) -> std::optional<AgeFailure> {
        try {
            FindHeaderEnd(BytesOf(text));
        } catch (const AgeError& error) {
            return error.failure();
        }
        return std::nullopt;
    };
    EXPECT_EQ(failureOf("x"), AgeFailure::NotAgeFile);
    EXPECT_EQ(failureOf("age-encryption.org.v1\n"), AgeFailure::NotAgeFile);
    EXPECT_EQ(failureOf("-----BEGIN AGE ENCRYPTED FILE-----\n"), AgeFailure::NotAgeFile);
    EXPECT_EQ(failureOf("age-encryption.org/v2\n" + kStanza + kMac), AgeFailure::HeaderDamaged);
    EXPECT_EQ(failureOf("age-encryption.org/v1 \n"), AgeFailure::HeaderDamaged);
    EXPECT_FALSE(failureOf("age-enc"));

    // A header that never ends is refused once kMaxHeaderBytes are there.
    std::string endless = kVersion + "-> t\n";
    endless.resize(kMaxHeaderBytes - 1, 'A');
    EXPECT_FALSE(failureOf(endless));
    endless += 'A';
    EXPECT_EQ(failureOf(endless), AgeFailure::HeaderTooLarge);
}

TEST(Header, TwentyThousandRecipientsOpenAndALargerHeaderIsNeitherWrittenNorRead)
{
    const SecretBytes fileKey = GenerateFileKey();
    std::vector<Stanza> stanzas{WrapX25519(fileKey, RecipientOf(StoredIdentity("key1.txt")))};
    const Stanza other{"X25519", {EncodeBase64(Bytes(32, 3), false)}, Bytes(32, 4)};
    stanzas.resize(20000, other);
    const TempDir dir;
    WriteFile(dir.path("many.age"), EncryptInMemory(Pattern(100), stanzas, fileKey));
    Unlocking unlocking;
    unlocking.identities.push_back(StoredIdentity("key1.txt"));
    ASSERT_EQ(DecryptAgeFile(dir.path("many.age"), dir.path("plain"), unlocking), FileOpResult::Decrypted);
    EXPECT_EQ(ReadFile(dir.path("plain")), Pattern(100));

    stanzas.resize(kMaxHeaderBytes / 98 + 1, other);  // each takes 98 bytes
    const auto written = FailureOf([&] { WriteHeader(stanzas, fileKey); });
    ASSERT_TRUE(written);
    EXPECT_EQ(written->failure(), AgeFailure::HeaderTooLarge);
    EXPECT_STREQ(written->what(), "too many recipients: the header would be larger than 4 MiB, which zorvanta does "
                                  "not open");

    std::string endless = kVersion;
    while (endless.size() <= kMaxHeaderBytes) endless += kStanza;
    WriteFile(dir.path("large.age"), BytesOf(endless));
    const auto read = FailureOf([&] { CheckAgeFile(dir.path("large.age"), unlocking); });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->failure(), AgeFailure::HeaderTooLarge);
    EXPECT_STREQ(read->what(), "the header is larger than 4 MiB");
}

TEST(Header, FormatDetectionFromFirstBytes)
{
    const auto first64 = [](const Bytes& file) {
        return std::span(file).first(std::min<std::size_t>(64, file.size()));
    };
    const Bytes binary = AgeData("x25519.age");
    const Bytes armored = AgeData("x25519-armored.age");
    EXPECT_TRUE(LooksLikeAge(first64(binary)));
    EXPECT_FALSE(IsArmored(first64(binary)));
    EXPECT_TRUE(LooksLikeAge(first64(armored)));
    EXPECT_TRUE(IsArmored(first64(armored)));
    EXPECT_TRUE(IsArmored(BytesOf(" \r\n\t\n-----BEGIN AGE ENCRYPTED FILE-----\n")));
    // Behind a byte-order mark, and behind whitespace that fills the first bytes, or most of them.
    Bytes marked = BytesOf(kByteOrderMark);
    marked.insert(marked.end(), armored.begin(), armored.end());
    EXPECT_TRUE(IsArmored(first64(marked)));
    for (const std::size_t spaces : {40, 64, 200}) {
        const Bytes spaced = BytesOf(std::string(spaces, ' ') + std::string(TextOf(armored)));
        EXPECT_TRUE(IsArmored(first64(spaced))) << spaces;
        EXPECT_TRUE(LooksLikeAge(first64(spaced))) << spaces;
    }
    // A binary file whose version line ends in CR LF is age, refused for its line ends.
    std::string crlf = std::string(TextOf(binary));
    crlf.insert(crlf.find('\n'), "\r");
    EXPECT_TRUE(LooksLikeAge(first64(BytesOf(crlf))));
    const auto mangled = FailureOf([&] { FindHeaderEnd(BytesOf(crlf)); });
    ASSERT_TRUE(mangled);
    EXPECT_STREQ(mangled->what(), "the header was changed or damaged (its lines end in CR LF, as a transfer as text "
                                  "leaves them: copy the file as it is)");

    for (const char* other : {"", "age-encryption.org/v1", "age-encryption.org/v2\n", "-----BEGIN PGP MESSAGE-----\n",
                              "\xEF\xBB\xBF  x", "  -----BEGIN PGP",
                              "x-----BEGIN AGE ENCRYPTED FILE-----\n", "\x8F\x12\x00\x41 legacy check block"}) {
        EXPECT_FALSE(LooksLikeAge(BytesOf(other))) << other;
        EXPECT_FALSE(IsArmored(BytesOf(other))) << other;
    }
}
