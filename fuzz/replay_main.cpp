// Without libFuzzer, a fuzz target replays every file of the folders (or files) it is given,
// so that the ordinary test run checks the properties on the committed corpus.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "property.h"

namespace {
std::vector<std::filesystem::path> FilesOf(const std::filesystem::path& path)
{
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::directory_iterator(path))
            if (entry.is_regular_file()) files.push_back(entry.path());
    } else {
        files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}
}  // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& file : FilesOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;  // an empty or missing corpus is a mistake, not a pass
}
