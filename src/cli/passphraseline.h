#pragma once

// Reading a passphrase from a file or a descriptor without leaving copies behind.

#include <cstddef>
#include <string>

#include "platform/secretbytes.h"

// How far a passphrase file is read when no line end comes.
inline constexpr std::size_t kPassphraseLineLimit = 64 * 1024;

// The first line that fd gives, without a UTF-8 byte-order mark and without its CR LF or LF.
// Reads in blocks into wiped memory, up to kPassphraseLineLimit. Raises UsageError naming
// `source` when the descriptor cannot be read or no line end comes within the limit.
SecretBytes FirstLineOf(int fd, const std::string& source);
