// The worker pool: every task of a run runs once, the first on the calling thread and each other
// on a helper; a run returns only when all have ended, raising what one of them raised, and the
// pool serves the next run as before; helpers that cannot start leave the work to the others;
// and a pool ends, joining its helpers, whether or not it ever ran.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "pipeline/workerpool.h"

extern "C" void ZorvantaShimAllowThreads(long count);
extern "C" long ZorvantaShimRefusedThreads();

namespace {
// Runs count tasks; returns the thread each ran on, by task, after checking each ran once.
std::vector<std::thread::id> RunRecorded(WorkerPool& pool, std::size_t count)
{
    std::vector<std::thread::id> ranOn(count);
    std::vector<std::atomic<int>> runs(count);
    pool.Run(count, [&](std::size_t task) {
        ++runs.at(task);
        ranOn[task] = std::this_thread::get_id();
    });
    for (std::size_t task = 0; task < count; ++task) EXPECT_EQ(runs[task], 1) << "task " << task << " of " << count;
    return ranOn;
}
}  // namespace

TEST(WorkerPool, EveryTaskRunsOnceTheFirstOnTheCallerTheRestOnHelpersOfTheirOwn)
{
    WorkerPool pool(3);
    ASSERT_EQ(pool.Capacity(), 4u);
    // Runs of every size, many times over, so a helper that misses a run or takes one twice shows.
    for (int round = 0; round < 200; ++round)
        for (std::size_t count = 0; count <= pool.Capacity(); ++count) {
            const auto ranOn = RunRecorded(pool, count);
            if (count == 0) continue;
            EXPECT_EQ(ranOn[0], std::this_thread::get_id());
            const std::set<std::thread::id> threads(ranOn.begin(), ranOn.end());
            EXPECT_EQ(threads.size(), count) << "two tasks shared a helper";
        }
}

TEST(WorkerPool, ARunReturnsOnceAllTasksEndedAndRaisesWhatOneRaised)
{
    WorkerPool pool(3);
    for (const std::size_t thrower : {0u, 1u, 3u}) {
        SCOPED_TRACE(thrower);
        std::atomic<int> ended = 0;
        try {
            pool.Run(4, [&](std::size_t task) {
                if (task == thrower) throw std::runtime_error("task " + std::to_string(task));
                // The others end well after the failure: the run waits for them.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ++ended;
            });
            ADD_FAILURE() << "nothing raised";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(e.what(), "task " + std::to_string(thrower));
        }
        EXPECT_EQ(ended, 3);
        // A failure does not outlive its run.
        EXPECT_NO_THROW(RunRecorded(pool, 4));
    }
    // Several fail at once: one of their errors comes out.
    try {
        pool.Run(4, [](std::size_t task) {
            if (task % 2 == 1) throw std::runtime_error("odd");
        });
        ADD_FAILURE() << "nothing raised";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "odd");
    }
    EXPECT_NO_THROW(RunRecorded(pool, 4));
}

TEST(WorkerPool, HelpersThatCannotStartLeaveTheWorkToTheOthers)
{
    // Parked threads of earlier runs need no start; the pool asks for more helpers than those.
    const long refusedBefore = ZorvantaShimRefusedThreads();
    ZorvantaShimAllowThreads(0);
    WorkerPool pool(64);
    ZorvantaShimAllowThreads(-1);
    EXPECT_GT(ZorvantaShimRefusedThreads(), refusedBefore);
    EXPECT_LT(pool.Capacity(), 65u);
    for (std::size_t count = 1; count <= pool.Capacity(); ++count) RunRecorded(pool, count);
}

TEST(WorkerPool, APoolEndsAndJoinsItsHelpersWhetherOrNotItRan)
{
    // Ended at once, before its helpers have begun to wait, or after a run: either way the
    // helpers see the stop and the end returns (a lost wake-up would hang here). A helper not
    // joined before the pool's state goes would show under the sanitizers.
    for (int round = 0; round < 200; ++round) {
        WorkerPool pool(2);
        if (round % 2) RunRecorded(pool, 3);
    }
}
