// The file procedure fed encrypted files that are random, truncated or damaged, for every
// cipher: decryption refuses a short file with the EOF error and a wrong check block with
// WrongPassphrase, writing nothing either way; an intact check block decrypts, and every block
// before the first damage comes back as it was. The input chooses a small chunk size and the
// number of decryption threads, and files span up to several chunks, so that the threaded
// path's edges (first and last chunk, empty, partial block, exact multiples, segment splits)
// are reached. The files are memory files read and written through the host calls, so that
// thousands of inputs run a second; fileoutput_fuzz runs the real output layer.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cipher/registry.h"
#include "cipher/sha1.h"
#include "fileenc/fileop.h"
#include "memoryfile.h"
#include "platform/ioerror.h"
#include "property.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

// The files of every run: made once, given new bytes for each.
struct Files {
    MemoryFile plain, encrypted, out;
};

// A second component of the cipher, keyed once per input the way the file format keys it:
// whatever the chunks and threads, the file procedure must give the bytes of its serial pass.
class SerialReference {
public:
    SerialReference(const CipherEntry& entry, const SecretBytes& passphrase) : cipher_(entry.create())
    {
        Bytes keyBlock(32, 0xFF);
        TZC_sha1 sha;
        sha.Init();
        sha.Update(passphrase.data(), static_cast<int>(passphrase.size()));
        sha.Final(keyBlock.data());
        cipher_->Init(keyBlock.data(), std::min(cipher_->MaxKeySize(), 256), nullptr);
    }
    Bytes Pass(Bytes body, FileOperation operation)
    {
        cipher_->Reset();
        if (operation == FileOperation::Encrypt)
            cipher_->EncryptCBC(body.data(), body.data(), static_cast<int>(body.size()));
        else
            cipher_->DecryptCBC(body.data(), body.data(), static_cast<int>(body.size()));
        return body;
    }

private:
    std::unique_ptr<TZC_blockcipher> cipher_;
};

// What every run of one input shares.
struct Subject {
    const SecretBytes& passphrase;
    TZC_blockcipher& cipher;
    const FileOpOptions& options;
    SerialReference& reference;
    Files& files;
};

// Decrypts `encrypted` and checks the outcome. `intact` is how many leading bytes of the file
// are the untouched encryption of `plain` (all of them when the file was neither cut nor
// damaged).
void CheckDecryption(const Bytes& encrypted, const Subject& subject, bool checkBlockIntact, const Bytes& plain,
                     std::size_t intact)
{
    TZC_blockcipher& cipher = subject.cipher;
    Files& files = subject.files;
    files.encrypted.Hold(encrypted);
    files.out.Hold({});
    try {
        const FileOpResult result =
            DecryptFile(files.encrypted.Name(), files.out.Name(), subject.passphrase, cipher, subject.options);
        Require(encrypted.size() >= 32, "a file shorter than the check block is refused");
        Require(!cipher.Initialized(), "the cipher is burned");
        if (result == FileOpResult::WrongPassphrase) {
            Require(!checkBlockIntact, "the right check block is accepted");
            Require(files.out.Bytes().empty(), "a refusal writes nothing");
            return;
        }
        Require(result == FileOpResult::Decrypted && checkBlockIntact, "only the right check block decrypts");
        const Bytes out = files.out.Bytes();
        Require(out.size() == encrypted.size() - 32, "the output is as long as the body");
        Require(out == subject.reference.Pass(Bytes(encrypted.begin() + 32, encrypted.end()), FileOperation::Decrypt),
                "the output is one serial CBC pass over the body");
        const std::size_t block = static_cast<std::size_t>(cipher.BlockSize() / 8);
        // Damage garbles its own block and the next; a cut changes how the last block decrypts.
        const std::size_t good = intact < 32 ? 0 : std::min((intact - 32) / block * block, out.size());
        const std::size_t trusted = intact == encrypted.size() && intact == plain.size() + 32 ? out.size() : good;
        Require(std::equal(out.begin(), out.begin() + static_cast<long>(trusted), plain.begin()),
                "blocks before the damage decrypt to the plain text");
    } catch (const IoError& e) {
        Require(encrypted.size() < 32 && e.code() == 100, "only a short file raises, with the EOF error");
        Require(files.out.Bytes().empty(), "the EOF error writes nothing");
        Require(!cipher.Initialized(), "the cipher is burned after the error");
    }
}
}  // namespace

// Input: cipher, chunk size (64 to 1024 bytes), decryption threads, passphrase length and
// passphrase, plain length (whole chunks, then two bytes for the rest of a chunk), cut and
// damage positions (three bytes each), then the bytes the plain text repeats.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const auto ciphers = AllCiphers();
    const CipherEntry& entry = ciphers[input.Byte() % ciphers.size()];
    const auto cipher = entry.create();
    FileOpOptions options;
    options.chunkBytes = 16 * (4 + input.Byte() % 61u);
    options.cipherThreads = 1 + input.Byte() % 4u;
    const std::string_view passText = input.Take(input.Byte() % 16);
    const SecretBytes passphrase(passText.begin(), passText.end());
    const std::size_t wholeChunks = input.Byte() % 7u;
    const std::size_t plainSize = wholeChunks * options.chunkBytes + input.Number(2) % options.chunkBytes;
    const std::size_t cut = input.Number(3);
    const std::size_t damage = input.Number(3);
    const std::string_view seed = input.Rest();
    SerialReference reference(entry, passphrase);
    static Files files;
    const Subject subject{passphrase, *cipher, options, reference, files};

    // The raw bytes as an encrypted file: random bytes never carry the right check block.
    CheckDecryption(Bytes(seed.begin(), seed.end()), subject, false, {}, 0);

    Bytes plain(plainSize);
    for (std::size_t i = 0; i < plainSize; ++i)
        plain[i] = seed.empty() ? static_cast<std::uint8_t>(i) : static_cast<std::uint8_t>(seed[i % seed.size()] + i / seed.size());
    files.plain.Hold(plain);
    files.encrypted.Hold({});
    Require(EncryptFile(files.plain.Name(), files.encrypted.Name(), passphrase, *cipher, options) ==
                FileOpResult::Encrypted,
            "encrypts");
    Bytes encrypted = files.encrypted.Bytes();
    Require(encrypted.size() == plainSize + 32, "the encrypted file is 32 bytes longer");
    Require(Bytes(encrypted.begin() + 32, encrypted.end()) == reference.Pass(plain, FileOperation::Encrypt),
            "the body is one serial CBC pass over the plain text");
    CheckDecryption(encrypted, subject, true, plain, encrypted.size());

    // Cut short, then damaged in one byte.
    encrypted.resize(std::min(encrypted.size(), cut % (encrypted.size() + 1)));
    CheckDecryption(encrypted, subject, encrypted.size() >= 32, plain, encrypted.size());
    if (!encrypted.empty()) {
        const std::size_t at = damage % encrypted.size();
        encrypted[at] ^= static_cast<std::uint8_t>(1 + damage / encrypted.size() % 255);
        CheckDecryption(encrypted, subject, encrypted.size() >= 32 && at >= 32, plain, at);
    }
    return 0;
}
