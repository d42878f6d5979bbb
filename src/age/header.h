#pragma once

// The age header: the version line, the recipient stanzas that each wrap the file key, and
// the MAC over them, as text that must be read strictly (any other spelling of the same
// content is refused, so the MAC covers the only possible form).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "age/ageerror.h"
#include "platform/secretbytes.h"

struct Stanza {
    std::string type;               // the first argument, e.g. "X25519"
    std::vector<std::string> args;  // the arguments after the type
    std::vector<std::uint8_t> body;
    std::size_t line = 0;  // of its "->" line in the header read, from 1; 0 for one made here

    bool operator==(const Stanza& other) const
    {
        return type == other.type && args == other.args && body == other.body;
    }
};

// The AgeError HeaderDamaged of a stanza whose arguments or body its type does not allow,
// naming it and its line.
AgeError MalformedStanza(const Stanza& stanza);

struct Header {
    std::vector<Stanza> stanzas;
    std::array<std::uint8_t, 32> mac{};
    std::string macInput;  // the header's bytes up to and including "---"
};

// A longer header is neither written nor read, so that reading one never needs unbounded
// memory; 40,000 X25519 recipients fit.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{4} << 20;

// Where the header ends among the first bytes of a file: the length up to and including the
// LF that ends the MAC line; nullopt while those bytes hold no complete header yet. Raises
// AgeError NotAgeFile when they cannot begin an age header, HeaderDamaged when their version
// is not v1 or kMaxHeaderBytes of them hold no end.
std::optional<std::size_t> FindHeaderEnd(std::span<const std::uint8_t> bytes);

// The header from its text (as long as FindHeaderEnd says); AgeError HeaderDamaged, with the
// fault in parentheses, for anything the format's grammar does not allow.
Header ParseHeader(std::string_view text);

// The header's text for the stanzas, with its MAC under fileKey, ending in "\n". The stanzas'
// type and arguments must be non-empty printable ASCII without spaces.
std::string WriteHeader(const std::vector<Stanza>& stanzas, const SecretBytes& fileKey);

// HMAC-SHA-256 under HKDF(ikm = file key, salt = empty, info = "header").
std::array<std::uint8_t, 32> HeaderMac(std::string_view macInput, const SecretBytes& fileKey);

// Format detection from a file's first kAgeDetectBytes: the binary version line, or the
// armor's BEGIN line after optional whitespace.
inline constexpr std::size_t kAgeDetectBytes = 64;
bool LooksLikeAge(std::span<const std::uint8_t> firstBytes);
bool IsArmored(std::span<const std::uint8_t> firstBytes);
