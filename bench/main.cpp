// Our eight ciphers in CBC mode against the mainstream libraries, then our file procedure against
// cat and against our raw CBC speed, then whole zorvanta-cli processes against the peers, openssl
// enc, cp and dd. Run through scripts/bench.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "benchfiles.h"
#include "report.h"
#ifdef ZB_HAVE_FILEOP
#include "filebench.h"
#endif
#ifdef ZB_HAVE_CLI
#include "e2ebench.h"
#endif

namespace {
// The key sizes the file procedure gives each cipher.
constexpr BenchCipher kCiphers[] = {
    {"Blowfish", "Blowfish", 256}, {"Cast128", "CAST-128", 128},     {"Cast256", "CAST-256", 256},
    {"Gost", "GOST 28147-89", 256}, {"IDEA", "IDEA", 128},           {"Misty1", "MISTY1", 128},
    {"Rijndael", "AES-256", 256},  {"Twofish", "Twofish", 256},
};

constexpr std::size_t kBufferBytes = std::size_t{64} << 20;

struct Options {
    int repetitions = 3;
    std::filesystem::path folder;  // for the files of the file procedure and of whole processes
    bool cbcTables = true;
    bool fileBench = true;
    bool endToEnd = true;
    std::uintmax_t cipherFileMiB = 64;
    std::string only;  // one cipher by our name, or all when empty
};

[[noreturn]] void Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [--reps N] [--dir FOLDER] [--only CIPHER] [--no-file] [--no-e2e | --e2e-only]\n"
                 "          [--size-mib N]\n"
                 "  --reps N       best of N repetitions (default 3)\n"
                 "  --dir FOLDER   where the files go, up to 2.5 GiB at a time (default: /dev/shm, a tmpfs,\n"
                 "                 else the temp folder)\n"
                 "  --only CIPHER  one cipher by our name: Blowfish Cast128 Cast256 Gost IDEA Misty1 Rijndael Twofish\n"
                 "  --no-file      skip the file procedure\n"
                 "  --no-e2e       skip the whole zorvanta-cli processes\n"
                 "  --e2e-only     whole processes only (with the in-memory CBC they are set against)\n"
                 "  --size-mib N   the file each cipher's whole processes work on (default 64)\n",
                 program);
    std::exit(2);
}

Options ParseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--reps" && hasValue) {
            options.repetitions = std::atoi(argv[++i]);
            if (options.repetitions < 1) Usage(argv[0]);
        } else if (option == "--dir" && hasValue) {
            options.folder = argv[++i];
        } else if (option == "--only" && hasValue) {
            options.only = argv[++i];
        } else if (option == "--no-file") {
            options.fileBench = false;
        } else if (option == "--no-e2e") {
            options.endToEnd = false;
        } else if (option == "--e2e-only") {
            options.cbcTables = false;
        } else if (option == "--size-mib" && hasValue) {
            const long mebibytes = std::atol(argv[++i]);
            if (mebibytes < 1) Usage(argv[0]);
            options.cipherFileMiB = static_cast<std::uintmax_t>(mebibytes);
        } else {
            Usage(argv[0]);
        }
    }
    if (!options.endToEnd && !options.cbcTables) Usage(argv[0]);
    if (options.folder.empty()) options.folder = DefaultBenchFolder();
    return options;
}

// Fixed pseudo-random bytes (splitmix64), the same in every run.
std::vector<std::uint8_t> PseudoRandomBytes(std::size_t count, std::uint64_t seed)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; i += 8) {
        std::uint64_t z = (seed += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        z ^= z >> 31;
        std::memcpy(bytes.data() + i, &z, std::min<std::size_t>(8, count - i));
    }
    return bytes;
}

// Every library in CBC mode over one buffer; the plain bytes stay to check the round trips.
class InMemoryBench {
public:
    explicit InMemoryBench(int repetitions)
        : repetitions_(repetitions), plain_(PseudoRandomBytes(kBufferBytes, 1)), buffer_(kBufferBytes),
          keyBlock_(PseudoRandomBytes(32, 2))
    {
        libraries_.push_back(OurLibrary());
        for (const CbcLibrary& peer : PeerLibraries()) libraries_.push_back(peer);
    }

    void PrintHeader() const
    {
        std::printf("CBC over a %zu MiB buffer, in place, in %zu-byte chunks; best of %d; CPU time; MB = 10^6 bytes.\n",
                    kBufferBytes >> 20, kChunkBytes, repetitions_);
        std::printf("Key setup: our Init (IV included); a peer's key and IV setup for encryption.\n");
        std::printf("Libraries:");
        for (const CbcLibrary& library : libraries_) std::printf(" %s;", std::string(library.name).c_str());
        std::printf("\n");
        if (!MissingPeers().empty())
            std::printf("Peers left out, not installed: %s\n", std::string(MissingPeers()).c_str());
    }

    CipherResult Measure(const BenchCipher& cipher)
    {
        CipherResult result{cipher, {}};
        for (const CbcLibrary& library : libraries_) result.libraries.push_back(Measure(library, cipher));
        if (result.libraries.front().note == "-") result.libraries.front().note = "not in this build yet";
        return result;
    }

private:
    LibraryResult Measure(const CbcLibrary& library, const BenchCipher& cipher)
    {
        const std::span<const std::uint8_t> key(keyBlock_.data(), static_cast<std::size_t>(cipher.keyBits / 8));
        std::memcpy(buffer_.data(), plain_.data(), plain_.size());
        try {
            auto cbc = library.make(cipher.name);
            if (!cbc) return {library.name, std::nullopt, "-"};
            return {library.name, MeasureCbc(*cbc, key, buffer_, plain_, repetitions_), ""};
        } catch (const std::exception& error) {
            return {library.name, std::nullopt, std::string("failed: ") + error.what()};
        }
    }

    int repetitions_;
    std::vector<CbcLibrary> libraries_;
    std::vector<std::uint8_t> plain_, buffer_, keyBlock_;
};

std::vector<BenchCipher> SelectedCiphers(const Options& options)
{
    std::vector<BenchCipher> ciphers;
    for (const BenchCipher& cipher : kCiphers)
        if (options.only.empty() || options.only == cipher.name) ciphers.push_back(cipher);
    return ciphers;
}
}  // namespace

int main(int argc, char** argv)
{
    const Options options = ParseOptions(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::vector<BenchCipher> ciphers = SelectedCiphers(options);
    InMemoryBench inMemory(options.repetitions);
    inMemory.PrintHeader();
    bool ran = true;

    if (options.cbcTables) {
        std::vector<CipherResult> results;
        for (const BenchCipher& cipher : ciphers) {
            results.push_back(inMemory.Measure(cipher));
            PrintCipherTable(results.back());
        }
        PrintSummary(results);
        if (options.fileBench) {
#ifdef ZB_HAVE_FILEOP
            ran = RunFileBench(results, options.folder, options.repetitions) && ran;
#else
            std::printf("\nFile procedure: not in this build yet (the library that holds it is missing).\n");
#endif
        }
    }
    if (options.endToEnd) {
#ifdef ZB_HAVE_CLI
        const EndToEndSettings settings{options.folder, options.repetitions, options.cipherFileMiB,
                                        options.only.empty() || options.only == "Rijndael",
                                        [&](const BenchCipher& cipher) { return inMemory.Measure(cipher); }};
        ran = RunEndToEndBench(ciphers, settings) && ran;
#else
        std::printf("\nWhole processes: not in this build yet (zorvanta-cli is missing).\n");
#endif
    }
    return ran ? 0 : 1;
}
