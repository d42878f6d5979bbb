// Debian's age and age-keygen as the other side: files written here open in age, files age
// writes open here, at the payload's chunk boundaries and armored too.
#include <gtest/gtest.h>

#include "age/keys.h"
#include "agefile.h"
#include "support/terminal.h"

namespace {
const std::size_t kSizes[] = {0, 1, kPayloadChunkBytes, kPayloadChunkBytes + 1, 2 * kPayloadChunkBytes + 5};

std::string ArmoredText(const Bytes& file)
{
    ArmorEncoder encoder;
    std::string text;
    encoder.Feed(file, text);
    encoder.Finish(text);
    return text;
}
}  // namespace

TEST(AgeInterop, FilesWrittenHereOpenInAge)
{
    TempDir dir;
    const std::string key = DataPath("age/key1.txt");
    for (const std::size_t n : kSizes) {
        const Bytes plain = Pattern(n);
        const SecretBytes fileKey = GenerateFileKey();
        const std::vector<Stanza> stanzas = {WrapX25519(fileKey, ParseRecipient(PrintedRecipient("key2.txt"))),
                                             WrapX25519(fileKey, ParseRecipient(PrintedRecipient("key1.txt")))};
        const Bytes file = EncryptInMemory(plain, stanzas, fileKey);
        const std::string name = dir.path(std::to_string(n));
        WriteFile(name + ".age", file);
        const std::string armored = ArmoredText(file);
        WriteFile(name + ".asc", Bytes(armored.begin(), armored.end()));

        for (const char* suffix : {".age", ".asc"}) {
            const std::string path = name + suffix;
            ASSERT_EQ(Shell("age -d -i " + key + " " + path + " > " + path + ".out"), 0) << n << suffix;
            EXPECT_EQ(ReadFile(path + ".out"), plain) << n << suffix;
        }
    }
}

TEST(AgeInterop, FilesWrittenByAgeOpenHere)
{
    TempDir dir;
    Unlocking unlocking;
    unlocking.identities.push_back(StoredIdentity("key1.txt"));
    const std::string recipient = PrintedRecipient("key1.txt");
    for (const std::size_t n : kSizes) {
        const Bytes plain = Pattern(n);
        const std::string name = dir.path(std::to_string(n));
        WriteFile(name, plain);
        ASSERT_EQ(Shell("age -r " + recipient + " -o " + name + ".age " + name), 0);
        ASSERT_EQ(Shell("age -a -r " + recipient + " -o " + name + ".asc " + name), 0);
        EXPECT_EQ(DecryptInMemory(ReadFile(name + ".age"), unlocking), plain) << n;
        EXPECT_EQ(DecryptInMemory(ReadFile(name + ".asc"), unlocking), plain) << n << " armored";
    }
}

TEST(AgeInterop, AgeKeygenReadsGeneratedIdentities)
{
    TempDir dir;
    const X25519Identity identity = GenerateX25519Identity();
    SecretBytes text = FormatIdentity(identity);
    text.push_back('\n');
    WriteFile(dir.path("identity"), Bytes(text.begin(), text.end()));
    ASSERT_EQ(Shell("age-keygen -y -o " + dir.path("recipient") + " " + dir.path("identity")), 0);
    const Bytes printed = ReadFile(dir.path("recipient"));
    EXPECT_EQ(std::string(printed.begin(), printed.end()), FormatRecipient(RecipientOf(identity)) + "\n");
}
