#include "age/sshstanzas.h"

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/base64.h"
#include "age/keys.h"
#include "age/sshcrypto.h"
#include "age/stanzas.h"

namespace {
constexpr std::string_view kEd25519Info = "age-encryption.org/v1/ssh-ed25519";
constexpr std::string_view kRsaLabel = "age-encryption.org/v1/ssh-rsa";
constexpr std::size_t kTagBytes = 4;

using Point = std::array<std::uint8_t, kX25519Bytes>;

std::optional<SshKeyType> TypeOf(const Stanza& stanza)
{
    if (stanza.type == SshTypeName(SshKeyType::Ed25519)) return SshKeyType::Ed25519;
    if (stanza.type == SshTypeName(SshKeyType::Rsa)) return SshKeyType::Rsa;
    return std::nullopt;
}

std::span<const std::uint8_t, kX25519Bytes> AsPoint(const SecretBytes& bytes)
{
    return std::span<const std::uint8_t, kX25519Bytes>(bytes.data(), kX25519Bytes);
}

// The wrapping key of an ssh-ed25519 stanza from the X25519 secret s shared with the share E:
// s is tweaked by a scalar bound to the key, and the result keyed with E and the key's u.
SecretBytes Ed25519WrapKey(const SecretBytes& shared, const Point& share, const SshPublicKey& key)
{
    const Point u = X25519OfEd25519(Ed25519KeyOf(key));
    const SecretBytes tweak = Hkdf({}, key.wire, kEd25519Info, kX25519Bytes);
    const SecretBytes tweaked = X25519Shared(tweak, AsPoint(shared));
    std::array<std::uint8_t, 2 * kX25519Bytes> salt;
    std::copy(share.begin(), share.end(), salt.begin());
    std::copy(u.begin(), u.end(), salt.begin() + kX25519Bytes);
    return Hkdf(tweaked, salt, kEd25519Info, kChaChaKeyBytes);
}

Stanza WrapEd25519(const SecretBytes& fileKey, const SshPublicKey& key)
{
    const X25519Identity ephemeral = GenerateX25519Identity();
    const Point share = RecipientOf(ephemeral);
    const SecretBytes shared = X25519Shared(ephemeral.secret, X25519OfEd25519(Ed25519KeyOf(key)));
    return {std::string(SshTypeName(key.type)), {SshTag(key), EncodeBase64(share, false)},
            WrapFileKey(Ed25519WrapKey(shared, share, key), fileKey)};
}

Point ShareOf(const Stanza& stanza)
{
    const auto share = DecodeBase64(stanza.args[1], false);
    Point point{};
    std::copy(share->begin(), share->end(), point.begin());
    return point;
}

std::optional<SecretBytes> UnwrapEd25519(const Stanza& stanza, const SshPublicKey& key, const SshPrivateKey& secret)
{
    const Point share = ShareOf(stanza);
    return UnwrapFileKey(Ed25519WrapKey(X25519Shared(secret.x25519Scalar, share), share, key), stanza.body);
}

std::optional<SecretBytes> UnwrapRsa(const Stanza& stanza, const SshPrivateKey& secret)
{
    auto fileKey = RsaOaepDecrypt(secret.rsa, stanza.body, kRsaLabel);
    if (fileKey && fileKey->size() != kFileKeyBytes) return std::nullopt;
    return fileKey;
}
}  // namespace

Stanza WrapSsh(const SecretBytes& fileKey, const SshPublicKey& key)
{
    if (key.type == SshKeyType::Ed25519) return WrapEd25519(fileKey, key);
    return {std::string(SshTypeName(key.type)), {SshTag(key)}, RsaOaepEncrypt(key, fileKey, kRsaLabel)};
}

bool IsSshStanza(const Stanza& stanza)
{
    return TypeOf(stanza).has_value();
}

void CheckSshStanza(const Stanza& stanza)
{
    const bool ed25519 = TypeOf(stanza) == SshKeyType::Ed25519;
    const std::size_t args = ed25519 ? 2 : 1;
    bool wellFormed = stanza.args.size() == args;
    if (wellFormed) {
        const auto tag = DecodeBase64(stanza.args[0], false);
        wellFormed = tag && tag->size() == kTagBytes;
    }
    if (wellFormed && ed25519) {
        const auto share = DecodeBase64(stanza.args[1], false);
        wellFormed = share && share->size() == kX25519Bytes && stanza.body.size() == kFileKeyBytes + kChaChaTagBytes;
    }
    if (wellFormed && !ed25519) wellFormed = !stanza.body.empty();
    if (!wellFormed) throw MalformedStanza(stanza);
}

std::string DescribeSshStanza(const Stanza& stanza)
{
    return "an " + stanza.type + " key with tag " + stanza.args[0];
}

bool SshStanzaNames(const Stanza& stanza, const SshIdentity& identity)
{
    const SshPublicKey& key = identity.PublicKey();
    return TypeOf(stanza) == key.type && stanza.args[0] == SshTag(key);
}

SecretBytes UnwrapSsh(const Stanza& stanza, const SshIdentity& identity)
{
    const SshPrivateKey& secret = identity.Unlock();
    const SshPublicKey& key = identity.PublicKey();
    auto fileKey = key.type == SshKeyType::Ed25519 ? UnwrapEd25519(stanza, key, secret) : UnwrapRsa(stanza, secret);
    if (!fileKey) throw AgeError::HeaderDamaged("an " + stanza.type + " stanza for " + SshFingerprint(key) +
                                                " does not open under that key");
    return std::move(*fileKey);
}
