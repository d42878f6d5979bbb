#pragma once

// What zorvanta-cli watches while the engine runs: a stop signal, and optionally a progress
// line on standard error that rewrites itself, within the terminal's width, at once when the
// window changes size. The time the process spends stopped (Ctrl-Z, then fg) does not count
// towards the speed.

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <utility>

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
    // For a run over many files: the files ended so far, of files, lead the line.
    void CountFiles(std::size_t ended, std::size_t files);
    // Ends the progress line, if one was shown, so that the next message starts on its own; it
    // stays in the scroll-back.
    void EndLine();
    // Blanks the progress line, if one was shown, for a message in mid-run; the next call
    // draws it again below the message, so the scroll-back keeps no stale progress.
    void ClearLine();

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
    bool anyShown_ = false;          // a line is on the screen
    bool everShown_ = false;         // so the end is drawn too, at 100%
    std::optional<std::pair<std::size_t, std::size_t>> files_;  // ended, of how many
    struct sigaction earlierResize_ {}, earlierResume_ {};
};
