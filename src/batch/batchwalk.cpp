#include "batch/batchwalk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/fileidentity.h"

namespace {
struct Walker {
    bool recursive;
    std::optional<struct stat> skipFolder;
    BatchWalk walk;

    bool IsSkipped(const struct stat& info) const
    {
        return skipFolder && SameFile(info, *skipFolder);
    }

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
        if (IsSkipped(info)) return;
        if (S_ISLNK(info.st_mode)) return PassBy(path, "a symbolic link, not followed");
        if (S_ISDIR(info.st_mode)) {
            if (!recursive) return PassBy(path, "a folder; give --recursive to take the files in it");
            return Folder(path, named ? std::string() : relative);
        }
        if (!S_ISREG(info.st_mode)) return PassBy(path, "not a regular file");
        walk.files.push_back({path, relative, static_cast<std::uint64_t>(info.st_size)});
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

BatchWalk WalkPaths(const std::vector<std::string>& paths, bool recursive,
                    const std::optional<std::string>& outputFolder)
{
    Walker walker{recursive, std::nullopt, {}};
    struct stat folder;
    if (outputFolder && ::stat(outputFolder->c_str(), &folder) == 0) walker.skipFolder = folder;
    for (const std::string& path : paths) walker.Entry(path, LastName(path), true);
    return std::move(walker.walk);
}
