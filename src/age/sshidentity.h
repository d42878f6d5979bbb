#pragma once

// SSH private keys as age identities: OpenSSH's own files (Ed25519 and RSA) and PEM keys,
// unprotected or under a passphrase. The public key shows without the passphrase, so a
// protected key is unlocked (its passphrase asked for) only when a stanza's tag names it.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "age/sshcrypto.h"
#include "age/sshkeys.h"
#include "platform/secretbytes.h"

// The secret an unlocked key gives, by its type.
struct SshPrivateKey {
    SecretBytes x25519Scalar;  // ssh-ed25519: the scalar of its X25519 key
    RsaPrivateKey rsa;         // ssh-rsa
};

// Asked when a protected key is first needed; nullopt when no passphrase can be had.
using KeyPassphrase = std::function<std::optional<SecretBytes>()>;

// Whether a key file's text is an SSH private key (OpenSSH's or PEM).
bool IsSshPrivateKey(std::string_view text);

// Copies share the unlocked key, so a passphrase is asked for once whatever copy needs it.
class SshIdentity {
public:
    // publicLine: the key's line from NAME.pub beside it, for a protected PEM key, which hides
    // its public half; without it such a key is unlocked at once. AgeError BadKey for a file
    // that is no usable key, IncorrectPassphrase for a wrong passphrase.
    SshIdentity(const SecretBytes& text, KeyPassphrase passphrase, std::optional<std::string_view> publicLine = {});

    const SshPublicKey& PublicKey() const;
    // Protected and not yet unlocked.
    bool Locked() const;
    // The secret, unlocked the first time; AgeError IncorrectPassphrase when the passphrase
    // is wrong, NoIdentityMatched when none is given, BadKey when the key cannot be unlocked.
    const SshPrivateKey& Unlock() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};
