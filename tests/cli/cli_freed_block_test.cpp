// The freed-block scan (support/freedblocks.h) over the whole of zorvanta-cli, as its main runs
// it: no heap block is given back holding the passphrase given on the command line, its bytes,
// the key made from it or the plain text.
#include <gtest/gtest.h>

#include <sys/prctl.h>

#include <array>
#include <cstdio>
#include <vector>

#include "cipher/sha1.h"
#include "cli/cli.h"
#include "support/freedblocks.h"
#include "support/tempdir.h"

namespace {
// None of these may live in a block on the heap, or its own release would be found.
constexpr char kPassphrase[] = "freed-block scan over zorvanta-cli";
char kHex[2 * sizeof kPassphrase - 1];  // --passphrase-hex's value, as typed
std::array<std::uint8_t, 20> keyDigest;
constexpr char kPlainMarker[] = "plain text that must not linger 0123456789";

const FreedBlockPattern kPatterns[] = {
    {kHex, sizeof kHex - 1, "the passphrase in hexadecimal"},
    {kPassphrase, sizeof kPassphrase - 1, "the passphrase"},
    {keyDigest.data(), keyDigest.size(), "the key block"},
    {kPlainMarker, sizeof kPlainMarker - 1, "the plain text"},
};

std::optional<SecretBytes> NoTerminal(const std::string&)
{
    return std::nullopt;
}
}  // namespace

TEST(CliFreedBlocks, NoBlockOfTheWholeProgramHoldsThePassphraseTheKeyOrThePlainText)
{
    for (std::size_t i = 0; i + 1 < sizeof kPassphrase; ++i)
        std::snprintf(kHex + 2 * i, 3, "%02x", static_cast<unsigned char>(kPassphrase[i]));
    TZC_sha1 sha;
    sha.Init();
    sha.Update(kPassphrase, static_cast<int>(sizeof kPassphrase - 1));
    sha.Final(keyDigest.data());

    TempDir dir;
    std::string plain = dir.path("plain"), enc = dir.path("enc"), dec = dir.path("dec");
    Bytes text(3 * 256 * 1024 + 5);  // through the reader and writer threads
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<std::uint8_t>(kPlainMarker[i % (sizeof kPlainMarker - 1)]);
    WriteFile(plain, text);
    char program[] = "zorvanta-cli", encrypt[] = "encrypt", decrypt[] = "decrypt", quiet[] = "-fq", cipher[] = "-c",
         twofish[] = "twofish", hex[] = "--passphrase-hex";
    const std::vector<std::vector<char*>> runs = {
        {program, encrypt, quiet, cipher, twofish, hex, kHex, plain.data(), enc.data()},
        {program, decrypt, quiet, hex, kHex, enc.data(), dec.data()},
    };
    for (std::vector<char*> argv : runs) {
        const FreedBlockScan scan(kPatterns);
        EXPECT_EQ(RunCliProcess(static_cast<int>(argv.size()), argv.data(), NoTerminal), 0) << argv[1];
        EXPECT_EQ(scan.Found(), "") << argv[1];
    }
    EXPECT_EQ(ReadFile(dec), text);
}

TEST(CliFreedBlocks, TheProgramKeepsItselfFromDumpingCore)
{
    char program[] = "zorvanta-cli", ciphers[] = "ciphers";
    char* argv[] = {program, ciphers};
    ASSERT_EQ(RunCliProcess(2, argv, NoTerminal), 0);
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0);
}
