#pragma once

// The exit statuses of zorvanta-cli: one table, which --help (and so the manual page) shows and
// the README repeats (a test compares them). A command over many files exits with the first
// that applies of: stopped, failed (3), skipped (1).

#include <string_view>

namespace exitcode {
inline constexpr int kSuccess = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsage = 2;
inline constexpr int kIoError = 3;
inline constexpr int kInternal = 4;
inline constexpr int kSignalBase = 128;  // plus the number of the signal that stopped the command
}  // namespace exitcode

struct ExitStatus {
    int code;
    std::string_view meaning;
};

inline constexpr ExitStatus kExitStatuses[] = {
    {exitcode::kSuccess, "done (for check: the file opens; for many files: every one was done, or done before)"},
    {exitcode::kRefused, "refused: names, opening, an existing output, an empty or wrong passphrase or key, a "
                         "damaged age file, an input that changed while it was read (for many files: some were "
                         "skipped, none failed)"},
    {exitcode::kUsage, "bad usage (also a passphrase source that cannot be read or is the input's stream)"},
    {exitcode::kIoError, "an I/O error, or something the system did not give: memory, a closed standard stream (for "
                         "many files: any failed so, or is a damaged age file)"},
    {exitcode::kInternal, "an internal error of zorvanta-cli"},
    {exitcode::kSignalBase + 1, "stopped by SIGHUP (hang-up); nothing is left behind"},
    {exitcode::kSignalBase + 2, "stopped by SIGINT (Ctrl-C); nothing is left behind"},
    {exitcode::kSignalBase + 15, "stopped by SIGTERM; nothing is left behind"},
};
