#include "cli/passphraseline.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "cli/usage.h"
#include "platform/hostcalls.h"
#include "platform/ioerror.h"

namespace {
constexpr std::size_t kBlockBytes = 4096;
constexpr std::uint8_t kByteOrderMark[] = {0xEF, 0xBB, 0xBF};
}  // namespace

SecretBytes FirstLineOf(int fd, const std::string& source)
{
    SecretBytes buffer(kPassphraseLineLimit + 1);  // a line at the limit, and its line end
    // What follows the line belongs to whoever reads the stream next: a stream is read a byte
    // at a time, and a file's offset is put back to the line's end.
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    const std::size_t block = start < 0 ? 1 : kBlockBytes;
    std::size_t filled = 0;
    std::optional<std::size_t> lineEnd;
    while (!lineEnd && filled < buffer.size()) {
        std::size_t n = 0;
        try {
            n = ReadFull(fd, buffer.data() + filled, std::min(block, buffer.size() - filled));
        } catch (const IoError& e) {
            throw UsageError{"cannot read " + source + " (" + std::strerror(e.hostError()) + ")"};
        }
        if (n == 0) break;
        const auto begin = buffer.begin() + static_cast<long>(filled);
        filled += n;
        const auto end = buffer.begin() + static_cast<long>(filled);
        if (const auto found = std::find(begin, end, '\n'); found != end)
            lineEnd = static_cast<std::size_t>(found - buffer.begin());
    }
    if (!lineEnd && filled == buffer.size())
        throw UsageError{source + ": no line end within the first 64 KiB; a passphrase file holds one line"};
    if (lineEnd && start >= 0) ::lseek(fd, start + static_cast<off_t>(*lineEnd) + 1, SEEK_SET);
    std::size_t length = lineEnd.value_or(filled);
    if (length > 0 && buffer[length - 1] == '\r') --length;
    const bool marked = length >= 3 && std::equal(std::begin(kByteOrderMark), std::end(kByteOrderMark), buffer.begin());
    const std::size_t skip = marked ? 3 : 0;
    // Moving the line to the front and shrinking keeps the one allocation, wiped when freed.
    std::copy(buffer.begin() + static_cast<long>(skip), buffer.begin() + static_cast<long>(length), buffer.begin());
    std::fill(buffer.begin() + static_cast<long>(length - skip), buffer.end(), 0);
    buffer.resize(length - skip);
    return buffer;
}
