#pragma once

// Cipher names as a shell user types them: the library's names and the common aliases.

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cipher/registry.h"

struct CipherAlias {
    std::string_view alias;
    std::string_view algorithm;
};

// Other names in use for the library's ciphers, in lower case.
std::span<const CipherAlias> CipherAliases();

// The cipher named by its algorithm name or an alias, in any letter case; nullptr when none is.
const CipherEntry* FindCipher(std::string_view name);

// The same, raising UsageError when no cipher has that name.
const CipherEntry& NamedCipher(const std::string& name);

// The name to give --cipher for an algorithm: the algorithm in lower case.
std::string CipherOptionName(std::string_view algorithm);

// The table that 'zorvanta-cli ciphers' prints.
void ListCiphers(std::ostream& out);
