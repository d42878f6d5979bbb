// The age engine's stream decryption against an oracle of this target's own. An input is an age
// file, mutated from small valid ones (the seed corpus in fuzz/corpus/agestream/, written by
// zorvanta-cli for the identities and passphrase of ageunlocking.h), or, when its first byte is
// 0, a recipe of chunks that this target seals itself (see Crafted), so that the fuzzer reaches
// payloads whose every chunk authenticates and that still break a rule of the stream. Nothing
// crashes, every refusal is an AgeError, and the engine opens exactly the files the oracle
// opens, to the same bytes.
//
// The oracle takes the header from the core functions (ageheader_fuzz is the header's target)
// and decodes the payload as the age format describes it, on OpenSSL's EVP and nothing of the
// engine's payload code or constants: a broken rule of the engine disagrees with it.
#include <openssl/evp.h>
#include <openssl/kdf.h>

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <vector>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/armor.h"
#include "age/header.h"
#include "age/keys.h"
#include "age/stanzas.h"
#include "ageunlocking.h"
#include "property.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

// The payload as the format defines it: a 16-byte nonce, then chunks of 64 KiB, each sealed with
// a 16-byte tag.
constexpr std::size_t kNonce = 16, kChunk = 64 * 1024, kTag = 16, kSealed = kChunk + kTag;

// payload key = HKDF-SHA-256(ikm = file key, salt = nonce, info = "payload")
Bytes PayloadKey(std::span<const std::uint8_t> fileKey, std::span<const std::uint8_t> nonce)
{
    Bytes key(32);
    std::size_t length = key.size();
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr);
    const bool derived =
        context && EVP_PKEY_derive_init(context) > 0 && EVP_PKEY_CTX_set_hkdf_md(context, EVP_sha256()) > 0 &&
        EVP_PKEY_CTX_set1_hkdf_salt(context, nonce.data(), static_cast<int>(nonce.size())) > 0 &&
        EVP_PKEY_CTX_set1_hkdf_key(context, fileKey.data(), static_cast<int>(fileKey.size())) > 0 &&
        EVP_PKEY_CTX_add1_hkdf_info(context, reinterpret_cast<const unsigned char*>("payload"), 7) > 0 &&
        EVP_PKEY_derive(context, key.data(), &length) > 0;
    EVP_PKEY_CTX_free(context);
    Require(derived && length == key.size(), "HKDF-SHA-256 derives the payload key");
    return key;
}

// One chunk through ChaCha20-Poly1305 under the nonce of 11 bytes of big-endian counter and the
// last flag: sealed (the tag appended), or opened (the tag checked and taken off; nullopt when
// the chunk does not authenticate).
std::optional<Bytes> Chunk(const Bytes& key, std::uint64_t counter, bool last, std::span<const std::uint8_t> in,
                           bool seal)
{
    if (!seal && in.size() < kTag) return std::nullopt;
    std::array<std::uint8_t, 12> nonce{};
    for (std::size_t i = 0; i < 8; ++i) nonce[10 - i] = static_cast<std::uint8_t>(counter >> (8 * i));
    nonce[11] = last ? 1 : 0;
    const std::size_t n = seal ? in.size() : in.size() - kTag;
    Bytes out(n + kTag);  // room for the tag, sealing
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int length = 0;
    bool done = context && EVP_CipherInit_ex(context, EVP_chacha20_poly1305(), nullptr, key.data(), nonce.data(),
                                             seal ? 1 : 0) > 0;
    if (!seal) {
        Bytes tag(in.begin() + static_cast<std::ptrdiff_t>(n), in.end());
        done = done && EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_AEAD_SET_TAG, kTag, tag.data()) > 0;
    }
    done = done && (n == 0 || EVP_CipherUpdate(context, out.data(), &length, in.data(), static_cast<int>(n)) > 0) &&
           EVP_CipherFinal_ex(context, out.data() + n, &length) > 0;
    if (seal) done = done && EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_AEAD_GET_TAG, kTag, out.data() + n) > 0;
    EVP_CIPHER_CTX_free(context);
    Require(done || !seal, "ChaCha20-Poly1305 seals");
    if (!done) return std::nullopt;
    out.resize(seal ? n + kTag : n);
    return out;
}

// The payload cut into sealed chunks, of which the final one, which may be shorter, is the last;
// chunk i opens under counter i. The last may be empty only when it is the only one.
std::optional<Bytes> OpenPayload(std::span<const std::uint8_t> payload, const SecretBytes& fileKey)
{
    if (payload.size() < kNonce) return std::nullopt;
    const Bytes key = PayloadKey(fileKey, payload.first(kNonce));
    const auto sealed = payload.subspan(kNonce);
    const std::size_t count = std::max<std::size_t>(1, (sealed.size() + kSealed - 1) / kSealed);
    Bytes plain;
    for (std::size_t i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        const auto opened = Chunk(key, i, last, sealed.subspan(i * kSealed, last ? sealed.size() - i * kSealed : kSealed), false);
        if (!opened || (last && i > 0 && opened->empty())) return std::nullopt;
        plain.insert(plain.end(), opened->begin(), opened->end());
    }
    return plain;
}

// The binary file: the input itself, or its armor decoded whole.
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

// The oracle's decryption; nullopt when the file does not open.
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

// An age file to the fuzz identity from a recipe after its 0 byte: up to 8 chunks of two bytes
// each, a size (255: 64 KiB, 254: one byte more, 253: one byte less; else that many bytes) and
// a flag byte whose low bit is the last flag and whose rest, signed, is added to the chunk's
// place to give its counter. The chunks are sealed as given, under a file key of this target's.
Bytes Crafted(std::span<const std::uint8_t> recipe)
{
    static const SecretBytes fileKey(16, 0x5a);
    static const std::string header = WriteHeader(
        {WrapX25519(fileKey, RecipientOf(std::get<X25519Identity>(FuzzUnlocking().identities.at(0))))}, fileKey);
    const std::array<std::uint8_t, kNonce> nonce{1, 2, 3};
    const Bytes key = PayloadKey(fileKey, nonce);
    Bytes file(header.begin(), header.end());
    file.insert(file.end(), nonce.begin(), nonce.end());
    for (std::size_t i = 0; i + 1 < recipe.size() && i < 16; i += 2) {
        const std::uint8_t size = recipe[i];
        const std::size_t bytes = size == 255 ? kChunk : size == 254 ? kChunk + 1 : size == 253 ? kChunk - 1 : size;
        const auto offset = static_cast<std::int8_t>(recipe[i + 1]) >> 1;
        const Bytes plain(bytes, static_cast<std::uint8_t>(i));
        const auto sealed = Chunk(key, i / 2 + static_cast<std::uint64_t>(offset), recipe[i + 1] & 1, plain, true);
        file.insert(file.end(), sealed->begin(), sealed->end());
    }
    return file;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> file(data, size);
    Bytes crafted;
    if (size > 0 && data[0] == 0) file = crafted = Crafted(file.subspan(1));
    const auto expected = Reference(file);
    const auto opened = Engine(file);
    Require(opened.has_value() == expected.has_value(), "the engine opens exactly the files the oracle opens");
    Require(opened == expected, "the engine gives exactly the oracle's bytes");
    return 0;
}
