#include <botan/cipher_mode.h>

#include <string>

#include "cbccipher.h"

namespace {
constexpr std::pair<std::string_view, std::string_view> kNames[] = {
    {"Blowfish", "Blowfish"}, {"Cast128", "CAST-128"}, {"Cast256", "CAST-256"}, {"Gost", "GOST-28147-89"},
    {"IDEA", "IDEA"},         {"Misty1", "MISTY1"},    {"Rijndael", "AES-256"}, {"Twofish", "Twofish"},
};

// Botan's own CBC mode; each direction is an object of its own.
class BotanCbc final : public CbcCipher {
public:
    BotanCbc(std::unique_ptr<Botan::Cipher_Mode> encryption, std::unique_ptr<Botan::Cipher_Mode> decryption)
        : encryption_(std::move(encryption)), decryption_(std::move(decryption))
    {
    }

    void SetKey(std::span<const std::uint8_t> key) override
    {
        key_.assign(key.begin(), key.end());
        encryption_->set_key(key_.data(), key_.size());
        encryption_->start(kPeerIv, encryption_->default_nonce_length());
    }
    void StartDecryption() override
    {
        decryption_->set_key(key_.data(), key_.size());
        decryption_->start(kPeerIv, decryption_->default_nonce_length());
    }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override { encryption_->process(chunk, bytes); }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override { decryption_->process(chunk, bytes); }

private:
    std::unique_ptr<Botan::Cipher_Mode> encryption_;
    std::unique_ptr<Botan::Cipher_Mode> decryption_;
    std::vector<std::uint8_t> key_;
};

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    const std::string_view name = PeerName(kNames, cipher);
    if (name.empty()) return nullptr;
    const std::string mode = std::string(name) + "/CBC/NoPadding";
    auto encryption = Botan::Cipher_Mode::create(mode, Botan::ENCRYPTION);
    auto decryption = Botan::Cipher_Mode::create(mode, Botan::DECRYPTION);
    if (!encryption || !decryption) return nullptr;
    return std::make_unique<BotanCbc>(std::move(encryption), std::move(decryption));
}
}  // namespace

CbcLibrary BotanLibrary()
{
    return {"Botan 2", Make};
}
