// The text tools' Save goes through the same output layer as the file procedure: a file with
// other hard links is written in place, so every name sees the saved text.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "memorypane.h"
#include "support/tempdir.h"
#include "textenc/textfile.h"

TEST(SaveIdentity, HardLinkedFileKeepsItsInodeAndEveryNameSeesTheText)
{
    TempDir dir;
    const std::string file = dir.path("text.txt");
    WriteFile(file, Bytes{'o', 'l', 'd'});
    ASSERT_EQ(::link(file.c_str(), dir.path("other.txt").c_str()), 0);
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    SaveTextFile(file, "saved");

    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadFile(dir.path("other.txt")), (Bytes{'s', 'a', 'v', 'e', 'd'}));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"other.txt", "text.txt"}));
}
