#include "gui/shell/commandline.h"

#include <algorithm>

#include "version.h"

std::optional<std::string> InformationRequested(const std::vector<std::string>& args)
{
    const auto end = std::find(args.begin(), args.end(), "--");  // names only after it
    const auto asks = [&](std::initializer_list<const char*> spellings) {
        return std::any_of(args.begin(), end, [&](const std::string& arg) {
            return std::any_of(spellings.begin(), spellings.end(), [&](const char* s) { return arg == s; });
        });
    };
    if (asks({"--help", "-h"}))
        return "Usage: zorvanta [OPTION]\n"
               "Encrypts whole files under a passphrase, in the age format or with one of seven block\n"
               "ciphers, and obfuscates short texts, in windows of its own.\n"
               "\n"
               "  -h, --help     print this help and stop\n"
               "  -V, --version  print the version and stop\n"
               "\n"
               "zorvanta-cli encrypts and decrypts files on the command line: zorvanta-cli help.\n";
    if (asks({"--version", "-V"})) return std::string("zorvanta ") + kZorvantaVersion + "\n";
    return std::nullopt;
}
