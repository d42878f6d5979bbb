#include "cli/progress.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/printable.h"
#include "cli/runsupport.h"

namespace {
constexpr auto kInterval = std::chrono::milliseconds(250);

std::atomic<bool> windowResized{false};
std::atomic<std::int64_t> resumedAt{0};  // the steady clock's nanoseconds at the last SIGCONT

void OnResize(int)
{
    windowResized.store(true);
}

void OnResume(int)
{
    timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);  // the steady clock's own
    resumedAt.store(std::int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec);
}

void Catch(int signal, void (*handler)(int), struct sigaction& earlier)
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, &earlier);
}

std::string MiB(std::uint64_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string Duration(double seconds)
{
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}
}  // namespace

RunObserver::RunObserver(const std::atomic<int>& stopSignal, std::ostream* line, std::function<int()> columns,
                         std::ostream& notices)
    : stopSignal_(stopSignal), line_(line), columns_(std::move(columns)), notices_(notices)
{
    if (!line_) return;
    Catch(SIGWINCH, OnResize, earlierResize_);
    Catch(SIGCONT, OnResume, earlierResume_);
}

RunObserver::~RunObserver()
{
    EndLine();
    if (!line_) return;
    ::sigaction(SIGWINCH, &earlierResize_, nullptr);
    ::sigaction(SIGCONT, &earlierResume_, nullptr);
}

void RunObserver::EndLine()
{
    if (anyShown_) *line_ << '\n' << std::flush;
    anyShown_ = false;
    shownLength_ = 0;
}

void RunObserver::ClearLine()
{
    if (anyShown_) *line_ << '\r' << std::string(shownLength_, ' ') << '\r' << std::flush;
    anyShown_ = false;
    shownLength_ = 0;
    shown_ = {};
}

void RunObserver::CountFiles(std::size_t ended, std::size_t files)
{
    files_ = {ended, files};
}

void RunObserver::Notice(const std::string& message)
{
    EndLine();
    notices_ << kPrefix << Printable(message) << '\n';
}

bool RunObserver::Continue(std::uint64_t done, std::optional<std::uint64_t> total)
{
    if (stopSignal_.load() != 0) return false;
    const auto now = Clock::now();
    // A stop came after the last call and ended at the resume: that time is not the run's.
    if (const std::int64_t resumed = resumedAt.exchange(0); resumed != 0) {
        const Clock::time_point at{std::chrono::nanoseconds(resumed)};
        if (at > lastCall_) stopped_ += at - lastCall_;
    }
    lastCall_ = now;
    const bool finished = total && done >= *total;
    const bool resized = windowResized.exchange(false);
    if (line_ && (now - shown_ >= kInterval || resized || (finished && everShown_))) {
        shown_ = now;
        Show(done, total, std::chrono::duration<double>(now - start_ - stopped_).count());
    }
    return true;
}

void RunObserver::Show(std::uint64_t done, std::optional<std::uint64_t> total, double seconds)
{
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::string text = files_ ? std::to_string(files_->first) + " of " + std::to_string(files_->second) + " files, " : "";
    text += MiB(done);
    std::optional<std::uint64_t> percent;
    if (total && *total > 0) {
        text += " of " + MiB(*total);
        percent = done * 100 / *total;
    } else if (files_ && files_->second > 0) {
        percent = files_->first * 100 / files_->second;
    }
    // The last file's bytes are all read before it ends: 100% waits for its end.
    if (percent && files_ && files_->first < files_->second) percent = std::min<std::uint64_t>(*percent, 99);
    if (percent) text += " (" + std::to_string(*percent) + "%)";
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1f MB/s", rate / 1e6);
    text += speed;
    if (total && rate > 0 && done <= *total) text += "  " + Duration(static_cast<double>(*total - done) / rate) + " left";
    // A line as wide as the terminal would wrap at every update.
    const int columns = columns_ ? columns_() : 0;
    if (columns > 0 && text.size() >= static_cast<std::size_t>(columns)) text.resize(static_cast<std::size_t>(columns) - 1);
    const std::size_t length = text.size();
    if (length < shownLength_) text.append(shownLength_ - length, ' ');  // covers what a longer line left
    shownLength_ = length;
    *line_ << '\r' << text << std::flush;
    anyShown_ = everShown_ = true;
}
