#include "cbccipher.h"

#include "cipher/registry.h"

namespace {
class OurCbc final : public CbcCipher {
public:
    explicit OurCbc(std::unique_ptr<TZC_blockcipher> cipher) : cipher_(std::move(cipher)) {}

    void SetKey(std::span<const std::uint8_t> key) override
    {
        cipher_->Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
    }
    void StartDecryption() override { cipher_->Reset(); }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        cipher_->EncryptCBC(chunk, chunk, static_cast<int>(bytes));
    }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        cipher_->DecryptCBC(chunk, chunk, static_cast<int>(bytes));
    }

private:
    std::unique_ptr<TZC_blockcipher> cipher_;
};

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    auto ours = CreateCipher(cipher);
    if (!ours) return nullptr;
    return std::make_unique<OurCbc>(std::move(ours));
}
}  // namespace

CbcLibrary OurLibrary()
{
    return {"Zorvanta", Make};
}
