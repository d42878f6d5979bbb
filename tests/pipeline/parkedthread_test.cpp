// Parked threads: a body after another runs on the thread the first one left, and a child of
// fork, which has none of its parent's threads, starts its own.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "pipeline/parkedthread.h"

TEST(ParkedThread, ABodyTakesAParkedThreadAndAForkedChildStartsItsOwn)
{
    std::thread::id first, second;
    ParkedThread([&] { first = std::this_thread::get_id(); }).join();
    ParkedThread([&] { second = std::this_thread::get_id(); }).join();
    EXPECT_EQ(first, second);
    EXPECT_NE(first, std::this_thread::get_id());

    const pid_t child = ::fork();
    if (child == 0) {
        bool ran = false;
        ParkedThread([&] { ran = true; }).join();
        ::_exit(ran ? 0 : 1);
    }
    int status = -1;
    for (int waited = 0; waited < 500 && ::waitpid(child, &status, WNOHANG) == 0; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!WIFEXITED(status)) ::kill(child, SIGKILL);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's body did not run";
}
