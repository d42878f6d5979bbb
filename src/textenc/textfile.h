#pragma once

// The short-text windows' files: plain 8-bit text with CR LF line breaks, read and written
// byte for byte with no header and nothing added.

#include <string>
#include <string_view>

#include "platform/posixfile.h"

// Every lone CR and every lone LF becomes CR LF (so LF CR is two line breaks).
std::string WithCrLfLineBreaks(std::string_view text);

// The whole file as the pane takes it: up to its first NUL, line breaks made CR LF. Errors:
// "Datei %s kann nicht geöffnet werden" (the full name), an IoError when reading fails, and the
// pane's capacity error. Touches no pane, so it may run away from the windows.
std::string LoadTextFile(const std::string& fileName);

// Writes the bytes as the file, replacing one that exists. Errors: "Datei %s kann nicht
// erstellt werden" and "Stream-Write-Fehler"; on either an existing file keeps its old
// contents, since the new text replaces it only once it is completely written.
void SaveTextFile(const std::string& fileName, std::string_view bytes, const SystemCalls& calls = HostCalls());
