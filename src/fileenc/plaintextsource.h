#pragma once

// The plaintext of a legacy file, handed out as it is decrypted from the file's body, for a
// run that passes it on in memory (into another format) and writes it nowhere.

#include <cstddef>
#include <cstdint>

#include "cipher/cipherbase.h"
#include "fileenc/cbcdecryption.h"
#include "pipeline/bytestream.h"
#include "platform/secretbytes.h"

class LegacyPlaintext final : public ByteSource {
public:
    // body: the ciphertext after the check block; cipher: initialised for the file's passphrase
    // (see ComputeCheckBlock), with its chaining block at the IV. threads: how many share the
    // decryption of a long read.
    LegacyPlaintext(ByteSource& body, TZC_blockcipher& cipher, std::size_t threads);
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return body_.Position(); }

private:
    std::size_t TakePending(std::uint8_t* buffer, std::size_t count);
    std::size_t DecryptInto(std::uint8_t* buffer, std::size_t count);

    ByteSource& body_;
    std::size_t blockBytes_;
    CbcDecryption decryption_;
    SecretBytes pending_;  // a block decrypted for a read shorter than a block, not handed out yet
    std::size_t pendingAt_ = 0;
    bool ended_ = false;
};
