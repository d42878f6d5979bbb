#pragma once

// Memory that runs on several threads at once may take between them. A run waits until its
// share fits beside those taken; one that asks more than the whole waits until it runs alone.

#include <condition_variable>
#include <cstdint>
#include <mutex>

class MemoryBudget {
public:
    explicit MemoryBudget(std::uint64_t bytes) : total_(bytes) {}

    // Holds its share from construction to destruction.
    class Share {
    public:
        Share(MemoryBudget& budget, std::uint64_t bytes);
        ~Share();
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        MemoryBudget& budget_;
        std::uint64_t bytes_;
    };

private:
    std::mutex mutex_;
    std::condition_variable given_;
    const std::uint64_t total_;
    std::uint64_t taken_ = 0;
};
