#include "cli/keyfiles.h"

#include <cerrno>
#include <cstring>
#include <iterator>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "cli/passphrasesource.h"
#include "cli/usage.h"
#include "platform/posixfile.h"

namespace {
// Key files are small; a larger one is surely not a key file.
constexpr std::size_t kMaxKeyFileBytes = 4 * 1024 * 1024;

SecretBytes ReadKeyFile(const std::string& name)
{
    const std::string path = name == "-" ? "/dev/stdin" : name;
    const auto input = OpenInput(path);
    if (!input) throw Refusal{name + ": cannot read this key file (" + std::strerror(errno) + ")"};
    SecretBytes bytes(kMaxKeyFileBytes + 1);
    bytes.resize(ReadFull(input->fd.get(), bytes.data(), bytes.size()));
    if (bytes.size() > kMaxKeyFileBytes) throw Refusal{name + ": too large for a key file"};
    return bytes;
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
        const SecretBytes text = ReadKeyFile(name);
        const auto listed = Naming(name, [&] { return ParseRecipientsFile(AsText(text)); });
        recipients.insert(recipients.end(), listed.begin(), listed.end());
    }
    return recipients;
}

std::vector<X25519Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env)
{
    SecretBytes text = ReadKeyFile(name);
    return Naming(name, [&] {
        // A key file may itself be an age file under a passphrase, as age allows.
        if (LooksLikeAge(text)) text = DecryptAgeBytes(text, ByPassphrase(command, env));
        return ParseIdentityFile(text);
    });
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
