#include "fileenc/chunkstream.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "fileenc/namedfailure.h"
#include "platform/secretbytes.h"

namespace {
std::size_t ReadChunk(const ChunkStream& stream, std::uint8_t* buffer)
{
    return NamingFailures(stream.inputName, [&] {
        return ReadFull(stream.input, buffer, stream.options.chunkBytes, *stream.options.calls);
    });
}

void WriteChunk(const ChunkStream& stream, const std::uint8_t* buffer, std::size_t count)
{
    NamingFailures(stream.outputName, [&] { stream.output.Write(buffer, count); });
}

// Counts the bytes read and asks the observer, if any, whether to go on.
class Progress {
public:
    explicit Progress(const ChunkStream& stream) : stream_(stream), done_(stream.done) {}
    bool Continue(std::size_t count)
    {
        done_ += count;
        return !stream_.options.observer || stream_.options.observer->Continue(done_, stream_.total);
    }

private:
    const ChunkStream& stream_;
    std::uint64_t done_;
};

bool StreamSerially(const ChunkStream& stream, const ChunkTransform& transform)
{
    SecretBytes chunk(stream.options.chunkBytes);
    Progress progress(stream);
    for (;;) {
        const std::size_t count = ReadChunk(stream, chunk.data());
        transform(chunk.data(), count);
        WriteChunk(stream, chunk.data(), count);
        if (!progress.Continue(count)) return false;
        if (count != chunk.size()) return true;
    }
}

struct Chunk {
    SecretBytes bytes;
    std::size_t count = 0;
};

// Where each chunk waits: free, read (for the cipher) or transformed (for the writer). Each
// stage has one thread taking from it, woken only by its own queue.
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

// Runs one stage of chunks on a thread of its own: takes a chunk, works on it, passes it on,
// until the short chunk that ends the file has passed. A failure stops the whole run.
template <class Work>
std::thread StageThread(ChunkQueues& queues, ChunkQueues::Stage from, ChunkQueues::Stage to, std::size_t chunkBytes,
                        Work work)
{
    return std::thread([&queues, from, to, chunkBytes, work] {
        try {
            while (Chunk* chunk = queues.Take(from)) {
                work(*chunk);
                const bool last = chunk->count != chunkBytes;  // the chunk is not ours once passed on
                queues.Put(to, chunk);
                if (last) return;
            }
        } catch (...) {
            queues.Stop(std::current_exception());
        }
    });
}

// The reader and writer threads; however the run ends, they are stopped and joined before the
// buffers they use go away.
class StageThreads {
public:
    StageThreads(ChunkQueues& queues, std::thread reader, std::thread writer)
        : queues_(queues), reader_(std::move(reader)), writer_(std::move(writer))
    {
    }
    ~StageThreads()
    {
        if (writer_.joinable()) queues_.Stop();
        Join();
    }
    // Waits until the last chunk is written or a failure stopped the run.
    void Join()
    {
        if (writer_.joinable()) writer_.join();
        if (reader_.joinable()) reader_.join();
    }
    void Stop()
    {
        queues_.Stop();
        Join();
    }

private:
    ChunkQueues& queues_;
    std::thread reader_;
    std::thread writer_;
};

bool StreamThreaded(const ChunkStream& stream, const ChunkTransform& transform)
{
    const std::size_t chunkBytes = stream.options.chunkBytes;
    std::array<Chunk, kChunkBuffers> chunks;
    ChunkQueues queues;
    for (Chunk& chunk : chunks) {
        chunk.bytes.resize(chunkBytes);
        queues.Put(ChunkQueues::Free, &chunk);
    }
    StageThreads threads(queues,
                         StageThread(queues, ChunkQueues::Free, ChunkQueues::Read, chunkBytes,
                                     [&stream](Chunk& c) { c.count = ReadChunk(stream, c.bytes.data()); }),
                         StageThread(queues, ChunkQueues::Transformed, ChunkQueues::Free, chunkBytes,
                                     [&stream](Chunk& c) { WriteChunk(stream, c.bytes.data(), c.count); }));
    Progress progress(stream);
    while (Chunk* chunk = queues.Take(ChunkQueues::Read)) {
        const std::size_t count = chunk->count;
        transform(chunk->bytes.data(), count);
        queues.Put(ChunkQueues::Transformed, chunk);
        if (!progress.Continue(count)) {
            threads.Stop();
            queues.RaiseFailure();
            return false;
        }
        if (count != chunkBytes) break;
    }
    threads.Join();
    queues.RaiseFailure();
    return true;
}
}  // namespace

bool StreamChunks(const ChunkStream& stream, const ChunkTransform& transform, bool threaded)
{
    return threaded ? StreamThreaded(stream, transform) : StreamSerially(stream, transform);
}
