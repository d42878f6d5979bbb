#include "age/sshcrypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>
#include <sodium.h>

#include <vector>

#include "age/ageerror.h"
#include "age/opensslcalls.h"

namespace {
using BignumPtr = std::unique_ptr<BIGNUM, OpenSslDeleter<BIGNUM, BN_clear_free>>;
using ParamBuildPtr = std::unique_ptr<OSSL_PARAM_BLD, OpenSslDeleter<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using ParamsPtr = std::unique_ptr<OSSL_PARAM, OpenSslDeleter<OSSL_PARAM, OSSL_PARAM_free>>;

void RequireSodium()
{
    // Safe to call again; it only fails when the system gives no randomness at all.
    if (sodium_init() < 0) throw ZorvantaError("libsodium failed to start");
}

BignumPtr Bignum(std::span<const std::uint8_t> bytes)
{
    BignumPtr number(BN_bin2bn(bytes.data(), static_cast<int>(bytes.size()), nullptr));
    if (!number) ThrowLibraryFailure("BN_bin2bn");
    return number;
}

// An RSA key from its numbers: public, or with d the whole key.
PkeyPtr RsaKeyFrom(std::span<const std::uint8_t> n, std::span<const std::uint8_t> e, const SecretBytes* d)
{
    const BignumPtr bn = Bignum(n), be = Bignum(e), bd = d ? Bignum(*d) : nullptr;
    const ParamBuildPtr build(OSSL_PARAM_BLD_new());
    if (!build || OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, bn.get()) != 1 ||
        OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, be.get()) != 1 ||
        (bd && OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_D, bd.get()) != 1))
        ThrowLibraryFailure("RSA key set-up");
    const ParamsPtr params(OSSL_PARAM_BLD_to_param(build.get()));
    const PkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        ThrowLibraryFailure("RSA key set-up");
    return PkeyPtr(key);
}

// A context for RSA-OAEP with SHA-256 and the label, made ready by init (encrypt or decrypt).
PkeyCtxPtr OaepContext(EVP_PKEY* key, int (*init)(EVP_PKEY_CTX*), std::string_view label)
{
    PkeyCtxPtr context(EVP_PKEY_CTX_new_from_pkey(nullptr, key, nullptr));
    if (!context) ThrowLibraryFailure("RSA set-up");
    Require(init(context.get()), "RSA set-up");
    Require(EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING), "RSA-OAEP set-up");
    Require(EVP_PKEY_CTX_set_rsa_oaep_md(context.get(), EVP_sha256()), "RSA-OAEP set-up");
    Require(EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), EVP_sha256()), "RSA-OAEP set-up");
    // OpenSSL takes over the label and frees it with OPENSSL_free.
    void* copy = OPENSSL_memdup(label.data(), label.size());
    if (!copy || EVP_PKEY_CTX_set0_rsa_oaep_label(context.get(), copy, static_cast<int>(label.size())) <= 0) {
        OPENSSL_free(copy);
        ThrowLibraryFailure("RSA-OAEP label");
    }
    return context;
}

std::vector<std::uint8_t> BignumBytes(const EVP_PKEY* key, const char* name)
{
    BIGNUM* number = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &number) != 1) ThrowLibraryFailure("RSA key parameter");
    const BignumPtr owned(number);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(number)));
    BN_bn2bin(number, bytes.data());
    return bytes;
}
}  // namespace

std::array<std::uint8_t, 32> X25519OfEd25519(std::span<const std::uint8_t, 32> publicKey)
{
    RequireSodium();
    std::array<std::uint8_t, 32> result{};
    if (crypto_sign_ed25519_pk_to_curve25519(result.data(), publicKey.data()) != 0)
        throw AgeError(AgeFailure::BadKey, "an ssh-ed25519 key that is no point of the curve");
    return result;
}

SecretBytes X25519ScalarOfEd25519(const SecretBytes& seed, std::span<const std::uint8_t, 32> publicKey)
{
    RequireSodium();
    // libsodium's secret key is the seed followed by the public key.
    SecretBytes secretKey(seed.begin(), seed.end());
    secretKey.insert(secretKey.end(), publicKey.begin(), publicKey.end());
    SecretBytes scalar(crypto_scalarmult_curve25519_BYTES);
    if (secretKey.size() != crypto_sign_ed25519_SECRETKEYBYTES ||
        crypto_sign_ed25519_sk_to_curve25519(scalar.data(), secretKey.data()) != 0)
        throw AgeError(AgeFailure::BadKey, "an ssh-ed25519 private key of the wrong length");
    return scalar;
}

RsaPrivateKey AdoptRsaKey(EVP_PKEY* key)
{
    return RsaPrivateKey(key, EVP_PKEY_free);
}

RsaPrivateKey RsaKeyFromNumbers(std::span<const std::uint8_t> n, std::span<const std::uint8_t> e, const SecretBytes& d)
{
    return AdoptRsaKey(RsaKeyFrom(n, e, &d).release());
}

SshPublicKey PublicKeyOf(const RsaPrivateKey& key)
{
    return RsaPublicKey(BignumBytes(key.get(), OSSL_PKEY_PARAM_RSA_E), BignumBytes(key.get(), OSSL_PKEY_PARAM_RSA_N));
}

std::vector<std::uint8_t> RsaOaepEncrypt(const SshPublicKey& key, std::span<const std::uint8_t> message,
                                         std::string_view label)
{
    const RsaPublicParts parts = RsaPartsOf(key);
    const PkeyPtr publicKey = RsaKeyFrom(parts.n, parts.e, nullptr);
    const PkeyCtxPtr context = OaepContext(publicKey.get(), EVP_PKEY_encrypt_init, label);
    std::size_t length = 0;
    Require(EVP_PKEY_encrypt(context.get(), nullptr, &length, message.data(), message.size()), "RSA-OAEP");
    std::vector<std::uint8_t> body(length);
    Require(EVP_PKEY_encrypt(context.get(), body.data(), &length, message.data(), message.size()), "RSA-OAEP");
    body.resize(length);
    return body;
}

std::optional<SecretBytes> RsaOaepDecrypt(const RsaPrivateKey& key, std::span<const std::uint8_t> body,
                                          std::string_view label)
{
    const PkeyCtxPtr context = OaepContext(key.get(), EVP_PKEY_decrypt_init, label);
    std::size_t length = 0;
    Require(EVP_PKEY_decrypt(context.get(), nullptr, &length, body.data(), body.size()), "RSA-OAEP");
    SecretBytes message(length);
    const bool opened = EVP_PKEY_decrypt(context.get(), message.data(), &length, body.data(), body.size()) == 1;
    ERR_clear_error();
    if (!opened) return std::nullopt;
    message.resize(length);
    return message;
}
