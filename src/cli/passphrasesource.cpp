#include "cli/passphrasesource.h"

#include <fcntl.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "cli/passphraseline.h"
#include "cli/usage.h"
#include "fileenc/passphrase.h"
#include "platform/fileidentity.h"
#include "platform/ownstream.h"
#include "platform/posixfile.h"

namespace {
struct WipeOnExit {
    std::optional<std::string>& text;
    ~WipeOnExit()
    {
        if (text) WipeString(*text);
    }
};

SecretBytes FromHex(const std::string& hex)
{
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw UsageError{"--passphrase-hex takes hexadecimal digits, two per byte"};
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    SecretBytes bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    return bytes;
}

std::optional<struct stat> RegularFileOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return info;
}

// Where a passphrase option reads from: a descriptor of this process (given, or named by a
// path such as /dev/stdin), or a file it opens itself.
struct Reading {
    int fd;
    bool own;  // a descriptor this process holds, whose stream or offset others share
};

// Reading the passphrase must not take bytes from the input: the two may not be one pipe,
// socket or terminal, nor one file through descriptors whose offset this process shares.
void RefuseTheInputsStream(const Reading& reading, const std::string& option, const Command& command,
                           const CliEnvironment& env)
{
    if (command.names.empty()) return;
    const std::string input = command.names[0] == "-" ? env.standardInput : command.names[0];
    const auto inputFd = OwnDescriptorNamedBy(input);
    struct stat passphrase, read;
    if (::fstat(reading.fd, &passphrase) != 0) return;
    if ((inputFd ? ::fstat(*inputFd, &read) : ::stat(input.c_str(), &read)) != 0) return;
    const bool sharesAnOffset = reading.own && inputFd;
    if (SameFile(passphrase, read) && (!S_ISREG(read.st_mode) || sharesAnOffset))
        throw UsageError{option + " reads the same stream as the input; give the passphrase another way"};
}

ObtainedPassphrase FromDescriptor(const Reading& reading, const std::string& option, const std::string& source,
                                  const Command& command, const CliEnvironment& env)
{
    RefuseTheInputsStream(reading, option, command, env);
    const SecretBytes line = FirstLineOf(reading.fd, source);
    return {line, RegularFileOf(reading.fd)};
}

ObtainedPassphrase FromFile(const std::string& path, const Command& command, const CliEnvironment& env)
{
    const std::string option = "--passphrase-file " + path;
    const std::string source = "the passphrase file " + path;
    if (const auto own = OwnDescriptorNamedBy(path)) return FromDescriptor({*own, true}, option, source, command, env);
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw UsageError{"cannot read the passphrase file " + path + " (" + std::strerror(errno) + ")"};
    return FromDescriptor({fd.get(), false}, option, source, command, env);
}

int DescriptorNumber(const std::string& text)
{
    int fd = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), fd);
    if (error != std::errc() || end != text.data() + text.size() || fd < 0)
        throw UsageError{"--passphrase-fd takes a descriptor number"};
    return fd;
}

SecretBytes Asked(const std::string& prompt, CliEnvironment& env)
{
    auto typed = env.askHidden(prompt);
    if (env.stopSignal && env.stopSignal->load() != 0) throw Interrupted{env.stopSignal->load()};
    if (!typed) throw UsageError{"no terminal to ask for the passphrase; use a passphrase option"};
    return std::move(*typed);
}

SecretBytes Typed(CliEnvironment& env, bool confirm, const std::string& prompt)
{
    SecretBytes typed = Asked(prompt, env);
    if (confirm && Asked("Passphrase again: ", env) != typed) throw UsageError{"the two passphrases differ"};
    return typed;
}

// The passphrase as text; hexadecimal bytes are exact and stay as they are.
ObtainedPassphrase AsTyped(Command& command, CliEnvironment& env, bool confirm, const std::string& prompt)
{
    if (command.passphraseFile) return FromFile(*command.passphraseFile, command, env);
    if (command.passphraseFd) {
        const std::string& fd = *command.passphraseFd;
        return FromDescriptor({DescriptorNumber(fd), true}, "--passphrase-fd " + fd, "descriptor " + fd, command, env);
    }
    if (command.passphraseEnv) {
        auto text = env.variable(*command.passphraseEnv);
        WipeOnExit wipeText{text};
        if (!text) throw UsageError{"environment variable " + *command.passphraseEnv + " is not set"};
        return {ToSecretBytes(*text), std::nullopt};
    }
    return {Typed(env, confirm, prompt), std::nullopt};
}

// The passphrase as typed, and whether its bytes are exact (hexadecimal), which no form changes.
std::pair<ObtainedPassphrase, bool> FromAnySource(Command& command, CliEnvironment& env, bool confirm,
                                                  const std::string& prompt = "Passphrase: ")
{
    const int sources = command.passphraseFile.has_value() + command.passphraseFd.has_value() +
                        command.passphraseEnv.has_value() + command.passphraseHex.has_value();
    if (sources > 1) throw UsageError{"give at most one passphrase option"};
    if (command.passphraseHex) return {{FromHex(*command.passphraseHex), std::nullopt}, true};
    return {AsTyped(command, env, confirm, prompt), false};
}

SecretBytes LegacyForm(const SecretBytes& typed, bool exact)
{
    return exact ? typed : PassphraseBytes(AsText(typed));
}

void RefuseEmpty(const SecretBytes& passphrase, const Command& command)
{
    if (passphrase.empty() && !command.allowEmptyPassphrase)
        throw Refusal{"the passphrase is empty; give --allow-empty-passphrase to use it all the same"};
}
}  // namespace

void ForgetHexPassphrase(Command& command) noexcept
{
    if (command.passphraseHex) WipeString(*command.passphraseHex);
}

ObtainedPassphrase ObtainPassphrase(Command& command, CliEnvironment& env, PassphraseForm form, bool confirm,
                                    const std::string& prompt)
{
    auto [passphrase, exact] = FromAnySource(command, env, confirm, prompt);
    if (form == PassphraseForm::Legacy) passphrase.bytes = LegacyForm(passphrase.bytes, exact);
    RefuseEmpty(passphrase.bytes, command);
    return passphrase;
}

PassphraseForms ObtainPassphraseForms(Command& command, CliEnvironment& env)
{
    auto [passphrase, exact] = FromAnySource(command, env, false);
    RefuseEmpty(passphrase.bytes, command);
    return {LegacyForm(passphrase.bytes, exact), std::move(passphrase.bytes)};
}

std::optional<SecretBytes> ObtainNewPassphrase(const Command& command, CliEnvironment& env)
{
    Command source;
    source.passphraseFile = command.newPassphraseFile;
    source.passphraseFd = command.newPassphraseFd;
    source.passphraseEnv = command.newPassphraseEnv;
    source.allowEmptyPassphrase = command.allowEmptyPassphrase;
    if (!source.passphraseFile && !source.passphraseFd && !source.passphraseEnv) return std::nullopt;
    return ObtainPassphrase(source, env, PassphraseForm::Utf8, false).bytes;
}
