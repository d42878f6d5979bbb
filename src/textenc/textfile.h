#pragma once

// The short-text windows' files: plain 8-bit text with CR LF line breaks, read and written
// byte for byte with no header and nothing added.

#include <string>
#include <string_view>

#include "platform/posixfile.h"
#include "textenc/pane.h"

// Every lone CR and every lone LF becomes CR LF (so LF CR is two line breaks).
std::string WithCrLfLineBreaks(std::string_view text);

// Puts the whole file, line breaks made CR LF, into the pane by the pane's rules. Errors:
// "Datei %s kann nicht geöffnet werden" (the full name), an IoError when reading fails, and the
// pane's capacity error; the pane keeps its text on every error.
void LoadTextFile(const std::string& fileName, Pane& pane);

// Writes the pane's text as the file, replacing one that exists. Errors: "Datei %s kann nicht
// erstellt werden" and "Stream-Write-Fehler"; on either an existing file keeps its old
// contents, since the new text replaces it only once it is completely written.
void SaveTextFile(const std::string& fileName, const Pane& pane, const SystemCalls& calls = HostCalls());
