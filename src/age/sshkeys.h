#pragma once

// SSH public keys as age recipients: the "ssh-ed25519 AAAA... comment" and "ssh-rsa AAAA..."
// lines of ~/.ssh/id_*.pub, authorized_keys and a code host's .keys list, held as their wire
// form (RFC 4253 section 6.6), from which the stanza's tag and the key's fingerprint come.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class SshKeyType { Ed25519, Rsa };

struct SshPublicKey {
    SshKeyType type;
    std::vector<std::uint8_t> wire;

    bool operator==(const SshPublicKey&) const = default;
};

// Smaller RSA keys are refused as recipients: they no longer keep a file key safe.
inline constexpr std::size_t kMinRsaRecipientBits = 2048;

// "ssh-ed25519" or "ssh-rsa", as in key lines and stanzas.
std::string_view SshTypeName(SshKeyType type);

// Whether the line starts with an SSH key type (a word starting "ssh-", "ecdsa-" or "sk-").
bool StartsWithSshKeyType(std::string_view line);
// The type of an SSH key line that names a type no age stanza is for (ecdsa, sk-..., ssh-dss),
// so that a list of keys can skip it; nullopt for every other line.
std::optional<std::string> UnusableSshKeyType(std::string_view line);

// "TYPE BASE64 [comment]" for ssh-ed25519 and ssh-rsa (RSA of at least kMinRsaRecipientBits).
// AgeError BadKey whose message is the fault as the end of a sentence ("is an ssh-rsa key of
// 1024 bits; ..."), never quoting the line.
SshPublicKey ParseSshPublicKey(std::string_view line);

// The key of a wire form (ssh-ed25519 or ssh-rsa); nullopt for another type or damaged bytes.
std::optional<SshPublicKey> SshPublicKeyOfWire(std::span<const std::uint8_t> wire);

// The builders for keys read from private key files.
SshPublicKey Ed25519PublicKey(std::span<const std::uint8_t, 32> key);
// e and n as unsigned big-endian bytes.
SshPublicKey RsaPublicKey(std::span<const std::uint8_t> e, std::span<const std::uint8_t> n);

// "TYPE BASE64", the line that names the key as a recipient.
std::string FormatSshPublicKey(const SshPublicKey& key);
// The stanza's tag: base64 of the first 4 bytes of SHA-256 of the wire form.
std::string SshTag(const SshPublicKey& key);
// "SHA256:" and the unpadded base64 of SHA-256 of the wire form, as ssh-keygen -l shows it.
std::string SshFingerprint(const SshPublicKey& key);

std::array<std::uint8_t, 32> Ed25519KeyOf(const SshPublicKey& key);
struct RsaPublicParts {
    std::span<const std::uint8_t> e, n;  // as mpints: big-endian, maybe with a leading zero
};
RsaPublicParts RsaPartsOf(const SshPublicKey& key);
