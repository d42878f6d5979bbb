#pragma once

// The age format in zorvanta-cli: encrypt to recipients or a passphrase, decrypt and check
// with identities or a passphrase, and keygen.

#include <utility>

#include "age/agefile.h"
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/runsupport.h"

// How encrypt protects an age file: its recipients, or a passphrase (asked twice at the
// terminal) that may not be output's file.
AgeProtection ProtectionOf(Command& command, CliEnvironment& env, const FileName* output);

int EncryptAge(Command& command, CliEnvironment& env, const std::pair<FileName, FileName>& names);
// input: opened, its first bytes taken (they told the format).
int DecryptAge(Command& command, CliEnvironment& env, RunInput input, RunOutput output,
               const std::pair<FileName, FileName>& names);
int CheckAge(Command& command, CliEnvironment& env, RunInput input, const FileName& name);
int RunKeygen(Command& command, CliEnvironment& env);
