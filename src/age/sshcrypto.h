#pragma once

// The primitives of the SSH stanzas: Ed25519 keys turned into X25519 ones (libsodium) and
// RSA-OAEP with SHA-256 (OpenSSL's EVP interface). None is written here by hand.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "age/sshkeys.h"
#include "platform/secretbytes.h"

// The X25519 public key of an Ed25519 public key (the birational map); AgeError BadKey when
// the bytes are no point of the curve.
std::array<std::uint8_t, 32> X25519OfEd25519(std::span<const std::uint8_t, 32> publicKey);
// The X25519 scalar of an Ed25519 key: from SHA-512 of its 32-byte seed, clamped.
SecretBytes X25519ScalarOfEd25519(const SecretBytes& seed, std::span<const std::uint8_t, 32> publicKey);

// An RSA private key held by OpenSSL, which wipes it when the last holder lets go.
using RsaPrivateKey = std::shared_ptr<struct evp_pkey_st>;
RsaPrivateKey AdoptRsaKey(struct evp_pkey_st* key);
// The secret numbers of OpenSSH's container, unsigned big-endian bytes.
struct RsaSecretNumbers {
    SecretBytes d, iqmp, p, q;
};
// The key, with the exponents of the Chinese remainder theorem worked out (OpenSSH stores
// none), which make a decryption about four times as fast.
RsaPrivateKey RsaKeyFromNumbers(std::span<const std::uint8_t> n, std::span<const std::uint8_t> e,
                                const RsaSecretNumbers& secret);
// The public half, as an SSH key.
SshPublicKey PublicKeyOf(const RsaPrivateKey& key);

// RSA-OAEP, SHA-256 for the hash and for MGF1, with the label's bytes.
std::vector<std::uint8_t> RsaOaepEncrypt(const SshPublicKey& key, std::span<const std::uint8_t> message,
                                         std::string_view label);
// nullopt when the body does not decrypt under the key.
std::optional<SecretBytes> RsaOaepDecrypt(const RsaPrivateKey& key, std::span<const std::uint8_t> body,
                                          std::string_view label);
