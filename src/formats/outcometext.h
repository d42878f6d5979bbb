#pragma once

// The sentence that tells a run's outcome, the same in every front end.

#include <string>

#include "pipeline/fileoutcome.h"

std::string FileOpMessage(FileOpResult result, FileOperation operation);
