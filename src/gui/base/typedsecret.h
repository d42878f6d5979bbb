#pragma once

// A passphrase typed into a box, as the engines take it.

#include <QString>

#include "platform/secretbytes.h"

// The text's UTF-8 bytes; the copy made on the way is wiped before its memory is given back.
SecretBytes TypedSecret(const QString& text);
