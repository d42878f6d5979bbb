#pragma once

// One cipher of one library in CBC mode, driven as the file procedure drives ours:
// in place, chunk by chunk, the chaining block carrying over between chunks.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

class CbcCipher {
public:
    virtual ~CbcCipher() = default;

    // The key setup the benchmark times: key schedule and IV, ready to encrypt from the IV.
    virtual void SetKey(std::span<const std::uint8_t> key) = 0;
    // Back to the IV under the same key, ready to decrypt.
    virtual void StartDecryption() = 0;
    // bytes is a multiple of the block size.
    virtual void EncryptChunk(std::uint8_t* chunk, std::size_t bytes) = 0;
    virtual void DecryptChunk(std::uint8_t* chunk, std::size_t bytes) = 0;
};

// A library under test. Ciphers go by our names ("Blowfish", "Cast128", "Rijndael", ...);
// make returns nullptr for one the library lacks. Library failures raise std::runtime_error.
struct CbcLibrary {
    std::string_view name;
    std::unique_ptr<CbcCipher> (*make)(std::string_view cipher);
};

// The peers' IV; ours derives its own from the key, as the file procedure has it.
inline constexpr std::uint8_t kPeerIv[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                             0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};

CbcLibrary OurLibrary();
// The peers compiled into this build, and a note naming those left out ("" when none).
std::vector<CbcLibrary> PeerLibraries();
std::string_view MissingPeers();

// One per peer source; only those of the peers found are built.
CbcLibrary BotanLibrary();
CbcLibrary CryptoppLibrary();
CbcLibrary OpensslLibrary();
CbcLibrary GcryptLibrary();
CbcLibrary NettleLibrary();

// Looks our cipher name up in a library's table of its own names; empty when it lacks it.
template <class Name, std::size_t N>
Name PeerName(const std::pair<std::string_view, Name> (&names)[N], std::string_view cipher)
{
    for (const auto& [ours, theirs] : names)
        if (ours == cipher) return theirs;
    return Name{};
}
