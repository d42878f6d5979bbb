#include "cbcbench.h"

#include <sys/resource.h>

#include <algorithm>
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

template <class Step>
double PassSeconds(std::span<std::uint8_t> buffer, Step step)
{
    const double start = CpuSeconds();
    for (std::size_t offset = 0; offset < buffer.size(); offset += kChunkBytes)
        step(buffer.data() + offset, std::min(kChunkBytes, buffer.size() - offset));
    return CpuSeconds() - start;
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

CbcFigures MeasureCbc(CbcCipher& cipher, std::span<const std::uint8_t> key, std::span<std::uint8_t> buffer,
                      std::span<const std::uint8_t> plain, int repetitions)
{
    CbcFigures figures;
    figures.keySetupMicros = BestKeySetupMicros(cipher, key, repetitions);
    double encryptSeconds = std::numeric_limits<double>::max();
    double decryptSeconds = encryptSeconds;
    bool changed = true;
    for (int r = 0; r < repetitions; ++r) {
        cipher.SetKey(key);
        encryptSeconds = std::min(encryptSeconds, PassSeconds(buffer, [&](std::uint8_t* chunk, std::size_t bytes) {
                                      cipher.EncryptChunk(chunk, bytes);
                                  }));
        changed = changed && std::memcmp(buffer.data(), plain.data(), kChunkBytes) != 0;
        cipher.StartDecryption();
        decryptSeconds = std::min(decryptSeconds, PassSeconds(buffer, [&](std::uint8_t* chunk, std::size_t bytes) {
                                      cipher.DecryptChunk(chunk, bytes);
                                  }));
    }
    const double megabytes = static_cast<double>(buffer.size()) / 1e6;
    figures.encryptMBps = megabytes / encryptSeconds;
    figures.decryptMBps = megabytes / decryptSeconds;
    figures.verified = changed && std::memcmp(buffer.data(), plain.data(), plain.size()) == 0;
    return figures;
}
