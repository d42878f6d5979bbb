#pragma once

// Key files as a user keeps them: an identity file as age-keygen writes it (perhaps itself an
// age file under a passphrase, as age allows) or an SSH private key, and lists of recipients,
// one key a line. Both front ends read and write them through these functions. Refusals are
// AgeError BadKey with a message that does not name the file; the caller names it.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "age/recipients.h"
#include "age/stanzas.h"
#include "platform/outputfile.h"
#include "platform/secretbytes.h"

struct KeyFile {
    SecretBytes text;
    mode_t mode;
};

// The whole of a key file; refused when it does not open or is too large for a key file.
KeyFile ReadKeyFile(const std::string& path);

// The identities a key file holds. unlocking opens it when it is an age file; sshPassphrase
// is asked for a protected SSH key's passphrase when a file needs the key. path: where the
// file was read, for the public key line of a protected PEM key beside it (path.pub); empty
// when it was read from a stream.
std::vector<Identity> OpenIdentityFile(KeyFile file, const std::string& path, const Unlocking& unlocking,
                                       KeyPassphrase sshPassphrase);
std::vector<Identity> ReadIdentityFile(const std::string& path, const Unlocking& unlocking,
                                       KeyPassphrase sshPassphrase = {});
RecipientList ReadRecipientList(const std::string& path);

// A new identity file's text: when it was made, its public key as a comment, then the identity.
SecretBytes IdentityFileText(const X25519Identity& identity);

// Writes a key file that only its owner may read. nullopt when path cannot be written, with
// errno telling why as OutputFile::Open does (EEXIST: a file exists that may not be replaced);
// raises IoError naming path when writing fails, and OutputExists when a file appeared there
// meanwhile. Else what the file system did not keep (see OutputFile::NotKept).
std::optional<std::string> WriteKeyFile(const std::string& path, const SecretBytes& text,
                                        OutputFile::Existing existing);
