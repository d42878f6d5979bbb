#pragma once

// What zorvanta-cli watches while the engine runs: a stop signal, and optionally a progress
// line on standard error that rewrites itself, within the terminal's width, at once when the
// window changes size. The time the process spends stopped (Ctrl-Z, then fg) does not count
// towards the speed.

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>

#include "fileenc/fileop.h"

class RunObserver : public FileOpObserver {
public:
    // stopSignal: nonzero once a signal asked to stop. line: where progress goes, or nullptr;
    // columns: the width of its terminal (0 or none: not a terminal). notices: where the run's
    // notices go.
    RunObserver(const std::atomic<int>& stopSignal, std::ostream* line, std::function<int()> columns,
                std::ostream& notices);
    ~RunObserver() override;
    RunObserver(const RunObserver&) = delete;
    RunObserver& operator=(const RunObserver&) = delete;

    bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) override;
    void Notice(const std::string& message) override;
    // Ends the progress line, if one was shown, so that the next message starts on its own.
    void EndLine();

private:
    using Clock = std::chrono::steady_clock;

    void Show(std::uint64_t done, std::optional<std::uint64_t> total, double seconds);

    const std::atomic<int>& stopSignal_;
    std::ostream* line_;
    std::function<int()> columns_;
    std::ostream& notices_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastCall_ = start_;
    Clock::time_point shown_{};
    Clock::duration stopped_{};      // while the process was stopped
    std::size_t shownLength_ = 0;    // of the line on the screen, which a shorter one must cover
    bool anyShown_ = false;
    struct sigaction earlierResize_ {}, earlierResume_ {};
};
