#pragma once

// The two component interfaces of the cipher library and the modes of operation
// that every block cipher shares.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "cipher/bitops.h"
#include "common/error.h"

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

// Bytes of ciphertext that CBC decryption takes per batch: the batch is copied to the stack,
// which keeps it for in-place runs and lines each block up behind its mask, and decrypted in
// one call of the cipher's DecryptBlocksXor. Small enough to stay in the first-level cache
// beside the cipher's tables.
inline constexpr std::size_t kCbcBatchBytes = 1024;

// The modes, written once. A concrete cipher derives from
// BlockCipherModes<Cipher, Schedule, kBlockBytes> and provides these hooks, each of exactly
// this type (checked at compile time, so a misspelt or mistyped hook does not build):
//   void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;   fills schedule()
//   void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
//   void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
//   void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
//                         const std::uint8_t* mask) const noexcept;
//        out[i] = D(in[i]) ^ mask[i] over `blocks` consecutive blocks, out distinct from in
//        and mask, as fast as the cipher can (InLanes runs a several-block transform over
//        them; a cipher may fold the XOR into its last round);
//   void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
//                         std::uint8_t* cv) const noexcept;
//        a CBC encryption run over whole blocks, in place or not, updating cv
//        (EncryptBlocksCBCOneByOne is the plain chain through EncryptBlock);
// and may provide:
//   void OnBurn() noexcept;   further state to reset when burning.
// Schedule is a trivially copyable struct holding all key material; Burn fills it with 0xFF.
template <class Cipher, class Schedule, std::size_t kBlockBytes>
class BlockCipherModes : public TZC_blockcipher {
public:
    static constexpr std::size_t kBlock = kBlockBytes;
    static constexpr std::size_t kCbcBatchBlocks = kCbcBatchBytes / kBlock;
    static_assert(kCbcBatchBytes % kBlock == 0);

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
        self().EncryptBlocksCBC(src, dst, static_cast<std::size_t>(length) / kBlock, cv_);
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

    // Batch by batch: the batch's ciphertext is copied behind the block before it, so that each
    // block's mask, the ciphertext block before it, sits one block before it; the cipher
    // decrypts the whole batch at once, and the batch's last block becomes the chain.
    void DecryptCBCBlocks(const std::uint8_t* src, std::uint8_t* dst, std::size_t blocks,
                          std::uint8_t* chain) const final
    {
        CheckInitialized();
        std::uint8_t c[kBlock + kCbcBatchBytes];  // ciphertext only: nothing to wipe
        std::memcpy(c, chain, kBlock);
        while (blocks > 0) {
            const std::size_t n = std::min(blocks, kCbcBatchBlocks);
            std::memcpy(c + kBlock, src, n * kBlock);
            self().DecryptBlocksXor(c + kBlock, dst, n, c);
            std::memcpy(c, c + n * kBlock, kBlock);
            blocks -= n;
            src += n * kBlock;
            dst += n * kBlock;
        }
        std::memcpy(chain, c, kBlock);
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
        CheckHookTypes();
        WipeState();
    }

    Schedule& schedule() noexcept { return ks_; }
    const Schedule& schedule() const noexcept { return ks_; }

    // For DecryptBlocksXor: crypt(in, out, lanes) decrypts `lanes` blocks, a std::integral_constant
    // so that each width compiles to straight-line code; kLanes blocks a call while they last,
    // then one a call, each followed by the XOR with its masks.
    template <std::size_t kLanes, class Crypt>
    static void InLanes(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks, const std::uint8_t* mask,
                        Crypt crypt) noexcept
    {
        const auto run = [&](auto lanes) {
            crypt(in, out, lanes);
            for (std::size_t j = 0; j < lanes; ++j) XorInto<kBlock>(out + j * kBlock, mask + j * kBlock);
            in += lanes * kBlock;
            out += lanes * kBlock;
            mask += lanes * kBlock;
        };
        for (; blocks >= kLanes; blocks -= kLanes) run(std::integral_constant<std::size_t, kLanes>{});
        for (; blocks > 0; --blocks) run(std::integral_constant<std::size_t, 1>{});
    }

    // For EncryptBlocksCBC, where the cipher has nothing faster than its block transform.
    void EncryptBlocksCBCOneByOne(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                  std::uint8_t* cv) const noexcept
    {
        std::uint8_t t[kBlock];
        std::memcpy(t, cv, kBlock);
        for (std::size_t i = 0; i < blocks; ++i) {
            XorInto<kBlock>(t, in + i * kBlock);
            self().EncryptBlock(t, t);
            std::memcpy(out + i * kBlock, t, kBlock);
        }
        std::memcpy(cv, t, kBlock);
        SecureFill(t, kBlock, 0xFF);
    }

private:
    using BlockHook = void (Cipher::*)(const std::uint8_t*, std::uint8_t*) const noexcept;
    using MaskedRunHook =
        void (Cipher::*)(const std::uint8_t*, std::uint8_t*, std::size_t, const std::uint8_t*) const noexcept;
    using ChainedRunHook = void (Cipher::*)(const std::uint8_t*, std::uint8_t*, std::size_t, std::uint8_t*) const noexcept;

    // Every hook is called unconditionally; these make a hook of another type fail as well,
    // rather than be reached through a conversion.
    static void CheckHookTypes() noexcept
    {
        static_assert(std::is_same_v<decltype(&Cipher::ExpandKey),
                                     void (Cipher::*)(const std::uint8_t*, std::size_t) noexcept>,
                      "ExpandKey(const std::uint8_t*, std::size_t) noexcept");
        static_assert(std::is_same_v<decltype(&Cipher::EncryptBlock), BlockHook>,
                      "EncryptBlock(const std::uint8_t*, std::uint8_t*) const noexcept");
        static_assert(std::is_same_v<decltype(&Cipher::DecryptBlock), BlockHook>,
                      "DecryptBlock(const std::uint8_t*, std::uint8_t*) const noexcept");
        static_assert(std::is_same_v<decltype(&Cipher::DecryptBlocksXor), MaskedRunHook>,
                      "DecryptBlocksXor(const std::uint8_t*, std::uint8_t*, std::size_t, const std::uint8_t*) const noexcept");
        static_assert(std::is_same_v<decltype(&Cipher::EncryptBlocksCBC), ChainedRunHook>,
                      "EncryptBlocksCBC(const std::uint8_t*, std::uint8_t*, std::size_t, std::uint8_t*) const noexcept");
    }

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
