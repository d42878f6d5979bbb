#pragma once

// What every fuzz target shares: properties that abort the run when they fail, so that
// libFuzzer keeps the input and the corpus replayer fails its test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// The caller's place comes from builtins that GCC and clang share (clang 14 has no
// std::source_location with this standard library).
inline void Require(bool holds, std::string_view property, const char* file = __builtin_FILE(),
                    int line = __builtin_LINE())
{
    if (holds) return;
    std::fprintf(stderr, "%s:%d: property violated: %.*s\n", file, line, static_cast<int>(property.size()),
                 property.data());
    std::abort();
}

// An error message as far as a C string reaches, which is what any display of it shows.
inline bool SameMessage(const char* what, const std::string& expected)
{
    return std::string_view(what) == std::string_view(expected.c_str());
}

// Takes the fuzz input apart from the front; runs dry with zeros.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t Byte()
    {
        if (pos_ >= size_) return 0;
        return data_[pos_++];
    }
    std::size_t Number(std::size_t bytes)  // little-endian
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < bytes; ++i) n |= static_cast<std::size_t>(Byte()) << (8 * i);
        return n;
    }
    std::string_view Take(std::size_t n)
    {
        n = n < size_ - pos_ ? n : size_ - pos_;
        const std::string_view taken(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return taken;
    }
    std::string_view Rest() { return Take(size_ - pos_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
