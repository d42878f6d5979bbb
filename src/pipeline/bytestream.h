#pragma once

// The two ends of a run's data path. A source hands out the input's bytes in order and a sink
// takes the output's; either may wrap another (armor, bytes already read), so the engines see
// plain bytes whatever the file's form.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/hostcalls.h"
#include "platform/outputfile.h"
#include "platform/secretbytes.h"

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads until count bytes or the end of the input; returns how many were read. Raises
    // IoError naming the file.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t count) = 0;
    // How many bytes of the file itself have been consumed so far, for progress.
    virtual std::uint64_t Position() const = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all count bytes or raises IoError naming the file.
    virtual void Write(const std::uint8_t* buffer, std::size_t count) = 0;
};

// An open descriptor read through the host calls. alreadyRead: the bytes taken from it before
// (to tell the file's format), which its position counts, so that progress reaches the size.
class FileSource final : public ByteSource {
public:
    FileSource(int fd, const std::string& name, const SystemCalls& calls, std::uint64_t alreadyRead = 0)
        : fd_(fd), name_(name), calls_(calls), position_(alreadyRead)
    {
    }
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }

private:
    int fd_;
    const std::string& name_;
    const SystemCalls& calls_;
    std::uint64_t position_;
};

// Bytes already taken from a source (to tell the file's format, or past a header) handed out
// again before the rest of that source.
class PrefixedSource final : public ByteSource {
public:
    PrefixedSource(std::vector<std::uint8_t> prefix, ByteSource& rest) : prefix_(std::move(prefix)), rest_(rest) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return rest_.Position(); }

private:
    std::vector<std::uint8_t> prefix_;
    std::size_t taken_ = 0;
    ByteSource& rest_;
};

// Bytes held in memory, such as a small file read whole.
class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return taken_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t taken_ = 0;
};

class OutputSink final : public ByteSink {
public:
    OutputSink(OutputFile& file, const std::string& name) : file_(file), name_(name) {}
    void Write(const std::uint8_t* buffer, std::size_t count) override;

private:
    OutputFile& file_;
    const std::string& name_;
};

// Keeps what it is given in memory that is wiped when freed.
class SecretSink final : public ByteSink {
public:
    void Write(const std::uint8_t* buffer, std::size_t count) override { bytes.insert(bytes.end(), buffer, buffer + count); }
    SecretBytes bytes;
};

// Takes every byte and keeps none: a run that only checks its input.
class DiscardingSink final : public ByteSink {
public:
    void Write(const std::uint8_t*, std::size_t) override {}
};
