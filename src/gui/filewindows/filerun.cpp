#include "gui/filewindows/filerun.h"

#include <system_error>

#include "formats/eitherformat.h"

FileRun::FileRun(FileJob job) : job_(std::move(job))
{
    try {
        worker_ = std::thread(&FileRun::Work, this);
    } catch (const std::system_error&) {
        Work();  // no thread to spare (a process at its limit): the run takes the window's thread
    }
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
    if (worker_.joinable()) worker_.join();
}

FileOpResult FileRun::Outcome() const
{
    if (error_) std::rethrow_exception(error_);
    return outcome_;
}

bool FileRun::Continue(std::uint64_t done, std::optional<std::uint64_t> total)
{
    std::lock_guard lock(progressMutex_);
    latest_ = {done, total};
    // One queued report at a time: a fast engine must not flood the event loop.
    if (!progressQueued_) {
        progressQueued_ = true;
        QMetaObject::invokeMethod(this, &FileRun::ReportProgress, Qt::QueuedConnection);
    }
    return !cancelled_;
}

void FileRun::ReportProgress()
{
    Progress progress;
    {
        std::lock_guard lock(progressMutex_);
        progress = latest_;
        progressQueued_ = false;
    }
    emit Progressed(progress.done, progress.total);
}

void FileRun::Work()
{
    try {
        const FileOpOptions options{.observer = this};
        const auto run = job_.operation == FileOperation::Encrypt ? EncryptEitherFormat : DecryptEitherFormat;
        outcome_ = run(job_.inputName, job_.outputName, job_.passphrase, *job_.cipher, options);
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
