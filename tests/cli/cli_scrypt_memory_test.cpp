// scrypt without the memory it needs: OpenSSL's allocations are this test's, and those above a
// bound fail. The command says for which work factor memory was missing, exits 3 (for many
// files: that file failed) and leaves no file behind.
#include <openssl/crypto.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "cli/clicases.h"

namespace {
std::atomic<std::size_t> largestAllocation{SIZE_MAX};

void* Allocate(std::size_t n, const char*, int)
{
    return n > largestAllocation ? nullptr : std::malloc(n);
}

void* Reallocate(void* p, std::size_t n, const char*, int)
{
    return n > largestAllocation ? nullptr : std::realloc(p, n);
}

void Release(void* p, const char*, int)
{
    std::free(p);
}

// Before OpenSSL's first allocation, which ends the chance to set these.
const bool kHooked = CRYPTO_set_mem_functions(Allocate, Reallocate, Release) == 1;
}  // namespace

TEST(CliScryptMemory, AnAllocationThatFailsSaysForWhichWorkFactorAndExits3)
{
    ASSERT_TRUE(kHooked);
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    const CliScript pw{.variables = {{"P", "pw"}}};
    const std::vector<std::string> sealing{"encrypt",    "-q", "--format", "age", "--work-factor", "12",
                                           "--passphrase-env", "P"};
    auto seal = sealing;
    seal.insert(seal.end(), {dir.path("plain"), dir.path("pass.age")});
    ASSERT_EQ(RunCliWith(seal, pw).status, 0);

    largestAllocation = std::size_t{1} << 20;  // work factor 12 takes 4 MiB
    const Case cases[] = {
        {"encrypt", {"encrypt", "--format", "age", "--work-factor", "12", "--passphrase-env", "P", "{}/plain",
                     "{}/new.age"},
         3, Text::Err, "zorvanta-cli: not enough memory for work factor 12\n", {}, pw},
        {"decrypt", {"decrypt", "--passphrase-env", "P", "{}/pass.age", "{}/new"}, 3, Text::Err,
         "zorvanta-cli: not enough memory for work factor 12\n", {}, pw},
        {"decrypt, many files", {"decrypt", "-q", "--passphrase-env", "P", "--output-dir", "{}/out", "{}/pass.age"}, 3,
         Text::Err, "zorvanta-cli: {}/pass.age: failed: not enough memory for work factor 12\n", {}, pw},
    };
    for (const Case& c : cases) ExpectCase(c, dir);
    largestAllocation = SIZE_MAX;
}
