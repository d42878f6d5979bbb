// Text file loading: whatever the file holds, the pane gets its text up to the first NUL with
// every line break made CR LF, and never a lone CR or LF.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "property.h"
#include "textenc/pane.h"
#include "textenc/textfile.h"

namespace {
bool OnlyCrLfBreaks(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return true;
}

// The text with every line break, of whatever form, taken out.
std::string WithoutBreaks(std::string_view text)
{
    std::string rest;
    for (char c : text)
        if (c != '\r' && c != '\n') rest += c;
    return rest;
}

std::size_t Breaks(std::string_view text)
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++n;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string converted = WithCrLfLineBreaks(bytes);
    Require(OnlyCrLfBreaks(converted), "no lone CR or LF after conversion");
    Require(WithoutBreaks(converted) == WithoutBreaks(bytes), "every other byte is kept, in order");
    Require(Breaks(converted) == Breaks(bytes), "each line break stays one line break");

    // Through a real file, read by the loader. The loader reads the descriptor itself, from its
    // offset, so the bytes are written without moving it.
    const int fd = ::memfd_create("textfile", MFD_CLOEXEC);
    Require(fd >= 0 && ::pwrite(fd, data, size, 0) == static_cast<ssize_t>(size), "the fuzz file is written");
    const std::string loaded = LoadTextFile("/proc/self/fd/" + std::to_string(fd));
    ::close(fd);
    Require(loaded == WithCrLfLineBreaks(PaneContent(bytes)), "the pane gets the file up to its first NUL");
    return 0;
}
