#pragma once

// The identity and passphrase that the age fuzz targets' seed corpora were made for, so that
// their files reach the end of the unlocking: recipient
// age1gqm0c88xvgq6z25c8f0f3cy9zpjge8wcnxeczyeyatgec289zensu56vw4, passphrase "fuzz".

#include <optional>
#include <string_view>

#include "age/stanzas.h"

inline const Unlocking& FuzzUnlocking()
{
    constexpr std::string_view kIdentity = "AGE-SECRET-KEY-1UYR4V7DGXHMZAC4ZDTCAXTS0HG2XEU7CRURNNJJPFK97UY3GW7PSQXXDHC";
    constexpr std::string_view kPassphrase = "fuzz";
    // Low enough that scrypt stays fast; larger work factors are refused before it runs.
    constexpr int kMaxWorkFactor = 2;
    static const Unlocking unlocking{ParseIdentityFile(ToSecretBytes(kIdentity)),
                                     [] { return std::optional<SecretBytes>(ToSecretBytes(kPassphrase)); },
                                     kMaxWorkFactor};
    return unlocking;
}
