// DecryptCBCBlocks, the CBC decryption that a file engine splits across threads: any split of a
// run into segments, each decrypted on its own thread from the ciphertext block before it,
// gives the bytes of one serial DecryptCBC, and leaves the component's own CV where it was.
// Runs for every registered cipher, and for Rijndael, IDEA and Blowfish on every transform the
// processor offers.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include "cipher/blowfish.h"
#include "cipher/idea.h"
#include "cipher/registry.h"
#include "cipher/rijndael.h"
#include "support/testdata.h"

namespace {
using Transforms = TZC_rijndael::Transforms;

// The registry's Rijndael and IDEA run the fastest transforms; the slower ones are forced here.
// forced: whether the cipher runs the transforms it was asked for (else the test is skipped).
struct Subject {
    std::string name;
    std::function<std::unique_ptr<TZC_blockcipher>()> create;
    std::function<bool(const TZC_blockcipher&)> forced;
};

void PrintTo(const Subject& subject, std::ostream* os)
{
    *os << subject.name;
}

std::vector<Subject> Subjects()
{
    std::vector<Subject> subjects;
    for (const CipherEntry& entry : AllCiphers()) subjects.push_back({std::string(entry.algorithm), entry.create, {}});
    for (auto [name, transforms] : {std::pair{"RijndaelAes", Transforms::Aes}, {"RijndaelTables", Transforms::Tables}})
        subjects.push_back({name, [transforms] { return std::make_unique<TZC_rijndael>(transforms); },
                            [transforms](const TZC_blockcipher& c) {
                                return static_cast<const TZC_rijndael&>(c).InUse() == transforms;
                            }});
    subjects.push_back({"IdeaSse2", [] { return std::make_unique<TZC_idea>(TZC_idea::Transforms::Sse2); },
                        [](const TZC_blockcipher& c) {
                            return static_cast<const TZC_idea&>(c).InUse() == TZC_idea::Transforms::Sse2;
                        }});
    subjects.push_back({"BlowfishShifts",
                        [] { return std::make_unique<TZC_blowfish>(TZC_blowfish::Transforms::Shifts); },
                        [](const TZC_blockcipher& c) {
                            return static_cast<const TZC_blowfish&>(c).InUse() == TZC_blowfish::Transforms::Shifts;
                        }});
    return subjects;
}

class CbcBlocks : public testing::TestWithParam<Subject> {};

// Block counts around one batch and the cipher's several-block widths, and several batches
// with a remainder; each run is cut at every listed segment length in turn.
std::vector<std::size_t> Sizes(std::size_t batch)
{
    return {0, 1, 2, 7, 8, 9, 15, 16, 17, batch - 1, batch, batch + 1, 3 * batch + 5};
}
}  // namespace

TEST_P(CbcBlocks, SegmentsOnSeparateThreadsEqualOneSerialDecryption)
{
    const auto cipher = GetParam().create();
    const std::size_t block = static_cast<std::size_t>(cipher->BlockSize() / 8);
    const std::size_t batch = kCbcBatchBytes / block;
    if (GetParam().forced && !GetParam().forced(*cipher)) GTEST_SKIP() << "not offered by this processor";
    Bytes key(static_cast<std::size_t>(cipher->MaxKeySize() / 8));
    std::mt19937 rng(77);
    for (auto& b : key) b = static_cast<std::uint8_t>(rng());
    cipher->Init(key.data(), cipher->MaxKeySize(), nullptr);
    const Bytes iv(cipher->IV(), cipher->IV() + block);

    for (std::size_t blocks : Sizes(batch)) {
        Bytes ciphertext(blocks * block);
        for (auto& b : ciphertext) b = static_cast<std::uint8_t>(rng());
        Bytes serial = ciphertext;
        cipher->Reset();
        cipher->DecryptCBC(serial.data(), serial.data(), static_cast<int>(serial.size()));
        const Bytes cvAfterSerial(cipher->ChainingBlock(), cipher->ChainingBlock() + block);
        const Bytes lastCiphertext = blocks ? Bytes(ciphertext.end() - static_cast<long>(block), ciphertext.end()) : iv;

        for (std::size_t segment : {std::size_t{1}, std::size_t{3}, batch - 1, batch + 1, blocks + 1}) {
            for (bool inPlace : {true, false}) {
                SCOPED_TRACE(testing::Message() << blocks << " blocks in segments of " << segment
                                                << (inPlace ? ", in place" : ", out of place"));
                Bytes data = ciphertext, out(ciphertext.size());
                std::uint8_t* target = inPlace ? data.data() : out.data();
                std::vector<Bytes> chains;
                std::vector<std::thread> threads;
                chains.reserve(blocks / segment + 1);
                for (std::size_t first = 0; first < blocks; first += segment) {
                    const std::size_t count = std::min(segment, blocks - first);
                    chains.push_back(first ? Bytes(ciphertext.begin() + static_cast<long>((first - 1) * block),
                                                   ciphertext.begin() + static_cast<long>(first * block))
                                           : iv);
                    threads.emplace_back([&, first, count, chain = chains.back().data()] {
                        cipher->DecryptCBCBlocks(data.data() + first * block, target + first * block, count, chain);
                    });
                }
                for (auto& t : threads) t.join();
                EXPECT_EQ(inPlace ? data : out, serial);
                EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block), cvAfterSerial);
                if (!chains.empty()) {
                    EXPECT_EQ(chains.back(), lastCiphertext);
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Registry, CbcBlocks, testing::ValuesIn(Subjects()),
                         [](const testing::TestParamInfo<Subject>& subject) { return subject.param.name; });
