#pragma once

#include <string>

#include "common/error.h"

// Codes with a fixed text; every other host failure gets kHostErrorBase + errno.
namespace iocode {
inline constexpr int kFileNotFound = 2;
inline constexpr int kInvalidFileName = 3;
inline constexpr int kTooManyOpenFiles = 4;
inline constexpr int kAccessDenied = 5;
inline constexpr int kReadBeyondEnd = 100;
inline constexpr int kDiskFull = 101;
inline constexpr int kInvalidNumericInput = 106;
inline constexpr int kHostErrorBase = 1000;
}  // namespace iocode

// A read or write failure in mid-operation, with its code and German text. It also keeps
// the host's own error number (0 when the failure is not the host's) and the file's name when
// known, for front ends that tell the user more than the code.
class IoError : public ZorvantaError {
public:
    // kind: Io, but Refused for a failure that only means a file was not what the run takes.
    explicit IoError(int code, int hostError = 0, std::string path = {}, ErrorKind kind = ErrorKind::Io);
    // The code for errno, with errno itself kept.
    static IoError FromErrno(int error, std::string path = {});

    int code() const noexcept { return code_; }
    int hostError() const noexcept { return hostError_; }
    const std::string& path() const noexcept { return path_; }

private:
    int code_;
    int hostError_;
    std::string path_;
};

std::string IoErrorText(int code);
int IoCodeForErrno(int error);
