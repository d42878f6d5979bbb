#include "cli/bench.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "cipher/registry.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr std::size_t kBufferBytes = 1024 * 1024;

// Megabytes (10^6 bytes) per second of one direction over whole buffers.
template <class Step>
double Rate(std::chrono::milliseconds each, Step step)
{
    const auto start = Clock::now();
    std::size_t bytes = 0;
    do {
        step();
        bytes += kBufferBytes;
    } while (Clock::now() - start < each);
    return static_cast<double>(bytes) / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();
}
}  // namespace

void RunBench(std::ostream& out, std::chrono::milliseconds each)
{
    std::vector<std::uint8_t> buffer(kBufferBytes, 0x5A);
    const std::vector<std::uint8_t> key(32, 0xA5);
    char line[80];
    std::snprintf(line, sizeof line, "# CBC in memory, %zu KiB buffers, keys as for files\n", kBufferBytes / 1024);
    out << line << "cipher        encrypt       decrypt\n";
    for (const CipherEntry& entry : AllCiphers()) {
        const auto cipher = entry.create();
        cipher->Init(key.data(), std::min(cipher->MaxKeySize(), 256), nullptr);
        const int length = static_cast<int>(buffer.size());
        const double encrypt = Rate(each, [&] { cipher->EncryptCBC(buffer.data(), buffer.data(), length); });
        const double decrypt = Rate(each, [&] { cipher->DecryptCBC(buffer.data(), buffer.data(), length); });
        cipher->Burn();
        std::snprintf(line, sizeof line, "%-10s %8.1f MB/s %8.1f MB/s\n", cipher->Algorithm().c_str(), encrypt, decrypt);
        out << line << std::flush;
    }
}
