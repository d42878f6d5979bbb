#pragma once

// Key files as a user keeps them: an identity file as age-keygen writes it (perhaps itself an
// age file under a passphrase, as age allows), and recipients files, one key a line. Both front
// ends read and write them through these functions. Refusals are AgeError BadKey with a message
// that does not name the file; the caller names it.

#include <optional>
#include <string>
#include <vector>

#include "age/keys.h"
#include "age/stanzas.h"
#include "platform/outputfile.h"
#include "platform/secretbytes.h"

// The whole of a key file; refused when it does not open or is too large for a key file.
SecretBytes ReadKeyFile(const std::string& path);

// The identities of the key file at path; unlocking opens it when it is an age file.
std::vector<X25519Identity> ReadIdentityFile(const std::string& path, const Unlocking& unlocking);
std::vector<X25519Recipient> ReadRecipientsFile(const std::string& path);

// A new identity file's text: when it was made, its public key as a comment, then the identity.
SecretBytes IdentityFileText(const X25519Identity& identity);

// Writes a key file that only its owner may read. nullopt when path cannot be written, with
// errno telling why as OutputFile::Open does (EEXIST: a file exists that may not be replaced);
// raises IoError naming path when writing fails, and OutputExists when a file appeared there
// meanwhile. Else what the file system did not keep (see OutputFile::NotKept).
std::optional<std::string> WriteKeyFile(const std::string& path, const SecretBytes& text,
                                        OutputFile::Existing existing);
