#pragma once

// The stanzas for SSH keys: "-> ssh-ed25519 TAG SHARE" (the Ed25519 key turned into an X25519
// one, with a tweak bound to the key) and "-> ssh-rsa TAG" (RSA-OAEP). The tag, the start of
// the key's SHA-256, lets a reader pass over the stanzas of other keys without private-key work.

#include <optional>
#include <string_view>

#include "age/header.h"
#include "age/sshidentity.h"
#include "age/sshkeys.h"
#include "platform/secretbytes.h"

Stanza WrapSsh(const SecretBytes& fileKey, const SshPublicKey& key);

// Whether the stanza is of an SSH type; it is then checked with CheckSshStanza.
bool IsSshStanza(const Stanza& stanza);
// AgeError HeaderDamaged for an SSH stanza that does not have its type's form.
void CheckSshStanza(const Stanza& stanza);
// The key type the stanza is for and its tag, for messages: "an ssh-ed25519 key with tag YD8TAg".
std::string DescribeSshStanza(const Stanza& stanza);
// Whether a checked stanza names the identity's key: its type and its tag.
bool SshStanzaNames(const Stanza& stanza, const SshIdentity& identity);
// The file key of a checked stanza that names the identity's key, which is unlocked for it;
// AgeError HeaderDamaged when the stanza does not open under the key.
SecretBytes UnwrapSsh(const Stanza& stanza, const SshIdentity& identity);
