#pragma once

#include <ostream>
#include <span>

#include "cli/knownanswers.h"

// Checks every known answer, printing one line each ("ok" or "FAILED" and its label);
// returns true when all hold.
bool RunSelfTest(std::span<const KnownAnswer> answers, std::ostream& out);
