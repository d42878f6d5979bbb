#pragma once

// Where zorvanta-cli takes the passphrase from: a file, a descriptor, a variable, hexadecimal
// bytes or the terminal. Every copy it makes is wiped before its memory is given back.

#include <sys/stat.h>

#include <optional>

#include "cli/cli.h"
#include "cli/options.h"
#include "platform/secretbytes.h"

// The bytes a passphrase stands for: as the legacy format hashes it (see fileenc/passphrase.h),
// or its UTF-8 bytes as typed, as age reads it. Hexadecimal bytes are taken as they are.
enum class PassphraseForm { Legacy, Utf8 };

struct ObtainedPassphrase {
    SecretBytes bytes;
    std::optional<struct stat> file;  // the regular file it was read from, so no output replaces it
};

// Raises UsageError for a source that cannot be used, Refusal for the empty passphrase
// without --allow-empty-passphrase, Interrupted when a signal ended the prompt.
// confirm: asks twice at the terminal, as for a new file; prompt: what the terminal shows.
ObtainedPassphrase ObtainPassphrase(Command& command, CliEnvironment& env, PassphraseForm form, bool confirm,
                                    const std::string& prompt = "Passphrase: ");

// A passphrase read once, in both forms: the legacy files' passphrase of a reseal, which by
// default protects the age files too.
struct PassphraseForms {
    SecretBytes legacy, utf8;
};
PassphraseForms ObtainPassphraseForms(Command& command, CliEnvironment& env);

// The passphrase of reseal's --new-passphrase-file, -fd or -env (UTF-8); nullopt when none
// of them is given.
std::optional<SecretBytes> ObtainNewPassphrase(const Command& command, CliEnvironment& env);

// Overwrites the hexadecimal passphrase that the parsed command line holds, if any.
void ForgetHexPassphrase(Command& command) noexcept;
