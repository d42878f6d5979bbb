#pragma once

// Moves a regular file's body into a new file in batches, each read and written at its own
// place (pread, pwrite), for a transform whose batches do not depend on each other. A batch's
// place in both files follows from its number, so each thread takes whole batches and reads,
// transforms and writes them itself: no hand-offs between threads, and a batch stays in the
// cache of the core that works on it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "pipeline/fileoutcome.h"
#include "platform/outputfile.h"

struct PlacedRun {
    int input;                  // a regular file
    std::uint64_t inputStart;   // where the body begins
    std::uint64_t inputBytes;   // the body's size, to the file's end
    const std::string& inputName;
    const OutputFile& output;   // one that TakesWritesAt
    std::uint64_t outputStart;  // where the first batch's output goes
    std::size_t inputBatchBytes;
    std::size_t outputBatchBytes;  // what every batch but the last turns into
    std::size_t threads;
    FileOpObserver* observer;
    const SystemCalls& calls;
};

// Transforms batch number batch, count bytes at in (the body's last batch when last), into
// out; returns how many bytes of out to write. Called once per batch, on any of the run's
// threads: thread tells which, from 0 to threads - 1.
using PlacedTransform = std::function<std::size_t(std::size_t thread, std::uint64_t batch, const std::uint8_t* in,
                                                  std::size_t count, bool last, std::uint8_t* out)>;

// Runs every batch (an empty body is one empty batch), telling the observer on the calling
// thread, and leaves the input's offset at its end, as a reading to the end would. False when
// the observer asked to stop. Raises InputChanged when the input ends early, IoError, or what
// the transform raised: the failure of the lowest batch that failed, as a run in order would
// meet it; the other threads stop at their next batch.
bool RunPlaced(const PlacedRun& run, const PlacedTransform& transform);
