#pragma once

// The file layer both engines use: host calls, inputs and outputs.

#include <sys/stat.h>

#include <optional>
#include <string>

#include "common/error.h"
#include "platform/hostcalls.h"
#include "platform/outputfile.h"

// An input opened for reading only; nullopt when it cannot be opened or is a directory, with
// errno telling why (EISDIR for a directory).
// /dev/stdin, /dev/fd/N and /proc/self/fd/N read a duplicate of the process's own descriptor,
// so pipes, sockets and redirected files work as they are.
struct InputFile {
    FileDescriptor fd;
    struct stat info;
};
std::optional<InputFile> OpenInput(const std::string& name);

// Raised when an input changed while it was read: a run on it must not pretend otherwise.
class InputChanged : public ZorvantaError {
public:
    explicit InputChanged(const std::string& name) : ZorvantaError(name + " changed while it was read", ErrorKind::Refused) {}
};

// Raises InputChanged when input, a regular file read to its end, is no longer as it was when
// opened: another size or modification time, or a read that did not end at its size then.
void RequireUnchanged(const InputFile& input, const std::string& name);
