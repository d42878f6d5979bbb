#pragma once

// Standard base64 (RFC 4648, section 4), strict in both directions: the age header uses it
// without padding, the armor with it. Decoding accepts only the canonical form, so that every
// byte string has exactly one text and a changed character cannot go unnoticed.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

std::string EncodeBase64(std::span<const std::uint8_t> bytes, bool padded);

// nullopt unless the whole text is canonical base64: only the alphabet (no whitespace or line
// breaks), '=' padding exactly when padded and only as much as the length needs, and zero bits
// in the last character where it carries fewer than six.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text, bool padded);
