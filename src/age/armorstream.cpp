#include "age/armorstream.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kTextPieceBytes = 16 * 1024;
}

bool ArmoredSource::Decode()
{
    if (ended_) return false;
    std::uint8_t text[kTextPieceBytes];
    const std::size_t read = text_.Read(text, sizeof text);
    decoded_.erase(decoded_.begin(), decoded_.begin() + static_cast<std::ptrdiff_t>(taken_));
    taken_ = 0;
    decoder_.Feed({text, read}, decoded_);
    if (read < sizeof text) {
        decoder_.Finish();
        ended_ = true;
    }
    return true;
}

std::size_t ArmoredSource::Read(std::uint8_t* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        if (taken_ == decoded_.size() && !Decode()) break;
        const std::size_t n = std::min(count - done, decoded_.size() - taken_);
        if (n > 0) std::memcpy(buffer + done, decoded_.data() + taken_, n);
        taken_ += n;
        done += n;
    }
    return done;
}

void ArmoredSink::Write(const std::uint8_t* buffer, std::size_t count)
{
    encoder_.Feed({buffer, count}, encoded_);
    Flush();
}

void ArmoredSink::Finish()
{
    encoder_.Finish(encoded_);
    Flush();
}

void ArmoredSink::Flush()
{
    text_.Write(reinterpret_cast<const std::uint8_t*>(encoded_.data()), encoded_.size());
    encoded_.clear();
}
