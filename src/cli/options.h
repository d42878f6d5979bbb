#pragma once

// The command line of zorvanta-cli: its commands, their options and the help that describes
// them (also the source of the manual page, which help2man builds from --help).

#include <optional>
#include <string>
#include <vector>

enum class Verb { Encrypt, Decrypt, Check, Reseal, Keygen, Ciphers, Selftest, Bench, Help, Version };

struct Command {
    Verb verb = Verb::Help;
    std::string cipher;              // a name, an alias or "auto"; empty when not given
    std::vector<std::string> names;  // the file names, in order
    std::optional<std::string> output;
    std::optional<std::string> passphraseFile, passphraseEnv, passphraseHex, passphraseFd;
    std::optional<std::string> format;  // "age" or "legacy"; nullopt when not given
    std::vector<std::string> recipients, recipientsFiles, identityFiles;
    bool armor = false;
    std::optional<int> workFactor, maxWorkFactor;
    bool publicKeys = false;  // keygen -y: the recipients of the identities in a file
    bool force = false;
    bool quiet = false;
    bool allowEmptyPassphrase = false;
    // Many files at once: the named folders' files too, how many at once, where outputs go.
    bool recursive = false;
    std::optional<std::size_t> jobs;
    std::optional<std::string> outputDir;
    bool deleteOriginals = false;  // reseal
    std::optional<std::string> newPassphraseFile, newPassphraseEnv, newPassphraseFd;  // reseal
    std::optional<bool> progress;      // nullopt: decided by the terminal and the file's size
    std::optional<Verb> helpTopic;     // for Help: the command asked about
};

// Whether encrypt writes an age file: asked for by --format age, -r, -R or -a.
bool WantsAge(const Command& command);

// Whether encrypt, decrypt or check works on many files: given an output folder, folders or
// (check) several names.
bool IsBatch(const Command& command);

// Raises UsageError for anything it cannot take.
Command ParseCommandLine(const std::vector<std::string>& args);

// The whole help without a topic, else the help of that command.
std::string HelpText(std::optional<Verb> topic = std::nullopt);
// The usage lines of a command, shown after a usage error.
std::string UsageLines(std::optional<Verb> topic);
std::string VersionText();

// The largest value --max-work-factor takes on this machine.
int LargestMaxWorkFactor();

// The command of that name, if there is one.
std::optional<Verb> VerbNamed(const std::string& name);
