#include <bsd/readpassphrase.h>

#include <cstring>

#include "cli/cli.h"

namespace {
// Longer than a terminal's line in canonical mode (4096 bytes on Linux).
constexpr std::size_t kTypedBytes = 8192;

// readpassphrase restores the terminal when a signal comes and reads into this fixed, wiped
// buffer, never into a string that grows.
std::optional<SecretBytes> AskHidden(const std::string& prompt)
{
    SecretBytes buffer(kTypedBytes);
    char* line = ::readpassphrase(prompt.c_str(), reinterpret_cast<char*>(buffer.data()), buffer.size(), RPP_REQUIRE_TTY);
    if (!line) return std::nullopt;
    buffer.resize(std::strlen(line));  // keeps the one allocation, wiped when freed
    return buffer;
}
}  // namespace

int main(int argc, char** argv)
{
    return RunCliProcess(argc, argv, AskHidden);
}
