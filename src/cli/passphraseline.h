#pragma once

// Reading a passphrase from a file or a descriptor without leaving copies behind.

#include <cstddef>
#include <string>

#include "platform/secretbytes.h"

// How far a passphrase file is read when no line end comes.
inline constexpr std::size_t kPassphraseLineLimit = 64 * 1024;

// The first line that fd gives, without a UTF-8 byte-order mark and without its CR LF or LF,
// at most kPassphraseLineLimit bytes. Reads into wiped memory, and no further than the line
// end: what follows stays for the next reader of the stream. Raises UsageError naming
// `source` when the descriptor cannot be read or the line is longer than the limit.
SecretBytes FirstLineOf(int fd, const std::string& source);
