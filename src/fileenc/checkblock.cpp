#include "fileenc/checkblock.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "cipher/sha1.h"
#include "platform/ioerror.h"
#include "platform/posixfile.h"

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

namespace {
// The first bytes of the file; pread keeps the offset that a descriptor shared with the
// caller (standard input redirected from a file) still needs at the start.
SecretBytes StoredCheckBlock(const InputFile& input, const std::string& name)
{
    SecretBytes stored(kCheckBlockBytes);
    std::size_t count = 0;
    if (!S_ISREG(input.info.st_mode)) {
        count = ReadFull(input.fd.get(), stored.data(), kCheckBlockBytes);
    } else {
        while (count < kCheckBlockBytes) {
            const ssize_t n = ::pread(input.fd.get(), stored.data() + count, kCheckBlockBytes - count,
                                      static_cast<off_t>(count));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) throw IoError::FromErrno(errno, name);
            if (n == 0) break;
            count += static_cast<std::size_t>(n);
        }
    }
    if (count != kCheckBlockBytes) throw IoError(iocode::kReadBeyondEnd, 0, name);
    return stored;
}
}  // namespace

std::optional<std::vector<std::string_view>> CiphersMatching(const std::string& inputName, const SecretBytes& passphrase,
                                                             std::span<const CipherEntry> candidates)
{
    const auto input = OpenInput(inputName);
    if (!input) return std::nullopt;
    return CiphersMatchingBlock(StoredCheckBlock(*input, inputName), passphrase, candidates);
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
        if (std::ranges::equal(computed, stored)) matching.push_back(entry.algorithm);
    }
    return matching;
}
