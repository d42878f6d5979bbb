#pragma once

// Recipients and identities of every kind zorvanta uses: age's own X25519 keys and SSH keys,
// read from the texts users hold (a -r argument, a list of keys, a key file), so that every
// front end takes them through the same functions.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "age/keys.h"
#include "age/sshidentity.h"
#include "age/sshkeys.h"
#include "platform/secretbytes.h"

using Recipient = std::variant<X25519Recipient, SshPublicKey>;
// For std::visit over either kind: one lambda for each.
template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;  // for compilers without aggregate deduction (clang 14)

using Identity = std::variant<X25519Identity, SshIdentity>;

// One recipient: "age1..." or an SSH public key line ("ssh-ed25519 AAAA... comment").
// AgeError BadKey that names the fault.
Recipient ParseRecipientLine(std::string_view text);
// "age1..." or "ssh-ed25519 AAAA...": how the recipient is given.
std::string FormatAnyRecipient(const Recipient& recipient);

struct RecipientList {
    std::vector<Recipient> recipients;
    std::vector<std::string> warnings;  // "line N: ..." for each line skipped
};
// A list of keys, one a line (see ForEachKeyLine), as ~/.ssh/id_ed25519.pub, authorized_keys
// without options, or a code host's .keys list. SSH keys of a type no stanza is for (ecdsa,
// sk-...) are skipped with a warning; AgeError BadKey names the line that holds no key, or
// says that no usable recipient remains.
RecipientList ParseRecipientList(std::string_view text);

// The identities of a key file: an age identity file, or an SSH private key, whose
// passphrase (when protected) is asked of sshPassphrase only when a stanza names its key.
// sshPublicLine: the text of NAME.pub, for a protected PEM key (see SshIdentity).
std::vector<Identity> ParseIdentities(const SecretBytes& text, KeyPassphrase sshPassphrase = {},
                                      std::optional<std::string_view> sshPublicLine = {});
// The recipient that the identity opens files for.
Recipient PublicOf(const Identity& identity);
// How the identity shows in a message: its recipient (age1...) or its SSH fingerprint.
std::string DescribeIdentity(const Identity& identity);
