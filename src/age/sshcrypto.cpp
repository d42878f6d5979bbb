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

using BnCtxPtr = std::unique_ptr<BN_CTX, OpenSslDeleter<BN_CTX, BN_CTX_free>>;

// x mod (prime - 1), a CRT exponent.
BignumPtr ModPrimeLessOne(const BIGNUM* x, const BIGNUM* prime, BN_CTX* context)
{
    BignumPtr less(BN_dup(prime)), result(BN_secure_new());
    if (!less || !result || BN_sub_word(less.get(), 1) != 1 || BN_mod(result.get(), x, less.get(), context) != 1)
        ThrowLibraryFailure("RSA key set-up");
    return result;
}

void Push(const ParamBuildPtr& build, const char* name, const BIGNUM* number)
{
    if (OSSL_PARAM_BLD_push_BN(build.get(), name, number) != 1) ThrowLibraryFailure("RSA key set-up");
}

// An RSA key from its numbers: public, or with the secret ones the whole key.
PkeyPtr RsaKeyFrom(std::span<const std::uint8_t> n, std::span<const std::uint8_t> e, const RsaSecretNumbers* secret)
{
    const ParamBuildPtr build(OSSL_PARAM_BLD_new());
    if (!build) ThrowLibraryFailure("RSA key set-up");
    const BignumPtr bn = Bignum(n), be = Bignum(e);
    Push(build, OSSL_PKEY_PARAM_RSA_N, bn.get());
    Push(build, OSSL_PKEY_PARAM_RSA_E, be.get());
    BignumPtr d, p, q, iqmp, dmp1, dmq1;  // kept until the parameters are made from them
    if (secret) {
        const BnCtxPtr context(BN_CTX_secure_new());
        if (!context) ThrowLibraryFailure("RSA key set-up");
        d = Bignum(secret->d), p = Bignum(secret->p), q = Bignum(secret->q), iqmp = Bignum(secret->iqmp);
        dmp1 = ModPrimeLessOne(d.get(), p.get(), context.get());
        dmq1 = ModPrimeLessOne(d.get(), q.get(), context.get());
        Push(build, OSSL_PKEY_PARAM_RSA_D, d.get());
        Push(build, OSSL_PKEY_PARAM_RSA_FACTOR1, p.get());
        Push(build, OSSL_PKEY_PARAM_RSA_FACTOR2, q.get());
        Push(build, OSSL_PKEY_PARAM_RSA_EXPONENT1, dmp1.get());
        Push(build, OSSL_PKEY_PARAM_RSA_EXPONENT2, dmq1.get());
        Push(build, OSSL_PKEY_PARAM_RSA_COEFFICIENT1, iqmp.get());
    }
    const ParamsPtr params(OSSL_PARAM_BLD_to_param(build.get()));
    const PkeyCtxPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, secret ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
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

RsaPrivateKey RsaKeyFromNumbers(std::span<const std::uint8_t> n, std::span<const std::uint8_t> e,
                                const RsaSecretNumbers& secret)
{
    return AdoptRsaKey(RsaKeyFrom(n, e, &secret).release());
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
