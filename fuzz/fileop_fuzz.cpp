// The file procedure fed encrypted files that are random, truncated or damaged, for every
// cipher: decryption refuses a short file with the EOF error and a wrong check block with
// WrongPassphrase, touching nothing either way; an intact check block decrypts, and every
// block before the first damage comes back as it was.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "property.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

const Bytes kPrecious{'k', 'e', 'e', 'p'};

// One folder per process on a memory file system where there is one.
const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/zorvanta-fuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr, "a work folder");
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

std::string PathOf(const char* name)
{
    return (Folder() / name).string();
}

void Write(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t Entries()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(Folder()), {}));
}

// Decrypts `encrypted` over an existing output and checks the outcome. `intact` is how many
// leading bytes of the file are the untouched encryption of `plain` (all of them when the file
// was neither cut nor damaged).
void CheckDecryption(const Bytes& encrypted, const SecretBytes& passphrase, TZC_blockcipher& cipher, bool checkBlockIntact,
                     const Bytes& plain, std::size_t intact)
{
    Write(PathOf("enc"), encrypted);
    Write(PathOf("out"), kPrecious);
    const std::size_t entries = Entries();
    try {
        const FileOpResult result = DecryptFile(PathOf("enc"), PathOf("out"), passphrase, cipher);
        Require(encrypted.size() >= 32, "a file shorter than the check block is refused");
        Require(!cipher.Initialized(), "the cipher is burned");
        if (result == FileOpResult::WrongPassphrase) {
            Require(!checkBlockIntact, "the right check block is accepted");
            Require(Read(PathOf("out")) == kPrecious, "a refusal keeps the existing output");
            Require(Entries() == entries, "a refusal creates no file");
            return;
        }
        Require(result == FileOpResult::Decrypted && checkBlockIntact, "only the right check block decrypts");
        const Bytes out = Read(PathOf("out"));
        Require(out.size() == encrypted.size() - 32, "the output is as long as the body");
        const std::size_t block = static_cast<std::size_t>(cipher.BlockSize() / 8);
        // Damage garbles its own block and the next; a cut changes how the last block decrypts.
        const std::size_t good = intact < 32 ? 0 : std::min((intact - 32) / block * block, out.size());
        const std::size_t trusted = intact == encrypted.size() && intact == plain.size() + 32 ? out.size() : good;
        Require(std::equal(out.begin(), out.begin() + static_cast<long>(trusted), plain.begin()),
                "blocks before the damage decrypt to the plain text");
    } catch (const IoError& e) {
        Require(encrypted.size() < 32 && e.code() == 100, "only a short file raises, with the EOF error");
        Require(Read(PathOf("out")) == kPrecious && Entries() == entries, "the EOF error loses nothing");
        Require(!cipher.Initialized(), "the cipher is burned after the error");
    }
}
}  // namespace

// Input: cipher, passphrase length and passphrase, plain length (a chunk selector and two
// bytes), cut and damage positions (three bytes each),
// then the bytes the plain text repeats.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const auto ciphers = AllCiphers();
    const auto cipher = ciphers[input.Byte() % ciphers.size()].create();
    const std::string_view passText = input.Take(input.Byte() % 16);
    const SecretBytes passphrase(passText.begin(), passText.end());
    // Mostly small files, and now and then one across chunk boundaries.
    const std::size_t chunks = input.Byte() % 8 == 7 ? 2 : 0;
    const std::size_t plainSize = chunks * kFileChunkBytes + input.Number(2) % 20000;
    const std::size_t cut = input.Number(3);
    const std::size_t damage = input.Number(3);
    const std::string_view seed = input.Rest();

    // The raw bytes as an encrypted file: random bytes never carry the right check block.
    CheckDecryption(Bytes(seed.begin(), seed.end()), passphrase, *cipher, false, {}, 0);

    Bytes plain(plainSize);
    for (std::size_t i = 0; i < plainSize; ++i)
        plain[i] = seed.empty() ? static_cast<std::uint8_t>(i) : static_cast<std::uint8_t>(seed[i % seed.size()] + i / seed.size());
    Write(PathOf("plain"), plain);
    Require(EncryptFile(PathOf("plain"), PathOf("encrypted"), passphrase, *cipher) == FileOpResult::Encrypted, "encrypts");
    Bytes encrypted = Read(PathOf("encrypted"));
    Require(encrypted.size() == plainSize + 32, "the encrypted file is 32 bytes longer");
    CheckDecryption(encrypted, passphrase, *cipher, true, plain, encrypted.size());

    // Cut short, then damaged in one byte.
    encrypted.resize(std::min(encrypted.size(), cut % (encrypted.size() + 1)));
    CheckDecryption(encrypted, passphrase, *cipher, encrypted.size() >= 32, plain, encrypted.size());
    if (!encrypted.empty()) {
        const std::size_t at = damage % encrypted.size();
        encrypted[at] ^= static_cast<std::uint8_t>(1 + damage / encrypted.size() % 255);
        CheckDecryption(encrypted, passphrase, *cipher, encrypted.size() >= 32 && at >= 32, plain, at);
    }
    return 0;
}
