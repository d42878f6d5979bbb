#include "fileenc/cbcdecryption.h"

#include <algorithm>
#include <cstring>

CbcDecryption::CbcDecryption(TZC_blockcipher& cipher, std::size_t threads, std::size_t minSegmentBytes)
    : cipher_(cipher), blockBytes_(static_cast<std::size_t>(cipher.BlockSize() / 8)),
      minSegmentBlocks_(std::max<std::size_t>(1, minSegmentBytes / blockBytes_)),
      pool_(threads > 1 ? std::make_unique<WorkerPool>(threads - 1) : nullptr),
      chain_(cipher.ChainingBlock(), cipher.ChainingBlock() + blockBytes_),
      segmentChains_(std::max<std::size_t>(threads, 1) * blockBytes_)
{
}

void CbcDecryption::operator()(std::uint8_t* data, std::size_t count)
{
    const std::size_t blocks = count / blockBytes_;
    DecryptBlocks(data, blocks);
    const std::size_t partial = count % blockBytes_;
    if (partial == 0) return;
    SecretBytes pad(blockBytes_);
    cipher_.EncryptECB(chain_.data(), pad.data());
    std::uint8_t* tail = data + blocks * blockBytes_;
    for (std::size_t i = 0; i < partial; ++i) tail[i] ^= pad[i];
}

void CbcDecryption::DecryptBlocks(std::uint8_t* data, std::size_t blocks)
{
    const std::size_t segments =
        pool_ ? std::clamp<std::size_t>(blocks / minSegmentBlocks_, 1, pool_->Capacity()) : 1;
    if (segments == 1) {
        cipher_.DecryptCBCBlocks(data, data, blocks, chain_.data());
        return;
    }
    const auto firstBlock = [&](std::size_t segment) { return blocks * segment / segments; };
    // Each segment's chain is copied before any segment overwrites the ciphertext in place.
    std::memcpy(segmentChains_.data(), chain_.data(), blockBytes_);
    for (std::size_t s = 1; s < segments; ++s)
        std::memcpy(segmentChains_.data() + s * blockBytes_, data + (firstBlock(s) - 1) * blockBytes_, blockBytes_);
    const TZC_blockcipher& cipher = cipher_;
    pool_->Run(segments, [&](std::size_t s) {
        std::uint8_t* start = data + firstBlock(s) * blockBytes_;
        cipher.DecryptCBCBlocks(start, start, firstBlock(s + 1) - firstBlock(s), segmentChains_.data() + s * blockBytes_);
    });
    // The last segment's chain has advanced to the chunk's last ciphertext block.
    std::memcpy(chain_.data(), segmentChains_.data() + (segments - 1) * blockBytes_, blockBytes_);
}
