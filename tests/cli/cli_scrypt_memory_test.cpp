// scrypt without the memory it needs: zorvanta-cli as a process whose address space is too
// small for the work factor asked. It says for which work factor memory was missing, exits 3
// and leaves no file behind. (A sanitizer's runtime does not start in so small a space.)
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/tempdir.h"

TEST(CliScryptMemory, AnAllocationThatFailsSaysForWhichWorkFactorAndExits3)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "built with AddressSanitizer";
#endif
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    // Work factor 21 takes 2 GiB, twice the space allowed.
    const std::string command = "ulimit -v 1048576; P=pw exec '" ZORVANTA_CLI_PROGRAM "' encrypt --format age "
                                "--work-factor 21 --passphrase-env P '" + dir.path("plain") + "' '" +
                                dir.path("new.age") + "' 2>'" + dir.path("err") + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(TextOf(dir.path("err")), "zorvanta-cli: not enough memory for work factor 21\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"err", "plain"}));
}
