#include <nettle/aes.h>
#include <nettle/blowfish.h>
#include <nettle/cast128.h>
#include <nettle/cbc.h>
#include <nettle/nettle-meta.h>
#include <nettle/twofish.h>

#include <cstring>

#include "cbccipher.h"

namespace {
// Nettle has no meta descriptor for Blowfish; this one follows the pattern of the others.
void SetBlowfishKey(void* context, const std::uint8_t* key)
{
    blowfish_set_key(static_cast<blowfish_ctx*>(context), 32, key);  // 0 only flags a weak key
}
void BlowfishEncrypt(const void* context, std::size_t length, std::uint8_t* out, const std::uint8_t* in)
{
    blowfish_encrypt(static_cast<const blowfish_ctx*>(context), length, out, in);
}
void BlowfishDecrypt(const void* context, std::size_t length, std::uint8_t* out, const std::uint8_t* in)
{
    blowfish_decrypt(static_cast<const blowfish_ctx*>(context), length, out, in);
}
const nettle_cipher kBlowfish256 = {
    "blowfish256",  sizeof(blowfish_ctx), BLOWFISH_BLOCK_SIZE, 32, SetBlowfishKey, SetBlowfishKey,
    BlowfishEncrypt, BlowfishDecrypt,
};

// Nettle 3.8 has no GOST 28147-89 block cipher, no CAST-256, IDEA or MISTY1.
const std::pair<std::string_view, const nettle_cipher*> kNames[] = {
    {"Blowfish", &kBlowfish256},
    {"Cast128", &nettle_cast128},
    {"Rijndael", &nettle_aes256},
    {"Twofish", &nettle_twofish256},
};

// cbc_encrypt and cbc_decrypt over the cipher's descriptor; Nettle keeps the running IV in the
// caller's buffer, and AES needs a decryption schedule of its own.
class NettleCbc final : public CbcCipher {
public:
    explicit NettleCbc(const nettle_cipher& cipher) : cipher_(cipher), context_(cipher.context_size) {}

    void SetKey(std::span<const std::uint8_t> key) override
    {
        key_.assign(key.begin(), key.end());
        cipher_.set_encrypt_key(context_.data(), key_.data());
        Restart();
    }
    void StartDecryption() override
    {
        cipher_.set_decrypt_key(context_.data(), key_.data());
        Restart();
    }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        cbc_encrypt(context_.data(), cipher_.encrypt, cipher_.block_size, iv_, bytes, chunk, chunk);
    }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        cbc_decrypt(context_.data(), cipher_.decrypt, cipher_.block_size, iv_, bytes, chunk, chunk);
    }

private:
    void Restart() { std::memcpy(iv_, kPeerIv, sizeof iv_); }

    const nettle_cipher& cipher_;
    std::vector<std::uint8_t> context_;
    std::vector<std::uint8_t> key_;
    std::uint8_t iv_[sizeof kPeerIv];
};

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    const nettle_cipher* descriptor = PeerName(kNames, cipher);
    if (!descriptor) return nullptr;
    return std::make_unique<NettleCbc>(*descriptor);
}
}  // namespace

CbcLibrary NettleLibrary()
{
    return {"Nettle", Make};
}
