#include "cli/keyfiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "age/ageerror.h"
#include "age/keyfile.h"
#include "cli/passphrasesource.h"
#include "cli/runsupport.h"
#include "cli/usage.h"

namespace {
// "-" reads standard input.
std::string KeyFilePath(const std::string& name)
{
    return name == "-" ? "/dev/stdin" : name;
}

// As ssh does, a private key that others may read is pointed out.
void WarnIfReadableByOthers(const std::string& name, mode_t mode, std::ostream& err)
{
    if (!S_ISREG(mode) || (mode & (S_IRWXG | S_IRWXO)) == 0) return;
    char octal[8];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode & 07777));
    err << kPrefix << name << ": this private key may be read by others (mode " << octal
        << "); keep it to its owner: chmod 600 " << name << '\n';
}

// Runs parse on a key file's text, naming the file in its refusals.
template <class Parse>
auto Naming(const std::string& name, Parse parse)
{
    try {
        return parse();
    } catch (const AgeError& e) {
        throw Refusal{name + ": " + e.what()};
    }
}

// The passphrase from its sources or the terminal (showing prompt), asked only when a file
// needs it.
Unlocking ByPassphrase(Command& command, CliEnvironment& env, const std::string& prompt)
{
    Unlocking unlocking;
    unlocking.passphrase = [&command, &env, prompt]() -> std::optional<SecretBytes> {
        return ObtainPassphrase(command, env, PassphraseForm::Utf8, false, prompt).bytes;
    };
    unlocking.maxWorkFactor = command.maxWorkFactor.value_or(kDefaultMaxWorkFactor);
    return unlocking;
}
}  // namespace

void RefuseKeysFromTheInputsStream(const Command& command)
{
    if (command.names.empty() || command.names[0] != "-") return;
    const auto fromStandardInput = [](const std::vector<std::string>& files) {
        return std::find(files.begin(), files.end(), "-") != files.end();
    };
    for (const auto& [files, what] :
         {std::pair{&command.recipientsFiles, "recipients file"}, {&command.identityFiles, "key file"}})
        if (fromStandardInput(*files))
            throw UsageError{std::string("standard input cannot be both the ") + what + " and the input"};
}

bool HasPassphraseOption(const Command& command)
{
    return command.passphraseFile || command.passphraseFd || command.passphraseEnv || command.passphraseHex;
}

std::vector<Recipient> RecipientsOf(const Command& command, std::ostream& err)
{
    std::vector<Recipient> recipients;
    for (const std::string& text : command.recipients) {
        try {
            recipients.push_back(ParseRecipientLine(text));
        } catch (const AgeError& e) {
            throw UsageError{e.what()};
        }
    }
    for (const std::string& name : command.recipientsFiles) {
        const RecipientList listed = Naming(name, [&] { return ReadRecipientList(KeyFilePath(name)); });
        for (const std::string& warning : listed.warnings) err << kPrefix << name << ": " << warning << '\n';
        recipients.insert(recipients.end(), listed.recipients.begin(), listed.recipients.end());
    }
    return recipients;
}

std::vector<Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env)
{
    KeyFile file = Naming(name, [&] { return ReadKeyFile(KeyFilePath(name)); });
    if (IsSshPrivateKey(AsText(file.text))) WarnIfReadableByOthers(name, file.mode, env.err);
    KeyPassphrase passphrase = [&command, &env, name]() -> std::optional<SecretBytes> {
        return ObtainPassphrase(command, env, PassphraseForm::Utf8, false, "Passphrase for " + name + ": ").bytes;
    };
    return Naming(name, [&] {
        const std::string shown = name == "-" ? "standard input" : name;
        return OpenIdentityFile(std::move(file), name == "-" ? std::string() : name,
                                ByPassphrase(command, env, "Passphrase for key file " + shown + ": "),
                                std::move(passphrase));
    });
}

Unlocking UnlockingOf(Command& command, CliEnvironment& env, const FileName& input)
{
    const auto& keyFiles = command.identityFiles;
    // Beside a key file, which may ask for a passphrase of its own, each prompt says for what.
    Unlocking unlocking =
        ByPassphrase(command, env, keyFiles.empty() ? "Passphrase: " : "Passphrase for " + input.Shown() + ": ");
    for (const std::string& name : command.identityFiles) {
        auto identities = IdentitiesIn(name, command, env);
        std::move(identities.begin(), identities.end(), std::back_inserter(unlocking.identities));
    }
    return unlocking;
}
