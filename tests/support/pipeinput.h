#pragma once

// A named pipe as the input of a file run, so that a test decides when the run gets its
// bytes: the run blocks reading until the test writes or ends the input, or, once fed
// endlessly, never ends by itself. The pipe is opened for reading and writing here, so the
// run's own open never waits for a writer.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class PipeInput {
public:
    explicit PipeInput(const std::string& path) : path_(path)
    {
        if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo " + path);
        fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("open " + path);
    }
    ~PipeInput() { End(); }
    PipeInput(const PipeInput&) = delete;
    PipeInput& operator=(const PipeInput&) = delete;

    // At most the pipe's buffer (64 KiB), which takes it without a reader.
    void Write(std::string_view bytes)
    {
        if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pipe write");
    }

    // Keeps the pipe full from a thread of its own until End.
    void FeedEndlessly()
    {
        feeder_ = std::thread([this] {
            const std::vector<char> zeros(64 * 1024);
            while (!stop_) {
                pollfd writable{fd_, POLLOUT, 0};
                if (::poll(&writable, 1, 10) > 0) (void)!::write(fd_, zeros.data(), zeros.size());
            }
        });
    }

    // Whether a reader of this process (a run) has opened the pipe too; ending the input before
    // would leave the reader's open waiting for a writer.
    bool OpenedByReader() const
    {
        int opened = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            std::error_code error;
            if (std::filesystem::read_symlink(entry.path(), error) == path_) ++opened;
        }
        return opened > 1;
    }

    // The reader sees the end of the input once it has read what was written.
    void End()
    {
        stop_ = true;
        if (feeder_.joinable()) feeder_.join();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    const std::filesystem::path path_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread feeder_;
};
