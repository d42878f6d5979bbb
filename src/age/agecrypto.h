#pragma once

// The primitives the age format is built on, from OpenSSL's libcrypto. Each raises a
// ZorvantaError when the library itself fails; none is written here by hand.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

#include "platform/secretbytes.h"

inline constexpr std::size_t kChaChaKeyBytes = 32, kChaChaNonceBytes = 12, kChaChaTagBytes = 16;
inline constexpr std::size_t kX25519Bytes = 32;
using ChaChaKey = std::span<const std::uint8_t, kChaChaKeyBytes>;
using ChaChaNonce = std::span<const std::uint8_t, kChaChaNonceBytes>;

inline std::span<const std::uint8_t> AsBytes(std::string_view text) noexcept
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// HKDF-SHA-256 (RFC 5869); an empty salt is the RFC's default of zeros, as age means it.
SecretBytes Hkdf(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt, std::string_view info,
                 std::size_t length);
std::array<std::uint8_t, 32> HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data);
// scrypt (RFC 7914) with N = 2^logN, r = 8, p = 1 and a 32-byte result; logN from 1 to 40.
// The runs of the whole process share half the machine's memory: one waits until its memory
// fits beside the others'. OutOfMemory "not enough memory for work factor N" when the system
// does not give it.
SecretBytes Scrypt(std::span<const std::uint8_t> passphrase, std::span<const std::uint8_t> salt, int logN);
// The memory scrypt takes at work factor logN: 1 KiB << logN (256 MiB at 18).
std::uint64_t ScryptMemoryBytes(int logN);
// The largest work factor whose scrypt run fits the machine's physical memory.
int LargestWorkFactorInMemory();
void RandomBytes(std::span<std::uint8_t> out);

// SHA-256 of bytes given in pieces: a digest of a whole file's plaintext, to compare two
// readings of it.
class Sha256 {
public:
    using Digest = std::array<std::uint8_t, 32>;
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Update(const std::uint8_t* data, std::size_t count);
    Digest Finish();

private:
    struct evp_md_ctx_st* context_;
};

// A ChaCha20-Poly1305 context, set up once, so that each chunk only loads its key and nonce.
// It holds the last key it was given until it is destroyed, when OpenSSL cleanses it: a run
// keeps one per thread and destroys them with its file, so no key outlives the file. One
// thread at a time.
class ChaChaContext {
public:
    ChaChaContext();
    ~ChaChaContext();
    ChaChaContext(ChaChaContext&& other) noexcept : context_(std::exchange(other.context_, nullptr)) {}
    ChaChaContext& operator=(ChaChaContext&&) = delete;
    struct evp_cipher_ctx_st* Load(ChaChaKey key, ChaChaNonce nonce, int encrypt);

private:
    struct evp_cipher_ctx_st* context_;
};

// ChaCha20-Poly1305 (RFC 7539) without associated data; the 16-byte tag follows the n bytes
// of ciphertext. Without a context, each call sets up one of its own.
void SealChaCha(ChaChaContext& context, ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out /* n + 16 bytes */);
void SealChaCha(ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n, std::uint8_t* out);
// n counts the tag; false when the tag does not fit, and out (n - 16 bytes) is then garbage.
bool OpenChaCha(ChaChaContext& context, ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out);
bool OpenChaCha(ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n, std::uint8_t* out);

// X25519 (RFC 7748) on 32-byte secrets.
std::array<std::uint8_t, kX25519Bytes> X25519PublicOf(const SecretBytes& secret);
// Raises AgeError HeaderDamaged when the peer's share is of small order (an all-zero result).
SecretBytes X25519Shared(const SecretBytes& secret, std::span<const std::uint8_t, kX25519Bytes> peer);
