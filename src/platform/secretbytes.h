#pragma once

// Bytes that must not outlive their use in memory: a passphrase and whatever is made from it.
// The allocator overwrites every block before it gives it back, so neither the vector's
// destruction nor its growth leaves a copy behind. In a process that asks for it, the blocks
// take whole pages that a core dump leaves out (MADV_DONTDUMP).

#include <cstddef>
#include <cstdint>
#include <string>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "common/wipe.h"

// Secrets take whole pages that core dumps leave out; to be called before the process makes
// its first secret, which otherwise settles that they take ordinary memory.
void KeepSecretsOutOfCoreDumps() noexcept;
// A block for count bytes, in whole pages left out of core dumps where the process asked for
// that; raises std::bad_alloc.
void* AllocateSecretPages(std::size_t count);
// Overwrites the count bytes at block, then gives it back.
void FreeSecretPages(void* block, std::size_t count) noexcept;

template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return static_cast<T*>(AllocateSecretPages(count * sizeof(T))); }
    void deallocate(T* block, std::size_t count) noexcept { FreeSecretPages(block, count * sizeof(T)); }

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

// A working buffer for secrets that is filled before it is read, such as a file's chunk: its
// bytes start undefined, which spares clearing it on top of the pages' first touch, and are
// overwritten when it goes.
class SecretBuffer {
public:
    SecretBuffer() noexcept = default;
    explicit SecretBuffer(std::size_t count)
        : bytes_(count ? static_cast<std::uint8_t*>(AllocateSecretPages(count)) : nullptr), size_(count)
    {
    }
    SecretBuffer(SecretBuffer&& other) noexcept
        : bytes_(std::exchange(other.bytes_, nullptr)), size_(std::exchange(other.size_, 0))
    {
    }
    SecretBuffer& operator=(SecretBuffer&& other) noexcept
    {
        SecretBuffer old(std::move(*this));
        bytes_ = std::exchange(other.bytes_, nullptr);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    ~SecretBuffer()
    {
        if (bytes_) FreeSecretPages(bytes_, size_);
    }

    std::uint8_t* data() const noexcept { return bytes_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

private:
    std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
};

inline SecretBytes ToSecretBytes(std::string_view text)
{
    return SecretBytes(text.begin(), text.end());
}

// Overwrites a string that held a secret, its spare capacity too, before its memory is given
// back; it is left as long as that capacity.
inline void WipeString(std::string& text) noexcept
{
    text.resize(text.capacity());  // within the capacity: no allocation
    SecureFill(text.data(), text.size(), 0);
}

// Whether two secrets (a MAC, a key, a check block) are equal, in a time that does not tell
// where they differ (CRYPTO_memcmp); every such comparison goes through here. Of another
// size: false, as the sizes are no secret.
bool SecretEquals(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept;

inline std::string_view AsText(const SecretBytes& bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
