#pragma once

// The two component interfaces of the cipher library and the modes of operation
// that every block cipher shares.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "cipher/bitops.h"
#include "cipher/error.h"

// A block cipher with an IV and a chaining block (CV), used through ECB, CBC and 8-bit CFB.
// Not initialised after construction and after Burn; initialised after a successful Init.
class TZC_blockcipher {
public:
    TZC_blockcipher(const TZC_blockcipher&) = delete;
    TZC_blockcipher& operator=(const TZC_blockcipher&) = delete;
    virtual ~TZC_blockcipher() = default;

    const std::string& Algorithm() const noexcept { return algorithm_; }
    int BlockSize() const noexcept { return blockSize_; }    // bits
    int MaxKeySize() const noexcept { return maxKeySize_; }  // bits
    bool Initialized() const noexcept { return initialized_; }

    // key: at least size/8 bytes; size in bits; iv: one block, or nullptr for IV = E(FF..FF).
    virtual void Init(const void* key, int size, const void* iv) = 0;
    // Wipes key schedule, IV and CV with 0xFF bytes; never raises.
    virtual void Burn() noexcept = 0;
    // CV = IV, in any state.
    virtual void Reset() noexcept = 0;

    virtual void EncryptECB(const void* in, void* out) = 0;
    virtual void DecryptECB(const void* in, void* out) = 0;
    // Any length; a final partial block is XORed with E(CV) and leaves CV as it was.
    virtual void EncryptCBC(const void* in, void* out, int length) = 0;
    virtual void DecryptCBC(const void* in, void* out, int length) = 0;
    virtual void EncryptCFB8bit(const void* in, void* out, int length) = 0;
    virtual void DecryptCFB8bit(const void* in, void* out, int length) = 0;

    // CBC decryption of whole blocks from an explicit chain (the ciphertext block before in,
    // or the IV), which it advances to the last ciphertext block; the component's own CV does
    // not move. Several threads may call it at once on one initialised component, each with
    // its own chain, so a long run can be split at any block. in and out may be equal.
    virtual void DecryptCBCBlocks(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                  std::uint8_t* chain) const = 0;

    // Views of the running state, for tests of the mode rules and of wiping.
    virtual const std::uint8_t* IV() const noexcept = 0;
    virtual const std::uint8_t* ChainingBlock() const noexcept = 0;

protected:
    TZC_blockcipher(int algorithmId, std::string algorithm, int blockSize, int maxKeySize)
        : algorithmId_(algorithmId), algorithm_(std::move(algorithm)), blockSize_(blockSize),
          maxKeySize_(maxKeySize)
    {
    }

    void CheckInitialized() const;
    void CheckKeySize(int size) const;

    int algorithmId_;  // kept for parity with the other components; nothing reads it
    bool initialized_ = false;

private:
    std::string algorithm_;
    int blockSize_;
    int maxKeySize_;
};

// The modes, written once. A concrete cipher derives from
// BlockCipherModes<Cipher, Schedule, kBlockBytes> and provides:
//   void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;   fills schedule()
//   void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
//   void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
// and may provide, for speed:
//   static constexpr std::size_t kParallelBlocks;   with
//   void DecryptBlocks(const std::uint8_t* in, std::uint8_t* out) const noexcept;
//        kParallelBlocks blocks at once, in and out distinct;
//   void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
//                         std::uint8_t* cv) const noexcept;
//        a whole CBC run over full blocks, updating cv;
//   void DecryptBlocksCBC(same parameters) const noexcept;
//        the same for decryption, in place or not; takes precedence over DecryptBlocks;
//   void OnBurn() noexcept;   further state to reset when burning.
// Schedule is a trivially copyable struct holding all key material; Burn fills it with 0xFF.
template <class Cipher, class Schedule, std::size_t kBlockBytes>
class BlockCipherModes : public TZC_blockcipher {
public:
    static constexpr std::size_t kBlock = kBlockBytes;

    ~BlockCipherModes() override
    {
        if (initialized_) WipeState();
    }

    void Init(const void* key, int size, const void* iv) final
    {
        if (initialized_) Burn();
        CheckKeySize(size);
        self().ExpandKey(static_cast<const std::uint8_t*>(key), static_cast<std::size_t>(size / 8));
        if (iv) {
            std::memcpy(iv_, iv, kBlock);
        } else {
            std::memset(iv_, 0xFF, kBlock);
            self().EncryptBlock(iv_, iv_);
        }
        std::memcpy(cv_, iv_, kBlock);
        initialized_ = true;
    }

    void Burn() noexcept final
    {
        WipeState();
        if constexpr (requires(Cipher& c) { c.OnBurn(); }) self().OnBurn();
    }

    void Reset() noexcept final { std::memcpy(cv_, iv_, kBlock); }

    void EncryptECB(const void* in, void* out) final
    {
        CheckInitialized();
        self().EncryptBlock(static_cast<const std::uint8_t*>(in), static_cast<std::uint8_t*>(out));
    }

    void DecryptECB(const void* in, void* out) final
    {
        CheckInitialized();
        self().DecryptBlock(static_cast<const std::uint8_t*>(in), static_cast<std::uint8_t*>(out));
    }

    void EncryptCBC(const void* in, void* out, int length) final
    {
        CheckInitialized();
        if (length <= 0) return;
        auto* src = static_cast<const std::uint8_t*>(in);
        auto* dst = static_cast<std::uint8_t*>(out);
        const std::size_t blocks = static_cast<std::size_t>(length) / kBlock;
        if constexpr (requires(const Cipher& c, std::uint8_t* p) { c.EncryptBlocksCBC(p, p, 1, p); }) {
            self().EncryptBlocksCBC(src, dst, blocks, cv_);
        } else {
            std::uint8_t t[kBlock];
            std::memcpy(t, cv_, kBlock);
            for (std::size_t i = 0; i < blocks; ++i) {
                XorInto<kBlock>(t, src + i * kBlock);
                self().EncryptBlock(t, t);
                std::memcpy(dst + i * kBlock, t, kBlock);
            }
            std::memcpy(cv_, t, kBlock);
            SecureFill(t, kBlock, 0xFF);
        }
        FinishPartialBlock(src, dst, length);
    }

    void DecryptCBC(const void* in, void* out, int length) final
    {
        CheckInitialized();
        if (length <= 0) return;
        auto* src = static_cast<const std::uint8_t*>(in);
        auto* dst = static_cast<std::uint8_t*>(out);
        DecryptCBCBlocks(src, dst, static_cast<std::size_t>(length) / kBlock, cv_);
        FinishPartialBlock(src, dst, length);
    }

    void DecryptCBCBlocks(const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks,
                          std::uint8_t* chain) const final
    {
        CheckInitialized();
        if constexpr (requires(const Cipher& c, std::uint8_t* p) { c.DecryptBlocksCBC(p, p, 1, p); }) {
            self().DecryptBlocksCBC(src, dst, blocks, chain);
            return;
        } else if constexpr (requires { Cipher::kParallelBlocks; }) {
            // Blocks decrypt independently: several at once keep the pipeline full.
            constexpr std::size_t kBatch = Cipher::kParallelBlocks;
            std::uint8_t c[kBatch * kBlock];  // the ciphertext, kept for in-place decryption
            for (; blocks >= kBatch; blocks -= kBatch, src += sizeof c, dst += sizeof c) {
                std::memcpy(c, src, sizeof c);
                self().DecryptBlocks(c, dst);
                XorInto<kBlock>(dst, chain);
                for (std::size_t i = 1; i < kBatch; ++i) XorInto<kBlock>(dst + i * kBlock, c + (i - 1) * kBlock);
                std::memcpy(chain, c + (kBatch - 1) * kBlock, kBlock);
            }
            SecureFill(c, sizeof c, 0xFF);
        }
        std::uint8_t c[kBlock];
        for (; blocks > 0; --blocks, src += kBlock, dst += kBlock) {
            std::memcpy(c, src, kBlock);
            self().DecryptBlock(c, dst);
            XorInto<kBlock>(dst, chain);
            std::memcpy(chain, c, kBlock);
        }
        SecureFill(c, kBlock, 0xFF);
    }

    void EncryptCFB8bit(const void* in, void* out, int length) final { CFB8(in, out, length, true); }
    void DecryptCFB8bit(const void* in, void* out, int length) final { CFB8(in, out, length, false); }

    const std::uint8_t* IV() const noexcept final { return iv_; }
    const std::uint8_t* ChainingBlock() const noexcept final { return cv_; }
    const Schedule& KeySchedule() const noexcept { return ks_; }

protected:
    BlockCipherModes(int algorithmId, std::string algorithm, int maxKeySize)
        : TZC_blockcipher(algorithmId, std::move(algorithm), static_cast<int>(kBlock * 8), maxKeySize)
    {
        WipeState();
    }

    Schedule& schedule() noexcept { return ks_; }
    const Schedule& schedule() const noexcept { return ks_; }

private:
    Cipher& self() noexcept { return static_cast<Cipher&>(*this); }
    const Cipher& self() const noexcept { return static_cast<const Cipher&>(*this); }

    void WipeState() noexcept
    {
        SecureFillObject(ks_, 0xFF);
        SecureFill(iv_, kBlock, 0xFF);
        SecureFill(cv_, kBlock, 0xFF);
        initialized_ = false;
    }

    // The last length mod b bytes are XORed with E(CV); CV does not move.
    void FinishPartialBlock(const std::uint8_t* src, std::uint8_t* dst, int length) noexcept
    {
        const std::size_t partial = static_cast<std::size_t>(length) % kBlock;
        if (partial == 0) return;
        const std::size_t offset = static_cast<std::size_t>(length) - partial;
        std::uint8_t t[kBlock];
        self().EncryptBlock(cv_, t);
        XorBlock(src + offset, t, dst + offset, static_cast<int>(partial));
        SecureFill(t, kBlock, 0xFF);
    }

    void CFB8(const void* in, void* out, int length, bool encrypt)
    {
        CheckInitialized();
        auto* src = static_cast<const std::uint8_t*>(in);
        auto* dst = static_cast<std::uint8_t*>(out);
        std::uint8_t t[kBlock];
        for (int i = 0; i < length; ++i) {
            const std::uint8_t c = src[i];
            self().EncryptBlock(cv_, t);
            dst[i] = static_cast<std::uint8_t>(c ^ t[0]);
            std::memmove(cv_, cv_ + 1, kBlock - 1);
            cv_[kBlock - 1] = encrypt ? dst[i] : c;
        }
    }

    std::uint8_t iv_[kBlock];
    std::uint8_t cv_[kBlock];
    Schedule ks_;
};

// A hash function fed in pieces; Final returns the digest and burns the state.
class TZC_hash {
public:
    TZC_hash(const TZC_hash&) = delete;
    TZC_hash& operator=(const TZC_hash&) = delete;
    virtual ~TZC_hash() = default;

    const std::string& Algorithm() const noexcept { return algorithm_; }
    int HashSize() const noexcept { return hashSize_; }  // bits
    bool Initialized() const noexcept { return initialized_; }

    virtual void Init() = 0;
    virtual void Burn() noexcept = 0;
    virtual void Update(const void* buffer, int length) = 0;
    virtual void Final(void* digest) = 0;
    // Feeds the bytes of the text, without terminator.
    void UpdateStr(const std::string& text);

protected:
    TZC_hash(int algorithmId, std::string algorithm, int hashSize)
        : algorithmId_(algorithmId), algorithm_(std::move(algorithm)), hashSize_(hashSize)
    {
    }

    void CheckInitialized() const;

    int algorithmId_;  // kept for parity with the ciphers; nothing reads it
    bool initialized_ = false;

private:
    std::string algorithm_;
    int hashSize_;
};
