#pragma once

#include <filesystem>
#include <vector>

#include "report.h"

// Times EncryptFile and DecryptFile on a large file in folder against cat of the same file,
// for each cipher of results we have, and relates them to our raw CBC figures. Prints its table;
// false when it could not run.
bool RunFileBench(const std::vector<CipherResult>& results, const std::filesystem::path& folder, int repetitions);
