#include "cli/keyfiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/header.h"
#include "cli/passphrasesource.h"
#include "cli/runsupport.h"
#include "cli/usage.h"
#include "platform/posixfile.h"

namespace {
// Key files are small; a larger one is surely not a key file.
constexpr std::size_t kMaxKeyFileBytes = 4 * 1024 * 1024;
// A public key line is short; an RSA key of 16384 bits takes under 3 KiB.
constexpr std::size_t kMaxPublicKeyFileBytes = 64 * 1024;

struct KeyFile {
    SecretBytes text;
    mode_t mode;
};

KeyFile ReadKeyFile(const std::string& name)
{
    const std::string path = name == "-" ? "/dev/stdin" : name;
    const auto input = OpenInput(path);
    if (!input) throw Refusal{name + ": cannot read this key file (" + std::strerror(errno) + ")"};
    SecretBytes bytes(kMaxKeyFileBytes + 1);
    bytes.resize(ReadFull(input->fd.get(), bytes.data(), bytes.size()));
    if (bytes.size() > kMaxKeyFileBytes) throw Refusal{name + ": too large for a key file"};
    return {std::move(bytes), input->info.st_mode};
}

// The line of NAME.pub beside an SSH private key, which shows the public half of a protected
// PEM key; nullopt when there is none.
std::optional<std::string> PublicKeyBeside(const std::string& name)
{
    const auto input = name == "-" ? std::nullopt : OpenInput(name + ".pub");
    if (!input || !S_ISREG(input->info.st_mode)) return std::nullopt;
    std::string text(kMaxPublicKeyFileBytes, '\0');
    text.resize(ReadFull(input->fd.get(), reinterpret_cast<std::uint8_t*>(text.data()), text.size()));
    return text.substr(0, text.find('\n'));
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
// The identities' text of a key file that is an age file; such a file must be protected by a
// passphrase, since the identities it holds are what would open one made for a key.
SecretBytes DecryptKeyFile(const SecretBytes& file, const std::string& name, Command& command, CliEnvironment& env)
{
    const std::string shown = name == "-" ? "standard input" : name;
    try {
        return DecryptAgeBytes(file, ByPassphrase(command, env, "Passphrase for key file " + shown + ": "));
    } catch (const AgeError& e) {
        if (e.failure() != AgeFailure::NoIdentityMatched && e.failure() != AgeFailure::UnsupportedKeyType) throw;
        throw AgeError(AgeFailure::BadKey,
                       "this key file is encrypted to a public key; key files must be protected by a passphrase");
    }
}
}  // namespace

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
        const KeyFile file = ReadKeyFile(name);
        const RecipientList listed = Naming(name, [&] { return ParseRecipientList(AsText(file.text)); });
        for (const std::string& warning : listed.warnings) err << kPrefix << name << ": " << warning << '\n';
        recipients.insert(recipients.end(), listed.recipients.begin(), listed.recipients.end());
    }
    return recipients;
}

std::vector<Identity> IdentitiesIn(const std::string& name, Command& command, CliEnvironment& env)
{
    KeyFile file = ReadKeyFile(name);
    const bool ssh = IsSshPrivateKey(AsText(file.text));
    if (ssh) WarnIfReadableByOthers(name, file.mode, env.err);
    const std::optional<std::string> publicLine = ssh ? PublicKeyBeside(name) : std::nullopt;
    KeyPassphrase passphrase = [&command, &env, name]() -> std::optional<SecretBytes> {
        return ObtainPassphrase(command, env, PassphraseForm::Utf8, false, "Passphrase for " + name + ": ").bytes;
    };
    return Naming(name, [&] {
        // A key file may itself be an age file under a passphrase, as age allows.
        if (LooksLikeAge(file.text)) file.text = DecryptKeyFile(file.text, name, command, env);
        return ParseIdentities(file.text, std::move(passphrase), publicLine);
    });
}

Unlocking UnlockingOf(Command& command, CliEnvironment& env, const FileName& input)
{
    const auto& keyFiles = command.identityFiles;
    if (input.IsStream() && std::find(keyFiles.begin(), keyFiles.end(), "-") != keyFiles.end())
        throw UsageError{"standard input cannot be both the key file and the input"};
    // Beside a key file, which may ask for a passphrase of its own, each prompt says for what.
    Unlocking unlocking =
        ByPassphrase(command, env, keyFiles.empty() ? "Passphrase: " : "Passphrase for " + input.Shown() + ": ");
    for (const std::string& name : command.identityFiles) {
        auto identities = IdentitiesIn(name, command, env);
        std::move(identities.begin(), identities.end(), std::back_inserter(unlocking.identities));
    }
    return unlocking;
}
