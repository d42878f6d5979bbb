// The file procedure through the real output layer, on files in a scratch folder: a
// decryption that is refused (a wrong check block, a file shorter than it) keeps the existing
// output and creates no file; an encryption creates one file, 32 bytes longer than its input;
// a decryption that succeeds replaces the output with exactly the plain bytes and leaves no
// other file. Every run flushes and names its output on the file system, so this target is
// slow; fileop_fuzz checks the procedure's bytes at speed on memory files.
#include <filesystem>
#include <string>
#include <vector>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "property.h"
#include "scratchfolder.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

const Bytes kPrecious{'k', 'e', 'e', 'p'};
}  // namespace

// Input: cipher, passphrase length and passphrase, then the bytes of a file.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const auto ciphers = AllCiphers();
    const auto cipher = ciphers[input.Byte() % ciphers.size()].create();
    const std::string_view passText = input.Take(input.Byte() % 16);
    const SecretBytes passphrase(passText.begin(), passText.end());
    const std::string_view rest = input.Rest();
    const Bytes file(rest.begin(), rest.end());
    std::filesystem::remove(PathOf("encrypted"));  // an earlier input's
    Write(PathOf("file"), file);
    Write(PathOf("out"), kPrecious);
    const std::size_t entries = Entries();

    // The file as an encrypted one: its check block is never the passphrase's.
    try {
        Require(DecryptFile(PathOf("file"), PathOf("out"), passphrase, *cipher) == FileOpResult::WrongPassphrase,
                "random bytes are the wrong passphrase's");
        Require(file.size() >= 32, "a file shorter than the check block is refused");
    } catch (const IoError& e) {
        Require(file.size() < 32 && e.code() == 100, "only a short file raises, with the EOF error");
    }
    Require(Read(PathOf("out")) == kPrecious && Entries() == entries, "a refusal keeps the output and creates nothing");

    Require(EncryptFile(PathOf("file"), PathOf("encrypted"), passphrase, *cipher) == FileOpResult::Encrypted,
            "encrypts");
    Require(Read(PathOf("encrypted")).size() == file.size() + 32 && Entries() == entries + 1,
            "an encryption creates one file, 32 bytes longer");
    Require(DecryptFile(PathOf("encrypted"), PathOf("out"), passphrase, *cipher) == FileOpResult::Decrypted,
            "decrypts");
    Require(Read(PathOf("out")) == file && Entries() == entries + 1, "a decryption replaces the output and no more");
    return 0;
}
