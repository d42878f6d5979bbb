#include "filebench.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "cipher/registry.h"
#include "fileenc/fileop.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kFileBytes = std::uintmax_t{256} << 20;
// The plain file, the encrypted and decrypted ones, cat's copy, and room to spare.
constexpr std::uintmax_t kNeededBytes = 5 * kFileBytes;

// A folder of our own for the files, removed with everything in it.
class ScratchFolder {
public:
    explicit ScratchFolder(const fs::path& parent)
    {
        std::string name = (parent / "zorvanta-bench-XXXXXX").string();
        if (!mkdtemp(name.data())) throw std::runtime_error("cannot create a folder in " + parent.string());
        path_ = name;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path operator/(const char* name) const { return path_ / name; }

private:
    fs::path path_;
};

void WritePseudoRandomFile(const fs::path& path)
{
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    std::uint64_t state = 0x2545f4914f6cdd1d;
    for (std::uintmax_t written = 0; written < kFileBytes; written += chunk.size()) {
        for (std::size_t i = 0; i < chunk.size(); i += 8) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            std::memcpy(chunk.data() + i, &state, 8);
        }
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

bool SameContents(const fs::path& a, const fs::path& b)
{
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream inA(a, std::ios::binary), inB(b, std::ios::binary);
    std::vector<char> chunkA(1 << 20), chunkB(1 << 20);
    while (inA.read(chunkA.data(), static_cast<std::streamsize>(chunkA.size())) || inA.gcount() > 0) {
        inB.read(chunkB.data(), static_cast<std::streamsize>(chunkB.size()));
        if (inB.gcount() != inA.gcount() || std::memcmp(chunkA.data(), chunkB.data(), chunkA.size()) != 0)
            return false;
    }
    return true;
}

// Runs a program to its end; its standard output goes to stdoutFile unless that is empty.
void Run(std::vector<std::string> arguments, const fs::path& stdoutFile = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int failure = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (failure != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments[0] + " failed");
}

// Best time of a step that writes output; the output goes before each run, untimed, so that
// every run creates its file afresh.
template <class Step>
double BestSeconds(int repetitions, const fs::path& output, Step step)
{
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < repetitions; ++r) {
        fs::remove(output);
        const double start = CpuSeconds();
        step();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

void Expect(FileOpResult result, FileOpResult expected, const char* what)
{
    if (result != expected) throw std::runtime_error(std::string(what) + " did not succeed");
}

double MBps(double seconds)
{
    return static_cast<double>(kFileBytes) / 1e6 / seconds;
}

// Against raw CBC alone, and against raw CBC plus the reads and writes of dd in 8192-byte
// chunks done one after the other: the latter is what the procedure can reach at best.
std::string Ratios(double fileSeconds, double rawMBps, double ddSeconds)
{
    const double rawSeconds = static_cast<double>(kFileBytes) / 1e6 / rawMBps;
    char text[64];
    std::snprintf(text, sizeof text, "%6.2f %6.2f", rawSeconds / fileSeconds, (rawSeconds + ddSeconds) / fileSeconds);
    return text;
}

void PrintCipherRow(const CipherResult& result, const ScratchFolder& folder, int repetitions, double ddSeconds)
{
    const std::string label(result.cipher.label);
    const CbcFigures raw = result.Ours();
    if (raw.encryptMBps <= 0) {
        std::printf("  %-14s no sound raw CBC figure: skipped\n", label.c_str());
        return;
    }
    const fs::path plain = folder / "plain", encrypted = folder / "encrypted", decrypted = folder / "decrypted";
    const SecretBytes passphrase = {'b', 'e', 'n', 'c', 'h'};
    auto cipher = CreateCipher(result.cipher.name);
    try {
        const double encryptSeconds = BestSeconds(repetitions, encrypted, [&] {
            Expect(EncryptFile(plain.string(), encrypted.string(), passphrase, *cipher), FileOpResult::Encrypted,
                   "EncryptFile");
        });
        const double decryptSeconds = BestSeconds(repetitions, decrypted, [&] {
            Expect(DecryptFile(encrypted.string(), decrypted.string(), passphrase, *cipher), FileOpResult::Decrypted,
                   "DecryptFile");
        });
        const bool sound = fs::file_size(encrypted) == kFileBytes + 32 && SameContents(plain, decrypted);
        std::printf("  %-14s %14.1f %14.1f %s %14.1f %14.1f %s%s\n", label.c_str(), MBps(encryptSeconds),
                    raw.encryptMBps, Ratios(encryptSeconds, raw.encryptMBps, ddSeconds).c_str(),
                    MBps(decryptSeconds), raw.decryptMBps, Ratios(decryptSeconds, raw.decryptMBps, ddSeconds).c_str(),
                    sound ? "" : "  WRONG: no round trip");
    } catch (const std::exception& error) {
        std::printf("  %-14s failed: %s\n", label.c_str(), error.what());
    }
    fs::remove(encrypted);
    fs::remove(decrypted);
}
}  // namespace

bool RunFileBench(const std::vector<CipherResult>& results, const fs::path& folder, int repetitions)
{
    std::error_code error;
    const fs::space_info space = fs::space(folder, error);
    if (error || space.available < kNeededBytes) {
        std::printf("\nFile procedure: skipped, %s needs %ju MiB free\n", folder.c_str(), kNeededBytes >> 20);
        return false;
    }
    try {
        const ScratchFolder scratch(folder);
        WritePseudoRandomFile(scratch / "plain");
        const fs::path plain = scratch / "plain", copy = scratch / "copy";
        const double catSeconds = BestSeconds(repetitions, copy, [&] { Run({"cat", plain.string()}, copy); });
        // The procedure's own chunk size, to tell the cost of its reads and writes from the cipher's.
        const double ddSeconds = BestSeconds(repetitions, copy, [&] {
            Run({"dd", "if=" + plain.string(), "of=" + copy.string(), "bs=8192", "status=none"});
        });
        fs::remove(copy);
        std::printf("\nFile procedure on a %ju MiB file in %s (page cache warm; CPU time, so the final fsync's wait is not counted)\n",
                    kFileBytes >> 20, folder.c_str());
        std::printf("  copies: cat %.1f MB/s, dd bs=8192 %.1f MB/s\n", MBps(catSeconds), MBps(ddSeconds));
        std::printf("  %-14s %14s %14s %13s %14s %14s %13s\n", "cipher", "file enc MB/s", "raw enc MB/s",
                    "/raw /raw+dd", "file dec MB/s", "raw dec MB/s", "/raw /raw+dd");
        for (const CipherResult& result : results) PrintCipherRow(result, scratch, repetitions, ddSeconds);
        std::printf("  /raw: file procedure speed / raw CBC speed (target: at least 0.90)\n"
                    "  /raw+dd: file procedure speed / the speed of raw CBC and dd bs=8192 one after the other\n");
        return true;
    } catch (const std::exception& failure) {
        std::printf("\nFile procedure: %s\n", failure.what());
        return false;
    }
}
