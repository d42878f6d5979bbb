#pragma once

// The payload's STREAM encryption: 64 KiB chunks, each sealed with ChaCha20-Poly1305 under a
// key derived from the file key and the payload's nonce, and a chunk nonce that counts the
// chunks and marks the last one. Reading, writing and threads are the caller's.

#include <cstddef>
#include <cstdint>
#include <span>

#include "age/agecrypto.h"
#include "platform/secretbytes.h"

inline constexpr std::size_t kPayloadChunkBytes = 64 * 1024, kTagBytes = 16, kPayloadNonceBytes = 16;

class PayloadCipher {
public:
    PayloadCipher(const SecretBytes& fileKey, std::span<const std::uint8_t, kPayloadNonceBytes> nonce);

    // n plain bytes to n + kTagBytes at out. Both methods may run on several threads at once,
    // each with a context of its own (see ChaChaContext), or without one: on a context that
    // each call sets up for itself.
    void Seal(ChaChaContext& context, std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n,
              std::uint8_t* out) const;
    void Seal(std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n, std::uint8_t* out) const;
    // n sealed bytes (tag included) to n - kTagBytes at out; false when the chunk does not
    // authenticate under this counter and last flag, and out is then garbage.
    bool Open(ChaChaContext& context, std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n,
              std::uint8_t* out) const;
    bool Open(std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n, std::uint8_t* out) const;

private:
    SecretBytes key_;
};
