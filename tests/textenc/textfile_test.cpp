#include <gtest/gtest.h>

#include <cerrno>

#include "common/error.h"
#include "platform/posixfile.h"
#include "memorypane.h"
#include "support/tempdir.h"
#include "textenc/textfile.h"

namespace {
std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text)
{
    WriteFile(dir.path(name), Bytes(text.begin(), text.end()));
    return dir.path(name);
}

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

std::string ErrorOf(auto&& action)
{
    try {
        action();
    } catch (const ZorvantaError& e) {
        return e.what();
    }
    return "no error";
}

// Every write reports a full disk.
SystemCalls DiskFull()
{
    SystemCalls calls = HostCalls();
    calls.write = [](int, const void*, std::size_t) -> ssize_t { return errno = ENOSPC, -1; };
    return calls;
}
}  // namespace

TEST(Pane, PutKeepsTheTextBeforeTheFirstNulAndSkipsAnEqualText)
{
    MemoryPane pane;
    pane.Put(std::string("ab\0cd", 5));
    EXPECT_EQ(pane.Text(), "ab");
    pane.Put(std::string("ab\0xy", 5));
    pane.Put("ab");
    EXPECT_EQ(pane.stored, (std::vector<std::string>{"ab"}));

    EXPECT_EQ(ErrorOf([&] { pane.Put(std::string(kPaneCapacity + 1, 'x')); }), "Text überschreitet Memo-Kapazität");
    EXPECT_EQ(pane.Text(), "ab");
    pane.Put(std::string(kPaneCapacity, 'x') + '\0' + "beyond");
    EXPECT_EQ(pane.Text().size(), kPaneCapacity);
}

TEST(TextFiles, LoadMakesEveryLineBreakCrLfAndStopsAtNul)
{
    const TempDir dir;
    const struct {
        std::string file, pane;
    } cases[] = {
        {"one\ntwo\n", "one\r\ntwo\r\n"},
        {"one\rtwo", "one\r\ntwo"},
        {"one\r\ntwo\r\n", "one\r\ntwo\r\n"},
        {"a\n\rb", "a\r\n\r\nb"},
        {"a\r\r\nb", "a\r\n\r\nb"},
        {"\r", "\r\n"},
        {std::string("ab\0cd\n", 6), "ab"},
        {std::string(100000, 'a') + '\0' + "rest", std::string(100000, 'a')},
        {std::string(65535, 'a') + "\r\nz", std::string(65535, 'a') + "\r\nz"},
        {"\xE9\xFF\x80\t\x01", "\xE9\xFF\x80\t\x01"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadTextFile(WriteText(dir, "in.txt", c.file)), c.pane) << c.file.substr(0, 20);
}

TEST(TextFiles, LoadErrors)
{
    const TempDir dir;
    const std::string missing = dir.path("missing.txt"), folder = dir.root().string();
    const struct {
        std::string name, message;
    } cases[] = {
        {missing, "Datei " + missing + " kann nicht geöffnet werden"},
        {folder, "Datei " + folder + " kann nicht geöffnet werden"},
        {WriteText(dir, "big.txt", std::string(kPaneCapacity + 1, 'a')), "Text überschreitet Memo-Kapazität"},
        // Fits as read, but not once every LF has become CR LF.
        {WriteText(dir, "breaks.txt", std::string(kPaneCapacity / 2 + 1, '\n')), "Text überschreitet Memo-Kapazität"},
    };
    for (const auto& c : cases) EXPECT_EQ(ErrorOf([&] { LoadTextFile(c.name); }), c.message);
}

TEST(TextFiles, SaveWritesTheBytesAsTheyAre)
{
    const TempDir dir;
    for (const std::string text : {"", "one\r\ntwo\r\n", "\xE9\xFF\x80\t\x01"}) {
        const std::string name = WriteText(dir, "out.txt", "a longer file, replaced without a question");
        SaveTextFile(name, text);
        EXPECT_EQ(ReadText(name), text);
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.txt"});
}

TEST(TextFiles, LfFileSavedAgainGrowsByOneBytePerLineBreak)
{
    const TempDir dir;
    SaveTextFile(dir.path("crlf.txt"), LoadTextFile(WriteText(dir, "lf.txt", "a\nb\nc")));
    EXPECT_EQ(ReadText(dir.path("crlf.txt")), "a\r\nb\r\nc");
}

TEST(TextFiles, SaveErrorsKeepTheOldFile)
{
    const TempDir dir;
    const std::string uncreatable = dir.path("no such folder/out.txt"), folder = dir.root().string();
    EXPECT_EQ(ErrorOf([&] { SaveTextFile(uncreatable, "x"); }),
              "Datei " + uncreatable + " kann nicht erstellt werden");
    EXPECT_EQ(ErrorOf([&] { SaveTextFile(folder, "x"); }),
              "Datei " + folder + " kann nicht erstellt werden");

    const std::string old = WriteText(dir, "old.txt", "old text");
    {
        const SystemCalls full = DiskFull();
        EXPECT_EQ(ErrorOf([&] { SaveTextFile(old, "new text", full); }), "Stream-Write-Fehler");
    }
    EXPECT_EQ(ReadText(old), "old text");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"old.txt"});
}
