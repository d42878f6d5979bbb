#include "filebench.h"

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "benchfiles.h"
#include "cipher/registry.h"
#include "fileenc/fileop.h"

namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kFileBytes = std::uintmax_t{256} << 20;
// The plain file, the encrypted and decrypted ones, cat's copy, and room to spare.
constexpr std::uintmax_t kNeededBytes = 5 * kFileBytes;

void Expect(FileOpResult result, FileOpResult expected, const char* what)
{
    if (result != expected) throw std::runtime_error(std::string(what) + " did not succeed");
}

double MBps(double seconds)
{
    return static_cast<double>(kFileBytes) / 1e6 / seconds;
}

// Against raw CBC alone, and against raw CBC plus the reads and writes of dd in the engine's
// chunks done one after the other: the latter is what the procedure reaches when it does one
// thing at a time; working side by side takes it above.
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
    if (raw.encryptWallMBps <= 0) {
        std::printf("  %-14s no sound raw CBC figure: skipped\n", label.c_str());
        return;
    }
    const fs::path plain = folder / "plain", encrypted = folder / "encrypted", decrypted = folder / "decrypted";
    const SecretBytes passphrase = {'b', 'e', 'n', 'c', 'h'};
    auto cipher = CreateCipher(result.cipher.name);
    try {
        const double encryptSeconds = BestWallSeconds(repetitions, encrypted, [&] {
            Expect(EncryptFile(plain.string(), encrypted.string(), passphrase, *cipher), FileOpResult::Encrypted,
                   "EncryptFile");
        });
        const double decryptSeconds = BestWallSeconds(repetitions, decrypted, [&] {
            Expect(DecryptFile(encrypted.string(), decrypted.string(), passphrase, *cipher), FileOpResult::Decrypted,
                   "DecryptFile");
        });
        const bool sound = fs::file_size(encrypted) == kFileBytes + 32 && SameContents(plain, decrypted);
        std::printf("  %-14s %14.1f %14.1f %s %14.1f %14.1f %s%s\n", label.c_str(), MBps(encryptSeconds),
                    raw.encryptWallMBps, Ratios(encryptSeconds, raw.encryptWallMBps, ddSeconds).c_str(),
                    MBps(decryptSeconds), raw.decryptWallMBps,
                    Ratios(decryptSeconds, raw.decryptWallMBps, ddSeconds).c_str(),
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
        const fs::path plain = scratch / "plain", copy = scratch / "copy";
        WritePseudoRandomFile(plain, kFileBytes);
        ReadThrough(plain);
        const double catSeconds =
            BestWallSeconds(repetitions, copy, [&] { RunChild({"cat", plain.string()}, copy); });
        // The engine's own chunk size, to tell the cost of its reads and writes from the cipher's.
        const std::string blockSize = "bs=" + std::to_string(kFileChunkBytes);
        const double ddSeconds = BestWallSeconds(repetitions, copy, [&] {
            RunChild({"dd", "if=" + plain.string(), "of=" + copy.string(), blockSize, "status=none"});
        });
        fs::remove(copy);
        std::printf("\nFile procedure (EncryptFile, DecryptFile) on a %ju MiB file in %s%s; page cache warm; "
                    "wall time\n",
                    kFileBytes >> 20, folder.c_str(), IsTmpfs(folder) ? " (tmpfs)" : " (not a tmpfs: the disk counts)");
        std::printf("  copies: cat %.1f MB/s, dd %s %.1f MB/s\n", MBps(catSeconds), blockSize.c_str(),
                    MBps(ddSeconds));
        std::printf("  %-14s %14s %14s %13s %14s %14s %13s\n", "cipher", "file enc MB/s", "raw enc MB/s",
                    "/raw /raw+dd", "file dec MB/s", "raw dec MB/s", "/raw /raw+dd");
        for (const CipherResult& result : results) PrintCipherRow(result, scratch, repetitions, ddSeconds);
        std::printf("  raw: our in-memory CBC on the wall clock\n"
                    "  /raw: file procedure speed / raw CBC speed (target: at least 0.90)\n"
                    "  /raw+dd: file procedure speed / the speed of raw CBC and dd %s one after the other\n",
                    blockSize.c_str());
        return true;
    } catch (const std::exception& failure) {
        std::printf("\nFile procedure: %s\n", failure.what());
        return false;
    }
}
