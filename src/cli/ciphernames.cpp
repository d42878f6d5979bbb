#include "cli/ciphernames.h"

#include <algorithm>
#include <cctype>
#include <iomanip>

#include "cli/usage.h"

namespace {
constexpr CipherAlias kAliases[] = {
    {"aes", "Rijndael"},      {"aes256", "Rijndael"}, {"cast5", "Cast128"}, {"cast-128", "Cast128"},
    {"cast6", "Cast256"},     {"cast-256", "Cast256"}, {"misty", "Misty1"},  {"gost28147", "Gost"},
};

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string AliasesOf(std::string_view algorithm)
{
    std::string list;
    for (const CipherAlias& alias : kAliases)
        if (alias.algorithm == algorithm) list += (list.empty() ? "" : ", ") + std::string(alias.alias);
    return list;
}
}  // namespace

std::span<const CipherAlias> CipherAliases()
{
    return kAliases;
}

const CipherEntry* FindCipher(std::string_view name)
{
    for (const CipherAlias& alias : kAliases)
        if (EqualIgnoringCase(alias.alias, name)) name = alias.algorithm;
    const auto ciphers = AllCiphers();
    const auto found = std::ranges::find_if(ciphers, [&](const CipherEntry& e) { return EqualIgnoringCase(e.algorithm, name); });
    return found == ciphers.end() ? nullptr : &*found;
}

const CipherEntry& NamedCipher(const std::string& name)
{
    const CipherEntry* entry = FindCipher(name);
    if (!entry) throw UsageError{"unknown cipher " + name + " (see 'zorvanta-cli ciphers')"};
    return *entry;
}

std::string CipherOptionName(std::string_view algorithm)
{
    std::string name(algorithm);
    std::ranges::transform(name, name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

void ListCiphers(std::ostream& out)
{
    out << "cipher     block  key sizes (bits)  key used for files  also called\n";
    for (const CipherEntry& entry : AllCiphers()) {
        const auto cipher = entry.create();
        const int max = cipher->MaxKeySize();
        out << std::left << std::setw(11) << cipher->Algorithm() << std::setw(7) << cipher->BlockSize()
            << std::setw(18) << ("8.." + std::to_string(max)) << std::setw(20) << std::min(max, 256)
            << AliasesOf(entry.algorithm) << '\n';
    }
}
