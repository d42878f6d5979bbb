#pragma once

// Bech32 (BIP 173, the original checksum, not Bech32m) as age writes its keys: no limit on
// the length, and the data part is 8-bit bytes regrouped into 5-bit characters.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/secretbytes.h"

// In lower case; hrp must be lower case.
std::string EncodeBech32(std::string_view hrp, std::span<const std::uint8_t> data);
// The same for secret data: no copy of it is left behind in freed memory.
SecretBytes EncodeSecretBech32(std::string_view hrp, std::span<const std::uint8_t> data);

struct Bech32Data {
    std::string hrp;  // lower case
    SecretBytes data;
};

// nullopt for mixed case, characters outside the alphabet, a bad checksum or padding bits that
// are not zero. An all-upper-case string is read as its lower-case form.
std::optional<Bech32Data> DecodeBech32(std::string_view text);
