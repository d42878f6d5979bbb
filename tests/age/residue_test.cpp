// After a file is sealed and opened, no live writable memory of the process holds its file
// key, its payload key, the scrypt wrap key or the passphrase: every copy was wiped, or freed
// by an owner that cleanses what it frees (OpenSSL). Unlike the freed-block scan, which sees
// the heap blocks given back, this reads every writable mapping as it is now, so a key left in
// a context that outlives the run (a parked thread's) shows.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "age/agecrypto.h"
#include "age/agefile.h"
#include "age/base64.h"
#include "age/header.h"
#include "age/payload.h"
#include "age/stanzas.h"
#include "support/tempdir.h"

namespace {
// A secret the scan looks for, kept inverted, so that the test's own copy is no match.
struct Hidden {
    const char* name;
    std::vector<std::uint8_t> inverted;
};

Hidden Hide(const char* name, std::span<const std::uint8_t> secret)
{
    Hidden hidden{name, {}};
    for (const std::uint8_t byte : secret) hidden.inverted.push_back(static_cast<std::uint8_t>(~byte));
    return hidden;
}

// Whether bytes hold the hidden secret, compared without forming the secret itself.
bool Holds(std::span<const std::uint8_t> bytes, const Hidden& hidden)
{
    const auto& inverted = hidden.inverted;
    const auto first = static_cast<std::uint8_t>(~inverted[0]);
    for (const std::uint8_t* at = bytes.data(); bytes.data() + bytes.size() - at >= std::ptrdiff_t(inverted.size());) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, first, bytes.data() + bytes.size() - at));
        if (!at || bytes.data() + bytes.size() - at < std::ptrdiff_t(inverted.size())) return false;
        std::size_t k = 1;
        while (k < inverted.size() && static_cast<std::uint8_t>(~at[k]) == inverted[k]) ++k;
        if (k == inverted.size()) return true;
        ++at;
    }
    return false;
}

// The names of the secrets that some writable mapping of this process holds now.
std::string FoundInLiveMemory(const std::vector<Hidden>& secrets)
{
    std::ifstream maps("/proc/self/maps");
    const int memory = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    EXPECT_GE(memory, 0);
    constexpr std::size_t kPiece = 1 << 20, kOverlap = 64;
    constexpr unsigned long kReservation = 1ul << 36;  // 64 GiB
    std::vector<std::uint8_t> piece(kPiece);
    std::vector<bool> found(secrets.size());
    for (std::string line; std::getline(maps, line);) {
        unsigned long start = 0, end = 0;
        char permissions[5] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %4s", &start, &end, permissions) != 3 || permissions[1] != 'w')
            continue;
        // A reservation of address space (AddressSanitizer's shadow: terabytes, nearly all of it
        // never touched) holds no data of the program's; reading it would take hours.
        if (end - start > kReservation) continue;
        for (unsigned long at = start; at < end; at += kPiece - kOverlap) {
            const std::size_t want = std::min<unsigned long>(kPiece, end - at);
            const ssize_t got = ::pread(memory, piece.data(), want, static_cast<off_t>(at));
            if (got <= 0) break;
            const std::span read(piece.data(), static_cast<std::size_t>(got));
            for (std::size_t i = 0; i < secrets.size(); ++i) found[i] = found[i] || Holds(read, secrets[i]);
            if (at + want >= end) break;
        }
    }
    ::explicit_bzero(piece.data(), piece.size());
    ::close(memory);
    std::string names;
    for (std::size_t i = 0; i < secrets.size(); ++i)
        if (found[i]) names += (names.empty() ? "" : ", ") + std::string(secrets[i].name);
    return names;
}

// "residue scan passphrase 7f3a", inverted: the passphrase itself stands nowhere in the program.
constexpr std::uint8_t kInvertedPassphrase[] = {
    0x8d, 0x9a, 0x8c, 0x96, 0x9b, 0x8a, 0x9a, 0xdf, 0x8c, 0x9c, 0x9e, 0x91, 0xdf, 0x8f,
    0x9e, 0x8c, 0x8c, 0x8f, 0x97, 0x8d, 0x9e, 0x8c, 0x9a, 0xdf, 0xc8, 0x99, 0xcc, 0x9e,
};

SecretBytes Passphrase()
{
    SecretBytes passphrase;
    for (const std::uint8_t byte : kInvertedPassphrase) passphrase.push_back(static_cast<std::uint8_t>(~byte));
    return passphrase;
}

// The age file's keys, derived again from the file and the passphrase, hidden.
std::vector<Hidden> KeysOf(const Bytes& file)
{
    const std::size_t end = *FindHeaderEnd(file);
    const Header header = ParseHeader({reinterpret_cast<const char*>(file.data()), end});
    Unlocking unlocking;
    unlocking.passphrase = [] { return std::optional(Passphrase()); };
    const SecretBytes fileKey = UnlockFileKey(header, unlocking);
    const auto nonce = std::span(file).subspan(end, kPayloadNonceBytes);
    const SecretBytes payloadKey = Hkdf(fileKey, nonce, "payload", kChaChaKeyBytes);
    const Stanza& scrypt = header.stanzas.at(0);
    const Bytes salt = *DecodeBase64(scrypt.args.at(0), false);
    Bytes labelled{'a', 'g', 'e', '-', 'e', 'n', 'c', 'r', 'y', 'p', 't', 'i', 'o', 'n', '.', 'o',
                   'r', 'g', '/', 'v', '1', '/', 's', 'c', 'r', 'y', 'p', 't'};
    labelled.insert(labelled.end(), salt.begin(), salt.end());
    const SecretBytes wrapKey = Scrypt(Passphrase(), labelled, std::stoi(scrypt.args.at(1)));
    return {Hide("the file key", fileKey), Hide("the payload key", payloadKey), Hide("the wrap key", wrapKey)};
}
}  // namespace

TEST(Residue, NoLiveMemoryHoldsAFilesKeysOrItsPassphraseAfterItsRuns)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(3 * 1024 * 1024 + 100));
    // Several threads share each batch of chunks, as on a machine of many cores.
    const FileOpOptions options{.cipherThreads = 4};
    AgeProtection protection;
    protection.passphrase = Passphrase();
    protection.workFactor = 10;
    ASSERT_EQ(EncryptAgeFile(dir.path("plain"), dir.path("enc"), protection, options), FileOpResult::Encrypted);
    protection = {};
    Unlocking unlocking;
    unlocking.passphrase = [] { return std::optional(Passphrase()); };
    ASSERT_EQ(DecryptAgeFile(dir.path("enc"), dir.path("dec"), unlocking, options), FileOpResult::Decrypted);
    unlocking = {};
    ASSERT_EQ(ReadFile(dir.path("dec")), Sample(3 * 1024 * 1024 + 100));

    std::vector<Hidden> secrets = KeysOf(ReadFile(dir.path("enc")));
    secrets.push_back({"the passphrase", Bytes(std::begin(kInvertedPassphrase), std::end(kInvertedPassphrase))});
    EXPECT_EQ(FoundInLiveMemory(secrets), "");
}

TEST(Residue, TheScanFindsWhatLiveMemoryHolds)
{
    const SecretBytes held = Passphrase();
    EXPECT_EQ(FoundInLiveMemory({{"the passphrase", Bytes(std::begin(kInvertedPassphrase), std::end(kInvertedPassphrase))}}),
              "the passphrase");
}
