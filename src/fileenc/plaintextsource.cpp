#include "fileenc/plaintextsource.h"

#include <algorithm>
#include <cstring>

namespace {
// As the file engine splits a chunk: no segment shorter than a sixteenth of a chunk.
constexpr std::size_t kMinSegmentBytes = 16 * 1024;
}  // namespace

LegacyPlaintext::LegacyPlaintext(ByteSource& body, TZC_blockcipher& cipher, std::size_t threads)
    : body_(body),
      blockBytes_(static_cast<std::size_t>(cipher.BlockSize() / 8)),
      decryption_(cipher, threads, kMinSegmentBytes)
{
}

std::size_t LegacyPlaintext::TakePending(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t taken = std::min(count, pending_.size() - pendingAt_);
    if (taken == 0) return 0;  // no block is pending yet: pending_.data() is null, which memcpy may not be given
    std::memcpy(buffer, pending_.data() + pendingAt_, taken);
    pendingAt_ += taken;
    return taken;
}

// Reads and decrypts up to count bytes; a short read is the body's end, whose partial block
// the decryption finishes.
std::size_t LegacyPlaintext::DecryptInto(std::uint8_t* buffer, std::size_t count)
{
    const std::size_t read = body_.Read(buffer, count);
    decryption_(buffer, read);
    if (read < count) ended_ = true;
    return read;
}

std::size_t LegacyPlaintext::Read(std::uint8_t* buffer, std::size_t count)
{
    std::size_t given = TakePending(buffer, count);
    if (given == count || ended_) return given;
    // Whole blocks go straight into the caller's buffer; a partial block's rest waits.
    given += DecryptInto(buffer + given, (count - given) / blockBytes_ * blockBytes_);
    if (given == count || ended_) return given;
    pending_.resize(blockBytes_);
    pending_.resize(DecryptInto(pending_.data(), blockBytes_));
    pendingAt_ = 0;
    return given + TakePending(buffer + given, count - given);
}
