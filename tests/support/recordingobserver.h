#pragma once

// An observer of a file run that records every report and may ask to stop.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "pipeline/fileoutcome.h"

// Records every report; asks to stop at the stopAt-th (never when 0).
class RecordingObserver : public FileOpObserver {
public:
    explicit RecordingObserver(std::size_t stopAt = 0) : stopAt_(stopAt) {}

    bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) override
    {
        reports.push_back({done, total});
        onCallingThread = onCallingThread && std::this_thread::get_id() == caller_;
        return reports.size() != stopAt_;
    }

    struct Report {
        std::uint64_t done;
        std::optional<std::uint64_t> total;
    };
    std::vector<Report> reports;
    bool onCallingThread = true;

private:
    std::size_t stopAt_;
    std::thread::id caller_ = std::this_thread::get_id();
};
