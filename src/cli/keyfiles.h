#pragma once

// The age keys that zorvanta-cli reads: recipients from -r and -R, identities from -i files
// (which may themselves be age files under a passphrase).

#include <vector>

#include "age/keys.h"
#include "age/stanzas.h"
#include "cli/cli.h"
#include "cli/options.h"

// Every recipient of -r and -R, in order. UsageError for a -r that is not a recipient,
// Refusal for a file that does not open or holds something else.
std::vector<X25519Recipient> RecipientsOf(const Command& command);

// How age files open for this command: the identities of every -i file, the passphrase from
// its sources or the terminal (asked only when a file needs it) and the work factor allowed.
Unlocking UnlockingOf(Command& command, CliEnvironment& env);

// The identities in one file; "-" reads standard input.
std::vector<X25519Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env);

// Whether any passphrase option was given.
bool HasPassphraseOption(const Command& command);
