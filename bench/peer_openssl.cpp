#include <openssl/evp.h>
#include <openssl/provider.h>

#include <stdexcept>
#include <string>

#include "cbccipher.h"

namespace {
constexpr std::pair<std::string_view, const char*> kNames[] = {
    {"Blowfish", "BF-CBC"}, {"Cast128", "CAST5-CBC"}, {"IDEA", "IDEA-CBC"}, {"Rijndael", "AES-256-CBC"},
};

void Check(int ok, const char* call)
{
    if (ok != 1) throw std::runtime_error(std::string("OpenSSL: ") + call + " failed");
}

// EVP in CBC mode without padding; one context, rekeyed for each direction.
class OpensslCbc final : public CbcCipher {
public:
    explicit OpensslCbc(EVP_CIPHER* cipher) : cipher_(cipher, EVP_CIPHER_free), context_(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free)
    {
        if (!context_) throw std::runtime_error("OpenSSL: EVP_CIPHER_CTX_new failed");
    }

    void SetKey(std::span<const std::uint8_t> key) override
    {
        key_.assign(key.begin(), key.end());
        Start(1);
    }
    void StartDecryption() override { Start(0); }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override { Process(chunk, bytes); }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override { Process(chunk, bytes); }

private:
    // Blowfish takes keys of any length, so the length is set before the key.
    void Start(int encrypt)
    {
        Check(EVP_CipherInit_ex2(context_.get(), cipher_.get(), nullptr, nullptr, encrypt, nullptr), "EVP_CipherInit_ex2");
        Check(EVP_CIPHER_CTX_set_key_length(context_.get(), static_cast<int>(key_.size())), "set_key_length");
        Check(EVP_CIPHER_CTX_set_padding(context_.get(), 0), "set_padding");
        Check(EVP_CipherInit_ex2(context_.get(), nullptr, key_.data(), kPeerIv, encrypt, nullptr), "EVP_CipherInit_ex2");
    }

    void Process(std::uint8_t* chunk, std::size_t bytes)
    {
        int written = 0;
        Check(EVP_CipherUpdate(context_.get(), chunk, &written, chunk, static_cast<int>(bytes)), "EVP_CipherUpdate");
        if (static_cast<std::size_t>(written) != bytes) throw std::runtime_error("OpenSSL: short CBC output");
    }

    std::unique_ptr<EVP_CIPHER, void (*)(EVP_CIPHER*)> cipher_;
    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX*)> context_;
    std::vector<std::uint8_t> key_;
};

// Blowfish, CAST5 and IDEA live in the legacy provider.
void LoadProviders()
{
    static const bool loaded = [] {
        OSSL_PROVIDER_load(nullptr, "legacy");
        OSSL_PROVIDER_load(nullptr, "default");
        return true;
    }();
    (void)loaded;
}

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    const char* name = PeerName(kNames, cipher);
    if (!name) return nullptr;
    LoadProviders();
    EVP_CIPHER* fetched = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (!fetched) return nullptr;
    return std::make_unique<OpensslCbc>(fetched);
}
}  // namespace

CbcLibrary OpensslLibrary()
{
    return {"OpenSSL 3", Make};
}
