#pragma once

// Names under which a process reaches its own open descriptors (/dev/stdout, /dev/fd/3,
// /proc/self/fd/3). Reopening such a name would lose what the descriptor carries (O_APPEND,
// the offset, a socket), so the layer duplicates the descriptor instead.

#include <optional>
#include <string>

#include "platform/hostcalls.h"

// The descriptor number that name stands for, or nullopt for any other name.
std::optional<int> OwnDescriptorNamedBy(const std::string& name);
// A close-on-exec duplicate of fd when it is open for accessMode (O_RDONLY or O_WRONLY);
// nullopt when it is closed or open for the other direction only.
std::optional<FileDescriptor> DuplicateOwnDescriptor(int fd, int accessMode);
