// The age engine's stream decryption fed files mutated from small valid age files (the seed
// corpus in fuzz/corpus/agestream/, written by zorvanta-cli for the identity and passphrase
// below): nothing crashes, every refusal is an AgeError, and the engine gives exactly what an
// independent serial decryption gives, which opens the header with the core functions and
// then each chunk in turn under every rule of the payload. So the engine opens every file that
// decrypts and nothing else, and never hands out a byte that did not authenticate.
#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/armor.h"
#include "age/header.h"
#include "age/payload.h"
#include "age/stanzas.h"
#include "ageunlocking.h"
#include "property.h"

namespace {
constexpr std::size_t kSealedBytes = kPayloadChunkBytes + kTagBytes;

using Bytes = std::vector<std::uint8_t>;

// The binary file: the input itself, or its armor decoded whole. The format is told by the
// same first bytes as the engine's.
std::optional<Bytes> Binary(std::span<const std::uint8_t> file)
{
    const auto first = file.first(std::min(file.size(), kAgeDetectBytes));
    if (!LooksLikeAge(first)) return std::nullopt;
    if (!IsArmored(first)) return Bytes(file.begin(), file.end());
    Bytes binary;
    ArmorDecoder decoder;
    decoder.Feed(file, binary);
    decoder.Finish();
    return binary;
}

// The payload's chunks, in one pass: each opens under its counter, only the final one as the
// last, and only an empty payload ends in an empty chunk.
std::optional<Bytes> OpenPayload(std::span<const std::uint8_t> payload, const SecretBytes& fileKey)
{
    if (payload.size() < kPayloadNonceBytes) return std::nullopt;
    const PayloadCipher cipher(fileKey, payload.first<kPayloadNonceBytes>());
    payload = payload.subspan(kPayloadNonceBytes);
    Bytes plain;
    for (std::uint64_t counter = 0;; ++counter) {
        const std::size_t sealed = std::min(payload.size(), kSealedBytes);
        const bool last = sealed == payload.size();
        if (sealed < kTagBytes || (last && sealed == kTagBytes && counter > 0)) return std::nullopt;
        const std::size_t at = plain.size();
        plain.resize(at + sealed - kTagBytes);
        if (!cipher.Open(counter, last, payload.data(), sealed, plain.data() + at)) return std::nullopt;
        payload = payload.subspan(sealed);
        if (last) return plain;
    }
}

// The independent decryption; nullopt when any rule refuses the file.
std::optional<Bytes> Reference(std::span<const std::uint8_t> file)
{
    try {
        const auto binary = Binary(file);
        if (!binary) return std::nullopt;
        const auto end = FindHeaderEnd(*binary);
        if (!end) return std::nullopt;
        const Header header = ParseHeader({reinterpret_cast<const char*>(binary->data()), *end});
        const SecretBytes fileKey = UnlockFileKey(header, FuzzUnlocking());
        return OpenPayload(std::span(*binary).subspan(*end), fileKey);
    } catch (const AgeError&) {
        return std::nullopt;
    }
}

std::optional<Bytes> Engine(std::span<const std::uint8_t> file)
{
    try {
        const SecretBytes plain = DecryptAgeBytes(SecretBytes(file.begin(), file.end()), FuzzUnlocking());
        return Bytes(plain.begin(), plain.end());
    } catch (const AgeError&) {
        return std::nullopt;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const auto expected = Reference(file);
    const auto opened = Engine(file);
    Require(opened.has_value() == expected.has_value(), "the engine opens exactly the files that decrypt");
    Require(opened == expected, "the engine gives exactly the bytes of the serial decryption");
    return 0;
}
