#pragma once

#include <memory>
#include <span>
#include <string_view>

#include "cipher/cipherbase.h"

// Every block cipher of the library, for front ends that choose one by name.
struct CipherEntry {
    std::string_view algorithm;
    std::unique_ptr<TZC_blockcipher> (*create)();
};

std::span<const CipherEntry> AllCiphers();

// The cipher whose Algorithm matches name, ignoring ASCII case; nullptr when none does.
std::unique_ptr<TZC_blockcipher> CreateCipher(std::string_view name);
