#include "batch/batchwalk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/fileidentity.h"

namespace {
struct Walker {
    bool recursive;
    BatchWalk walk;

    void PassBy(const std::string& path, std::string reason) { walk.passedBy.push_back({path, std::move(reason)}); }

    void Folder(const std::string& path, const std::string& relative)
    {
        DIR* folder = ::opendir(path.c_str());
        if (!folder) return PassBy(path, std::string("a folder that cannot be read (") + std::strerror(errno) + ")");
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(folder);
        std::ranges::sort(names);
        for (const std::string& name : names) {
            const std::string inner = relative.empty() ? name : relative + "/" + name;
            Entry(path + (path.ends_with('/') ? "" : "/") + name, inner, false);
        }
    }

    void Entry(const std::string& path, const std::string& relative, bool named)
    {
        struct stat info;
        if ((named ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0)
            return PassBy(path, std::string("cannot be reached (") + std::strerror(errno) + ")");
        if (S_ISLNK(info.st_mode)) return PassBy(path, "a symbolic link, not followed");
        if (S_ISDIR(info.st_mode)) {
            if (!recursive) return PassBy(path, "a folder; give --recursive to take the files in it");
            return Folder(path, named ? std::string() : relative);
        }
        if (!S_ISREG(info.st_mode)) return PassBy(path, "not a regular file");
        struct stat own;
        const bool viaLink = named && ::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode);
        walk.files.push_back({path, relative, static_cast<std::uint64_t>(info.st_size), viaLink});
    }
};

std::string LastName(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.ends_with('/')) trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}
}  // namespace

BatchWalk WalkPaths(const std::vector<std::string>& paths, bool recursive)
{
    Walker walker{recursive, {}};
    for (const std::string& path : paths) walker.Entry(path, LastName(path), true);
    return std::move(walker.walk);
}

namespace {
// The folders from the nearest existing one of path up to the root, the first one first.
std::vector<struct stat> FoldersUpFrom(const std::string& path)
{
    std::filesystem::path existing = std::filesystem::absolute(path).lexically_normal();
    struct stat info;
    while (::stat(existing.c_str(), &info) != 0 && existing.has_relative_path()) existing = existing.parent_path();
    std::vector<struct stat> chain;
    char resolved[PATH_MAX];
    if (!::realpath(existing.c_str(), resolved)) return chain;
    for (std::filesystem::path folder = resolved;; folder = folder.parent_path()) {
        if (::stat(folder.c_str(), &info) == 0) chain.push_back(info);
        if (!folder.has_relative_path()) break;
    }
    return chain;
}
}  // namespace

std::optional<HoldingInput> InputHolding(const std::vector<std::string>& paths, const std::string& outputFolder)
{
    const auto chain = FoldersUpFrom(outputFolder);
    struct stat own;
    const bool exists = ::stat(outputFolder.c_str(), &own) == 0;
    for (const std::string& path : paths) {
        struct stat named;
        if (::stat(path.c_str(), &named) != 0 || !S_ISDIR(named.st_mode)) continue;
        for (const struct stat& folder : chain)
            if (SameFile(folder, named)) return HoldingInput{path, exists && SameFile(own, named)};
    }
    return std::nullopt;
}
