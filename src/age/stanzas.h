#pragma once

// The recipient stanzas zorvanta writes and reads: X25519 public keys and scrypt passphrases.
// Each wraps the file key with ChaCha20-Poly1305 under a key of its own.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "age/header.h"
#include "age/keys.h"
#include "platform/secretbytes.h"

inline constexpr std::size_t kFileKeyBytes = 16;
// scrypt's work factor is log2 of N; 18 takes about a second. Every age tool opens a file of
// a work factor up to 22; a larger one is not written.
inline constexpr int kDefaultWorkFactor = 18, kDefaultMaxWorkFactor = 22, kLargestWrittenWorkFactor = 22;

// A fresh random file key, one for each file.
SecretBytes GenerateFileKey();

// Raises AgeError BadKey for a recipient of small order, which would give away the file key.
Stanza WrapX25519(const SecretBytes& fileKey, const X25519Recipient& recipient);
Stanza WrapScrypt(const SecretBytes& fileKey, const SecretBytes& passphrase, int workFactor);

struct Unlocking {
    std::vector<X25519Identity> identities;
    // Asked at most once, and only when the header has a scrypt stanza; an empty function or
    // nullopt means no passphrase is available.
    std::function<std::optional<SecretBytes>()> passphrase;
    // A larger work factor is refused before scrypt runs, so that a file cannot make the
    // reader spend minutes and gigabytes on one guess.
    int maxWorkFactor = kDefaultMaxWorkFactor;
};

// The file key, with the header's MAC verified; AgeError otherwise:
//   HeaderDamaged        a malformed X25519 or scrypt stanza, a scrypt stanza beside any other,
//                        a share of small order, or a MAC that does not fit the file key
//   NoIdentityMatched    no identity opens an X25519 stanza, or no passphrase for a scrypt one
//   UnsupportedKeyType   nothing matched and stanzas of other types are there (named)
//   WorkFactorTooLarge   a scrypt work factor above maxWorkFactor
//   IncorrectPassphrase  the passphrase does not open the scrypt stanza
SecretBytes UnlockFileKey(const Header& header, const Unlocking& unlocking);
