#include "age/recipients.h"

#include "age/ageerror.h"

namespace {
AgeError BadKey(std::string message)
{
    return {AgeFailure::BadKey, std::move(message)};
}


// The recipient, or AgeError BadKey with what is wrong as the end of a sentence.
Recipient RecipientOrFault(std::string_view text)
{
    if (StartsWithSshKeyType(text) && !HoldsSecretKey(text)) return ParseSshPublicKey(text);
    try {
        return ParseRecipient(text);
    } catch (const AgeError&) {
        throw BadKey(RecipientFault(text));
    }
}
}  // namespace

Recipient ParseRecipientLine(std::string_view text)
{
    try {
        return RecipientOrFault(text);
    } catch (const AgeError& fault) {
        throw BadKey(std::string("the recipient ") + fault.what());
    }
}

std::string FormatAnyRecipient(const Recipient& recipient)
{
    return std::visit(Overloaded{[](const X25519Recipient& key) { return FormatRecipient(key); },
                                 [](const SshPublicKey& key) { return FormatSshPublicKey(key); }},
                      recipient);
}

RecipientList ParseRecipientList(std::string_view text)
{
    RecipientList list;
    ForEachKeyLine(text, [&](std::string_view line, int number) {
        const std::string where = "line " + std::to_string(number);
        const auto unusable = HoldsSecretKey(line) ? std::nullopt : UnusableSshKeyType(line);
        if (unusable) {
            list.warnings.push_back(where + ": " + *unusable + " keys cannot be age recipients; skipped");
            return;
        }
        try {
            list.recipients.push_back(RecipientOrFault(line));
        } catch (const AgeError& fault) {
            throw BadKey(where + " " + fault.what());
        }
    });
    if (list.recipients.empty()) throw BadKey(list.warnings.empty() ? "no recipient found" : "no usable recipient found");
    return list;
}

std::vector<Identity> ParseIdentities(const SecretBytes& text, KeyPassphrase sshPassphrase,
                                      std::optional<std::string_view> sshPublicLine)
{
    std::vector<Identity> identities;
    if (IsSshPrivateKey(AsText(text))) {
        identities.emplace_back(SshIdentity(text, std::move(sshPassphrase), sshPublicLine));
        return identities;
    }
    for (X25519Identity& identity : ParseIdentityFile(text)) identities.emplace_back(std::move(identity));
    return identities;
}

Recipient PublicOf(const Identity& identity)
{
    return std::visit(Overloaded{[](const X25519Identity& key) -> Recipient { return RecipientOf(key); },
                                 [](const SshIdentity& key) -> Recipient { return key.PublicKey(); }},
                      identity);
}

std::string DescribeIdentity(const Identity& identity)
{
    return std::visit(Overloaded{[](const X25519Identity& key) { return FormatRecipient(RecipientOf(key)); },
                                 [](const SshIdentity& key) { return SshFingerprint(key.PublicKey()); }},
                      identity);
}
