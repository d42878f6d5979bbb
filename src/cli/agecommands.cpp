#include "cli/agecommands.h"

#include <cerrno>

#include "age/ageerror.h"
#include "age/agefile.h"
#include "age/keyfile.h"
#include "cli/keyfiles.h"
#include "cli/passphrasesource.h"
#include "cli/printable.h"
#include "cli/progress.h"
#include "formats/dispatch.h"
#include "platform/namedfailure.h"
#include "platform/outputfile.h"

AgeProtection ProtectionOf(Command& command, CliEnvironment& env, const FileName* output)
{
    if (command.format == "legacy") throw UsageError{"-r, -R and -a are for the age format"};
    if (!command.cipher.empty()) throw UsageError{"--cipher is for the legacy format; an age file needs none"};
    AgeProtection protection;
    protection.armor = command.armor;
    protection.recipients = RecipientsOf(command, env.err);
    if (!protection.recipients.empty()) {
        if (HasPassphraseOption(command)) throw UsageError{"give recipients or a passphrase, not both"};
        if (command.workFactor) throw UsageError{"--work-factor is for a passphrase, not for recipients"};
        return protection;
    }
    const ObtainedPassphrase passphrase = ObtainPassphrase(command, env, PassphraseForm::Utf8, true);
    if (output) RefusePassphraseFileAsOutput(passphrase, *output);
    protection.passphrase = passphrase.bytes;
    protection.workFactor = command.workFactor.value_or(kDefaultWorkFactor);
    return protection;
}

namespace {

void WriteKeyFileOf(const Command& command, const FileName& output, const SecretBytes& text, std::ostream& err)
{
    std::optional<std::string> notKept;
    try {
        notKept = WriteKeyFile(output.path, text,
                               command.force ? OutputFile::Existing::Replace : OutputFile::Existing::Refuse);
    } catch (const OutputExists&) {
        throw ExistsRefusal(output);
    }
    if (!notKept) throw OutputRefusal(output, errno, FileOperation::Encrypt);
    if (!notKept->empty()) err << kPrefix << Printable(*notKept) << '\n';
}

// As age-keygen does: a secret key written to a regular file that others can read is pointed out.
void WarnIfOthersCanRead(const FileName& output, std::ostream& err)
{
    const auto info = StatOf(output.path);
    if (!info || !S_ISREG(info->st_mode) || (info->st_mode & (S_IRGRP | S_IROTH)) == 0) return;
    err << kPrefix << "warning: " << output.Shown() << " holds the secret key and others can read it; keep it to "
        << "its owner (chmod 600)\n";
}

int PrintRecipients(Command& command, CliEnvironment& env)
{
    if (command.names.size() != 1 || command.output) throw UsageError{"keygen -y takes one FILE"};
    for (const Identity& identity : IdentitiesIn(command.names[0], command, env))
        env.out << FormatAnyRecipient(PublicOf(identity)) << '\n';
    return exitcode::kSuccess;
}
}  // namespace

int EncryptAge(Command& command, CliEnvironment& env, const std::pair<FileName, FileName>& names)
{
    const auto& [input, output] = names;
    RunInput opened = OpenForReading(input, 0);
    RunOutput written = OpenForWriting(command, opened, output, FileOperation::Encrypt, env);
    const Protection protection = ProtectionOf(command, env, &output);
    RunObserver observer(StopSignal(env), ShowsProgress(command, env, input) ? &env.err : nullptr,
                         env.errColumns, env.err);
    const FileOpResult result = EncryptOpened(std::move(opened), std::move(written), protection, {&observer});
    observer.EndLine();
    return ReportOutcome(result, FileOperation::Encrypt, command, env);
}

int DecryptAge(Command& command, CliEnvironment& env, RunInput input, RunOutput output,
               const std::pair<FileName, FileName>& names)
{
    if (!IsAutoCipher(command.cipher))
        throw UsageError{"--cipher is for the legacy format; an age file needs none"};
    Opening opening;
    opening.unlocking = UnlockingOf(command, env, names.first);
    RunObserver observer(StopSignal(env), ShowsProgress(command, env, names.first) ? &env.err : nullptr,
                         env.errColumns, env.err);
    const FileOpResult result = DecryptOpened(std::move(input), std::move(output), opening, {&observer});
    observer.EndLine();
    return ReportOutcome(result, FileOperation::Decrypt, command, env);
}

int CheckAge(Command& command, CliEnvironment& env, RunInput input, const FileName& name)
{
    Opening opening;
    opening.unlocking = UnlockingOf(command, env, name);
    RunObserver observer(StopSignal(env), ShowsProgress(command, env, name) ? &env.err : nullptr,
                         env.errColumns, env.err);
    const FileOpResult result = CheckOpened(std::move(input), opening, {&observer});
    observer.EndLine();
    if (result == FileOpResult::Cancelled) throw Interrupted{StopSignal(env).load()};
    if (!command.quiet) env.err << kPrefix << name.Shown() << ": opens, and every chunk authenticates (age)\n";
    return exitcode::kSuccess;
}

int RunKeygen(Command& command, CliEnvironment& env)
{
    if (command.publicKeys) return PrintRecipients(command, env);
    if (HasPassphraseOption(command)) throw UsageError{"the passphrase options are for keygen -y"};
    if (!command.names.empty()) throw UsageError{"keygen takes no names; write to a file with -o FILE"};
    const X25519Identity identity = GenerateX25519Identity();
    const SecretBytes text = IdentityFileText(identity);
    if (!command.output && env.standardOutputClosed)
        throw Unavailable{"standard output is closed; write the identity to a file with -o FILE"};
    const FileName output = Output(command.output.value_or("-"), env);
    if (command.output) {
        WriteKeyFileOf(command, output, text, env.err);
    } else {
        env.out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size()));
        env.out.flush();
    }
    WarnIfOthersCanRead(output, env.err);
    env.err << "Public key: " << FormatRecipient(RecipientOf(identity)) << '\n';
    return exitcode::kSuccess;
}
