#include "batch/filetasks.h"

#include "batch/batchsupport.h"
#include "fileenc/checkblock.h"
#include "formats/fileformat.h"
#include "formats/outcometext.h"

namespace {
OutputFile::Existing Existing(const FileTaskOutput& output)
{
    return output.replace ? OutputFile::Existing::Replace : OutputFile::Existing::Refuse;
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

// The legacy cipher of an opened legacy file; the reason to skip it otherwise.
std::variant<std::string_view, FileReport> LegacyCipher(const RunInput& input, const Opening& opening)
{
    if (!opening.legacyPassphrase) return Skip("a legacy file, and no passphrase was given to open it");
    const auto algorithm = FindLegacyCipher(input.taken, *opening.legacyPassphrase, opening.cipher);
    if (!algorithm) return Outcome(FileOpResult::WrongPassphrase, {});
    return *algorithm;
}
}  // namespace

FileReport FileTask::Do(const EncryptWork& work, const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, 0, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    const std::string path = *OutputOf(file);
    auto created = OpenBatchOutput(file, input, path, output_.folder, Existing(output_), job.counted);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    return Outcome(EncryptOpened(std::move(input), std::move(output), work.protection, job.counted),
                   "encrypted into " + path);
}

FileReport FileTask::Do(const DecryptWork& work, const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, kFormatPeekBytes, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    const bool age = IsAge(FormatOf(input.taken));
    std::string made;
    if (!age) {
        auto cipher = LegacyCipher(input, work.opening);
        if (auto* report = std::get_if<FileReport>(&cipher)) return std::move(*report);
        made = " (" + std::string(std::get<std::string_view>(cipher)) + ")";
    }
    const std::string path = DecryptedPath(file, age);
    auto created = OpenBatchOutput(file, input, path, output_.folder, Existing(output_), job.counted);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
    output.file.LimitModeTo(input.file.info.st_mode | S_IRUSR | S_IWUSR);  // no one may read it who could not before
    return Outcome(DecryptOpened(std::move(input), std::move(output), work.opening, job.counted),
                   "decrypted into " + path + made);
}

FileReport FileTask::Do(const CheckWork& work, const BatchFile& file, const BatchJob& job) const
{
    auto opened = OpenBatchInput(file, kFormatPeekBytes, job.counted);
    if (auto* report = std::get_if<FileReport>(&opened)) return std::move(*report);
    RunInput& input = std::get<RunInput>(opened);
    if (IsAge(FormatOf(input.taken)))
        return Outcome(CheckOpened(std::move(input), work.opening, job.counted),
                       "opens, and every chunk authenticates (age)");
    auto cipher = LegacyCipher(input, work.opening);
    if (auto* report = std::get_if<FileReport>(&cipher)) return std::move(*report);
    return {BatchOutcome::Unverified, PassphraseFitsNote(std::get<std::string_view>(cipher)), nullptr};
}

std::string FileTask::DecryptedPath(const BatchFile& file, bool age) const
{
    const std::string place = OutputPathFor(file, output_.folder);
    return age ? WithoutAgeSuffix(place) : place;
}

std::optional<std::string> FileTask::OutputOf(const BatchFile& file) const
{
    if (const auto* encrypting = std::get_if<EncryptWork>(&work_)) {
        const bool age = std::holds_alternative<AgeProtection>(encrypting->protection);
        return OutputPathFor(file, output_.folder) + (age ? std::string(kAgeSuffix) : "");
    }
    const auto* decrypting = std::get_if<DecryptWork>(&work_);
    if (!decrypting) return std::nullopt;
    // A file that will be skipped (unreadable, not encrypted under this passphrase) writes nothing.
    const auto opened = OpenToTell(file.path, HostCalls());
    const auto* input = std::get_if<RunInput>(&opened);
    if (!input) return std::nullopt;
    if (IsAge(FormatOf(input->taken))) return DecryptedPath(file, true);
    if (std::holds_alternative<FileReport>(LegacyCipher(*input, decrypting->opening))) return std::nullopt;
    return DecryptedPath(file, false);
}

FileReport FileTask::Run(const BatchFile& file, const BatchJob& job) const
{
    return std::visit([&](const auto& work) { return Do(work, file, job); }, work_);
}
