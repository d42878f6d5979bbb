#pragma once

// What zorvanta-cli watches while the engine runs: a stop signal, and optionally a progress
// line on standard error that rewrites itself.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>

#include "fileenc/fileop.h"

class RunObserver : public FileOpObserver {
public:
    // stopSignal: nonzero once a signal asked to stop. line: where progress goes, or nullptr.
    // notices: where the run's notices go.
    RunObserver(const std::atomic<int>& stopSignal, std::ostream* line, std::ostream& notices);
    ~RunObserver() override;

    bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) override;
    void Notice(const std::string& message) override;
    // Ends the progress line, if one was shown, so that the next message starts on its own.
    void EndLine();

private:
    void Show(std::uint64_t done, std::optional<std::uint64_t> total, double seconds);

    const std::atomic<int>& stopSignal_;
    std::ostream* line_;
    std::ostream& notices_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
    bool anyShown_ = false;
};
