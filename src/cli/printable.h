#pragma once

// Names come from the file system and may hold any byte but '/' and NUL: printed as they are,
// an escape sequence in one could rewrite the terminal and a line end could forge a line.

#include <string>
#include <string_view>

// text with every control character (C0, DEL, and C1 in UTF-8) written as a C escape, as
// `ls -b` writes it: "\n", "\t", "\033". Other bytes, and backslashes, stay as they are, so
// printable text passes through unchanged and escaping twice changes nothing more.
std::string Printable(std::string_view text);
