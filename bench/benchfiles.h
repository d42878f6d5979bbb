#pragma once

// Scratch files and child processes for the benchmarks that work on whole files.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cbcbench.h"

// A folder of our own for the files, removed with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::filesystem::path& parent);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path operator/(const char* name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The folder the file benchmarks use unless told otherwise: /dev/shm, a tmpfs, so that the
// disk's speed and the engine's final fsync do not count; the temp folder where it is missing.
std::filesystem::path DefaultBenchFolder();
// Whether folder lies on a tmpfs.
bool IsTmpfs(const std::filesystem::path& folder);

// Fixed pseudo-random bytes (xorshift64), the same in every run.
void WritePseudoRandomFile(const std::filesystem::path& path, std::uintmax_t bytes);
// A file of zeros that takes no room: reads of it cost no storage.
void WriteSparseFile(const std::filesystem::path& path, std::uintmax_t bytes);
bool SameContents(const std::filesystem::path& a, const std::filesystem::path& b);
// Reads a file once, so that its pages are cached before it is timed.
void ReadThrough(const std::filesystem::path& path);

enum class ChildErrors { Shown, Hidden };

// Runs a program (looked up in PATH) to its end and returns the wall seconds from its spawn to
// the end of the wait; its standard output goes to stdoutFile (/dev/null when empty). Raises
// std::runtime_error when it cannot start or exits other than 0.
double RunChild(std::vector<std::string> arguments, const std::filesystem::path& stdoutFile = {},
                  ChildErrors errors = ChildErrors::Shown);

// Best wall time of `repetitions` runs of a step that writes output; the output goes before
// each run, untimed, so that every run creates its file afresh.
template <class Step>
double BestWallSeconds(int repetitions, const std::filesystem::path& output, Step step)
{
    double best = 0;
    for (int r = 0; r < repetitions; ++r) {
        std::filesystem::remove(output);
        const double start = WallSeconds();
        step();
        const double seconds = WallSeconds() - start;
        if (r == 0 || seconds < best) best = seconds;
    }
    return best;
}
