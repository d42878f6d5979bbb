#pragma once

// The check block that opens every encrypted file: the passphrase's key block encrypted under
// itself. It tells both whether a passphrase is right and which cipher made the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cipher/cipherbase.h"
#include "cipher/registry.h"
#include "platform/secretbytes.h"

inline constexpr std::size_t kCheckBlockBytes = 32;

// Key block = SHA-1(passphrase) followed by twelve 0xFF bytes; it is both the key and the
// plaintext of the check block. Leaves the cipher initialised with CV at the IV.
void ComputeCheckBlock(const SecretBytes& passphrase, TZC_blockcipher& cipher, std::uint8_t* checkBlock);

// The algorithms among candidates whose check block for passphrase equals stored.
std::vector<std::string_view> CiphersMatchingBlock(std::span<const std::uint8_t> stored, const SecretBytes& passphrase,
                                                   std::span<const CipherEntry> candidates = AllCiphers());


// What a check of a legacy file can tell: that the passphrase fits algorithm's check block. The
// body carries no digest, so damage to it shows only in the plaintext.
std::string PassphraseFitsNote(std::string_view algorithm);
