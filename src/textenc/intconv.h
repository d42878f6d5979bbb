#pragma once

// The keycode boxes' text to a number: leading spaces, then "$" and up to 8 significant
// hexadecimal digits (8 digits from 80000000 up are negative), or an optionally signed decimal
// within the 32-bit range; nothing may follow the digits.

#include <cstdint>
#include <string_view>

// text is UTF-8 and appears whole in the error "'%s' ist kein gültiger Integerwert".
std::int32_t IntegerFromText(std::string_view text);
