#pragma once

#include <string_view>

#include "platform/secretbytes.h"

// The bytes a typed passphrase is hashed as, shared by every front end: Windows-1252 when
// every character has a byte there (so ASCII passphrases hash as their ASCII codes, and
// accented ones as on a Western-European Windows system), otherwise the UTF-8 bytes as given.
// Text that is not valid UTF-8 is taken byte for byte.
SecretBytes PassphraseBytes(std::string_view utf8);
