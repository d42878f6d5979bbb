// The walk of the paths a user named, over a small tree: which files it meets and in what order,
// with and without recursion, and what it passes by and why (folders without recursion, links
// inside a folder, special files, missing paths); and which named folder an output folder would
// put its outputs in.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "batch/batchwalk.h"
#include "support/tempdir.h"

namespace {
namespace fs = std::filesystem;

// tree/ holds B, a, b.txt, c, sub/z, sub/deeper/y, a FIFO, and links to a file, to a folder and
// to nothing; lone lies beside tree, with links to it and to tree.
struct Tree {
    TempDir dir;
    std::string tree = dir.path("tree");

    Tree()
    {
        fs::create_directories(dir.path("tree/sub/deeper"));
        for (const auto& [name, size] : std::initializer_list<std::pair<const char*, std::size_t>>{
                 {"tree/B", 1}, {"tree/a", 2}, {"tree/b.txt", 3}, {"tree/c", 4}, {"tree/sub/z", 5},
                 {"tree/sub/deeper/y", 0}, {"lone", 6}})
            WriteFile(dir.path(name), Sample(size));
        EXPECT_EQ(::mkfifo(dir.path("tree/fifo").c_str(), 0600), 0);
        fs::create_symlink("a", dir.path("tree/link-file"));
        fs::create_directory_symlink("sub", dir.path("tree/link-dir"));
        fs::create_symlink("nowhere", dir.path("tree/dangling"));
        fs::create_symlink("lone", dir.path("link-to-lone"));
        fs::create_directory_symlink("tree", dir.path("link-to-tree"));
    }
};

// A walk's files as "path (relative) size" and its passings-by as "path: reason", the tree's
// folder written as ROOT.
struct Seen {
    std::vector<std::string> files, passedBy;
    bool operator==(const Seen&) const = default;
};

Seen SeenIn(const BatchWalk& walk, const Tree& t)
{
    const std::string root = t.dir.root().string();
    const auto shown = [&](std::string path) { return path.starts_with(root) ? "ROOT" + path.substr(root.size()) : path; };
    Seen seen;
    for (const BatchFile& file : walk.files)
        seen.files.push_back(shown(file.path) + " (" + file.relative + ") " + std::to_string(file.size) +
                             (file.viaLink ? " via link" : ""));
    for (const PassedBy& passed : walk.passedBy) seen.passedBy.push_back(shown(passed.path) + ": " + passed.reason);
    return seen;
}

void PrintTo(const Seen& seen, std::ostream* out)
{
    for (const auto& line : seen.files) *out << "\n  file " << line;
    for (const auto& line : seen.passedBy) *out << "\n  passed by " << line;
}
}  // namespace

TEST(WalkPaths, MeetsTheNamedFilesAndFoldersInOrderAndPassesByWhatItDoesNotTake)
{
    const Tree t;
    const std::string kLink = "a symbolic link, not followed", kFolder = "a folder; give --recursive to take the files in it",
                      kSpecial = "not a regular file", kMissing = "cannot be reached (No such file or directory)";
    const struct {
        const char* what;
        std::vector<std::string> paths;  // below the tree's folder
        bool recursive;
        Seen seen;
    } cases[] = {
        {"a folder, recursively: entries by name in byte order, each subfolder where its name falls; links "
         "inside are not followed, whatever they name",
         {"tree"},
         true,
         {{"ROOT/tree/B (B) 1", "ROOT/tree/a (a) 2", "ROOT/tree/b.txt (b.txt) 3", "ROOT/tree/c (c) 4",
           "ROOT/tree/sub/deeper/y (sub/deeper/y) 0", "ROOT/tree/sub/z (sub/z) 5"},
          {"ROOT/tree/dangling: " + kLink, "ROOT/tree/fifo: " + kSpecial, "ROOT/tree/link-dir: " + kLink,
           "ROOT/tree/link-file: " + kLink}}},
        {"the same without recursion: the folder is passed by, whole",
         {"tree"},
         false,
         {{}, {"ROOT/tree: " + kFolder}}},
        {"named paths in the order named, each file with its own name; a named link is followed",
         {"tree/sub/z", "lone", "missing", "link-to-lone", "tree/fifo", "tree/sub", "tree/dangling"},
         false,
         {{"ROOT/tree/sub/z (z) 5", "ROOT/lone (lone) 6", "ROOT/link-to-lone (link-to-lone) 6 via link"},
          {"ROOT/missing: " + kMissing, "ROOT/tree/fifo: " + kSpecial, "ROOT/tree/sub: " + kFolder,
           "ROOT/tree/dangling: " + kMissing}}},
        {"a named link to a folder and a trailing slash: the folder is walked, its files below it",
         {"link-to-tree/sub/", "tree/"},
         true,
         {{"ROOT/link-to-tree/sub/deeper/y (deeper/y) 0", "ROOT/link-to-tree/sub/z (z) 5", "ROOT/tree/B (B) 1",
           "ROOT/tree/a (a) 2", "ROOT/tree/b.txt (b.txt) 3", "ROOT/tree/c (c) 4",
           "ROOT/tree/sub/deeper/y (sub/deeper/y) 0", "ROOT/tree/sub/z (sub/z) 5"},
          {"ROOT/tree/dangling: " + kLink, "ROOT/tree/fifo: " + kSpecial, "ROOT/tree/link-dir: " + kLink,
           "ROOT/tree/link-file: " + kLink}}},
        // The walk lists what was named; two files that would share an output are the batch's
        // to refuse (FindSharedOutput).
        {"a file named twice, and in a named folder: met each time",
         {"lone", "tree/sub", "lone", "tree/sub/z"},
         true,
         {{"ROOT/lone (lone) 6", "ROOT/tree/sub/deeper/y (deeper/y) 0", "ROOT/tree/sub/z (z) 5", "ROOT/lone (lone) 6",
           "ROOT/tree/sub/z (z) 5"},
          {}}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> paths;
        for (const std::string& path : c.paths) paths.push_back(t.dir.path(path));
        EXPECT_EQ(SeenIn(WalkPaths(paths, c.recursive), t), c.seen) << c.what;
    }
    // A special file named outside the tree, a device, is passed by as well.
    EXPECT_EQ(WalkPaths({"/dev/null"}, false).passedBy.at(0).reason, kSpecial);
}

TEST(InputHolding, TellsTheNamedFolderAnOutputFolderIsOrLiesIn)
{
    const Tree t;
    const struct {
        const char* what;
        std::string output;  // below the tree's folder
        std::optional<std::string> holding;
        bool same;
    } cases[] = {
        {"the named folder itself", "tree", "tree", true},
        {"the named folder, through a link", "link-to-tree", "tree", true},
        {"an existing folder inside it", "tree/sub/deeper", "tree", false},
        {"a folder to be made inside it", "tree/new/newer", "tree", false},
        {"a folder to be made inside it, through a link", "link-to-tree/new", "tree", false},
        {"a folder beside it", "elsewhere", std::nullopt, false},
    };
    for (const auto& c : cases) {
        const auto holding = InputHolding({t.dir.path("lone"), t.dir.path("tree")}, t.dir.path(c.output));
        ASSERT_EQ(holding.has_value(), c.holding.has_value()) << c.what;
        if (!holding) continue;
        EXPECT_EQ(holding->path, t.dir.path(*c.holding)) << c.what;
        EXPECT_EQ(holding->same, c.same) << c.what;
    }
}
