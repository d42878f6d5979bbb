#include "cli/selftest.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "cipher/sha1.h"
#include "cli/ciphernames.h"
#include "fileenc/checkblock.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string_view hex)
{
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10; };
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    return bytes;
}

bool BlockHolds(TZC_blockcipher& cipher, const Bytes& key, const Bytes& plain, const Bytes& expected)
{
    if (plain.size() != expected.size() || plain.size() * 8 != static_cast<std::size_t>(cipher.BlockSize())) return false;
    cipher.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
    Bytes out(plain.size()), back(plain.size());
    cipher.EncryptECB(plain.data(), out.data());
    cipher.DecryptECB(expected.data(), back.data());
    return out == expected && back == plain;
}

bool Sha1Holds(const Bytes& message, const Bytes& expected)
{
    Bytes digest(20);
    TZC_sha1 sha;
    sha.Init();
    sha.Update(message.data(), static_cast<int>(message.size()));
    sha.Final(digest.data());
    return digest == expected;
}

// The file as the engine writes it: the check block, then the CBC body from the IV; and back.
bool FileHolds(TZC_blockcipher& cipher, const Bytes& passphrase, const Bytes& plain, const Bytes& expected,
               const Bytes& iv)
{
    if (expected.size() != kCheckBlockBytes + plain.size() || iv.size() * 8 != static_cast<std::size_t>(cipher.BlockSize()))
        return false;
    const int bodyLength = static_cast<int>(plain.size());
    Bytes file(expected.size()), back(plain.size());
    ComputeCheckBlock(SecretBytes(passphrase.begin(), passphrase.end()), cipher, file.data());
    const bool ivHolds = std::equal(iv.begin(), iv.end(), cipher.IV());
    cipher.EncryptCBC(plain.data(), file.data() + kCheckBlockBytes, bodyLength);
    cipher.Reset();
    cipher.DecryptCBC(expected.data() + kCheckBlockBytes, back.data(), bodyLength);
    return ivHolds && file == expected && back == plain;
}

bool Holds(const KnownAnswer& answer)
{
    if (answer.kind == KnownAnswer::Kind::Sha1) return Sha1Holds(FromHex(answer.input), FromHex(answer.output));
    const CipherEntry* entry = FindCipher(answer.algorithm);
    if (!entry) return false;
    const auto cipher = entry->create();
    const bool holds = answer.kind == KnownAnswer::Kind::Block
                           ? BlockHolds(*cipher, FromHex(answer.key), FromHex(answer.input), FromHex(answer.output))
                           : FileHolds(*cipher, FromHex(answer.key), FromHex(answer.input), FromHex(answer.output),
                                       FromHex(answer.iv));
    cipher->Burn();
    return holds;
}
}  // namespace

bool RunSelfTest(std::span<const KnownAnswer> answers, std::ostream& out)
{
    bool all = true;
    for (const KnownAnswer& answer : answers) {
        const bool holds = Holds(answer);
        out << (holds ? "ok      " : "FAILED  ") << answer.label << '\n';
        all = all && holds;
    }
    return all;
}
