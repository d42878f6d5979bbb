#pragma once

// The recipient stanzas zorvanta writes and reads: X25519 public keys, SSH keys (see
// sshstanzas.h) and scrypt passphrases. Each wraps the file key under a key of its own.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "age/header.h"
#include "age/recipients.h"
#include "platform/secretbytes.h"

inline constexpr std::size_t kFileKeyBytes = 16;
// scrypt's work factor is log2 of N; 18 takes about a second. Every age tool opens a file of
// a work factor up to 22; a larger one is not written.
inline constexpr int kDefaultWorkFactor = 18, kDefaultMaxWorkFactor = 22, kLargestWrittenWorkFactor = 22;

// A fresh random file key, one for each file.
SecretBytes GenerateFileKey();

// The file key sealed with ChaCha20-Poly1305 under wrapKey and a zero nonce, as the X25519,
// ssh-ed25519 and scrypt stanzas hold it; nullopt when the body does not open.
std::vector<std::uint8_t> WrapFileKey(const SecretBytes& wrapKey, const SecretBytes& fileKey);
std::optional<SecretBytes> UnwrapFileKey(const SecretBytes& wrapKey, const std::vector<std::uint8_t>& body);

// What a scrypt stanza was wrapped with: its salt and work factor, and the key scrypt derived
// from them and the passphrase. Whoever holds it can check that stanza without running scrypt
// again.
struct ScryptWrapping {
    std::vector<std::uint8_t> salt;
    int workFactor = 0;
    SecretBytes wrapKey;
};

// Raises AgeError BadKey for a recipient of small order, which would give away the file key.
Stanza WrapX25519(const SecretBytes& fileKey, const X25519Recipient& recipient);
// The stanza of the recipient's type.
Stanza WrapFor(const SecretBytes& fileKey, const Recipient& recipient);
// kept, when given, receives what the stanza was wrapped with.
Stanza WrapScrypt(const SecretBytes& fileKey, const SecretBytes& passphrase, int workFactor,
                  ScryptWrapping* kept = nullptr);

struct Unlocking {
    // Tried in order, those that need no passphrase first.
    std::vector<Identity> identities;
    // Asked at most once, and only when the header has a scrypt stanza; an empty function or
    // nullopt means no passphrase is available.
    std::function<std::optional<SecretBytes>()> passphrase;
    // A larger work factor is refused before scrypt runs, so that a file cannot make the
    // reader spend minutes and gigabytes on one guess.
    int maxWorkFactor = kDefaultMaxWorkFactor;
    // A scrypt stanza of exactly this salt and work factor is opened with its key, without
    // asking for the passphrase or running scrypt: a file that was just written under it.
    std::optional<ScryptWrapping> sealedWith;
};

// An Unlocking's passphrase function that gives passphrase (its own copy) each time it is asked.
std::function<std::optional<SecretBytes>()> GivingPassphrase(SecretBytes passphrase);

// The file key, with the header's MAC verified; AgeError otherwise:
//   HeaderDamaged        a malformed X25519, SSH or scrypt stanza, a scrypt stanza beside any
//                        other, a share of small order, an SSH stanza that names a key given
//                        but does not open under it, or a MAC that does not fit the file key
//   NoIdentityMatched    no identity opens an X25519 or SSH stanza (the SSH stanzas and the keys
//                        given are named), or no passphrase for a scrypt one
//   UnsupportedKeyType   nothing matched and stanzas of other types are there (named)
//   WorkFactorTooLarge   a scrypt work factor above maxWorkFactor
//   IncorrectPassphrase  the passphrase does not open the scrypt stanza, or a protected SSH
//                        key named by a stanza
SecretBytes UnlockFileKey(const Header& header, const Unlocking& unlocking);
