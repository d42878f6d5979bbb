#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "cbccipher.h"

inline constexpr std::size_t kChunkBytes = 8192;  // the file procedure's chunk

struct CbcFigures {
    double keySetupMicros = 0;  // one key setup, IV included
    double encryptMBps = 0;     // 10^6 bytes per second of CPU time
    double decryptMBps = 0;
    double encryptWallMBps = 0;  // the same passes on the wall clock, to set beside whole processes
    double decryptWallMBps = 0;
    bool verified = false;      // encryption changed the buffer and decryption gave it back
};

// Best of `repetitions` passes each way over buffer, which must hold `plain` on entry and
// holds it again on return when the cipher is sound.
CbcFigures MeasureCbc(CbcCipher& cipher, std::span<const std::uint8_t> key, std::span<std::uint8_t> buffer,
                      std::span<const std::uint8_t> plain, int repetitions);

// CPU seconds used so far by this process and by the children it has waited for: the clock of
// the in-memory tables, so that other load on a shared machine does not count.
double CpuSeconds();

// Seconds on the steady clock: the clock of whole processes and of the file procedure, whose
// threads' CPU times would add up and hide what working side by side saves.
double WallSeconds();
