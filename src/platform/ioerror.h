#pragma once

#include <string>

#include "cipher/error.h"

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

// A read or write failure in mid-operation, with its code and German text.
class IoError : public ZorvantaError {
public:
    explicit IoError(int code);
    int code() const noexcept { return code_; }

private:
    int code_;
};

std::string IoErrorText(int code);
int IoCodeForErrno(int error);
