#include <gtest/gtest.h>

#include <variant>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "formats/dispatch.h"
#include "formats/fileformat.h"
#include "platform/ioerror.h"
#include "support/tempdir.h"

namespace {
Bytes BytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

SecretBytes Secret(std::string_view text)
{
    return SecretBytes(text.begin(), text.end());
}

// A legacy file of plaintext under passphrase with cipher, written at path.
void WriteLegacy(const std::string& path, std::string_view cipher, const SecretBytes& passphrase, const TempDir& dir)
{
    WriteFile(dir.path("plain"), Sample(100));
    const auto component = CreateCipher(cipher);
    ASSERT_EQ(EncryptFile(dir.path("plain"), path, passphrase, *component), FileOpResult::Encrypted);
}

RunInput Opened(const std::string& path)
{
    auto opened = OpenToTell(path, HostCalls());
    return std::move(std::get<RunInput>(opened));
}
}  // namespace

TEST(FileFormat, FirstBytesTellTheFormat)
{
    const struct {
        const char* first;
        FileFormat format;
    } cases[] = {
        {"age-encryption.org/v1\n-> X25519 abc\n", FileFormat::Age},
        {"-----BEGIN AGE ENCRYPTED FILE-----\nYWdl\n", FileFormat::ArmoredAge},
        {" \r\n\t-----BEGIN AGE ENCRYPTED FILE-----\n", FileFormat::ArmoredAge},
        {"age-encryption.org/v2\n", FileFormat::Legacy},  // only v1 is age; the rest could be a check block
        {"", FileFormat::Legacy},
        {"\x12\x34 any 32 bytes of a check block......", FileFormat::Legacy},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatOf(BytesOf(c.first)), c.format) << c.first;
    EXPECT_GE(kFormatPeekBytes, std::string_view("-----BEGIN AGE ENCRYPTED FILE-----").size() + 16);
}

TEST(FileFormat, AgeSuffix)
{
    const struct {
        const char* name;
        bool age;
        const char* without;
    } cases[] = {
        {"notes.txt.age", true, "notes.txt"}, {"a.age", true, "a"},         {"/dir/.age", true, "/dir/"},
        {".age", false, ".age"},              {"notes.AGE", false, "notes.AGE"}, {"age", false, "age"},
        {"notes.age.txt", false, "notes.age.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasAgeSuffix(c.name), c.age) << c.name;
        EXPECT_EQ(WithoutAgeSuffix(c.name), c.without) << c.name;
    }
}

TEST(FileFormat, FindsTheLegacyCipherWhoseCheckBlockFits)
{
    TempDir dir;
    const SecretBytes passphrase = Secret("secret");
    WriteLegacy(dir.path("enc"), "Twofish", passphrase, dir);
    const Bytes first = ReadFile(dir.path("enc"));
    EXPECT_EQ(FindLegacyCipher(first, passphrase), "Twofish");
    EXPECT_EQ(FindLegacyCipher(first, passphrase, "Twofish"), "Twofish");
    EXPECT_EQ(FindLegacyCipher(first, passphrase, "Blowfish"), std::nullopt);
    EXPECT_EQ(FindLegacyCipher(first, passphrase, "no such cipher"), std::nullopt);
    EXPECT_EQ(FindLegacyCipher(first, Secret("other"), std::nullopt), std::nullopt);
    EXPECT_EQ(FindLegacyCipher(std::span(first).first(31), passphrase), std::nullopt);
}

TEST(Dispatch, EachFormatGoesToItsEngine)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(70000));
    const SecretBytes typed = Secret("pass word");
    AgeProtection age;
    age.passphrase = typed;
    age.workFactor = 10;
    const Protection protections[] = {age, LegacyProtection{typed, "Cast256"}};
    Opening opening;
    opening.unlocking.passphrase = [&typed] { return std::optional(typed); };
    opening.legacyPassphrase = typed;
    for (const Protection& protection : protections) {
        auto input = Opened(dir.path("plain"));
        auto output = OpenRunOutput(input, dir.path("enc"), HostCalls());
        ASSERT_EQ(EncryptOpened(std::move(input), std::move(std::get<RunOutput>(output)), protection),
                  FileOpResult::Encrypted);
        EXPECT_EQ(IsAge(FormatOf(ReadFile(dir.path("enc")))), std::holds_alternative<AgeProtection>(protection));
        EXPECT_EQ(CheckOpened(Opened(dir.path("enc")), opening), FileOpResult::Decrypted);
        auto encrypted = Opened(dir.path("enc"));
        auto decrypted = OpenRunOutput(encrypted, dir.path("dec"), HostCalls());
        ASSERT_EQ(DecryptOpened(std::move(encrypted), std::move(std::get<RunOutput>(decrypted)), opening),
                  FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(dir.path("dec")), Sample(70000));
    }
}

TEST(Dispatch, LegacyFilesThatDoNotOpen)
{
    TempDir dir;
    const SecretBytes passphrase = Secret("secret");
    WriteLegacy(dir.path("enc"), "IDEA", passphrase, dir);
    WriteFile(dir.path("short"), Bytes(31, 7));
    Opening none, wrongCipher, right;
    wrongCipher.legacyPassphrase = right.legacyPassphrase = passphrase;
    wrongCipher.cipher = "Misty1";
    EXPECT_EQ(CheckOpened(Opened(dir.path("enc")), none), FileOpResult::WrongPassphrase);
    EXPECT_EQ(CheckOpened(Opened(dir.path("enc")), wrongCipher), FileOpResult::WrongPassphrase);
    EXPECT_EQ(CheckOpened(Opened(dir.path("enc")), right), FileOpResult::Decrypted);
    // Too short for a check block: the read past the end, as decrypting it would fail.
    try {
        CheckOpened(Opened(dir.path("short")), right);
        ADD_FAILURE() << "a short file was checked";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), iocode::kReadBeyondEnd);
        EXPECT_EQ(e.path(), dir.path("short"));
    }
    auto input = Opened(dir.path("enc"));
    auto output = OpenRunOutput(input, dir.path("dec"), HostCalls());
    EXPECT_EQ(DecryptOpened(std::move(input), std::move(std::get<RunOutput>(output)), wrongCipher),
              FileOpResult::WrongPassphrase);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "plain", "short"}));
}
