#include "cli/printable.h"

#include <cstdio>

namespace {
// The escapes `ls -b` writes by letter; every other control character is written in octal.
char LetterOf(unsigned char c)
{
    switch (c) {
    case '\a': return 'a';
    case '\b': return 'b';
    case '\t': return 't';
    case '\n': return 'n';
    case '\v': return 'v';
    case '\f': return 'f';
    case '\r': return 'r';
    default: return 0;
    }
}

void AppendEscaped(std::string& out, unsigned char c)
{
    if (const char letter = LetterOf(c)) {
        out += '\\';
        out += letter;
        return;
    }
    char octal[8];
    std::snprintf(octal, sizeof octal, "\\%03o", c);
    out += octal;
}
}  // namespace

std::string Printable(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // U+0080..U+009F, the C1 controls, are 0xC2 0x80..0x9F in UTF-8.
        const bool c1 = c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c1) {
            AppendEscaped(out, c);
            AppendEscaped(out, static_cast<unsigned char>(text[++i]));
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscaped(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}
