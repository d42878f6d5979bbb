#include "cli/passphraseline.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/usage.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
constexpr std::uint8_t kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
}  // namespace

SecretBytes FirstLineOf(int fd, const std::string& source)
{
    SecretBytes buffer(kPassphraseLineLimit);
    std::size_t filled = 0;
    auto lineEnd = buffer.end();
    while (lineEnd == buffer.end()) {
        if (filled == buffer.size())
            throw UsageError{source + ": no line end within the first 64 KiB; a passphrase file holds one line"};
        const ssize_t n = ::read(fd, buffer.data() + filled, std::min(kBlockBytes, buffer.size() - filled));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw UsageError{"cannot read " + source + " (" + std::strerror(errno) + ")"};
        if (n == 0) break;
        const auto start = buffer.begin() + static_cast<long>(filled);
        filled += static_cast<std::size_t>(n);
        const auto found = std::find(start, buffer.begin() + static_cast<long>(filled), '\n');
        if (found != buffer.begin() + static_cast<long>(filled)) lineEnd = found;
    }
    std::size_t length = lineEnd == buffer.end() ? filled : static_cast<std::size_t>(lineEnd - buffer.begin());
    if (length > 0 && buffer[length - 1] == '\r') --length;
    const bool marked = length >= 3 && std::equal(std::begin(kByteOrderMark), std::end(kByteOrderMark), buffer.begin());
    const std::size_t skip = marked ? 3 : 0;
    // Moving the line to the front and shrinking keeps the one allocation, wiped when freed.
    std::copy(buffer.begin() + static_cast<long>(skip), buffer.begin() + static_cast<long>(length), buffer.begin());
    std::fill(buffer.begin() + static_cast<long>(length - skip), buffer.end(), 0);
    buffer.resize(length - skip);
    return buffer;
}
