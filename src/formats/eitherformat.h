#pragma once

// Both file formats behind the file windows' two buttons. Encrypt writes an age file under the
// passphrase when the output's name ends in ".age" (in any case; the empty passphrase is
// refused), else the legacy format with the chosen cipher; decrypt opens either format, told by
// the file's first bytes, whatever cipher is chosen. The passphrase comes as typed (UTF-8): age takes those bytes, the legacy format its
// own conversion of them.
//
// Outcomes as the legacy engine gives them; a wrong passphrase is WrongPassphrase in either
// format. Any other refusal of an age file raises AgeError, which the window words.

#include <optional>
#include <string>

#include "cipher/cipherbase.h"
#include "pipeline/fileoutcome.h"
#include "platform/secretbytes.h"

bool WritesAge(const std::string& outputName);

// Raises the error that refuses the empty passphrase for an age file: age opens no such file.
void RequireAgePassphrase(const SecretBytes& typed);

FileOpResult EncryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options = {});
FileOpResult DecryptEitherFormat(const std::string& inputName, const std::string& outputName,
                                 const SecretBytes& typed, TZC_blockcipher& cipher, const FileOpOptions& options = {});

// The legacy cipher whose check block for the typed passphrase begins the file name: nullopt
// for an age file, one too short, one no cipher fits, and anything but a regular file, which is
// not read (a pipe would block).
std::optional<std::string> LegacyCipherOfFile(const std::string& name, const SecretBytes& typed);
