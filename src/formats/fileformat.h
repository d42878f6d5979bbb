#pragma once

// What tells the two file formats apart, in one place for every front end: how many first
// bytes are read to tell a file's format, the name an age file takes, and which legacy cipher
// made a file.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "age/header.h"
#include "fileenc/checkblock.h"
#include "pipeline/runfiles.h"
#include "platform/secretbytes.h"

// How many first bytes tell the format: enough for an age file's version line or the armor's
// BEGIN line after some whitespace, and for a legacy file's check block.
inline constexpr std::size_t kFormatPeekBytes = std::max(kAgeDetectBytes, kCheckBlockBytes);

enum class FileFormat {
    Legacy,      // anything that is not age: a check block and the CBC ciphertext
    Age,         // binary age
    ArmoredAge,  // age in its ASCII armor
};

FileFormat FormatOf(std::span<const std::uint8_t> firstBytes);
inline bool IsAge(FileFormat format) noexcept
{
    return format != FileFormat::Legacy;
}

// Opens a file whose format is to be told, taking its first kFormatPeekBytes; the refusal
// when it does not open.
std::variant<RunInput, RunRefusal> OpenToTell(const std::string& name, const SystemCalls& calls);

// An age file is named after its plaintext with this suffix (NAME.age); a file window writes
// age when its output's name has it.
inline constexpr std::string_view kAgeSuffix = ".age";
// True for NAME.age with a NAME, not for ".age" alone.
bool HasAgeSuffix(std::string_view name);
// NAME for NAME.age; any other name as it is.
std::string WithoutAgeSuffix(std::string name);

// The legacy cipher whose check block for passphrase (as the legacy format hashes it) begins
// firstBytes: only the one named (an algorithm), or the first of all ciphers that fits.
// nullopt when none fits or firstBytes are too few to hold a check block.
std::optional<std::string_view> FindLegacyCipher(std::span<const std::uint8_t> firstBytes,
                                                 const SecretBytes& passphrase,
                                                 std::optional<std::string_view> named = std::nullopt);
