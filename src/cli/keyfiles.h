#pragma once

// The age keys that zorvanta-cli reads: recipients (age1... and SSH public keys) from -r and
// -R, identities from -i files (age identity files, which may themselves be age files under a
// passphrase, and SSH private keys).

#include <ostream>
#include <vector>

#include "age/recipients.h"
#include "age/stanzas.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/runsupport.h"

// Every recipient of -r and -R, in order; the lines of -R files that were skipped are told on
// err. UsageError for a -r that is not a recipient, Refusal for a file that does not open or
// holds something else.
std::vector<Recipient> RecipientsOf(const Command& command, std::ostream& err);

// How age files open for this command: the identities of every -i file, the passphrase from
// its sources or the terminal (asked only when a file needs it) and the work factor allowed.
// Beside a key file, the prompt names the input it is for.
Unlocking UnlockingOf(Command& command, CliEnvironment& env, const FileName& input);

// The identities in one file; "-" reads standard input. A protected SSH key asks for its
// passphrase (from the passphrase options or the terminal) only when a file needs it.
std::vector<Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env);

// UsageError when -R - or -i - would read standard input that the input reads too: the
// keys would leave nothing of it for the file.
void RefuseKeysFromTheInputsStream(const Command& command);

// Whether any passphrase option was given.
bool HasPassphraseOption(const Command& command);
