#include "cipher/registry.h"

#include <algorithm>
#include <cctype>

#include "cipher/blowfish.h"
#include "cipher/cast128.h"
#include "cipher/cast256.h"
#include "cipher/gost.h"
#include "cipher/idea.h"
#include "cipher/misty1.h"
#include "cipher/rijndael.h"
#include "cipher/twofish.h"

namespace {
template <class Cipher>
std::unique_ptr<TZC_blockcipher> Make()
{
    return std::make_unique<Cipher>();
}

// In the order of their Algorithm names.
constexpr CipherEntry kCiphers[] = {
    {"Blowfish", Make<TZC_blowfish>},
    {"Cast128", Make<TZC_cast128>},
    {"Cast256", Make<TZC_cast256>},
    {"Gost", Make<TZC_gost>},
    {"IDEA", Make<TZC_idea>},
    {"Misty1", Make<TZC_misty1>},
    {"Rijndael", Make<TZC_rijndael>},
    {"Twofish", Make<TZC_twofish>},
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
