#include "age/stanzas.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/base64.h"

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

std::vector<std::uint8_t> WrapWith(const SecretBytes& wrapKey, const SecretBytes& fileKey)
{
    std::vector<std::uint8_t> body(fileKey.size() + kChaChaTagBytes);
    SealChaCha(KeyOf(wrapKey), kZeroNonce, fileKey.data(), fileKey.size(), body.data());
    return body;
}

std::optional<SecretBytes> UnwrapWith(const SecretBytes& wrapKey, const std::vector<std::uint8_t>& body)
{
    SecretBytes fileKey(kFileKeyBytes);
    if (!OpenChaCha(KeyOf(wrapKey), kZeroNonce, body.data(), body.size(), fileKey.data())) return std::nullopt;
    return fileKey;
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
        throw AgeError::HeaderDamaged("bad X25519 stanza");
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
    throw AgeError::HeaderDamaged("bad scrypt stanza");
}

SecretBytes UnlockScrypt(const Stanza& stanza, const Unlocking& unlocking)
{
    const ScryptParameters parameters = ScryptParametersOf(stanza);
    if (!unlocking.passphrase) throw AgeError::PassphraseNeeded();
    if (parameters.workFactor > unlocking.maxWorkFactor)
        throw AgeError::WorkFactorTooLarge(parameters.workFactor, unlocking.maxWorkFactor);
    const std::optional<SecretBytes> passphrase = unlocking.passphrase();
    if (!passphrase) throw AgeError::PassphraseNeeded();
    auto fileKey = UnwrapWith(ScryptWrapKey(*passphrase, parameters.salt, parameters.workFactor), stanza.body);
    if (!fileKey) throw AgeError::IncorrectPassphrase();
    return std::move(*fileKey);
}

SecretBytes UnlockX25519(const std::vector<Stanza>& stanzas, const std::vector<X25519Identity>& identities)
{
    // Every X25519 stanza is checked before any is tried, so that a malformed one is refused
    // whichever identity is given.
    std::vector<std::pair<Share, const Stanza*>> shares;
    std::vector<std::string> otherTypes;
    for (const Stanza& stanza : stanzas) {
        if (stanza.type == kX25519Type)
            shares.emplace_back(ShareOf(stanza), &stanza);
        else if (std::find(otherTypes.begin(), otherTypes.end(), stanza.type) == otherTypes.end())
            otherTypes.push_back(stanza.type);
    }
    for (const X25519Identity& identity : identities) {
        const X25519Recipient recipient = RecipientOf(identity);
        for (const auto& [share, stanza] : shares) {
            const SecretBytes wrapKey = X25519WrapKey(X25519Shared(identity.secret, share), share, recipient);
            if (auto fileKey = UnwrapWith(wrapKey, stanza->body)) return std::move(*fileKey);
        }
    }
    if (otherTypes.empty()) throw AgeError::NoIdentityMatched();
    std::string names;
    for (const std::string& type : otherTypes) names += (names.empty() ? "" : ", ") + type;
    throw AgeError::UnsupportedKeyType(names);
}
}  // namespace

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
            WrapWith(X25519WrapKey(shared, share, recipient), fileKey)};
}

Stanza WrapScrypt(const SecretBytes& fileKey, const SecretBytes& passphrase, int workFactor)
{
    std::vector<std::uint8_t> salt(kScryptSaltBytes);
    RandomBytes(salt);
    return {std::string(kScryptType), {EncodeBase64(salt, false), std::to_string(workFactor)},
            WrapWith(ScryptWrapKey(passphrase, salt, workFactor), fileKey)};
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
        passphrase ? UnlockScrypt(stanzas.front(), unlocking) : UnlockX25519(stanzas, unlocking.identities);
    const auto mac = HeaderMac(header.macInput, fileKey);
    if (CRYPTO_memcmp(mac.data(), header.mac.data(), mac.size()) != 0) throw AgeError::HeaderDamaged();
    return fileKey;
}
