#include "age/stanzas.h"


#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/base64.h"
#include "age/sshstanzas.h"

namespace {
constexpr std::string_view kX25519Type = "X25519";
constexpr std::string_view kScryptType = "scrypt";
constexpr std::string_view kX25519Info = "age-encryption.org/v1/X25519";
constexpr std::string_view kScryptLabel = "age-encryption.org/v1/scrypt";
constexpr std::size_t kWrappedKeyBytes = kFileKeyBytes + kChaChaTagBytes;
constexpr std::size_t kScryptSaltBytes = 16;
constexpr std::array<std::uint8_t, kChaChaNonceBytes> kZeroNonce{};

using Share = std::array<std::uint8_t, kX25519Bytes>;

ChaChaKey KeyOf(const SecretBytes& key)
{
    return ChaChaKey(key.data(), kChaChaKeyBytes);
}

SecretBytes X25519WrapKey(const SecretBytes& shared, const Share& share, const X25519Recipient& recipient)
{
    std::array<std::uint8_t, 2 * kX25519Bytes> salt;
    std::copy(share.begin(), share.end(), salt.begin());
    std::copy(recipient.begin(), recipient.end(), salt.begin() + kX25519Bytes);
    return Hkdf(shared, salt, kX25519Info, kChaChaKeyBytes);
}

SecretBytes ScryptWrapKey(const SecretBytes& passphrase, std::span<const std::uint8_t> salt, int workFactor)
{
    std::vector<std::uint8_t> labelled(kScryptLabel.begin(), kScryptLabel.end());
    labelled.insert(labelled.end(), salt.begin(), salt.end());
    return Scrypt(passphrase, labelled, workFactor);
}

Share ShareOf(const Stanza& stanza)
{
    const auto share = stanza.args.size() == 1 ? DecodeBase64(stanza.args[0], false) : std::nullopt;
    if (!share || share->size() != kX25519Bytes || stanza.body.size() != kWrappedKeyBytes)
        throw MalformedStanza(stanza);
    Share result;
    std::copy(share->begin(), share->end(), result.begin());
    return result;
}

struct ScryptParameters {
    std::vector<std::uint8_t> salt;
    int workFactor = 0;
};

// The work factor is plain decimal: digits only, no leading zero, no sign.
std::optional<int> WorkFactor(std::string_view text)
{
    int value = 0;
    if (text.empty() || text.front() == '0' || !std::all_of(text.begin(), text.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

ScryptParameters ScryptParametersOf(const Stanza& stanza)
{
    if (stanza.args.size() == 2 && stanza.body.size() == kWrappedKeyBytes) {
        auto salt = DecodeBase64(stanza.args[0], false);
        const auto workFactor = WorkFactor(stanza.args[1]);
        if (salt && salt->size() == kScryptSaltBytes && workFactor) return {std::move(*salt), *workFactor};
    }
    throw MalformedStanza(stanza);
}

SecretBytes UnlockScrypt(const Stanza& stanza, const Unlocking& unlocking)
{
    const ScryptParameters parameters = ScryptParametersOf(stanza);
    if (const auto& sealed = unlocking.sealedWith;
        sealed && sealed->salt == parameters.salt && sealed->workFactor == parameters.workFactor) {
        auto fileKey = UnwrapFileKey(sealed->wrapKey, stanza.body);
        if (!fileKey) throw AgeError::IncorrectPassphrase();
        return std::move(*fileKey);
    }
    if (!unlocking.passphrase) throw AgeError::PassphraseNeeded();
    if (parameters.workFactor > unlocking.maxWorkFactor)
        throw AgeError::WorkFactorTooLarge(parameters.workFactor, unlocking.maxWorkFactor);
    const std::optional<SecretBytes> passphrase = unlocking.passphrase();
    if (!passphrase) throw AgeError::PassphraseNeeded();
    auto fileKey = UnwrapFileKey(ScryptWrapKey(*passphrase, parameters.salt, parameters.workFactor), stanza.body);
    if (!fileKey) throw AgeError::IncorrectPassphrase();
    return std::move(*fileKey);
}

std::string Joined(const std::vector<std::string>& items, std::string_view between)
{
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : std::string(between)) + item;
    return text;
}

// The stanzas of a header sorted by kind; every stanza of a known type is checked before any
// is tried, so that a malformed one is refused whichever identity is given.
struct KeyStanzas {
    std::vector<std::pair<Share, const Stanza*>> x25519;
    std::vector<const Stanza*> ssh;
    std::vector<std::string> otherTypes;

    explicit KeyStanzas(const std::vector<Stanza>& stanzas)
    {
        for (const Stanza& stanza : stanzas) {
            if (stanza.type == kX25519Type) {
                x25519.emplace_back(ShareOf(stanza), &stanza);
            } else if (IsSshStanza(stanza)) {
                CheckSshStanza(stanza);
                ssh.push_back(&stanza);
            } else if (std::find(otherTypes.begin(), otherTypes.end(), stanza.type) == otherTypes.end()) {
                otherTypes.push_back(stanza.type);
            }
        }
    }
};

std::optional<SecretBytes> UnlockWith(const KeyStanzas& stanzas, const X25519Identity& identity)
{
    const X25519Recipient recipient = RecipientOf(identity);
    for (const auto& [share, stanza] : stanzas.x25519) {
        const SecretBytes wrapKey = X25519WrapKey(X25519Shared(identity.secret, share), share, recipient);
        if (auto fileKey = UnwrapFileKey(wrapKey, stanza->body)) return fileKey;
    }
    return std::nullopt;
}

// A stanza whose tag names the key is opened with it (a protected key is unlocked then), and
// must open: the tag says it is this key's.
std::optional<SecretBytes> UnlockWith(const KeyStanzas& stanzas, const SshIdentity& identity)
{
    for (const Stanza* stanza : stanzas.ssh)
        if (SshStanzaNames(*stanza, identity)) return UnwrapSsh(*stanza, identity);
    return std::nullopt;
}

AgeError NoKeyMatched(const KeyStanzas& stanzas, const std::vector<Identity>& identities)
{
    if (stanzas.ssh.empty()) {
        if (stanzas.otherTypes.empty()) return AgeError::NoIdentityMatched();
        return AgeError::UnsupportedKeyType(Joined(stanzas.otherTypes, ", "));
    }
    std::vector<std::string> wanted, given;
    for (const Stanza* stanza : stanzas.ssh) wanted.push_back(DescribeSshStanza(*stanza));
    for (const Identity& identity : identities) given.push_back(DescribeIdentity(identity));
    const std::string keys = given.empty() ? "no key was given" : "the keys given (" + Joined(given, ", ") + ") do not match";
    return {AgeFailure::NoIdentityMatched, "this file is for " + Joined(wanted, " and ") + "; " + keys};
}

bool Locked(const Identity& identity)
{
    const auto* ssh = std::get_if<SshIdentity>(&identity);
    return ssh && ssh->Locked();
}

SecretBytes UnlockByKeys(const std::vector<Stanza>& header, const std::vector<Identity>& identities)
{
    const KeyStanzas stanzas(header);
    // Keys that need no passphrase go first, so that a passphrase is asked for only when no
    // other key opens the file.
    std::vector<const Identity*> order;
    for (const bool locked : {false, true})
        for (const Identity& identity : identities)
            if (Locked(identity) == locked) order.push_back(&identity);
    for (const Identity* identity : order) {
        auto fileKey = std::visit([&](const auto& key) { return UnlockWith(stanzas, key); }, *identity);
        if (fileKey) return std::move(*fileKey);
    }
    throw NoKeyMatched(stanzas, identities);
}
}  // namespace

std::function<std::optional<SecretBytes>()> GivingPassphrase(SecretBytes passphrase)
{
    return [passphrase = std::move(passphrase)] { return std::optional(passphrase); };
}

std::vector<std::uint8_t> WrapFileKey(const SecretBytes& wrapKey, const SecretBytes& fileKey)
{
    std::vector<std::uint8_t> body(fileKey.size() + kChaChaTagBytes);
    SealChaCha(KeyOf(wrapKey), kZeroNonce, fileKey.data(), fileKey.size(), body.data());
    return body;
}

std::optional<SecretBytes> UnwrapFileKey(const SecretBytes& wrapKey, const std::vector<std::uint8_t>& body)
{
    SecretBytes fileKey(kFileKeyBytes);
    if (!OpenChaCha(KeyOf(wrapKey), kZeroNonce, body.data(), body.size(), fileKey.data())) return std::nullopt;
    return fileKey;
}

SecretBytes GenerateFileKey()
{
    SecretBytes fileKey(kFileKeyBytes);
    RandomBytes(fileKey);
    return fileKey;
}

Stanza WrapX25519(const SecretBytes& fileKey, const X25519Recipient& recipient)
{
    const X25519Identity ephemeral = GenerateX25519Identity();
    const Share share = RecipientOf(ephemeral);
    SecretBytes shared;
    try {
        shared = X25519Shared(ephemeral.secret, recipient);
    } catch (const AgeError&) {
        throw AgeError(AgeFailure::BadKey, "the recipient " + FormatRecipient(recipient) + " is not a usable key");
    }
    return {std::string(kX25519Type), {EncodeBase64(share, false)},
            WrapFileKey(X25519WrapKey(shared, share, recipient), fileKey)};
}

Stanza WrapFor(const SecretBytes& fileKey, const Recipient& recipient)
{
    return std::visit(Overloaded{[&](const X25519Recipient& key) { return WrapX25519(fileKey, key); },
                                 [&](const SshPublicKey& key) { return WrapSsh(fileKey, key); }},
                      recipient);
}

Stanza WrapScrypt(const SecretBytes& fileKey, const SecretBytes& passphrase, int workFactor, ScryptWrapping* kept)
{
    std::vector<std::uint8_t> salt(kScryptSaltBytes);
    RandomBytes(salt);
    SecretBytes wrapKey = ScryptWrapKey(passphrase, salt, workFactor);
    Stanza stanza{std::string(kScryptType), {EncodeBase64(salt, false), std::to_string(workFactor)},
                  WrapFileKey(wrapKey, fileKey)};
    if (kept) *kept = {std::move(salt), workFactor, std::move(wrapKey)};
    return stanza;
}

SecretBytes UnlockFileKey(const Header& header, const Unlocking& unlocking)
{
    const std::vector<Stanza>& stanzas = header.stanzas;
    const bool passphrase = std::any_of(stanzas.begin(), stanzas.end(),
                                        [](const Stanza& stanza) { return stanza.type == kScryptType; });
    // A passphrase file must not be openable by a public key as well: the passphrase is what
    // shows who made it.
    if (passphrase && stanzas.size() != 1) throw AgeError::HeaderDamaged("a scrypt stanza beside other stanzas");
    SecretBytes fileKey =
        passphrase ? UnlockScrypt(stanzas.front(), unlocking) : UnlockByKeys(stanzas, unlocking.identities);
    const auto mac = HeaderMac(header.macInput, fileKey);
    if (!SecretEquals(mac, header.mac)) throw AgeError::HeaderDamaged();
    return fileKey;
}
