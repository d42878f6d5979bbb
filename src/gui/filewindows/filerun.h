#pragma once

// One encryption or decryption of a file window, run on a thread of its own so that the
// window goes on painting and answering while a large file passes through the engine. The
// run owns everything the engine reads (names, passphrase, cipher component), so the window's
// boxes and components stay free, and it reports to the thread that started it through queued
// calls: progress at most once per event-loop pass, then Finished once.

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "cipher/cipherbase.h"
#include "gui/base/workerthread.h"
#include "pipeline/fileoutcome.h"
#include "platform/secretbytes.h"

struct FileJob {
    FileOperation operation;
    std::string inputName;
    std::string outputName;
    SecretBytes passphrase;  // as typed, UTF-8
    std::unique_ptr<TZC_blockcipher> cipher;
    // An encryption of a legacy file (under this passphrase) that moves it to the age file
    // instead: decrypted in memory only, the age file read back and verified before it counts.
    bool moveToAge = false;
};

class FileRun final : public QObject, private FileOpObserver {
    Q_OBJECT

public:
    // Starts the job; the job's passphrase and cipher are destroyed on the worker when it ends.
    // Where no thread can be started, the job runs on the calling thread before this returns.
    explicit FileRun(FileJob job);
    // Cancels the run and waits for its thread.
    ~FileRun() override;

    // Asks the run to stop at its next progress report; it then ends Cancelled, having
    // created nothing and left an existing output as it was.
    void Cancel() noexcept;
    // Blocks until the worker thread has ended.
    void Wait();
    bool Ended() const noexcept { return ended_; }
    // After Finished: the engine's outcome, or the error it raised, raised again here.
    FileOpResult Outcome() const;
    // After Finished, for a decryption refused with WrongPassphrase: the legacy cipher whose
    // check block does fit the passphrase, if any.
    const std::optional<std::string>& FittingCipher() const { return fittingCipher_; }
    // After Finished: what the engine told beside its outcome ("out: written in place (it has
    // other hard links)"), in order.
    const std::vector<std::string>& Notices() const { return notices_; }

signals:
    // The latest figures; total is unknown for a pipe.
    void Progressed(std::uint64_t done, std::optional<std::uint64_t> total);
    void Finished();

private:
    struct Progress {
        std::uint64_t done = 0;
        std::optional<std::uint64_t> total;
    };

    // Stops the run's further readings (the check of a moved file) without reporting progress.
    class StopOnly final : public FileOpObserver {
    public:
        explicit StopOnly(const std::atomic<bool>& cancelled) : cancelled_(cancelled) {}
        bool Continue(std::uint64_t, std::optional<std::uint64_t>) override { return !cancelled_; }

    private:
        const std::atomic<bool>& cancelled_;
    };

    bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) override;  // on the worker
    void Notice(const std::string& message) override;  // on the worker
    void Work();                                       // on the worker
    void ReportProgress();

    std::atomic<bool> cancelled_{false};
    StopOnly stopOnly_{cancelled_};
    LatestFigures<Progress> latest_;
    FileOpResult outcome_ = FileOpResult::Cancelled;
    std::exception_ptr error_;
    std::optional<std::string> fittingCipher_;
    std::vector<std::string> notices_;  // the worker's until it ends
    bool ended_ = false;  // set on this object's thread with Finished
    FileJob job_;         // the worker's until it ends
    WorkerThread worker_;  // last: started once everything above exists
};
