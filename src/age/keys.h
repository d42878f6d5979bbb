#pragma once

// X25519 identities and recipients in their age text forms: "AGE-SECRET-KEY-1..." and "age1...",
// and the files that list them. Every refusal is an AgeError BadKey that says which line is
// wrong and how, but never quotes the text: a secret key in the wrong place stays unshown.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/secretbytes.h"

struct X25519Identity {
    SecretBytes secret;  // 32 bytes
};
using X25519Recipient = std::array<std::uint8_t, 32>;

X25519Identity GenerateX25519Identity();
// "AGE-SECRET-KEY-1...", in upper case.
SecretBytes FormatIdentity(const X25519Identity& identity);
X25519Recipient RecipientOf(const X25519Identity& identity);
// "age1...".
std::string FormatRecipient(const X25519Recipient& recipient);
X25519Recipient ParseRecipient(std::string_view text);

// Whether text holds an age secret key anywhere, in any letter case (behind a byte-order mark,
// a quote, "KEY=").
bool HoldsSecretKey(std::string_view text);

// What is wrong with text as an age recipient, as the end of a sentence ("is not an age public
// key (age1...)"); it never quotes the text.
std::string RecipientFault(std::string_view text);

// Calls use(line, number) for every line of a key file that holds a key: blank lines and
// lines starting with '#' are skipped, and surrounding spaces, tabs and a CR before the LF are
// left out.
void ForEachKeyLine(std::string_view text, const std::function<void(std::string_view, int)>& use);
std::vector<X25519Identity> ParseIdentityFile(const SecretBytes& text);
