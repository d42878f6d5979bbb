#pragma once

// CBC decryption of a file body that arrives in chunks, each chunk split across several
// threads. Every block needs only the ciphertext block before it, so a segment starts from a
// copy of that block; the bytes are exactly those of one serial DecryptCBC pass.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "cipher/cipherbase.h"
#include "pipeline/workerpool.h"
#include "platform/secretbytes.h"

class CbcDecryption {
public:
    // Starts from the cipher's chaining block. threads: how many share a chunk (1: only the
    // calling thread); a segment is never shorter than minSegmentBytes (rounded to blocks).
    CbcDecryption(TZC_blockcipher& cipher, std::size_t threads, std::size_t minSegmentBytes);

    // Decrypts the next count bytes in place. A count that is not a multiple of the block
    // size ends the body: its last bytes are XORed with E(chain), as DecryptCBC does.
    void operator()(std::uint8_t* data, std::size_t count);

private:
    void DecryptBlocks(std::uint8_t* data, std::size_t blocks);

    TZC_blockcipher& cipher_;
    std::size_t blockBytes_;
    std::size_t minSegmentBlocks_;
    std::unique_ptr<WorkerPool> pool_;  // only when more than one thread shares a chunk
    SecretBytes chain_;                 // the ciphertext block before the next chunk
    SecretBytes segmentChains_;         // one chain per segment of the current chunk
};
