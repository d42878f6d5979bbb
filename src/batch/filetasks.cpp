#include "batch/filetasks.h"

#include "batch/batchsupport.h"
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
    const bool age = std::holds_alternative<AgeProtection>(work.protection);
    const std::string path = OutputPathFor(file, output_.folder) + (age ? std::string(kAgeSuffix) : "");
    auto created = OpenBatchOutput(input, path, output_.folder, Existing(output_), job.counted);
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
    const std::string place = OutputPathFor(file, output_.folder);
    const std::string path = age ? WithoutAgeSuffix(place) : place;
    auto created = OpenBatchOutput(input, path, output_.folder, Existing(output_), job.counted);
    if (auto* report = std::get_if<FileReport>(&created)) return std::move(*report);
    RunOutput& output = std::get<RunOutput>(created);
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
    return {BatchOutcome::Done, "the passphrase fits (" + std::string(std::get<std::string_view>(cipher)) + ")", nullptr};
}

FileReport FileTask::Run(const BatchFile& file, const BatchJob& job) const
{
    return std::visit([&](const auto& work) { return Do(work, file, job); }, work_);
}
