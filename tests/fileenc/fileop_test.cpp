#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "cipher/blowfish.h"
#include "cipher/sha1.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "platform/posixfile.h"
#include "support/tempdir.h"

namespace {
const SecretBytes kEmpty;
const SecretBytes kPassphrase{'s', 'e', 'c', 'r', 'e', 't'};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    return b;
}

// The expected file: the check block, then one CBC pass over the whole plain text.
Bytes ReferenceEncryption(const SecretBytes& passphrase, const Bytes& plain)
{
    std::uint8_t keyBlock[32];
    std::fill(std::begin(keyBlock), std::end(keyBlock), 0xFF);
    TZC_sha1 sha;
    sha.Init();
    sha.Update(passphrase.data(), static_cast<int>(passphrase.size()));
    sha.Final(keyBlock);
    TZC_blowfish bf;
    bf.Init(keyBlock, 256, nullptr);
    Bytes out(keyBlock, keyBlock + 32);
    bf.EncryptCBC(out.data(), out.data(), 32);
    bf.Reset();
    Bytes body = plain;
    bf.EncryptCBC(body.data(), body.data(), static_cast<int>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

class FileProcedure : public testing::Test {
protected:
    FileOpResult Encrypt(const std::string& in, const std::string& out, const SecretBytes& pass = kPassphrase)
    {
        return EncryptFile(in, out, pass, cipher);
    }
    FileOpResult Decrypt(const std::string& in, const std::string& out, const SecretBytes& pass = kPassphrase)
    {
        return DecryptFile(in, out, pass, cipher);
    }
    std::string Path(const std::string& name) const { return dir.path(name); }

    TempDir dir;
    TZC_blowfish cipher;
};

// Makes the n-th write fail with the given errno (0: store nothing), then behaves normally.
struct FailingWrite {
    static inline int countdown = 0;
    static inline int error = 0;
    static ssize_t Write(int fd, const void* buffer, std::size_t count)
    {
        if (--countdown == 0) {
            if (error == 0) return 0;
            errno = error;
            return -1;
        }
        return ::write(fd, buffer, count);
    }
    FailingWrite(int nth, int err)
    {
        countdown = nth;
        error = err;
        table.write = Write;
    }
    SystemCalls table = HostCalls();
};
}  // namespace

TEST_F(FileProcedure, EmptyPassphraseEndToEndValues)
{
    WriteFile(Path("empty"), {});
    WriteFile(Path("abcde"), {'a', 'b', 'c', 'd', 'e'});
    const std::string expectedCheck = "A3B7A3D4F70FB87B425506D69529624B942312F2642568053556"
                                      "9A86B4E71A02";

    ASSERT_EQ(Encrypt(Path("empty"), Path("empty.enc"), kEmpty), FileOpResult::Encrypted);
    EXPECT_EQ(ToHex(ReadFile(Path("empty.enc"))), expectedCheck);
    ASSERT_EQ(Encrypt(Path("abcde"), Path("abcde.enc"), kEmpty), FileOpResult::Encrypted);
    EXPECT_EQ(ToHex(ReadFile(Path("abcde.enc"))), expectedCheck + "F7C77F5499");
    EXPECT_FALSE(cipher.Initialized());

    // The IV is E(FF..FF) under the key block of the empty passphrase.
    std::uint8_t keyBlock[32];
    std::fill(std::begin(keyBlock), std::end(keyBlock), 0xFF);
    TZC_sha1 sha;
    sha.Init();
    sha.Final(keyBlock);
    TZC_blowfish bf;
    bf.Init(keyBlock, 256, nullptr);
    EXPECT_EQ(ToHex(bf.IV(), 8), "798ED6B8BAABD06A");

    ASSERT_EQ(Decrypt(Path("abcde.enc"), Path("abcde.out"), kEmpty), FileOpResult::Decrypted);
    EXPECT_EQ(ReadFile(Path("abcde.out")), ReadFile(Path("abcde")));
    ASSERT_EQ(Decrypt(Path("empty.enc"), Path("empty.out"), kEmpty), FileOpResult::Decrypted);
    EXPECT_TRUE(ReadFile(Path("empty.out")).empty());
}

TEST_F(FileProcedure, ChunkedFilesEqualOneCbcPassAndRoundTrip)
{
    for (std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{8191}, std::size_t{8192}, std::size_t{8193},
                             std::size_t{16384}, kFileChunkBytes - 3, kFileChunkBytes, 3 * kFileChunkBytes + 13}) {
        const Bytes plain = Pattern(size);
        WriteFile(Path("plain"), plain);
        ASSERT_EQ(Encrypt(Path("plain"), Path("enc")), FileOpResult::Encrypted);
        const Bytes encrypted = ReadFile(Path("enc"));
        EXPECT_EQ(encrypted.size(), size + 32);
        EXPECT_EQ(encrypted, ReferenceEncryption(kPassphrase, plain)) << size;
        ASSERT_EQ(Decrypt(Path("enc"), Path("dec")), FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(Path("dec")), plain) << size;
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dec", "enc", "plain"}));  // no temporary left
}

TEST_F(FileProcedure, OutcomesOfNamesAndOpening)
{
    WriteFile(Path("in"), Pattern(10));
    ASSERT_EQ(Encrypt(Path("in"), Path("enc")), FileOpResult::Encrypted);
    struct Case {
        std::string input, output;
        FileOpResult encrypt, decrypt;
    };
    const Case cases[] = {
        {"", Path("x"), FileOpResult::NoInputName, FileOpResult::NoInputName},
        {"", "", FileOpResult::NoInputName, FileOpResult::NoInputName},
        {Path("in"), "", FileOpResult::NoOutputName, FileOpResult::NoOutputName},
        {Path("in"), Path("in"), FileOpResult::SameNames, FileOpResult::SameNames},
        {Path("missing"), Path("x"), FileOpResult::InputOpenFailed, FileOpResult::InputOpenFailed},
        {dir.root().string(), Path("x"), FileOpResult::InputOpenFailed, FileOpResult::InputOpenFailed},
        {Path("enc"), Path("no/such/folder/x"), FileOpResult::OutputOpenFailed, FileOpResult::OutputOpenFailed},
        {Path("enc"), dir.root().string(), FileOpResult::OutputOpenFailed, FileOpResult::OutputOpenFailed},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Encrypt(c.input, c.output), c.encrypt) << c.input << " -> " << c.output;
        EXPECT_EQ(Decrypt(c.input, c.output), c.decrypt) << c.input << " -> " << c.output;
    }
    // Names that differ only in letter case are different names.
    EXPECT_EQ(Encrypt(Path("in"), Path("IN")), FileOpResult::Encrypted);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"IN", "enc", "in"}));
}

TEST_F(FileProcedure, ReadOnlyInputEncrypts)
{
    WriteFile(Path("in"), Pattern(100));
    ::chmod(Path("in").c_str(), 0444);
    EXPECT_EQ(Encrypt(Path("in"), Path("enc")), FileOpResult::Encrypted);
    EXPECT_EQ(ReadFile(Path("enc")), ReferenceEncryption(kPassphrase, Pattern(100)));
}

TEST_F(FileProcedure, OtherNamesOfTheInputAreRefusedAndTheInputKept)
{
    const Bytes plain = Pattern(5000);
    WriteFile(Path("in"), plain);
    std::filesystem::create_hard_link(Path("in"), Path("hard"));
    std::filesystem::create_symlink(Path("in"), Path("soft"));
    const std::string cwd = std::filesystem::current_path().string();
    std::filesystem::current_path(dir.root());
    const std::string others[] = {Path("hard"), Path("soft"), "./in", "in", "../" + dir.root().filename().string() + "/in"};
    for (const std::string& other : others) {
        EXPECT_EQ(Encrypt(Path("in"), other), FileOpResult::SameNames) << other;
        EXPECT_EQ(Decrypt(Path("in"), other), FileOpResult::SameNames) << other;
        EXPECT_EQ(Encrypt(other, Path("in")), FileOpResult::SameNames) << other;
    }
    std::filesystem::current_path(cwd);
    EXPECT_EQ(ReadFile(Path("in")), plain);
}

TEST_F(FileProcedure, WrongPassphraseOrCipherKeepsAnExistingOutputAndCreatesNone)
{
    WriteFile(Path("in"), Pattern(300));
    ASSERT_EQ(Encrypt(Path("in"), Path("enc")), FileOpResult::Encrypted);
    WriteFile(Path("precious"), Pattern(77));
    EXPECT_EQ(Decrypt(Path("enc"), Path("precious"), {'w', 'r', 'o', 'n', 'g'}), FileOpResult::WrongPassphrase);
    EXPECT_EQ(ReadFile(Path("precious")), Pattern(77));
    EXPECT_EQ(Decrypt(Path("enc"), Path("fresh"), kEmpty), FileOpResult::WrongPassphrase);
    EXPECT_FALSE(cipher.Initialized());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "in", "precious"}));
}

TEST_F(FileProcedure, ShortEncryptedFileRaisesEofAndLosesNothing)
{
    WriteFile(Path("short"), Pattern(31));
    WriteFile(Path("precious"), Pattern(9));
    for (const std::string& out : {Path("precious"), Path("fresh")}) {
        try {
            Decrypt(Path("short"), out);
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_EQ(e.code(), 100);
            EXPECT_STREQ(e.what(), "Lesen nach Dateiende (EOF)");
        }
    }
    EXPECT_FALSE(cipher.Initialized());
    EXPECT_EQ(ReadFile(Path("precious")), Pattern(9));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"precious", "short"}));
}

TEST_F(FileProcedure, DiskFullInMidFileKeepsTheEarlierOutputAndLeavesNoTemporary)
{
    WriteFile(Path("in"), Pattern(3 * kFileChunkBytes + 100));
    WriteFile(Path("out"), Pattern(50));
    for (int error : {ENOSPC, 0, EIO}) {
        const FailingWrite failing(3, error);  // the check block and one chunk get through
        try {
            EncryptFile(Path("in"), Path("out"), kPassphrase, cipher, {.calls = &failing.table});
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), error == EIO ? "I/O-Fehler 1005" : "Kapazität der Diskette/Festplatte erschöpft");
        }
        EXPECT_FALSE(cipher.Initialized());
        EXPECT_EQ(ReadFile(Path("out")), Pattern(50));
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in", "out"}));
    }
}

TEST_F(FileProcedure, DeviceOutputsAreWrittenDirectly)
{
    WriteFile(Path("in"), Pattern(20000));
    EXPECT_EQ(Encrypt(Path("in"), "/dev/null"), FileOpResult::Encrypted);
    try {
        Encrypt(Path("in"), "/dev/full");
        ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.code(), 101);
        EXPECT_STREQ(e.what(), "Kapazität der Diskette/Festplatte erschöpft");
    }
}

TEST_F(FileProcedure, ExistingOutputIsReplacedKeepingItsPermissions)
{
    WriteFile(Path("in"), Pattern(10));
    WriteFile(Path("out"), Pattern(5000));
    ::chmod(Path("out").c_str(), 0640);
    std::filesystem::create_symlink(Path("out"), Path("link"));
    ASSERT_EQ(Encrypt(Path("in"), Path("link")), FileOpResult::Encrypted);
    EXPECT_TRUE(std::filesystem::is_symlink(Path("link")));  // the link survives, its target is replaced
    EXPECT_EQ(ReadFile(Path("out")), ReferenceEncryption(kPassphrase, Pattern(10)));
    struct stat info;
    ::stat(Path("out").c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(FileProcedure, DamagedOrTruncatedBodyDecryptsWithoutAMessage)
{
    const Bytes plain = Pattern(100);
    WriteFile(Path("in"), plain);
    ASSERT_EQ(Encrypt(Path("in"), Path("enc")), FileOpResult::Encrypted);
    Bytes encrypted = ReadFile(Path("enc"));
    encrypted[50] ^= 1;
    encrypted.resize(90);
    WriteFile(Path("enc"), encrypted);
    ASSERT_EQ(Decrypt(Path("enc"), Path("dec")), FileOpResult::Decrypted);
    const Bytes decrypted = ReadFile(Path("dec"));
    EXPECT_EQ(decrypted.size(), 58u);
    EXPECT_NE(decrypted, Bytes(plain.begin(), plain.begin() + 58));
}

TEST(IoErrors, CodesAndTexts)
{
    const std::pair<int, const char*> texts[] = {
        {2, "Datei nicht gefunden"},       {3, "Ungültiger Dateiname"},
        {4, "Zu viele Dateien geöffnet"},  {5, "Dateizugriff verweigert"},
        {100, "Lesen nach Dateiende (EOF)"}, {101, "Kapazität der Diskette/Festplatte erschöpft"},
        {106, "Ungültige numerische Eingabe"}, {1005, "I/O-Fehler 1005"}, {7, "I/O-Fehler 7"},
    };
    for (const auto& [code, text] : texts) EXPECT_EQ(IoErrorText(code), text);

    const std::pair<int, int> mapping[] = {
        {ENOENT, 2}, {ENAMETOOLONG, 3}, {EINVAL, 3}, {EMFILE, 4}, {ENFILE, 4}, {EACCES, 5},
        {EPERM, 5},  {EROFS, 5},        {ENOSPC, 101}, {EDQUOT, 101}, {EIO, 1000 + EIO},
    };
    for (const auto& [error, code] : mapping) EXPECT_EQ(IoCodeForErrno(error), code) << error;
}
