#include "age/agecrypto.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>

#include "age/ageerror.h"
#include "age/opensslcalls.h"
#include "pipeline/cores.h"
#include "pipeline/memorybudget.h"

namespace {
using KdfPtr = std::unique_ptr<EVP_KDF, OpenSslDeleter<EVP_KDF, EVP_KDF_free>>;
using KdfCtxPtr = std::unique_ptr<EVP_KDF_CTX, OpenSslDeleter<EVP_KDF_CTX, EVP_KDF_CTX_free>>;

OSSL_PARAM OctetParam(const char* name, std::span<const std::uint8_t> bytes)
{
    return OSSL_PARAM_construct_octet_string(name, const_cast<std::uint8_t*>(bytes.data()), bytes.size());
}

// EVP_CipherUpdate counts in int, so very long inputs go in pieces.
void CipherUpdate(EVP_CIPHER_CTX* context, const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    constexpr std::size_t kPiece = std::size_t{1} << 30;
    for (std::size_t done = 0; done < n;) {
        const int piece = static_cast<int>(std::min(kPiece, n - done));
        int written = 0;
        Require(EVP_CipherUpdate(context, out + done, &written, in + done, piece), "ChaCha20-Poly1305");
        done += static_cast<std::size_t>(piece);
    }
}

PkeyPtr X25519Key(const SecretBytes& secret)
{
    PkeyPtr key(EVP_PKEY_new_raw_private_key_ex(nullptr, "X25519", nullptr, secret.data(), secret.size()));
    if (!key) ThrowLibraryFailure("X25519 private key");
    return key;
}
}  // namespace

void ThrowLibraryFailure(const char* what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    std::string message = std::string("OpenSSL failed in ") + what;
    if (code != 0) message += std::string(" (") + ERR_reason_error_string(code) + ")";
    throw ZorvantaError(message);
}

SecretBytes Hkdf(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt, std::string_view info,
                 std::size_t length)
{
    const KdfPtr kdf(EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_HKDF, nullptr));
    const KdfCtxPtr context(kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr);
    if (!context) ThrowLibraryFailure("HKDF set-up");
    // An empty salt or info is left out: OpenSSL refuses an empty octet string for them, and
    // leaving the salt out is HKDF's own default.
    OSSL_PARAM params[5];
    std::size_t count = 0;
    params[count++] = OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, const_cast<char*>("SHA256"), 0);
    // An empty key (the ssh-ed25519 tweak's) is passed with a non-null pointer, which OpenSSL
    // needs to take it as given rather than missing.
    static const std::uint8_t kNoKey = 0;
    params[count++] = OctetParam(OSSL_KDF_PARAM_KEY, ikm.empty() ? std::span(&kNoKey, 0) : ikm);
    if (!salt.empty()) params[count++] = OctetParam(OSSL_KDF_PARAM_SALT, salt);
    if (!info.empty()) params[count++] = OctetParam(OSSL_KDF_PARAM_INFO, AsBytes(info));
    params[count] = OSSL_PARAM_construct_end();
    SecretBytes out(length);
    Require(EVP_KDF_derive(context.get(), out.data(), out.size(), params), "HKDF");
    return out;
}

std::array<std::uint8_t, 32> HmacSha256(std::span<const std::uint8_t> key, std::span<const std::uint8_t> data)
{
    std::array<std::uint8_t, 32> mac{};
    std::size_t length = 0;
    if (EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA256", nullptr, key.data(), key.size(), data.data(), data.size(),
                  mac.data(), mac.size(), &length) == nullptr ||
        length != mac.size())
        ThrowLibraryFailure("HMAC-SHA-256");
    return mac;
}

Sha256::Sha256() : context_(EVP_MD_CTX_new())
{
    if (!context_) ThrowLibraryFailure("EVP_MD_CTX_new");
    if (EVP_DigestInit_ex2(context_, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context_);
        ThrowLibraryFailure("SHA-256 set-up");
    }
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context_);
}

void Sha256::Update(const std::uint8_t* data, std::size_t count)
{
    Require(EVP_DigestUpdate(context_, data, count), "SHA-256");
}

Sha256::Digest Sha256::Finish()
{
    Digest digest{};
    unsigned int length = 0;
    Require(EVP_DigestFinal_ex(context_, digest.data(), &length), "SHA-256");
    return digest;
}

std::uint64_t ScryptMemoryBytes(int logN)
{
    return std::uint64_t{1024} << logN;
}

int LargestWorkFactorInMemory()
{
    int logN = 1;
    while (logN < 40 && ScryptMemoryBytes(logN + 1) <= PhysicalMemoryBytes()) ++logN;
    return logN;
}

SecretBytes Scrypt(std::span<const std::uint8_t> passphrase, std::span<const std::uint8_t> salt, int logN)
{
    // 2^40 blocks of 1 KiB is beyond any machine; the bound keeps the arithmetic below exact.
    if (logN < 1 || logN > 40) throw ZorvantaError("scrypt work factor " + std::to_string(logN) + " out of range");
    constexpr std::uint64_t r = 8, p = 1;
    const std::uint64_t n = std::uint64_t{1} << logN;
    // OpenSSL's own memory limit (32 MiB) is below what work factors from 15 on need.
    const std::uint64_t maxMemory = 128 * r * (n + p + 2);
    static const char kEmpty[] = "";
    const char* text = passphrase.empty() ? kEmpty : reinterpret_cast<const char*>(passphrase.data());
    SecretBytes key(32);
    static MemoryBudget budget(PhysicalMemoryBytes() / 2);
    const MemoryBudget::Share held(budget, ScryptMemoryBytes(logN));
    if (EVP_PBE_scrypt(text, passphrase.size(), salt.data(), salt.size(), n, r, p, maxMemory, key.data(),
                       key.size()) != 1) {
        if (ERR_GET_REASON(ERR_peek_last_error()) == ERR_R_MALLOC_FAILURE) {
            ERR_clear_error();
            throw OutOfMemory("not enough memory for work factor " + std::to_string(logN));
        }
        ThrowLibraryFailure("scrypt");
    }
    return key;
}

void RandomBytes(std::span<std::uint8_t> out)
{
    if (out.size() > INT_MAX) throw ZorvantaError("too many random bytes asked for at once");
    Require(RAND_bytes(out.data(), static_cast<int>(out.size())), "RAND_bytes");
}

ChaChaContext::ChaChaContext() : context_(EVP_CIPHER_CTX_new())
{
    if (!context_) ThrowLibraryFailure("EVP_CIPHER_CTX_new");
    if (EVP_CipherInit_ex2(context_, EVP_chacha20_poly1305(), nullptr, nullptr, 1, nullptr) != 1) {
        EVP_CIPHER_CTX_free(context_);
        ThrowLibraryFailure("ChaCha20-Poly1305 set-up");
    }
}

ChaChaContext::~ChaChaContext()
{
    EVP_CIPHER_CTX_free(context_);
}

EVP_CIPHER_CTX* ChaChaContext::Load(ChaChaKey key, ChaChaNonce nonce, int encrypt)
{
    Require(EVP_CipherInit_ex2(context_, nullptr, key.data(), nonce.data(), encrypt, nullptr),
            "ChaCha20-Poly1305 key set-up");
    return context_;
}

void SealChaCha(ChaChaContext& chacha, ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out)
{
    EVP_CIPHER_CTX* context = chacha.Load(key, nonce, 1);
    CipherUpdate(context, in, n, out);
    int written = 0;
    Require(EVP_CipherFinal_ex(context, out + n, &written), "ChaCha20-Poly1305");
    Require(EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_AEAD_GET_TAG, kChaChaTagBytes, out + n), "ChaCha20-Poly1305 tag");
}

void SealChaCha(ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    ChaChaContext context;
    SealChaCha(context, key, nonce, in, n, out);
}

bool OpenChaCha(ChaChaContext& chacha, ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n,
                std::uint8_t* out)
{
    if (n < kChaChaTagBytes) return false;
    const std::size_t length = n - kChaChaTagBytes;
    EVP_CIPHER_CTX* context = chacha.Load(key, nonce, 0);
    CipherUpdate(context, in, length, out);
    Require(EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_AEAD_SET_TAG, kChaChaTagBytes,
                                const_cast<std::uint8_t*>(in + length)),
            "ChaCha20-Poly1305 tag");
    int written = 0;
    return EVP_CipherFinal_ex(context, out + length, &written) == 1;
}

bool OpenChaCha(ChaChaKey key, ChaChaNonce nonce, const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    ChaChaContext context;
    return OpenChaCha(context, key, nonce, in, n, out);
}

std::array<std::uint8_t, kX25519Bytes> X25519PublicOf(const SecretBytes& secret)
{
    const PkeyPtr key = X25519Key(secret);
    std::array<std::uint8_t, kX25519Bytes> publicKey{};
    std::size_t length = publicKey.size();
    Require(EVP_PKEY_get_raw_public_key(key.get(), publicKey.data(), &length), "X25519 public key");
    return publicKey;
}

SecretBytes X25519Shared(const SecretBytes& secret, std::span<const std::uint8_t, kX25519Bytes> peer)
{
    const PkeyPtr key = X25519Key(secret);
    const PkeyPtr peerKey(EVP_PKEY_new_raw_public_key_ex(nullptr, "X25519", nullptr, peer.data(), peer.size()));
    const PkeyCtxPtr context(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!peerKey || !context) ThrowLibraryFailure("X25519 set-up");
    Require(EVP_PKEY_derive_init(context.get()), "X25519 set-up");
    Require(EVP_PKEY_derive_set_peer_ex(context.get(), peerKey.get(), 0), "X25519 peer");
    SecretBytes shared(kX25519Bytes);
    std::size_t length = shared.size();
    // OpenSSL refuses to derive an all-zero secret, which is what a share of small order gives;
    // with valid keys on both sides that is the only way the derivation fails.
    const bool derived = EVP_PKEY_derive(context.get(), shared.data(), &length) == 1;
    ERR_clear_error();
    if (!derived || std::all_of(shared.begin(), shared.end(), [](std::uint8_t b) { return b == 0; }))
        throw AgeError::HeaderDamaged("an X25519 share of small order");
    return shared;
}
