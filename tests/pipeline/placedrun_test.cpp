// A regular file's body moved into a new file in batches placed by their number: every batch is
// transformed once and lands at its place, only the body's last is the last, whatever the
// threads; progress is told on the calling thread and ends at the file's end. A stop, an input
// cut short, a failing write and a failing transform each end the run, and nothing is kept;
// of several failing batches, the lowest is reported.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <mutex>
#include <optional>
#include <set>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include "pipeline/placedrun.h"
#include "platform/posixfile.h"
#include "support/recordingobserver.h"
#include "support/tempdir.h"

namespace {
constexpr std::size_t kBatch = 8;
constexpr std::size_t kOutputBatch = kBatch + 1;
const Bytes kHeader{'H', 'D', 'R'};

// Each batch turns into its bytes, each one up, then a byte of its number, marked when last.
struct Numbering {
    std::mutex mutex;
    std::multiset<std::uint64_t> batches;
    std::set<std::size_t> threads;
    std::set<std::uint64_t> failing;  // batches whose transform fails, the first of them slowly

    PlacedTransform Transform()
    {
        return [this](std::size_t thread, std::uint64_t batch, const std::uint8_t* in, std::size_t count, bool last,
                      std::uint8_t* out) {
            {
                const std::lock_guard lock(mutex);
                batches.insert(batch);
                threads.insert(thread);
            }
            if (failing.contains(batch)) {
                if (batch == *failing.begin()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
                throw std::runtime_error("batch " + std::to_string(batch) + " failed");
            }
            for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(in[i] + 1);
            out[count] = static_cast<std::uint8_t>(batch | (last ? 0x80 : 0));
            return count + 1;
        };
    }
};

Bytes Expected(const Bytes& body)
{
    Bytes out = kHeader;
    const std::size_t batches = std::max<std::size_t>(1, (body.size() + kBatch - 1) / kBatch);
    for (std::size_t b = 0; b < batches; ++b) {
        for (std::size_t i = b * kBatch; i < std::min(body.size(), (b + 1) * kBatch); ++i)
            out.push_back(static_cast<std::uint8_t>(body[i] + 1));
        out.push_back(static_cast<std::uint8_t>(b | (b + 1 == batches ? 0x80 : 0)));
    }
    return out;
}

// An input file of a prefix and a body, and a new output that holds the header already.
struct Files {
    TempDir dir;
    const std::string inputName = dir.path("in");
    FileDescriptor input;
    std::optional<OutputFile> output;

    Files(std::size_t prefix, const Bytes& body, const SystemCalls& calls = HostCalls())
        : output(OutputFile::Open(dir.path("out"), calls))
    {
        Bytes bytes = Sample(prefix, 9);
        bytes.insert(bytes.end(), body.begin(), body.end());
        WriteFile(inputName, bytes);
        input = FileDescriptor(::open(inputName.c_str(), O_RDONLY | O_CLOEXEC));
        output->Write(kHeader.data(), kHeader.size());
    }

    PlacedRun Run(std::uint64_t start, std::uint64_t bytes, std::size_t threads, FileOpObserver* observer,
                  const SystemCalls& calls = HostCalls()) const
    {
        return {input.get(), start, bytes, inputName, *output, kHeader.size(), kBatch, kOutputBatch,
                threads,     observer, calls};
    }
};
}  // namespace

TEST(PlacedRun, EveryBatchLandsAtItsPlaceOnceWhateverTheThreads)
{
    for (const std::size_t size : {0, 1, 7, 8, 9, 24, 29}) {
        for (const std::size_t prefix : {0, 5}) {
            for (const std::size_t threads : {1, 3}) {
                SCOPED_TRACE(testing::Message() << size << " bytes after " << prefix << ", " << threads << " threads");
                const Bytes body = Sample(size, 1);
                Files files(prefix, body);
                Numbering numbering;
                RecordingObserver observer;
                ASSERT_TRUE(RunPlaced(files.Run(prefix, size, threads, &observer), numbering.Transform()));
                files.output->Commit();
                EXPECT_EQ(ReadFile(files.dir.path("out")), Expected(body));

                const std::size_t batches = std::max<std::size_t>(1, (size + kBatch - 1) / kBatch);
                EXPECT_EQ(numbering.batches.size(), batches);
                EXPECT_EQ(std::set<std::uint64_t>(numbering.batches.begin(), numbering.batches.end()).size(), batches);
                EXPECT_LT(*numbering.threads.rbegin(), threads);
                EXPECT_EQ(::lseek(files.input.get(), 0, SEEK_CUR), static_cast<off_t>(prefix + size));

                ASSERT_EQ(observer.reports.size(), batches);  // one report per batch
                EXPECT_TRUE(observer.onCallingThread);
                for (std::size_t i = 1; i < observer.reports.size(); ++i)
                    EXPECT_LE(observer.reports[i - 1].done, observer.reports[i].done);
                EXPECT_EQ(observer.reports.back().done, prefix + size);
                EXPECT_EQ(observer.reports.back().total, prefix + size);
            }
        }
    }
}

TEST(PlacedRun, AStopAtAnyBatchEndsTheRun)
{
    for (const std::size_t threads : {1, 3}) {
        for (const std::size_t stopAt : {1, 2, 3}) {
            SCOPED_TRACE(testing::Message() << threads << " threads, stop at " << stopAt);
            Files files(0, Sample(3 * kBatch, 1));
            Numbering numbering;
            RecordingObserver observer(stopAt);
            EXPECT_FALSE(RunPlaced(files.Run(0, 3 * kBatch, threads, &observer), numbering.Transform()));
            EXPECT_EQ(observer.reports.size(), stopAt);
            if (threads == 1) {
                EXPECT_EQ(numbering.batches.size(), stopAt);
            }
        }
    }
}

TEST(PlacedRun, AFailureEndsTheRunWithItsReasonAndKeepsNothing)
{
    SystemCalls fullDisk = HostCalls();
    fullDisk.pwrite = [](int, const void*, std::size_t, off_t) -> ssize_t { return errno = ENOSPC, -1; };
    struct Case {
        const char* what;
        std::uint64_t bytes;  // of a body of 4 batches
        const SystemCalls* calls;
        std::set<std::uint64_t> failing;
        std::string message;
    };
    const std::string kMissing = " changed while it was read";
    for (const Case& c : {Case{"an input shorter than its size", 5 * kBatch, &HostCalls(), {}, kMissing},
                          Case{"a full disk", 4 * kBatch, &fullDisk, {}, ""},
                          Case{"a failing transform", 4 * kBatch, &HostCalls(), {2}, "batch 2 failed"},
                          // The lowest failing batch is the one a run in order would meet, even
                          // when a later one fails first.
                          Case{"two failing transforms", 4 * kBatch, &HostCalls(), {1, 2}, "batch 1 failed"}}) {
        SCOPED_TRACE(c.what);
        Files files(0, Sample(4 * kBatch, 1), *c.calls);
        Numbering numbering;
        numbering.failing = c.failing;
        try {
            RunPlaced(files.Run(0, c.bytes, 3, nullptr, *c.calls), numbering.Transform());
            ADD_FAILURE() << "no failure";
        } catch (const IoError& e) {
            EXPECT_EQ(e.path(), files.dir.path("out"));
            EXPECT_EQ(e.hostError(), ENOSPC);
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        files.output.reset();
        EXPECT_EQ(files.dir.Entries(), std::vector<std::string>{"in"});
    }
}
