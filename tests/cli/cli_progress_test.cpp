// The progress line: it fits the terminal's width, is redrawn at once when the window changes
// size, covers what a longer line left, and leaves the time the process was stopped out of
// the speed.
#include <gtest/gtest.h>

#include <signal.h>

#include <sstream>
#include <thread>

#include "cli/progress.h"

namespace {
constexpr std::uint64_t kMiB = 1024 * 1024;

// The lines drawn so far, without their leading carriage returns.
std::vector<std::string> Lines(const std::ostringstream& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line, '\r');)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

double Speed(const std::string& line)
{
    const auto at = line.find(" MB/s");
    return std::stod(line.substr(line.rfind(' ', at - 1) + 1));
}
}  // namespace

TEST(Progress, TheLineFitsTheTerminalAndIsRedrawnWhenTheWindowChanges)
{
    const std::atomic<int> noStop{0};
    std::ostringstream out, notices;
    int columns = 80;
    RunObserver observer(noStop, &out, [&] { return columns; }, notices);
    ASSERT_TRUE(observer.Continue(5 * kMiB, 1000 * kMiB));
    ASSERT_EQ(Lines(out).size(), 1u);
    EXPECT_TRUE(Lines(out)[0].starts_with("5.0 MiB of 1000.0 MiB (0%)  ")) << Lines(out)[0];
    columns = 20;
    ::raise(SIGWINCH);
    ASSERT_TRUE(observer.Continue(6 * kMiB, 1000 * kMiB));  // at once, not a quarter second later
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(0, 19), "6.0 MiB of 1000.0 M");
    EXPECT_EQ(lines[1].find_first_not_of(' ', 19), std::string::npos) << "covers the longer line";
    EXPECT_EQ(lines[1].size(), lines[0].size());
    observer.EndLine();
    EXPECT_EQ(out.str().back(), '\n');
}

TEST(Progress, TheTimeTheProcessWasStoppedIsNotTheRuns)
{
    const std::atomic<int> noStop{0};
    std::ostringstream out, notices;
    RunObserver observer(noStop, &out, nullptr, notices);
    ASSERT_TRUE(observer.Continue(0, 1000 * kMiB));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // stopped (Ctrl-Z) ...
    ::raise(SIGCONT);                                               // ... until fg
    ASSERT_TRUE(observer.Continue(100 * kMiB, 1000 * kMiB));
    const auto lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u);
    // 100 MiB in the moment since fg, not in 0.4 s (262 MB/s).
    EXPECT_GT(Speed(lines[1]), 2000) << lines[1];
}
