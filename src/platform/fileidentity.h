#pragma once

#include <sys/stat.h>

// Whether two stat results are one file, whatever names reached it: the same device and inode.
inline bool SameFile(const struct stat& a, const struct stat& b) noexcept
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
