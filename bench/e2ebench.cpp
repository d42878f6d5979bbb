#include "e2ebench.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>

#include "benchfiles.h"

namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kMiB = std::uintmax_t{1} << 20;
constexpr std::uintmax_t kAesFileBytes = 256 * kMiB;
constexpr std::uintmax_t kMemoryFileBytes = 1024 * kMiB;

// The targets, as ratios of speeds or times.
constexpr double kEncryptionVsPeer = 1.00;  // our encryption / the fastest peer's CBC encryption, at least
constexpr double kDecryptionVsPeer = 1.30;  // our decryption / the fastest peer's CBC decryption, at least
constexpr double kDecryptionVsCopy = 1.20;  // the time of our decryption / the time of dd bs=1M, at most
constexpr double kEncryptionVsOpenssl = 1.50;  // the time of openssl enc / the time of our encryption, at least
constexpr long kPeakMemoryKiB = 32 * 1024;  // at most
constexpr double kAgeVsAge = 1.80;  // the time of age / the time of our age run, at least, both ways

// A cipher of `openssl enc`; those of the legacy provider need it loaded.
struct OpensslCipher {
    std::string_view ours;
    const char* name;
    int keyBytes;
    int blockBytes;
    bool legacy;
};

constexpr OpensslCipher kOpensslCiphers[] = {
    {"Blowfish", "-bf-cbc", 16, 8, true},
    {"Cast128", "-cast5-cbc", 16, 8, true},
    {"IDEA", "-idea-cbc", 16, 8, true},
    {"Rijndael", "-aes-256-cbc", 32, 16, false},
};

const OpensslCipher* FindOpensslCipher(std::string_view ours)
{
    for (const OpensslCipher& cipher : kOpensslCiphers)
        if (cipher.ours == ours) return &cipher;
    return nullptr;
}

// The arguments that run one program one way (encrypt true or false) from input to output.
using Command = std::function<std::vector<std::string>(bool encrypt, const fs::path& input, const fs::path& output)>;

Command OurCommand(std::string_view cipher)
{
    return [cipher = std::string(cipher)](bool encrypt, const fs::path& input, const fs::path& output) {
        return std::vector<std::string>{ZB_CLI_PATH, encrypt ? "encrypt" : "decrypt", "-q", "-f", "--cipher", cipher,
                                        "--passphrase-hex", "00", input.string(), output.string()};
    };
}

std::string HexBytes(int count)
{
    std::string hex;
    for (int i = 0; i < count; ++i) hex += "0123456789abcdef"[i % 16], hex += "fedcba9876543210"[i % 16];
    return hex;
}

Command OpensslCommand(const OpensslCipher& cipher)
{
    return [&cipher](bool encrypt, const fs::path& input, const fs::path& output) {
        std::vector<std::string> arguments{"openssl", "enc", cipher.name};
        if (!encrypt) arguments.push_back("-d");
        if (cipher.legacy) arguments.insert(arguments.end(), {"-provider", "legacy", "-provider", "default"});
        arguments.insert(arguments.end(), {"-K", HexBytes(cipher.keyBytes), "-iv", HexBytes(cipher.blockBytes), "-in",
                                           input.string(), "-out", output.string()});
        return arguments;
    };
}

// Whether this openssl has the cipher: a run on an empty input, its complaints kept quiet.
bool OpensslHas(const OpensslCipher& cipher)
{
    try {
        RunChild(OpensslCommand(cipher)(true, "/dev/null", "/dev/null"), {}, ChildErrors::Hidden);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A plain file and the names of its encrypted and decrypted forms, removed after each program.
struct Files {
    fs::path plain, encrypted, decrypted;
    std::uintmax_t bytes;

    double MBps(double seconds) const { return static_cast<double>(bytes) / 1e6 / seconds; }
};

struct RoundTrip {
    double encryptSeconds = 0, decryptSeconds = 0;  // the best wall times
    bool sound = false;                             // decryption gave the plain file back
};

double BestRun(int repetitions, const fs::path& output, const std::vector<std::string>& arguments)
{
    return BestWallSeconds(repetitions, output, [&] { RunChild(arguments); });
}

RoundTrip TimeRoundTrip(const Command& command, const Files& files, int repetitions)
{
    RoundTrip trip;
    trip.encryptSeconds = BestRun(repetitions, files.encrypted, command(true, files.plain, files.encrypted));
    trip.decryptSeconds = BestRun(repetitions, files.decrypted, command(false, files.encrypted, files.decrypted));
    trip.sound = SameContents(files.plain, files.decrypted);
    fs::remove(files.encrypted);
    fs::remove(files.decrypted);
    return trip;
}

const char* Verdict(bool met)
{
    return met ? "PASS" : "MISS";
}

// AES-256's peers run the processor's AES instructions in memory; its whole processes are held
// to the speed of a copy instead (the 256 MiB table).
bool HeldToPeers(const BenchCipher& cipher)
{
    return cipher.name != "Rijndael";
}

// Our speed against the fastest peer, with the verdict against the target ratio (none: no target).
std::string PeerCell(double ours, const Fastest& fastest, std::optional<double> target)
{
    if (ours <= 0 || !fastest.library || !target) return Ratio(ours, fastest);
    return Ratio(ours, fastest) + " " + Verdict(ours / fastest.mbps >= *target);
}

std::string OpensslCell(const Files& files, const std::optional<RoundTrip>& openssl)
{
    if (!openssl) return "        -         -";
    if (!openssl->sound) return "WRONG: no round trip";
    char text[64];
    std::snprintf(text, sizeof text, "%9.1f %9.1f", files.MBps(openssl->encryptSeconds),
                  files.MBps(openssl->decryptSeconds));
    return text;
}

void PrintCipherRow(const BenchCipher& cipher, const Files& files, const EndToEndSettings& settings)
{
    const std::string label(cipher.label);
    try {
        const int repetitions = settings.repetitions;
        const CipherResult result = settings.measureInMemory(cipher);
        const RoundTrip ours = TimeRoundTrip(OurCommand(cipher.name), files, repetitions);
        std::optional<RoundTrip> openssl;
        if (const OpensslCipher* theirs = FindOpensslCipher(cipher.name); theirs && OpensslHas(*theirs))
            openssl = TimeRoundTrip(OpensslCommand(*theirs), files, repetitions);
        const double encryption = files.MBps(ours.encryptSeconds);
        const double decryption = files.MBps(ours.decryptSeconds);
        const Fastest peerEncryption = FastestPeer(result, &CbcFigures::encryptWallMBps);
        const Fastest peerDecryption = FastestPeer(result, &CbcFigures::decryptWallMBps);
        const auto target = [&](double ratio) { return HeldToPeers(cipher) ? std::optional(ratio) : std::nullopt; };
        std::printf("  %-14s %9.1f %9s  %-27s %9.1f %9s  %-27s %s%s\n", label.c_str(), encryption,
                    Speed(peerEncryption.mbps).c_str(), PeerCell(encryption, peerEncryption, target(kEncryptionVsPeer)).c_str(),
                    decryption, Speed(peerDecryption.mbps).c_str(),
                    PeerCell(decryption, peerDecryption, target(kDecryptionVsPeer)).c_str(),
                    OpensslCell(files, openssl).c_str(), ours.sound ? "" : "  WRONG: no round trip");
    } catch (const std::exception& error) {
        std::printf("  %-14s failed: %s\n", label.c_str(), error.what());
    }
}

// The machine's load over the last minute, and its cores: others' work weighs on every figure.
std::string LoadAverage()
{
    std::string load = "?";
    std::ifstream("/proc/loadavg") >> load;
    return load + " on " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

std::string FolderNote(const fs::path& folder)
{
    return folder.string() + (IsTmpfs(folder) ? " (tmpfs)" : " (not a tmpfs: the disk counts)");
}

void RunCipherTable(std::span<const BenchCipher> ciphers, const EndToEndSettings& settings)
{
    const ScratchFolder scratch(settings.folder);
    const Files files{scratch / "plain", scratch / "encrypted", scratch / "decrypted", settings.cipherFileMiB * kMiB};
    WritePseudoRandomFile(files.plain, files.bytes);
    ReadThrough(files.plain);
    std::printf("\nWhole processes on a %ju MiB file in %s; wall time, best of %d; MB = 10^6 bytes\n",
                settings.cipherFileMiB, FolderNote(settings.folder).c_str(), settings.repetitions);
    std::printf("  ours: zorvanta-cli encrypt|decrypt -q -f --cipher NAME --passphrase-hex 00 IN OUT\n"
                "  peer: the fastest peer's in-memory CBC (one thread) on the wall clock, measured just before ours\n"
                "  load average at the start: %s\n", LoadAverage().c_str());
    std::printf("  %-14s %9s %9s  %-27s %9s %9s  %-27s %9s %9s\n", "cipher", "ours enc", "peer enc", "ratio (peer)",
                "ours dec", "peer dec", "ratio (peer)", "ossl enc", "ossl dec");
    for (const BenchCipher& cipher : ciphers) PrintCipherRow(cipher, files, settings);
    std::printf("  targets: encryption at least %.2f x the fastest peer's, decryption at least %.2f x;"
                " AES-256 against a copy, below\n"
                "  ossl enc, ossl dec: whole openssl enc processes, MB/s, for the ciphers it has; it lacks:",
                kEncryptionVsPeer, kDecryptionVsPeer);
    for (const OpensslCipher& cipher : kOpensslCiphers)
        if (!OpensslHas(cipher)) std::printf(" %s", cipher.name);
    std::printf("\n");
}

void PrintTime(const char* what, double seconds, std::uintmax_t bytes)
{
    std::printf("  %-24s %8.3f s %9.1f MB/s\n", what, seconds, static_cast<double>(bytes) / 1e6 / seconds);
}

void RunAesFile(const EndToEndSettings& settings)
{
    const ScratchFolder scratch(settings.folder);
    const Files files{scratch / "plain", scratch / "encrypted", scratch / "decrypted", kAesFileBytes};
    WritePseudoRandomFile(files.plain, files.bytes);
    ReadThrough(files.plain);
    const fs::path copy = scratch / "copy";
    const double cpSeconds = BestRun(settings.repetitions, copy, {"cp", files.plain.string(), copy.string()});
    const double ddSeconds = BestRun(settings.repetitions, copy,
                                     {"dd", "if=" + files.plain.string(), "of=" + copy.string(), "bs=1M", "status=none"});
    fs::remove(copy);
    const RoundTrip ours = TimeRoundTrip(OurCommand("Rijndael"), files, settings.repetitions);
    const RoundTrip openssl = TimeRoundTrip(OpensslCommand(*FindOpensslCipher("Rijndael")), files, settings.repetitions);

    std::printf("\nAES-256 on a %ju MiB file in %s; whole processes, wall time, best of %d\n", kAesFileBytes / kMiB,
                FolderNote(settings.folder).c_str(), settings.repetitions);
    PrintTime("cp", cpSeconds, files.bytes);
    PrintTime("dd bs=1M", ddSeconds, files.bytes);
    PrintTime("zorvanta-cli encrypt", ours.encryptSeconds, files.bytes);
    PrintTime("zorvanta-cli decrypt", ours.decryptSeconds, files.bytes);
    PrintTime("openssl enc", openssl.encryptSeconds, files.bytes);
    PrintTime("openssl enc -d", openssl.decryptSeconds, files.bytes);
    if (!ours.sound || !openssl.sound) std::printf("  WRONG: no round trip (%s)\n", ours.sound ? "openssl" : "ours");
    const double copyRatio = ours.decryptSeconds / ddSeconds;
    const double opensslRatio = openssl.encryptSeconds / ours.encryptSeconds;
    std::printf("  our decryption's time / dd's time:         %5.2f (target at most %.2f)   %s\n", copyRatio,
                kDecryptionVsCopy, Verdict(copyRatio <= kDecryptionVsCopy));
    std::printf("  openssl enc's time / our encryption's time: %5.2f (target at least %.2f)  %s\n", opensslRatio,
                kEncryptionVsOpenssl, Verdict(opensslRatio >= kEncryptionVsOpenssl));
}

// zorvanta-cli's peak resident set in KiB, taken by the small program peakrss.
long PeakRssKiB(const std::vector<std::string>& command, const fs::path& report)
{
    std::vector<std::string> arguments{ZB_PEAKRSS_PATH};
    arguments.insert(arguments.end(), command.begin(), command.end());
    RunChild(arguments, report);
    std::ifstream in(report);
    long kibibytes = 0;
    if (!(in >> kibibytes)) throw std::runtime_error("peakrss gave no figure");
    return kibibytes;
}

void RunPeakMemory(const EndToEndSettings& settings)
{
    const ScratchFolder scratch(settings.folder);
    const Files files{scratch / "plain", scratch / "encrypted", scratch / "decrypted", kMemoryFileBytes};
    WriteSparseFile(files.plain, files.bytes);
    const fs::path report = scratch / "peak";
    const Command command = OurCommand("Rijndael");
    const long encryptKiB = PeakRssKiB(command(true, files.plain, files.encrypted), report);
    const long decryptKiB = PeakRssKiB(command(false, files.encrypted, files.decrypted), report);
    const bool sound = SameContents(files.plain, files.decrypted);

    std::printf("\nPeak memory (resident set, from wait4) of zorvanta-cli with AES-256 on a %ju MiB sparse file in %s\n",
                kMemoryFileBytes / kMiB, FolderNote(settings.folder).c_str());
    for (const auto& [what, kibibytes] : {std::pair{"encrypt", encryptKiB}, std::pair{"decrypt", decryptKiB}})
        std::printf("  %-8s %7.1f MiB  %s (target at most %ld MiB)\n", what, static_cast<double>(kibibytes) / 1024,
                    Verdict(kibibytes <= kPeakMemoryKiB), kPeakMemoryKiB / 1024);
    if (!sound) std::printf("  WRONG: no round trip\n");
}

// age files to an X25519 recipient: zorvanta-cli against age itself, on the file, and the peak
// memory of ours.
void RunAgeFile(const EndToEndSettings& settings)
{
    const ScratchFolder scratch(settings.folder);
    const Files files{scratch / "plain", scratch / "encrypted", scratch / "decrypted", kAesFileBytes};
    WritePseudoRandomFile(files.plain, files.bytes);
    ReadThrough(files.plain);
    const std::string key = (scratch / "key.txt").string();
    RunChild({"age-keygen", "-o", key}, {}, ChildErrors::Hidden);
    const fs::path recipientFile = scratch / "recipient";
    RunChild({"age-keygen", "-y", key}, recipientFile);
    std::string recipient;
    std::ifstream(recipientFile) >> recipient;

    const Command ours = [&](bool encrypt, const fs::path& input, const fs::path& output) {
        std::vector<std::string> arguments{ZB_CLI_PATH, encrypt ? "encrypt" : "decrypt", "-q", "-f"};
        arguments.insert(arguments.end(), {encrypt ? "-r" : "-i", encrypt ? recipient : key});
        arguments.insert(arguments.end(), {input.string(), output.string()});
        return arguments;
    };
    const Command age = [&](bool encrypt, const fs::path& input, const fs::path& output) {
        std::vector<std::string> arguments{"age"};
        if (!encrypt) arguments.push_back("-d");
        arguments.insert(arguments.end(), {encrypt ? "-r" : "-i", encrypt ? recipient : key});
        arguments.insert(arguments.end(), {"-o", output.string(), input.string()});
        return arguments;
    };
    const RoundTrip ourTrip = TimeRoundTrip(ours, files, settings.repetitions);
    const RoundTrip ageTrip = TimeRoundTrip(age, files, settings.repetitions);
    const fs::path report = scratch / "peak";
    const long encryptKiB = PeakRssKiB(ours(true, files.plain, files.encrypted), report);
    const long decryptKiB = PeakRssKiB(ours(false, files.encrypted, files.decrypted), report);

    std::printf("\nage files to an X25519 recipient, %ju MiB in %s; whole processes, wall time, best of %d\n",
                kAesFileBytes / kMiB, FolderNote(settings.folder).c_str(), settings.repetitions);
    PrintTime("zorvanta-cli encrypt -r", ourTrip.encryptSeconds, files.bytes);
    PrintTime("zorvanta-cli decrypt -i", ourTrip.decryptSeconds, files.bytes);
    PrintTime("age -r", ageTrip.encryptSeconds, files.bytes);
    PrintTime("age -d -i", ageTrip.decryptSeconds, files.bytes);
    if (!ourTrip.sound || !ageTrip.sound) std::printf("  WRONG: no round trip (%s)\n", ourTrip.sound ? "age" : "ours");
    for (const auto& [what, theirs, mine] : {std::tuple{"encryption", ageTrip.encryptSeconds, ourTrip.encryptSeconds},
                                             std::tuple{"decryption", ageTrip.decryptSeconds, ourTrip.decryptSeconds}})
        std::printf("  age's time / ours, %-10s  %5.2f (target at least %.2f)  %s\n", what, theirs / mine, kAgeVsAge,
                    Verdict(theirs / mine >= kAgeVsAge));
    for (const auto& [what, kibibytes] : {std::pair{"encrypt", encryptKiB}, std::pair{"decrypt", decryptKiB}})
        std::printf("  peak memory, %-8s %7.1f MiB  %s (target at most %ld MiB)\n", what,
                    static_cast<double>(kibibytes) / 1024, Verdict(kibibytes <= kPeakMemoryKiB), kPeakMemoryKiB / 1024);
}

// Whether folder has room for `bytes` more; says so when it has not.
bool HasRoom(const fs::path& folder, std::uintmax_t bytes, const char* part)
{
    std::error_code error;
    const fs::space_info space = fs::space(folder, error);
    if (!error && space.available >= bytes) return true;
    std::printf("\n%s: skipped, %s needs %ju MiB free\n", part, folder.c_str(), bytes / kMiB);
    return false;
}
}  // namespace

bool RunEndToEndBench(std::span<const BenchCipher> ciphers, const EndToEndSettings& settings)
{
    try {
        RunChild({ZB_CLI_PATH, "ciphers"});  // loads the program's pages before anything is timed
        if (HasRoom(settings.folder, 4 * settings.cipherFileMiB * kMiB, "Whole processes per cipher"))
            RunCipherTable(ciphers, settings);
        if (!settings.aesFiles) return true;
        // The plain file, ours and openssl's outputs and the copies follow one another.
        if (HasRoom(settings.folder, 4 * kAesFileBytes, "AES-256 file")) RunAesFile(settings);
        // The sparse plain file takes no room.
        if (HasRoom(settings.folder, 2 * kMemoryFileBytes + 256 * kMiB, "Peak memory")) RunPeakMemory(settings);
        if (HasRoom(settings.folder, 4 * kAesFileBytes, "age file")) RunAgeFile(settings);
        return true;
    } catch (const std::exception& failure) {
        std::printf("\nWhole processes: %s\n", failure.what());
        return false;
    }
}
