#include "age/sshkeys.h"

#include <algorithm>
#include <bit>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/base64.h"
#include "age/sshwire.h"

namespace {
constexpr std::string_view kEd25519Name = "ssh-ed25519";
constexpr std::string_view kRsaName = "ssh-rsa";
constexpr std::size_t kEd25519KeyBytes = 32;
constexpr std::size_t kTagBytes = 4;

AgeError BadKey(std::string message)
{
    return {AgeFailure::BadKey, std::move(message)};
}

std::string_view FirstWord(std::string_view line)
{
    return line.substr(0, line.find_first_of(" \t"));
}

Sha256::Digest DigestOf(const SshPublicKey& key)
{
    Sha256 sha;
    sha.Update(key.wire.data(), key.wire.size());
    return sha.Finish();
}

// An mpint without its sign byte: the positive number's own big-endian bytes.
std::span<const std::uint8_t> Magnitude(std::span<const std::uint8_t> mpint)
{
    while (!mpint.empty() && mpint.front() == 0) mpint = mpint.subspan(1);
    return mpint;
}

std::size_t BitLength(std::span<const std::uint8_t> mpint)
{
    const auto bytes = Magnitude(mpint);
    if (bytes.empty()) return 0;
    return 8 * (bytes.size() - 1) + static_cast<std::size_t>(std::bit_width(static_cast<unsigned>(bytes.front())));
}

std::vector<std::uint8_t> Mpint(std::span<const std::uint8_t> number)
{
    number = Magnitude(number);
    // A leading zero keeps a number whose top bit is set positive.
    const std::size_t sign = !number.empty() && (number.front() & 0x80) != 0 ? 1 : 0;
    std::vector<std::uint8_t> mpint(sign + number.size(), 0);
    std::copy(number.begin(), number.end(), mpint.begin() + static_cast<std::ptrdiff_t>(sign));
    return mpint;
}

// The key inside a wire form of the type given; nullopt when malformed.
std::optional<SshPublicKey> KeyOfWire(SshKeyType type, std::span<const std::uint8_t> wire)
{
    SshWireReader reader(wire);
    if (reader.Text() != SshTypeName(type)) return std::nullopt;
    if (type == SshKeyType::Ed25519) {
        const auto key = reader.String();
        if (!key || key->size() != kEd25519KeyBytes) return std::nullopt;
    } else {
        const auto e = reader.String(), n = reader.String();
        // Positive numbers, as mpints hold them: no sign bit set.
        if (!e || !n || e->empty() || n->empty() || (e->front() & 0x80) || (n->front() & 0x80)) return std::nullopt;
    }
    if (!reader.AtEnd()) return std::nullopt;
    return SshPublicKey{type, {wire.begin(), wire.end()}};
}
}  // namespace

std::string_view SshTypeName(SshKeyType type)
{
    return type == SshKeyType::Ed25519 ? kEd25519Name : kRsaName;
}

bool StartsWithSshKeyType(std::string_view line)
{
    return line.starts_with("ssh-") || line.starts_with("ecdsa-") || line.starts_with("sk-");
}

std::optional<std::string> UnusableSshKeyType(std::string_view line)
{
    const std::string_view type = FirstWord(line);
    if (!StartsWithSshKeyType(type) || type == kEd25519Name || type == kRsaName) return std::nullopt;
    return std::string(type);
}

SshPublicKey ParseSshPublicKey(std::string_view line)
{
    const std::string_view typeName = FirstWord(line);
    if (typeName != kEd25519Name && typeName != kRsaName) {
        if (UnusableSshKeyType(line)) throw BadKey("is an SSH key of a type that cannot be an age recipient (only "
                                                   "ssh-ed25519 and ssh-rsa can)");
        throw BadKey("is not an SSH public key");
    }
    const SshKeyType type = typeName == kEd25519Name ? SshKeyType::Ed25519 : SshKeyType::Rsa;
    std::string_view rest = line.substr(typeName.size());
    rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
    const auto wire = DecodeBase64(FirstWord(rest), true);
    const auto key = wire ? KeyOfWire(type, *wire) : std::nullopt;
    if (!key) throw BadKey("is an " + std::string(typeName) + " key whose base64 part is damaged or of another type");
    if (type == SshKeyType::Rsa) {
        const std::size_t bits = BitLength(RsaPartsOf(*key).n);
        if (bits < kMinRsaRecipientBits)
            throw BadKey("is an ssh-rsa key of " + std::to_string(bits) + " bits; a recipient needs at least " +
                         std::to_string(kMinRsaRecipientBits));
    }
    return *key;
}

std::optional<SshPublicKey> SshPublicKeyOfWire(std::span<const std::uint8_t> wire)
{
    SshWireReader reader(wire);
    const auto name = reader.Text();
    if (name == kEd25519Name) return KeyOfWire(SshKeyType::Ed25519, wire);
    if (name == kRsaName) return KeyOfWire(SshKeyType::Rsa, wire);
    return std::nullopt;
}

SshPublicKey Ed25519PublicKey(std::span<const std::uint8_t, 32> key)
{
    SshPublicKey result{SshKeyType::Ed25519, {}};
    AppendSshString(result.wire, AsBytes(kEd25519Name));
    AppendSshString(result.wire, key);
    return result;
}

SshPublicKey RsaPublicKey(std::span<const std::uint8_t> e, std::span<const std::uint8_t> n)
{
    SshPublicKey result{SshKeyType::Rsa, {}};
    AppendSshString(result.wire, AsBytes(kRsaName));
    AppendSshString(result.wire, Mpint(e));
    AppendSshString(result.wire, Mpint(n));
    return result;
}

std::string FormatSshPublicKey(const SshPublicKey& key)
{
    return std::string(SshTypeName(key.type)) + " " + EncodeBase64(key.wire, true);
}

std::string SshTag(const SshPublicKey& key)
{
    const Sha256::Digest digest = DigestOf(key);
    return EncodeBase64(std::span(digest).first(kTagBytes), false);
}

std::string SshFingerprint(const SshPublicKey& key)
{
    return "SHA256:" + EncodeBase64(DigestOf(key), false);
}

std::array<std::uint8_t, 32> Ed25519KeyOf(const SshPublicKey& key)
{
    SshWireReader reader(key.wire);
    reader.Text();
    const auto bytes = reader.String();
    std::array<std::uint8_t, 32> result{};
    if (bytes && bytes->size() == result.size()) std::copy(bytes->begin(), bytes->end(), result.begin());
    return result;
}

RsaPublicParts RsaPartsOf(const SshPublicKey& key)
{
    SshWireReader reader(key.wire);
    reader.Text();
    const auto e = reader.String(), n = reader.String();
    return {e.value_or(std::span<const std::uint8_t>{}), n.value_or(std::span<const std::uint8_t>{})};
}
