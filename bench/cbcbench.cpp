#include "cbcbench.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

namespace {
// Key setups are short: each measurement repeats one until it has run this long.
constexpr double kKeySetupSpan = 0.02;

double BestKeySetupMicros(CbcCipher& cipher, std::span<const std::uint8_t> key, int repetitions)
{
    double best = std::numeric_limits<double>::max();
    for (int r = 0; r < repetitions; ++r) {
        long count = 0;
        const double start = CpuSeconds();
        double elapsed = 0;
        do {
            cipher.SetKey(key);
            ++count;
            elapsed = CpuSeconds() - start;
        } while (elapsed < kKeySetupSpan);
        best = std::min(best, elapsed / static_cast<double>(count));
    }
    return best * 1e6;
}

// The best CPU and wall times of the passes so far.
struct BestTimes {
    double cpu = std::numeric_limits<double>::max();
    double wall = std::numeric_limits<double>::max();
};

template <class Step>
void TimePass(std::span<std::uint8_t> buffer, BestTimes& best, Step step)
{
    const double cpuStart = CpuSeconds();
    const double wallStart = WallSeconds();
    for (std::size_t offset = 0; offset < buffer.size(); offset += kChunkBytes)
        step(buffer.data() + offset, std::min(kChunkBytes, buffer.size() - offset));
    best.wall = std::min(best.wall, WallSeconds() - wallStart);
    best.cpu = std::min(best.cpu, CpuSeconds() - cpuStart);
}
}  // namespace

double CpuSeconds()
{
    double seconds = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        for (const timeval& t : {usage.ru_utime, usage.ru_stime})
            seconds += static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    }
    return seconds;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

CbcFigures MeasureCbc(CbcCipher& cipher, std::span<const std::uint8_t> key, std::span<std::uint8_t> buffer,
                      std::span<const std::uint8_t> plain, int repetitions)
{
    CbcFigures figures;
    figures.keySetupMicros = BestKeySetupMicros(cipher, key, repetitions);
    BestTimes encryption, decryption;
    bool changed = true;
    for (int r = 0; r < repetitions; ++r) {
        cipher.SetKey(key);
        TimePass(buffer, encryption, [&](std::uint8_t* chunk, std::size_t bytes) { cipher.EncryptChunk(chunk, bytes); });
        changed = changed && std::memcmp(buffer.data(), plain.data(), kChunkBytes) != 0;
        cipher.StartDecryption();
        TimePass(buffer, decryption, [&](std::uint8_t* chunk, std::size_t bytes) { cipher.DecryptChunk(chunk, bytes); });
    }
    const double megabytes = static_cast<double>(buffer.size()) / 1e6;
    figures.encryptMBps = megabytes / encryption.cpu;
    figures.decryptMBps = megabytes / decryption.cpu;
    figures.encryptWallMBps = megabytes / encryption.wall;
    figures.decryptWallMBps = megabytes / decryption.wall;
    figures.verified = changed && std::memcmp(buffer.data(), plain.data(), plain.size()) == 0;
    return figures;
}
