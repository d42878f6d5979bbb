#include "age/payload.h"

#include <array>

namespace {
// An 11-byte big-endian chunk counter, then 1 for the last chunk and 0 for every other.
std::array<std::uint8_t, kChaChaNonceBytes> ChunkNonce(std::uint64_t counter, bool last)
{
    std::array<std::uint8_t, kChaChaNonceBytes> nonce{};
    for (std::size_t i = 0; i < 8; ++i) nonce[10 - i] = static_cast<std::uint8_t>(counter >> (8 * i));
    nonce[11] = last ? 1 : 0;
    return nonce;
}
}  // namespace

PayloadCipher::PayloadCipher(const SecretBytes& fileKey, std::span<const std::uint8_t, kPayloadNonceBytes> nonce)
    : key_(Hkdf(fileKey, nonce, "payload", kChaChaKeyBytes))
{
}

void PayloadCipher::Seal(ChaChaContext& context, std::uint64_t counter, bool last, const std::uint8_t* in,
                         std::size_t n, std::uint8_t* out) const
{
    SealChaCha(context, ChaChaKey(key_.data(), kChaChaKeyBytes), ChunkNonce(counter, last), in, n, out);
}

void PayloadCipher::Seal(std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n,
                         std::uint8_t* out) const
{
    ChaChaContext context;
    Seal(context, counter, last, in, n, out);
}

bool PayloadCipher::Open(ChaChaContext& context, std::uint64_t counter, bool last, const std::uint8_t* in,
                         std::size_t n, std::uint8_t* out) const
{
    return OpenChaCha(context, ChaChaKey(key_.data(), kChaChaKeyBytes), ChunkNonce(counter, last), in, n, out);
}

bool PayloadCipher::Open(std::uint64_t counter, bool last, const std::uint8_t* in, std::size_t n,
                         std::uint8_t* out) const
{
    ChaChaContext context;
    return Open(context, counter, last, in, n, out);
}
