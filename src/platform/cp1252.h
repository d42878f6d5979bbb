#pragma once

#include <cstdint>
#include <optional>

// Windows-1252, the 8-bit character set of the program's texts and passphrases.
// Its five unassigned bytes 81 8D 8F 90 9D stand for the C1 controls of the same value,
// as Windows' own conversion does, so every byte has exactly one character.
char32_t CodePointFromCp1252(std::uint8_t byte) noexcept;
std::optional<std::uint8_t> Cp1252FromCodePoint(char32_t codePoint) noexcept;
