#pragma once

// The files a batch works on, found from the paths a user named: each file itself, and with
// recursion every file in a named folder and below it. Symbolic links met in a folder are not
// followed, so a walk never leaves the tree it was given nor meets a file twice.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct BatchFile {
    std::string path;      // as reached from the named path
    std::string relative;  // below the named folder, or the file's own name; an output folder mirrors it
    std::uint64_t size = 0;
    bool viaLink = false;  // named as a symbolic link: the file is its target, reached through it
};

// A name the walk passes by, and why, in a sentence's middle ("a symbolic link, not followed").
struct PassedBy {
    std::string path;
    std::string reason;
};

struct BatchWalk {
    std::vector<BatchFile> files;    // in the order named, each folder's entries sorted by name
    std::vector<PassedBy> passedBy;  // folders without recursion, links, devices, what cannot be read
};

// A named symbolic link is followed: the user chose it.
BatchWalk WalkPaths(const std::vector<std::string>& paths, bool recursive);

// A named folder that an output folder is, or lies inside (when it does not exist yet: where it
// would be made), and which one; nullopt when it lies outside every named folder. A walk of
// such a folder would meet the outputs it makes, or leave out what was there already.
struct HoldingInput {
    std::string path;
    bool same;  // the output folder is the named folder itself
};
std::optional<HoldingInput> InputHolding(const std::vector<std::string>& paths, const std::string& outputFolder);
