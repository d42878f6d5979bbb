#include <gcrypt.h>

#include <stdexcept>
#include <string>

#include "cbccipher.h"

namespace {
constexpr std::pair<std::string_view, int> kNames[] = {
    {"Blowfish", GCRY_CIPHER_BLOWFISH}, {"Cast128", GCRY_CIPHER_CAST5},   {"Gost", GCRY_CIPHER_GOST28147},
    {"IDEA", GCRY_CIPHER_IDEA},         {"Rijndael", GCRY_CIPHER_AES256}, {"Twofish", GCRY_CIPHER_TWOFISH},
};

void Check(gcry_error_t error, const char* call)
{
    if (error) throw std::runtime_error(std::string("libgcrypt: ") + call + ": " + gcry_strerror(error));
}

// libgcrypt's CBC mode: one handle serves both directions; setting the IV restarts the chain.
class GcryptCbc final : public CbcCipher {
public:
    GcryptCbc(gcry_cipher_hd_t handle, int algorithm)
        : handle_(handle), blockBytes_(gcry_cipher_get_algo_blklen(algorithm))
    {
    }
    ~GcryptCbc() override { gcry_cipher_close(handle_); }

    void SetKey(std::span<const std::uint8_t> key) override
    {
        Check(gcry_cipher_setkey(handle_, key.data(), key.size()), "setkey");
        Restart();
    }
    void StartDecryption() override { Restart(); }
    void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        Check(gcry_cipher_encrypt(handle_, chunk, bytes, nullptr, 0), "encrypt");
    }
    void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) override
    {
        Check(gcry_cipher_decrypt(handle_, chunk, bytes, nullptr, 0), "decrypt");
    }

private:
    void Restart() { Check(gcry_cipher_setiv(handle_, kPeerIv, blockBytes_), "setiv"); }

    gcry_cipher_hd_t handle_;
    std::size_t blockBytes_;
};

void Initialise()
{
    static const bool done = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)done;
}

std::unique_ptr<CbcCipher> Make(std::string_view cipher)
{
    const int algorithm = PeerName(kNames, cipher);
    if (algorithm == 0) return nullptr;
    Initialise();
    gcry_cipher_hd_t handle = nullptr;
    if (gcry_cipher_open(&handle, algorithm, GCRY_CIPHER_MODE_CBC, 0) != 0) return nullptr;
    return std::make_unique<GcryptCbc>(handle, algorithm);
}
}  // namespace

CbcLibrary GcryptLibrary()
{
    return {"libgcrypt", Make};
}
