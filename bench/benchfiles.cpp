#include "benchfiles.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace fs = std::filesystem;

namespace {
constexpr long kTmpfsMagic = 0x01021994;  // TMPFS_MAGIC of linux/magic.h
constexpr std::size_t kReadChunk = std::size_t{1} << 20;
}  // namespace

ScratchFolder::ScratchFolder(const fs::path& parent)
{
    std::string name = (parent / "zorvanta-bench-XXXXXX").string();
    if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a folder in " + parent.string());
    path_ = name;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

bool IsTmpfs(const fs::path& folder)
{
    struct statfs info{};
    return statfs(folder.c_str(), &info) == 0 && static_cast<long>(info.f_type) == kTmpfsMagic;
}

fs::path DefaultBenchFolder()
{
    const fs::path shm = "/dev/shm";
    if (IsTmpfs(shm) && access(shm.c_str(), W_OK) == 0) return shm;
    return fs::temp_directory_path();
}

void WritePseudoRandomFile(const fs::path& path, std::uintmax_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(kReadChunk);
    std::uint64_t state = 0x2545f4914f6cdd1d;
    for (std::uintmax_t written = 0; written < bytes; written += chunk.size()) {
        for (std::size_t i = 0; i < chunk.size(); i += 8) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            std::memcpy(chunk.data() + i, &state, 8);
        }
        const std::uintmax_t left = bytes - written;
        out.write(chunk.data(), static_cast<std::streamsize>(left < chunk.size() ? left : chunk.size()));
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

void WriteSparseFile(const fs::path& path, std::uintmax_t bytes)
{
    { std::ofstream create(path, std::ios::binary); }
    fs::resize_file(path, bytes);
}

bool SameContents(const fs::path& a, const fs::path& b)
{
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
    std::vector<char> chunkA(kReadChunk), chunkB(kReadChunk);
    while (inA.read(chunkA.data(), static_cast<std::streamsize>(chunkA.size())) || inA.gcount() > 0) {
        inB.read(chunkB.data(), static_cast<std::streamsize>(chunkB.size()));
        const auto count = static_cast<std::size_t>(inA.gcount());
        if (static_cast<std::size_t>(inB.gcount()) != count || std::memcmp(chunkA.data(), chunkB.data(), count) != 0)
            return false;
    }
    return true;
}

void ReadThrough(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(kReadChunk);
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    }
}

double RunChild(std::vector<std::string> arguments, const fs::path& stdoutFile, ChildErrors errors)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = stdoutFile.empty() ? "/dev/null" : stdoutFile.string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errors == ChildErrors::Hidden) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const double start = WallSeconds();
    const int failure = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failure != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
    return WallSeconds() - start;
}
