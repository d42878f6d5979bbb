#include <cryptopp/aes.h>
#include <cryptopp/blowfish.h>
#include <cryptopp/cast.h>
#include <cryptopp/gost.h>
#include <cryptopp/idea.h>
#include <cryptopp/modes.h>
#include <cryptopp/twofish.h>

#include "cbccipher.h"

namespace {
// Crypto++'s own CBC mode; Crypto++ has no MISTY1.
template <class Cipher>
class CryptoppCbc final : public CbcCipher {
public:
    void SetKey(std::span<const std::uint8_t> key) override
    {
        key_.assign(key.begin(), key.end());
        encryption_.SetKeyWithIV(key_.data(), key_.size(), kPeerIv, Cipher::BLOCKSIZE);
    }
    void StartDecryption() override { decryption_.SetKeyWithIV(key_.data(), key_.size(), kPeerIv, Cipher::BLOCKSIZE); }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override { encryption_.ProcessData(chunk, chunk, bytes); }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override { decryption_.ProcessData(chunk, chunk, bytes); }

private:
    typename CryptoPP::CBC_Mode<Cipher>::Encryption encryption_;
    typename CryptoPP::CBC_Mode<Cipher>::Decryption decryption_;
    std::vector<std::uint8_t> key_;
};

template <class Cipher>
std::unique_ptr<CbcCipher> MakeCbc()
{
    return std::make_unique<CryptoppCbc<Cipher>>();
}

constexpr std::pair<std::string_view, std::unique_ptr<CbcCipher> (*)()> kNames[] = {
    {"Blowfish", MakeCbc<CryptoPP::Blowfish>}, {"Cast128", MakeCbc<CryptoPP::CAST128>},
    {"Cast256", MakeCbc<CryptoPP::CAST256>},   {"Gost", MakeCbc<CryptoPP::GOST>},
    {"IDEA", MakeCbc<CryptoPP::IDEA>},         {"Rijndael", MakeCbc<CryptoPP::AES>},
    {"Twofish", MakeCbc<CryptoPP::Twofish>},
};

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    const auto make = PeerName(kNames, cipher);
    return make ? make() : nullptr;
}
}  // namespace

CbcLibrary CryptoppLibrary()
{
    return {"Crypto++", Make};
}
