// Unusual inputs through EncryptFile and DecryptFile: odd file names, pipes, files that change
// while they are read, extreme passphrases. Each works or is refused clearly; nothing is lost.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cipher/blowfish.h"
#include "cipher/rijndael.h"
#include "fileenc/fileop.h"
#include "platform/posixfile.h"
#include "support/tempdir.h"

namespace {
Bytes Pattern(std::size_t n, std::uint8_t seed = 0)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 11 + seed + (i >> 8));
    return b;
}

// Changes the input file on the second read call, in between the calls of one operation: to
// another size, or rewrites its first byte.
struct ChangingInput {
    static inline std::string path;
    static inline std::size_t newSize = 0;
    static inline int calls = 0;
    static ssize_t Read(int fd, void* buffer, std::size_t count)
    {
        if (++calls == 2) {
            if (std::filesystem::file_size(path) != newSize) {
                std::filesystem::resize_file(path, newSize);
            } else {
                std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).put('x');
            }
        }
        return ::read(fd, buffer, count);
    }
    ChangingInput(std::string file, std::size_t size)
    {
        path = std::move(file);
        newSize = size;
        calls = 0;
        table.read = Read;
    }
    SystemCalls table = HostCalls();
};
}  // namespace

TEST(EdgeInputs, OddFileNamesRoundTripAndLeaveNothingElse)
{
    TempDir dir;
    const std::string names[] = {
        "with spaces  ", "new\nline", "\u00FCml\u00E4ut \u20AC \u4E2D", std::string("bad \xFF\xFE utf-8"),
        "-starts-with-dash", std::string(NAME_MAX, 'n'),
    };
    TZC_blowfish cipher;
    const SecretBytes passphrase{'p'};
    for (const std::string& name : names) {
        const Bytes plain = Pattern(9000, static_cast<std::uint8_t>(name.size()));
        WriteFile(dir.path(name), plain);
        const std::string encrypted = dir.path(name.substr(0, NAME_MAX - 4) + ".enc");
        ASSERT_EQ(EncryptFile(dir.path(name), encrypted, passphrase, cipher), FileOpResult::Encrypted) << name;
        std::filesystem::remove(dir.path(name));
        ASSERT_EQ(DecryptFile(encrypted, dir.path(name), passphrase, cipher), FileOpResult::Decrypted) << name;
        EXPECT_EQ(ReadFile(dir.path(name)), plain) << name;
        // Replacing an existing file of that name goes through a temporary name as well.
        ASSERT_EQ(DecryptFile(encrypted, dir.path(name), passphrase, cipher), FileOpResult::Decrypted) << name;
        EXPECT_EQ(dir.Entries().size(), 2u) << name;
        std::filesystem::remove(dir.path(name));
        std::filesystem::remove(encrypted);
    }
}

TEST(EdgeInputs, PipeAsOutputIsWrittenThroughToItsReader)
{
    TempDir dir;
    const Bytes plain = Pattern(2 * kFileChunkBytes + 7);
    WriteFile(dir.path("plain"), plain);
    TZC_rijndael cipher;
    const SecretBytes passphrase{'f', 'i', 'f', 'o'};
    ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), passphrase, cipher), FileOpResult::Encrypted);
    ASSERT_EQ(::mkfifo(dir.path("pipe").c_str(), 0600), 0);

    struct Case {
        FileOpResult (*operation)(const std::string&, const std::string&, const SecretBytes&, TZC_blockcipher&,
                                  const FileOpOptions&);
        std::string input;
        Bytes expected;
        FileOpResult result;
    };
    const Case cases[] = {
        {EncryptFile, dir.path("plain"), ReadFile(dir.path("enc")), FileOpResult::Encrypted},
        {DecryptFile, dir.path("enc"), plain, FileOpResult::Decrypted},
    };
    for (const Case& c : cases) {
        Bytes received;
        std::thread reader([&] { received = ReadFile(dir.path("pipe")); });
        EXPECT_EQ(c.operation(c.input, dir.path("pipe"), passphrase, cipher, {}), c.result);
        reader.join();
        EXPECT_EQ(received, c.expected);
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "pipe", "plain"}));
}

// A file that grows, shrinks or is rewritten while it is read is not passed off as encrypted:
// the run fails, creates no output and keeps an existing one.
TEST(EdgeInputs, AnInputThatChangesWhileItIsReadFailsTheRunAndCreatesNothing)
{
    TempDir dir;
    TZC_blowfish cipher;
    const SecretBytes passphrase{'g'};
    struct Case {
        std::size_t sizeAtStart, sizeAfterFirstRead;
        bool existingOutput;
    };
    const Case cases[] = {
        {kFileChunkBytes + 50, 3 * kFileChunkBytes + 100, false},  // grows
        {5000, kFileChunkBytes, false},                             // grows past the small file's buffer
        {3 * kFileChunkBytes, kFileChunkBytes + 10, true},          // shrinks
        {kFileChunkBytes + 20000, kFileChunkBytes + 20000, false},  // rewritten in place, the same size
    };
    for (const Case& c : cases) {
        WriteFile(dir.path("in"), Pattern(c.sizeAtStart));
        const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};  // so that any change shows
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.path("in").c_str(), past, 0), 0);
        if (c.existingOutput) WriteFile(dir.path("enc"), {'o', 'l', 'd'});
        const auto entries = dir.Entries();
        const ChangingInput changing(dir.path("in"), c.sizeAfterFirstRead);
        EXPECT_THROW(EncryptFile(dir.path("in"), dir.path("enc"), passphrase, cipher, {.calls = &changing.table}),
                     InputChanged);
        EXPECT_EQ(dir.Entries(), entries);
        if (c.existingOutput) {
            EXPECT_EQ(ReadFile(dir.path("enc")), (Bytes{'o', 'l', 'd'}));
        }
        std::filesystem::remove(dir.path("enc"));
    }
}

TEST(EdgeInputs, EmptyAndVeryLongPassphrasesAreTakenWhole)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Pattern(500));
    TZC_blowfish cipher;
    SecretBytes longPassphrase(10000);
    for (std::size_t i = 0; i < longPassphrase.size(); ++i) longPassphrase[i] = static_cast<std::uint8_t>('a' + i % 26);
    const SecretBytes almost(longPassphrase.begin(), longPassphrase.end() - 1);
    for (const SecretBytes& passphrase : {SecretBytes{}, longPassphrase}) {
        ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), passphrase, cipher), FileOpResult::Encrypted);
        ASSERT_EQ(DecryptFile(dir.path("enc"), dir.path("dec"), passphrase, cipher), FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(dir.path("dec")), Pattern(500));
    }
    // Every character counts: dropping the last one is a different passphrase.
    EXPECT_EQ(DecryptFile(dir.path("enc"), dir.path("dec2"), almost, cipher), FileOpResult::WrongPassphrase);
}
