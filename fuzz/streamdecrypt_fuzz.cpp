// zorvanta-cli decrypting a stream ('-' read from a pipe), fed streams that are random, or
// encrypted under the passphrase with the check block kept or damaged: a wrong check block is
// refused (exit 1) before a byte is written, a stream shorter than the check block is the EOF
// error (exit 3), and one that begins as an age file a usage error for the legacy cipher given
// (exit 2), all touching nothing; the right one decrypts to 32 bytes fewer, and encrypting the
// result again gives the stream back.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cipher/registry.h"
#include "cli/cli.h"
#include "fileenc/checkblock.h"
#include "fileenc/fileop.h"
#include "formats/fileformat.h"
#include "property.h"
#include "scratchfolder.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

const Bytes kPrecious{'k', 'e', 'e', 'p'};

std::string Hex(std::string_view bytes)
{
    std::string hex;
    for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    return hex;
}

// The stream as the engine would write it for plain.
Bytes Encrypted(const Bytes& plain, const SecretBytes& passphrase, TZC_blockcipher& cipher)
{
    Bytes stream(kCheckBlockBytes + plain.size());
    ComputeCheckBlock(passphrase, cipher, stream.data());
    cipher.EncryptCBC(plain.data(), stream.data() + kCheckBlockBytes, static_cast<int>(plain.size()));
    cipher.Burn();
    return stream;
}

// Runs 'decrypt -c ALGORITHM - out' with the stream coming through a pipe; returns the status.
int DecryptStream(const Bytes& stream, std::string_view algorithm, const std::string& hex)
{
    int ends[2];
    Require(::pipe(ends) == 0, "a pipe");
    std::thread writer([&] {
        for (std::size_t done = 0; done < stream.size();) {
            const ssize_t n = ::write(ends[1], stream.data() + done, stream.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(ends[1]);
    });
    std::ostringstream out, err;
    CliEnvironment env{out, err, [](const std::string&) { return std::optional<SecretBytes>(); },
                       [](const std::string&) { return std::optional<std::string>(); }};
    env.standardInput = "/dev/fd/" + std::to_string(ends[0]);
    const int status = RunCli({"decrypt", "-q", "-f", "--allow-empty-passphrase", "-c", std::string(algorithm),
                               "--passphrase-hex", hex, "-", PathOf("out")},
                              env);
    ::close(ends[0]);  // a writer still blocked now fails and ends
    writer.join();
    Require(out.str().empty(), "standard output carries no text");
    return status;
}

void Check(const Bytes& stream, const SecretBytes& passphrase, const CipherEntry& entry, bool rightCheckBlock)
{
    Write(PathOf("out"), kPrecious);
    const std::size_t entries = Entries();
    const int status = DecryptStream(stream, entry.algorithm, Hex(AsText(passphrase)));
    // The command line tells the format by the first bytes alone.
    if (IsAge(FormatOf(std::span(stream).first(std::min(stream.size(), kFormatPeekBytes))))) {
        Require(status == 2, "an age file given a legacy cipher is a usage error");
    } else if (stream.size() < kCheckBlockBytes) {
        Require(status == 3, "a stream shorter than the check block is the EOF error");
    } else if (!rightCheckBlock) {
        Require(status == 1, "a wrong check block is refused");
    } else {
        Require(status == 0, "the right check block decrypts");
        const Bytes out = Read(PathOf("out"));
        Require(out.size() == stream.size() - kCheckBlockBytes, "the output is 32 bytes shorter than the stream");
        const auto cipher = entry.create();
        Require(EncryptFile(PathOf("out"), PathOf("again"), passphrase, *cipher) == FileOpResult::Encrypted, "encrypts");
        Require(Read(PathOf("again")) == stream, "encrypting the output again gives the stream back");
        std::filesystem::remove(PathOf("again"));
        return;
    }
    Require(Read(PathOf("out")) == kPrecious && Entries() == entries, "a refusal writes nothing and creates nothing");
}
}  // namespace

// Input: cipher, passphrase length and passphrase, a mode byte (bit 0: encrypt the rest under
// the passphrase, else take it raw; bit 1: damage the check block at the position the other
// bits give), then the stream or the plain text.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The writer may outlive a reader that refused early.
    static const auto ignoringBrokenPipes = ::signal(SIGPIPE, SIG_IGN);
    (void)ignoringBrokenPipes;
    FuzzInput input(data, size);
    const auto ciphers = AllCiphers();
    const CipherEntry& entry = ciphers[input.Byte() % ciphers.size()];
    const std::string_view passText = input.Take(input.Byte() % 16);
    const SecretBytes passphrase(passText.begin(), passText.end());
    const std::uint8_t mode = input.Byte();
    const std::string_view rest = input.Rest();
    Bytes bytes(rest.begin(), rest.end());

    if (!(mode & 1)) {
        // Raw bytes carry the right check block only by a chance too small to meet.
        Bytes right(kCheckBlockBytes);
        ComputeCheckBlock(passphrase, *entry.create(), right.data());
        const bool matches = bytes.size() >= kCheckBlockBytes && std::equal(right.begin(), right.end(), bytes.begin());
        Check(bytes, passphrase, entry, matches);
        return 0;
    }
    const auto cipher = entry.create();
    Bytes stream = Encrypted(bytes, passphrase, *cipher);
    if (mode & 2) stream[(mode >> 2) % kCheckBlockBytes] ^= 0x01;
    Check(stream, passphrase, entry, !(mode & 2));
    return 0;
}
