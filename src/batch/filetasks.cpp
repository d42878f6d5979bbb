#include "batch/filetasks.h"

#include <variant>

#include "age/header.h"
#include "batch/batchsupport.h"
#include "fileenc/checkblock.h"
#include "fileenc/fileop.h"
#include "pipeline/runfiles.h"
#include "platform/ioerror.h"

namespace {
OutputFile::Existing Existing(const FileTaskSettings& settings)
{
    return settings.replace ? OutputFile::Existing::Replace : OutputFile::Existing::Refuse;
}

FileReport Outcome(FileOpResult result, std::string detail)
{
    switch (result) {
    case FileOpResult::Encrypted:
    case FileOpResult::Decrypted: return {BatchOutcome::Done, std::move(detail), nullptr};
    case FileOpResult::Cancelled: return {BatchOutcome::Stopped, {}, nullptr};
    default: return Skip(FileOpMessage(result, FileOperation::Decrypt));
    }
}

FileReport WrongPassphrase()
{
    return Skip(FileOpMessage(FileOpResult::WrongPassphrase, FileOperation::Decrypt));
}

// The legacy cipher of an opened file; nullopt with the reason to skip it.
std::variant<std::string_view, FileReport> LegacyCipher(const RunInput& input, const FileTaskSettings& settings)
{
    if (!settings.legacyPassphrase) return Skip("a legacy file, and no passphrase was given to open it");
    const auto algorithm = LegacyCipherOf(input.taken, *settings.legacyPassphrase, settings.cipher);
    if (!algorithm) return WrongPassphrase();
    return *algorithm;
}

std::string WithoutAgeSuffix(std::string path)
{
    if (path.ends_with(kAgeSuffix) && path.size() > kAgeSuffix.size()) path.resize(path.size() - kAgeSuffix.size());
    return path;
}
}  // namespace

FileReport FileTask::Encrypt(const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, 0, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    const std::string path = *OutputOf(file);
    auto created = OpenBatchOutput(file, input, path, settings_.outputFolder, Existing(settings_), job.counted);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    if (settings_.age)
        return Outcome(EncryptOpenedAgeFile(std::move(input), std::move(output), *settings_.age, job.counted),
                       "encrypted into " + path);
    const auto cipher = CreateCipher(*settings_.cipher);
    return Outcome(EncryptOpenedFile(std::move(input), std::move(output), *settings_.legacyPassphrase, *cipher,
                                     job.counted),
                   "encrypted into " + path);
}

FileReport FileTask::Decrypt(const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, kFormatPeekBytes, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    const bool age = LooksLikeAge(input.taken);
    std::optional<std::string_view> algorithm;
    if (!age) {
        auto cipher = LegacyCipher(input, settings_);
        if (auto* report = std::get_if<FileReport>(&cipher)) return std::move(*report);
        algorithm = std::get<std::string_view>(cipher);
    }
    const std::string path = DecryptedPath(file, age);
    auto created = OpenBatchOutput(file, input, path, settings_.outputFolder, Existing(settings_), job.counted);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    output.file.LimitModeTo(input.file.info.st_mode | S_IRUSR | S_IWUSR);  // no one may read it who could not before
    if (age)
        return Outcome(DecryptOpenedAgeFile(std::move(input), std::move(output), settings_.unlocking, job.counted),
                       "decrypted into " + path);
    const auto cipher = CreateCipher(*algorithm);
    return Outcome(DecryptOpenedFile(std::move(input), std::move(output), *settings_.legacyPassphrase, *cipher,
                                     job.counted),
                   "decrypted into " + path + " (" + std::string(*algorithm) + ")");
}

FileReport FileTask::Check(const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, kFormatPeekBytes, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    if (LooksLikeAge(input.taken))
        return Outcome(CheckOpenedAgeFile(std::move(input), settings_.unlocking, job.counted),
                       "opens, and every chunk authenticates (age)");
    auto cipher = LegacyCipher(input, settings_);
    if (auto* report = std::get_if<FileReport>(&cipher)) return std::move(*report);
    return {BatchOutcome::Unverified, PassphraseFitsNote(std::get<std::string_view>(cipher)), nullptr};
}

std::string FileTask::DecryptedPath(const BatchFile& file, bool age) const
{
    const std::string place = OutputPathFor(file, settings_.outputFolder);
    return age ? WithoutAgeSuffix(place) : place;
}

std::optional<std::string> FileTask::OutputOf(const BatchFile& file) const
{
    switch (kind_) {
    case FileTaskKind::Encrypt:
        return OutputPathFor(file, settings_.outputFolder) + (settings_.age ? std::string(kAgeSuffix) : "");
    case FileTaskKind::Decrypt: {
        // A file that will be skipped (unreadable, not encrypted under this passphrase) writes nothing.
        const auto opened = OpenRunInput(file.path, kFormatPeekBytes, HostCalls());
        const auto* input = std::get_if<RunInput>(&opened);
        if (!input) return std::nullopt;
        if (LooksLikeAge(input->taken)) return DecryptedPath(file, true);
        if (std::holds_alternative<FileReport>(LegacyCipher(*input, settings_))) return std::nullopt;
        return DecryptedPath(file, false);
    }
    case FileTaskKind::Check: break;
    }
    return std::nullopt;
}

FileReport FileTask::Run(const BatchFile& file, const BatchJob& job) const
{
    switch (kind_) {
    case FileTaskKind::Encrypt: return Encrypt(file, job);
    case FileTaskKind::Decrypt: return Decrypt(file, job);
    case FileTaskKind::Check: break;
    }
    return Check(file, job);
}
