#include "fileenc/checkblock.h"

#include <algorithm>

#include "cipher/sha1.h"

void ComputeCheckBlock(const SecretBytes& passphrase, TZC_blockcipher& cipher, std::uint8_t* checkBlock)
{
    SecretBytes keyBlock(kCheckBlockBytes, 0xFF);
    TZC_sha1 sha;
    sha.Init();
    sha.Update(passphrase.data(), static_cast<int>(passphrase.size()));
    sha.Final(keyBlock.data());

    cipher.Init(keyBlock.data(), std::min(cipher.MaxKeySize(), 256), nullptr);
    std::copy(keyBlock.begin(), keyBlock.end(), checkBlock);
    cipher.EncryptCBC(checkBlock, checkBlock, kCheckBlockBytes);
    cipher.Reset();
}

std::vector<std::string_view> CiphersMatchingBlock(std::span<const std::uint8_t> stored, const SecretBytes& passphrase,
                                                   std::span<const CipherEntry> candidates)
{
    std::vector<std::string_view> matching;
    SecretBytes computed(kCheckBlockBytes);
    for (const CipherEntry& entry : candidates) {
        const auto cipher = entry.create();
        ComputeCheckBlock(passphrase, *cipher, computed.data());
        cipher->Burn();
        if (SecretEquals(computed, stored)) matching.push_back(entry.algorithm);
    }
    return matching;
}

std::string PassphraseFitsNote(std::string_view algorithm)
{
    return "the passphrase fits (" + std::string(algorithm) + "); the legacy format cannot check the rest";
}
