#include "gui/agewindow/batchrunner.h"

BatchRunner::BatchRunner(BatchWalk walk, PlannedBatch plan) : walk_(std::move(walk)), plan_(std::move(plan))
{
    worker_.Start([this] { Work(); });
}

BatchRunner::~BatchRunner()
{
    Cancel();
    Wait();
}

void BatchRunner::Cancel() noexcept
{
    cancelled_ = true;
}

void BatchRunner::Wait()
{
    worker_.Join();
}

std::string BatchRunner::SummaryLine() const
{
    return summary_;
}

bool BatchRunner::Continue(std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files)
{
    if (latest_.Keep({done, total, ended, files}))
        QMetaObject::invokeMethod(this, &BatchRunner::ReportProgress, Qt::QueuedConnection);
    return !cancelled_;
}

void BatchRunner::ReportProgress()
{
    const Figures figures = latest_.Take();
    emit Progressed(figures.done, figures.total, figures.ended, figures.files);
}

void BatchRunner::Finished(const BatchFile& file, const FileReport& report)
{
    if (report.outcome == BatchOutcome::Stopped) return;  // the user asked for it
    Report({file.path, std::string(OutcomeWord(report.outcome)), OutcomeReason(report)});
}

void BatchRunner::Notice(const std::string& message)
{
    Report({{}, "notice", message});
}

void BatchRunner::Report(OutcomeRow row)
{
    QMetaObject::invokeMethod(
        this,
        [this, row = std::move(row)] {
            emit FileEnded(QString::fromStdString(row.name), QString::fromStdString(row.outcome),
                           QString::fromStdString(row.reason));
        },
        Qt::QueuedConnection);
}

void BatchRunner::Work()
{
    try {
        for (const PassedBy& passed : walk_.passedBy) Report({passed.path, "skipped", passed.reason});
        BatchSummary summary = RunBatch(walk_.files, *plan_.task, plan_.jobs, *this);
        summary.skipped += walk_.passedBy.size();
        summary_ = SummaryText(summary, plan_.doneWord);
    } catch (const std::exception& e) {
        summary_ = e.what();
    }
    plan_.task.reset();  // the passphrases and identities are wiped before anyone hears of the end
    QMetaObject::invokeMethod(
        this,
        [this] {
            ended_ = true;
            emit Completed();
        },
        Qt::QueuedConnection);
}
