// No heap block is given back holding the passphrase, any form of it or the key made from it,
// or the plain text: this program replaces the global operator new and delete, and every block
// freed while a run is watched is searched before it is released. A copy that is not wiped
// (a std::string of the passphrase, a plain buffer) shows up here.
#include <gtest/gtest.h>

#include <malloc.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cipher/sha1.h"
#include "cipher/twofish.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "support/tempdir.h"

namespace {
// None of these may live in a block on the heap, or its own release would be found.
constexpr char kPassphrase[] = "freed-block scan: Zorvanta passphrase 7Q";
constexpr std::size_t kPassphraseLength = sizeof kPassphrase - 1;
constexpr char kPlainMarker[] = "plain text that must not linger 0123456789";
std::array<char32_t, kPassphraseLength> passphraseAsCodePoints;  // the decoder's form
std::array<std::uint8_t, 20> keyDigest;                         // SHA-1 of the passphrase

struct Pattern {
    const void* bytes;
    std::size_t size;
    const char* name;
};
const Pattern kPatterns[] = {
    {kPassphrase, kPassphraseLength, "the passphrase"},
    {passphraseAsCodePoints.data(), sizeof passphraseAsCodePoints, "the passphrase as code points"},
    {keyDigest.data(), keyDigest.size(), "the key block"},
    {kPlainMarker, sizeof kPlainMarker - 1, "the plain text"},
};

std::atomic<bool> watching = false;
std::atomic<unsigned> found = 0;  // one bit per pattern

void Scan(void* block) noexcept
{
    if (!watching.load()) return;
    const std::size_t size = malloc_usable_size(block);
    for (std::size_t i = 0; i < std::size(kPatterns); ++i)
        if (::memmem(block, size, kPatterns[i].bytes, kPatterns[i].size)) found |= 1u << i;
}

void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept
{
    size = (std::max<std::size_t>(size, 1) + alignment - 1) / alignment * alignment;
    return alignment <= alignof(std::max_align_t) ? std::malloc(size) : std::aligned_alloc(alignment, size);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment = alignof(std::max_align_t))
{
    if (void* block = Allocate(size, alignment)) return block;
    throw std::bad_alloc();
}

// Every block is cleared once searched, so whatever a block holds when it is freed was put
// there since it was allocated, by its owner, and not left over from an earlier owner.
void Release(void* block) noexcept
{
    if (!block) return;
    Scan(block);
    ::explicit_bzero(block, malloc_usable_size(block));  // a plain memset before free may be left out
    std::free(block);
}

std::string Found()
{
    std::string names;
    for (std::size_t i = 0; i < std::size(kPatterns); ++i)
        if (found & (1u << i)) names += std::string(names.empty() ? "" : ", ") + kPatterns[i].name;
    return names;
}
}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, static_cast<std::size_t>(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return Allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Release(block); }

TEST(FreedBlocks, NeverHoldThePassphraseTheKeyOrThePlainText)
{
    std::copy(kPassphrase, kPassphrase + kPassphraseLength, passphraseAsCodePoints.begin());
    TZC_sha1 sha;
    sha.Init();
    sha.Update(kPassphrase, static_cast<int>(kPassphraseLength));
    sha.Final(keyDigest.data());

    TempDir dir;
    // A small file goes through one buffer, a large one through the threads.
    for (const std::size_t size : {std::size_t{5000}, 3 * kFileChunkBytes + 5}) {
        Bytes plain(size);
        for (std::size_t i = 0; i < size; ++i) plain[i] = static_cast<std::uint8_t>(kPlainMarker[i % (sizeof kPlainMarker - 1)]);
        WriteFile(dir.path("plain"), plain);
        TZC_twofish cipher;
        watching = true;
        {
            const SecretBytes passphrase = PassphraseBytes(kPassphrase);
            EXPECT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), passphrase, cipher), FileOpResult::Encrypted);
            EXPECT_EQ(DecryptFile(dir.path("enc"), dir.path("dec"), passphrase, cipher), FileOpResult::Decrypted);
        }
        watching = false;
        EXPECT_EQ(Found(), "") << "size " << size;
        EXPECT_EQ(ReadFile(dir.path("dec")), plain);
    }
}
