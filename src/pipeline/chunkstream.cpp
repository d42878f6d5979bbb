#include "pipeline/chunkstream.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "pipeline/parkedthread.h"
#include "platform/secretbytes.h"

namespace {
struct Chunk {
    SecretBuffer bytes;
    SecretBuffer spare;
    std::size_t count = 0;
    bool last = false;
    std::uint64_t position = 0;            // the input's position after this chunk, for progress
    std::span<const std::uint8_t> result;  // what the transform left to write
};

// A chunk's buffers are allocated when first read into, on the thread that reads: the run
// starts reading at once, and a short input never touches the buffers it does not need.
void AllocateOnce(Chunk& chunk, const ChunkStream& stream)
{
    if (!chunk.bytes.empty()) return;
    chunk.bytes = SecretBuffer(stream.chunkBytes);
    chunk.spare = SecretBuffer(stream.spareBytes);
}

// Fills chunks from the input. Looking ahead, it holds each full chunk back until the next read
// tells whether it is the last, and an empty chunk goes on only when it is the whole input;
// else a full chunk goes on at once and an input that ends on a chunk's end ends with an empty
// chunk.
class ChunkReader {
public:
    struct Completed {
        std::array<Chunk*, 2> chunks{};  // in order; the last of them may end the input
        std::size_t count = 0;
        Chunk* unused = nullptr;  // read empty after a full chunk: free again
    };

    explicit ChunkReader(const ChunkStream& stream) : stream_(stream) {}

    // Reads into chunk; returns the chunks now complete: none while a full chunk waits to learn
    // whether it is the last.
    Completed Read(Chunk& chunk)
    {
        chunk.count = stream_.input.Read(chunk.bytes.data(), chunk.bytes.size());
        chunk.position = stream_.input.Position();
        chunk.last = chunk.count < chunk.bytes.size();
        Completed completed;
        if (Chunk* previous = std::exchange(waiting_, nullptr)) {
            previous->last = chunk.count == 0;
            completed.chunks[completed.count++] = previous;
            if (previous->last) {
                completed.unused = &chunk;
                return completed;
            }
        }
        if (chunk.last || !stream_.lookAhead) {
            completed.chunks[completed.count++] = &chunk;
        } else {
            waiting_ = &chunk;
        }
        return completed;
    }

private:
    const ChunkStream& stream_;
    Chunk* waiting_ = nullptr;
};

// Counts the bytes read and asks the observer, if any, whether to go on.
bool Continue(const ChunkStream& stream, const Chunk& chunk)
{
    return !stream.observer || stream.observer->Continue(chunk.position, stream.total);
}

void Transform(const ChunkTransform& transform, Chunk& chunk)
{
    chunk.result = transform(chunk.bytes.data(), chunk.count, chunk.last, chunk.spare.data());
}

void Write(const ChunkStream& stream, const Chunk& chunk)
{
    stream.output.Write(chunk.result.data(), chunk.result.size());
}

bool StreamSerially(const ChunkStream& stream, const ChunkTransform& transform)
{
    std::array<Chunk, 2> chunks;
    ChunkReader reader(stream);
    for (std::size_t next = 0;; next ^= 1) {
        AllocateOnce(chunks[next], stream);
        const auto completed = reader.Read(chunks[next]);
        for (std::size_t i = 0; i < completed.count; ++i) {
            Chunk& chunk = *completed.chunks[i];
            Transform(transform, chunk);
            Write(stream, chunk);
            if (!Continue(stream, chunk)) return false;
            if (chunk.last) return true;
        }
    }
}

// Where each chunk waits: free, read (for the transform) or transformed (for the writer).
// Each stage has one thread taking from it, woken only by its own queue.
class ChunkQueues {
public:
    enum Stage { Free, Read, Transformed, kStages };

    // Waits for a chunk of that stage; nullptr once the run has stopped.
    Chunk* Take(Stage stage)
    {
        std::unique_lock lock(mutex_);
        filled_[stage].wait(lock, [&] { return stopped_ || !queues_[stage].empty(); });
        if (stopped_) return nullptr;
        Chunk* chunk = queues_[stage].front();
        queues_[stage].pop_front();
        return chunk;
    }
    void Put(Stage stage, Chunk* chunk)
    {
        {
            const std::lock_guard lock(mutex_);
            queues_[stage].push_back(chunk);
        }
        filled_[stage].notify_one();
    }
    // Stops every thread; the first failure is kept for the caller.
    void Stop(std::exception_ptr failure = nullptr)
    {
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
            if (!failure_) failure_ = failure;
        }
        for (auto& filled : filled_) filled.notify_all();
    }
    void RaiseFailure()
    {
        const std::lock_guard lock(mutex_);
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    std::mutex mutex_;
    std::array<std::condition_variable, kStages> filled_;
    std::array<std::deque<Chunk*>, kStages> queues_;
    bool stopped_ = false;
    std::exception_ptr failure_;
};

// Runs body on a thread of its own; a failure stops the whole run.
template <class Body>
ParkedThread StageThread(ChunkQueues& queues, Body body)
{
    return ParkedThread([&queues, body] {
        try {
            body();
        } catch (...) {
            queues.Stop(std::current_exception());
        }
    });
}

void ReadAll(const ChunkStream& stream, ChunkQueues& queues)
{
    ChunkReader reader(stream);
    while (Chunk* chunk = queues.Take(ChunkQueues::Free)) {
        AllocateOnce(*chunk, stream);
        const auto completed = reader.Read(*chunk);
        if (completed.unused) queues.Put(ChunkQueues::Free, completed.unused);
        for (std::size_t i = 0; i < completed.count; ++i) {
            const bool last = completed.chunks[i]->last;  // the chunk is not ours once passed on
            queues.Put(ChunkQueues::Read, completed.chunks[i]);
            if (last) return;
        }
    }
}

void WriteAll(const ChunkStream& stream, ChunkQueues& queues)
{
    while (Chunk* chunk = queues.Take(ChunkQueues::Transformed)) {
        Write(stream, *chunk);
        const bool last = chunk->last;
        queues.Put(ChunkQueues::Free, chunk);
        if (last) return;
    }
}

// The reader and writer threads; however the run ends, they are stopped and joined before the
// buffers they use go away. Raises std::system_error, having read nothing, when either does
// not start: the writer starts first, and only the reader takes from the input.
class StageThreads {
public:
    StageThreads(const ChunkStream& stream, ChunkQueues& queues)
        : queues_(queues), writer_(StageThread(queues, [&] { WriteAll(stream, queues); }))
    {
        try {
            reader_ = StageThread(queues, [&] { ReadAll(stream, queues); });
        } catch (const std::system_error&) {
            Stop();
            throw;
        }
    }
    ~StageThreads()
    {
        if (writer_.joinable()) queues_.Stop();
    }
    // Waits until the last chunk is written or a failure stopped the run.
    void Join()
    {
        writer_.join();
        if (reader_.joinable()) reader_.join();
    }
    void Stop()
    {
        queues_.Stop();
        Join();
    }

private:
    ChunkQueues& queues_;
    ParkedThread writer_;
    ParkedThread reader_;
};

bool StreamThreaded(const ChunkStream& stream, const ChunkTransform& transform)
{
    std::array<Chunk, kChunkBuffers> chunks;
    ChunkQueues queues;
    for (Chunk& chunk : chunks) queues.Put(ChunkQueues::Free, &chunk);
    std::optional<StageThreads> started;
    try {
        started.emplace(stream, queues);
    } catch (const std::system_error&) {
        return StreamSerially(stream, transform);  // a process at its thread limit: the same bytes
    }
    StageThreads& threads = *started;
    try {
        while (Chunk* chunk = queues.Take(ChunkQueues::Read)) {
            Transform(transform, *chunk);
            const bool last = chunk->last;
            const bool goOn = Continue(stream, *chunk);
            queues.Put(ChunkQueues::Transformed, chunk);
            if (!goOn) {
                threads.Stop();
                queues.RaiseFailure();
                return false;
            }
            if (last) break;
        }
    } catch (...) {
        queues.Stop(std::current_exception());
    }
    threads.Join();
    queues.RaiseFailure();
    return true;
}
}  // namespace

std::size_t ChunkBytesFor(std::size_t chunkBytes, std::size_t unit, std::optional<std::uint64_t> bodyBytes)
{
    if (!bodyBytes || *bodyBytes >= chunkBytes) return chunkBytes;
    return static_cast<std::size_t>(*bodyBytes / unit + 1) * unit;
}

bool WorthThreads(std::optional<std::uint64_t> total, std::size_t chunkBytes)
{
    return !total || *total > 2 * chunkBytes;
}

bool StreamChunks(const ChunkStream& stream, const ChunkTransform& transform, bool threaded)
{
    return threaded ? StreamThreaded(stream, transform) : StreamSerially(stream, transform);
}
