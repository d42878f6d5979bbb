#include "cli/keyfiles.h"

#include <iterator>

#include "age/ageerror.h"
#include "age/keyfile.h"
#include "cli/passphrasesource.h"
#include "cli/usage.h"

namespace {
// "-" reads standard input.
std::string KeyFilePath(const std::string& name)
{
    return name == "-" ? "/dev/stdin" : name;
}

// Runs parse on a key file, naming the file in its refusals.
template <class Parse>
auto Naming(const std::string& name, Parse parse)
{
    try {
        return parse();
    } catch (const AgeError& e) {
        throw Refusal{name + ": " + e.what()};
    }
}

// The passphrase from its sources or the terminal, asked only when a file needs it.
Unlocking ByPassphrase(Command& command, CliEnvironment& env)
{
    Unlocking unlocking;
    unlocking.passphrase = [&command, &env]() -> std::optional<SecretBytes> {
        return ObtainPassphrase(command, env, PassphraseForm::Utf8, false).bytes;
    };
    unlocking.maxWorkFactor = command.maxWorkFactor.value_or(kDefaultMaxWorkFactor);
    return unlocking;
}
}  // namespace

bool HasPassphraseOption(const Command& command)
{
    return command.passphraseFile || command.passphraseFd || command.passphraseEnv || command.passphraseHex;
}

std::vector<X25519Recipient> RecipientsOf(const Command& command)
{
    std::vector<X25519Recipient> recipients;
    for (const std::string& text : command.recipients) {
        try {
            recipients.push_back(ParseRecipient(text));
        } catch (const AgeError& e) {
            throw UsageError{e.what()};
        }
    }
    for (const std::string& name : command.recipientsFiles) {
        const auto listed = Naming(name, [&] { return ReadRecipientsFile(KeyFilePath(name)); });
        recipients.insert(recipients.end(), listed.begin(), listed.end());
    }
    return recipients;
}

std::vector<X25519Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env)
{
    return Naming(name, [&] { return ReadIdentityFile(KeyFilePath(name), ByPassphrase(command, env)); });
}

Unlocking UnlockingOf(Command& command, CliEnvironment& env)
{
    Unlocking unlocking = ByPassphrase(command, env);
    for (const std::string& name : command.identityFiles) {
        auto identities = IdentitiesIn(name, command, env);
        std::move(identities.begin(), identities.end(), std::back_inserter(unlocking.identities));
    }
    return unlocking;
}
