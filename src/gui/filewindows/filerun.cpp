#include "gui/filewindows/filerun.h"

#include "batch/reseal.h"
#include "fileenc/passphrase.h"
#include "formats/eitherformat.h"

namespace {
// The move of a legacy file to age under the typed passphrase, as reseal makes it; an existing
// age file is not replaced.
FileOpResult MoveToAge(const FileJob& job, const BatchJob& options)
{
    RequireAgePassphrase(job.passphrase);
    ResealSettings settings;
    settings.legacyPassphrase = PassphraseBytes(AsText(job.passphrase));
    settings.protection.passphrase = job.passphrase;
    settings.unlocking.passphrase = [&job] { return std::optional<SecretBytes>(job.passphrase); };
    const FileReport report = ResealFileTo(job.inputName, job.outputName, std::move(settings), options);
    switch (report.outcome) {
    case BatchOutcome::Done:
    case BatchOutcome::AlreadyDone: return FileOpResult::Encrypted;
    case BatchOutcome::Stopped: return FileOpResult::Cancelled;
    default:
        if (report.error) std::rethrow_exception(report.error);
        throw ZorvantaError(report.detail);
    }
}
}  // namespace

FileRun::FileRun(FileJob job) : job_(std::move(job))
{
    worker_.Start([this] { Work(); });
}

FileRun::~FileRun()
{
    Cancel();
    Wait();
}

void FileRun::Cancel() noexcept
{
    cancelled_ = true;
}

void FileRun::Wait()
{
    worker_.Join();
}

FileOpResult FileRun::Outcome() const
{
    if (error_) std::rethrow_exception(error_);
    return outcome_;
}

bool FileRun::Continue(std::uint64_t done, std::optional<std::uint64_t> total)
{
    if (latest_.Keep({done, total})) QMetaObject::invokeMethod(this, &FileRun::ReportProgress, Qt::QueuedConnection);
    return !cancelled_;
}

void FileRun::Notice(const std::string& message)
{
    notices_.push_back(message);
}

void FileRun::ReportProgress()
{
    const Progress progress = latest_.Take();
    emit Progressed(progress.done, progress.total);
}

void FileRun::Work()
{
    try {
        const FileOpOptions options{.observer = this};
        if (job_.moveToAge) {
            outcome_ = MoveToAge(job_, {options, {.observer = &stopOnly_}});
        } else {
            const auto run = job_.operation == FileOperation::Encrypt ? EncryptEitherFormat : DecryptEitherFormat;
            outcome_ = run(job_.inputName, job_.outputName, job_.passphrase, *job_.cipher, options);
            if (outcome_ == FileOpResult::WrongPassphrase)
                fittingCipher_ = LegacyCipherOfFile(job_.inputName, job_.passphrase);
        }
    } catch (...) {
        error_ = std::current_exception();
    }
    job_ = {};  // the passphrase is wiped before anyone hears of the end
    QMetaObject::invokeMethod(
        this,
        [this] {
            ended_ = true;
            emit Finished();
        },
        Qt::QueuedConnection);
}
