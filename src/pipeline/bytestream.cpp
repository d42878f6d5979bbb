#include "pipeline/bytestream.h"

#include <algorithm>
#include <cstring>

#include "platform/namedfailure.h"

std::size_t FileSource::Read(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t read = NamingFailures(name_, [&] { return ReadFull(fd_, buffer, count, calls_); });
    position_ += read;
    return read;
}

std::size_t PrefixedSource::Read(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t fromPrefix = std::min(count, prefix_.size() - taken_);
    if (fromPrefix > 0) std::memcpy(buffer, prefix_.data() + taken_, fromPrefix);
    taken_ += fromPrefix;
    if (fromPrefix == count) return count;
    return fromPrefix + rest_.Read(buffer + fromPrefix, count - fromPrefix);
}

std::size_t MemorySource::Read(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t n = std::min(count, bytes_.size() - taken_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + taken_, n);
    taken_ += n;
    return n;
}

void OutputSink::Write(const std::uint8_t* buffer, std::size_t count)
{
    NamingFailures(name_, [&] { file_.Write(buffer, count); });
}
