#include "cipher/cipherbase.h"

void XorBlock(const void* a, const void* b, void* out, int n) noexcept
{
    auto* pa = static_cast<const std::uint8_t*>(a);
    auto* pb = static_cast<const std::uint8_t*>(b);
    auto* po = static_cast<std::uint8_t*>(out);
    for (int i = 0; i < n; ++i) po[i] = static_cast<std::uint8_t>(pa[i] ^ pb[i]);
}

void TZC_blockcipher::CheckInitialized() const
{
    if (!initialized_) throw ZorvantaError(algorithm_ + ": Not initialized");
}

void TZC_blockcipher::CheckKeySize(int size) const
{
    if (size > maxKeySize_ || size <= 0 || size % 8 != 0)
        throw ZorvantaError(algorithm_ + ": Invalid key size - " + std::to_string(size));
}

void TZC_hash::CheckInitialized() const
{
    if (!initialized_) throw ZorvantaError(algorithm_ + ": Not initialized");
}

void TZC_hash::UpdateStr(const std::string& text)
{
    Update(text.data(), static_cast<int>(text.size()));
}
