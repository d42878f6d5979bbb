// Secrets live in pages that a core dump leaves out, once the process asks for it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/secretbytes.h"

namespace {
// The VmFlags of the mapping that holds address, from /proc/self/smaps.
std::string FlagsOfMappingAt(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> from >> dash >> to && dash == '-') inside = from <= at && at < to;
        if (inside && line.starts_with("VmFlags:")) return line;
    }
    return {};
}
}  // namespace

TEST(SecretBytes, LiveInPagesThatACoreDumpLeavesOut)
{
    KeepSecretsOutOfCoreDumps();
    SecretBytes small(32, 0x5A);
    SecretBytes large(300 * 1024, 0x5A);
    for (const SecretBytes* bytes : {&small, &large}) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(bytes->data()) % 4096, 0u);
        EXPECT_NE(FlagsOfMappingAt(bytes->data()).find(" dd"), std::string::npos) << FlagsOfMappingAt(bytes->data());
    }
}

TEST(SecretEquals, EqualOnlyWhenEveryByteAndTheSizeAre)
{
    const SecretBytes key(32, 0x42);
    SecretBytes first = key, last = key;
    first.front() ^= 1;
    last.back() ^= 0x80;
    EXPECT_TRUE(SecretEquals(key, SecretBytes(32, 0x42)));
    EXPECT_FALSE(SecretEquals(key, first));
    EXPECT_FALSE(SecretEquals(key, last));
    EXPECT_FALSE(SecretEquals(key, std::span(key).first(31)));
    EXPECT_TRUE(SecretEquals({}, {}));
}
