#include "platform/ownstream.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

namespace {
std::optional<int> NumberAfter(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix)) return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    int fd = -1;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), fd);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || fd < 0)
        return std::nullopt;
    return fd;
}
}  // namespace

std::optional<int> OwnDescriptorNamedBy(const std::string& name)
{
    if (name == "/dev/stdin") return 0;
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    const std::string ownProc = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                          std::string_view("/proc/thread-self/fd/"), std::string_view(ownProc)})
        if (const auto fd = NumberAfter(name, prefix)) return fd;
    return std::nullopt;
}

std::optional<FileDescriptor> DuplicateOwnDescriptor(int fd, int accessMode)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ((flags & O_ACCMODE) != O_RDWR && (flags & O_ACCMODE) != accessMode)) return std::nullopt;
    FileDescriptor copy(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (copy.get() < 0) return std::nullopt;
    return copy;
}
