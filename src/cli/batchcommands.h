#pragma once

// zorvanta-cli over many files: reseal, and encrypt, decrypt and check given an output folder,
// folders or several names. A line tells each file's end (a done file's unless -q), a line of
// progress the whole batch's bytes, and a summary the counts; the exit status is the worst
// outcome: a stop, then a failure (3), then a skipped file (1).

#include "cli/cli.h"
#include "cli/options.h"

int RunBatchCommand(Command& command, CliEnvironment& env);
