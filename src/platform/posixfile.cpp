#include "platform/posixfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/ioerror.h"
#include "platform/ownstream.h"
#include "platform/stoprequest.h"

std::optional<InputFile> OpenInput(const std::string& name)
{
    // Opening a FIFO waits for its writer: a stop request ends the wait (EINTR), or comes first.
    ThrowIfStopRequested();
    InputFile input;
    if (const auto own = OwnDescriptorNamedBy(name)) {
        auto copy = DuplicateOwnDescriptor(*own, O_RDONLY);
        if (!copy) return std::nullopt;
        input.fd = std::move(*copy);
    } else {
        input.fd = FileDescriptor(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    }
    if (input.fd.get() < 0 && errno == EINTR) ThrowIfStopRequested();
    if (input.fd.get() < 0 || ::fstat(input.fd.get(), &input.info) != 0) return std::nullopt;
    if (S_ISDIR(input.info.st_mode)) {
        errno = EISDIR;
        return std::nullopt;
    }
    return input;
}

void RequireUnchanged(const InputFile& input, const std::string& name)
{
    if (!S_ISREG(input.info.st_mode)) return;
    struct stat now;
    if (::fstat(input.fd.get(), &now) != 0) throw IoError::FromErrno(errno, name);
    const bool unchanged = now.st_size == input.info.st_size && now.st_mtim.tv_sec == input.info.st_mtim.tv_sec &&
                           now.st_mtim.tv_nsec == input.info.st_mtim.tv_nsec &&
                           ::lseek(input.fd.get(), 0, SEEK_CUR) == input.info.st_size;
    if (!unchanged) throw InputChanged(name);
}
