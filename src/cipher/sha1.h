#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

// SHA-1 of FIPS 180-1.
class TZC_sha1 final : public TZC_hash {
public:
    static constexpr int kDigestBytes = 20;

    TZC_sha1();
    ~TZC_sha1() override;

    void Init() override;
    void Burn() noexcept override;
    void Update(const void* buffer, int length) override;
    void Final(void* digest) override;

    // The running state, for tests of wiping.
    struct State {
        std::uint32_t lengthHigh, lengthLow;  // message length in bits
        std::uint32_t fill;                   // bytes waiting in buffer
        std::uint32_t h[5];
        std::uint8_t buffer[64];
    };
    const State& CurrentState() const noexcept { return state_; }

private:
    void Compress() noexcept;

    State state_;
};
