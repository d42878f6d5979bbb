#pragma once

// How the pane's 8-bit text (Windows-1252, CR LF line breaks) is shown in a Unicode text box
// and read back, so that every byte 1..255 survives the round trip:
//   CR LF                          a line break (U+2029, the box's own block separator)
//   lone CR, lone LF, other C0     the Unicode control pictures U+2401..U+241F (TAB stays TAB)
//   DEL                            U+2421
//   every other byte               its Windows-1252 character (the five holes as U+0081 etc.)
// Display texts are UTF-16.

#include <string>
#include <string_view>

// Stops at a NUL, which the pane cannot hold.
std::u16string DisplayFromBytes(std::string_view bytes);

// Never fails: U+2029, U+2028, LF, CR and CR LF each read as one line break, and a character
// with no byte (NUL and its control picture included) reads as "?", a surrogate pair as one.
std::string BytesFromDisplay(std::u16string_view display);

// What a typed or pasted text becomes in the pane: its characters in their display form,
// those without a byte as "?".
std::u16string CanonicalDisplay(std::u16string_view typed);

// Bytes as UTF-8, for messages that quote the pane's text.
std::string Utf8FromBytes(std::string_view bytes);
