#pragma once

// What the age tests share: the keys age-keygen made (tests/data/age/keyN.txt) and whole files
// encrypted and decrypted in memory, chunk by chunk as the format lays them out.

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "age/ageerror.h"
#include "age/agecrypto.h"
#include "age/armor.h"
#include "age/header.h"
#include "age/payload.h"
#include "age/stanzas.h"
#include "support/tempdir.h"

inline Bytes AgeData(const std::string& name)
{
    return ReadFile(DataPath("age/" + name));
}

inline SecretBytes AgeSecretData(const std::string& name)
{
    const Bytes bytes = AgeData(name);
    return SecretBytes(bytes.begin(), bytes.end());
}

// Bytes that differ from one payload chunk to the next, so that a chunk out of place shows.
inline Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
    return b;
}

inline std::string_view TextOf(std::span<const std::uint8_t> bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The recipient age-keygen printed into the key file's "# public key: " line.
inline std::string PrintedRecipient(const std::string& keyFile)
{
    const Bytes bytes = AgeData(keyFile);
    const std::string_view text = TextOf(bytes);
    constexpr std::string_view kMark = "# public key: ";
    const std::size_t start = text.find(kMark) + kMark.size();
    return std::string(text.substr(start, text.find('\n', start) - start));
}

inline X25519Identity StoredIdentity(const std::string& keyFile)
{
    return ParseIdentityFile(AgeSecretData(keyFile)).at(0);
}

// The AgeError that run raised, if any.
inline std::optional<AgeError> FailureOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const AgeError& error) {
        return error;
    }
    return std::nullopt;
}

inline Bytes Dearmored(const Bytes& file)
{
    if (!IsArmored(std::span(file).first(std::min<std::size_t>(file.size(), 64)))) return file;
    Bytes binary;
    ArmorDecoder decoder;
    decoder.Feed(file, binary);
    decoder.Finish();
    return binary;
}

// The plain bytes of a binary or armored age file; AgeError as the library raises it.
inline Bytes DecryptInMemory(const Bytes& file, const Unlocking& unlocking)
{
    const Bytes binary = Dearmored(file);
    const auto end = FindHeaderEnd(binary);
    if (!end) throw AgeError::Truncated();
    const SecretBytes fileKey = UnlockFileKey(ParseHeader(TextOf(std::span(binary).first(*end))), unlocking);
    auto payload = std::span(binary).subspan(*end);
    if (payload.size() < kPayloadNonceBytes) throw AgeError::Truncated();
    const PayloadCipher cipher(fileKey, payload.first<kPayloadNonceBytes>());
    payload = payload.subspan(kPayloadNonceBytes);
    Bytes plain;
    for (std::uint64_t counter = 0;; ++counter) {
        const std::size_t sealed = std::min(payload.size(), kPayloadChunkBytes + kTagBytes);
        const bool last = sealed == payload.size();
        if (sealed < kTagBytes) throw AgeError::Truncated();
        const std::size_t at = plain.size();
        plain.resize(at + sealed - kTagBytes);
        if (!cipher.Open(counter, last, payload.data(), sealed, plain.data() + at)) throw AgeError::ChunkFailed();
        payload = payload.subspan(sealed);
        if (last) return plain;
    }
}

inline Bytes EncryptInMemory(const Bytes& plain, const std::vector<Stanza>& stanzas, const SecretBytes& fileKey)
{
    const std::string header = WriteHeader(stanzas, fileKey);
    Bytes file(header.begin(), header.end());
    std::array<std::uint8_t, kPayloadNonceBytes> nonce;
    RandomBytes(nonce);
    file.insert(file.end(), nonce.begin(), nonce.end());
    const PayloadCipher cipher(fileKey, nonce);
    std::size_t done = 0;
    for (std::uint64_t counter = 0; counter == 0 || done < plain.size(); ++counter) {
        const std::size_t n = std::min(kPayloadChunkBytes, plain.size() - done);
        const std::size_t at = file.size();
        file.resize(at + n + kTagBytes);
        cipher.Seal(counter, done + n == plain.size(), plain.data() + done, n, file.data() + at);
        done += n;
    }
    return file;
}
