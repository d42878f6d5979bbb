#include "cli/progress.h"

#include <cstdio>
#include <string>

#include "cli/runsupport.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(250);

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

RunObserver::RunObserver(const std::atomic<int>& stopSignal, std::ostream* line, std::ostream& notices)
    : stopSignal_(stopSignal), line_(line), notices_(notices)
{
}

RunObserver::~RunObserver()
{
    EndLine();
}

void RunObserver::EndLine()
{
    if (anyShown_) *line_ << '\n' << std::flush;
    anyShown_ = false;
}

void RunObserver::Notice(const std::string& message)
{
    EndLine();
    notices_ << kPrefix << message << '\n';
}

bool RunObserver::Continue(std::uint64_t done, std::optional<std::uint64_t> total)
{
    if (stopSignal_.load() != 0) return false;
    const auto now = Clock::now();
    const bool finished = total && done >= *total;
    if (line_ && (now - shown_ >= kInterval || (finished && anyShown_))) {
        shown_ = now;
        Show(done, total, std::chrono::duration<double>(now - start_).count());
    }
    return true;
}

void RunObserver::Show(std::uint64_t done, std::optional<std::uint64_t> total, double seconds)
{
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
    std::string text = "\r" + MiB(done);
    if (total && *total > 0) {
        text += " of " + MiB(*total) + " (" + std::to_string(done * 100 / *total) + "%)";
    }
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1f MB/s", rate / 1e6);
    text += speed;
    if (total && rate > 0 && done <= *total) text += "  " + Duration(static_cast<double>(*total - done) / rate) + " left";
    if (text.size() < 72) text.resize(72, ' ');  // covers what a longer earlier line left
    *line_ << text << std::flush;
    anyShown_ = true;
}
