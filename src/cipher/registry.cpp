#include "cipher/registry.h"

#include <algorithm>
#include <cctype>

#include "cipher/blowfish.h"
#include "cipher/idea.h"

namespace {
template <class Cipher>
std::unique_ptr<TZC_blockcipher> Make()
{
    return std::make_unique<Cipher>();
}

// In the order of their Algorithm names.
constexpr CipherEntry kCiphers[] = {
    {"Blowfish", Make<TZC_blowfish>},
    {"IDEA", Make<TZC_idea>},
};

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}
}  // namespace

std::span<const CipherEntry> AllCiphers()
{
    return kCiphers;
}

std::unique_ptr<TZC_blockcipher> CreateCipher(std::string_view name)
{
    for (const CipherEntry& entry : kCiphers)
        if (EqualIgnoringCase(entry.algorithm, name)) return entry.create();
    return nullptr;
}
