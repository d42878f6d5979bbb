#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "cbccipher.h"

inline constexpr std::size_t kChunkBytes = 8192;  // the file procedure's chunk

struct CbcFigures {
    double keySetupMicros = 0;  // one key setup, IV included
    double encryptMBps = 0;     // 10^6 bytes per second
    double decryptMBps = 0;
    bool verified = false;      // encryption changed the buffer and decryption gave it back
};

// Best of `repetitions` passes each way over buffer, which must hold `plain` on entry and
// holds it again on return when the cipher is sound.
CbcFigures MeasureCbc(CbcCipher& cipher, std::span<const std::uint8_t> key, std::span<std::uint8_t> buffer,
                      std::span<const std::uint8_t> plain, int repetitions);

// CPU seconds used so far by this process and by the children it has waited for: the clock of
// every timing here, so that other load on a shared machine does not count.
double CpuSeconds();
