// A memory budget shared by threads: the shares held at once never exceed it, and a share
// larger than the whole is held alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "pipeline/memorybudget.h"

TEST(MemoryBudget, SharesHeldAtOnceStayWithinTheBudgetAndAnOversizedOneRunsAlone)
{
    constexpr std::uint64_t kBudget = 10;
    MemoryBudget budget(kBudget);
    std::atomic<std::uint64_t> held{0};
    std::atomic<int> overBudget{0};  // moments over the budget, or beside an oversized share
    const auto hold = [&](std::uint64_t bytes) {
        for (int round = 0; round < 200; ++round) {
            const MemoryBudget::Share share(budget, bytes);
            const std::uint64_t now = held += bytes;
            if (bytes > kBudget ? now != bytes : now > kBudget) ++overBudget;
            std::this_thread::yield();
            held -= bytes;
        }
    };
    {
        std::vector<std::jthread> threads;
        for (const std::uint64_t bytes : {4, 4, 4, 3, 3, 12}) threads.emplace_back(hold, bytes);
    }
    EXPECT_EQ(overBudget, 0);
}
