#include "cipher/sha1.h"

#include <cstring>

namespace {
constexpr std::uint32_t kInitialHash[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
}

TZC_sha1::TZC_sha1() : TZC_hash(2, "SHA1", 160)
{
    Burn();
}

TZC_sha1::~TZC_sha1()
{
    if (initialized_) Burn();
}

void TZC_sha1::Init()
{
    Burn();
    std::memcpy(state_.h, kInitialHash, sizeof kInitialHash);
    initialized_ = true;
}

void TZC_sha1::Burn() noexcept
{
    SecureFillObject(state_, 0x00);
    initialized_ = false;
}

void TZC_sha1::Update(const void* buffer, int length)
{
    CheckInitialized();
    if (length <= 0) return;
    const auto count = static_cast<std::uint32_t>(length);
    const std::uint32_t bitsLow = count << 3;
    state_.lengthLow += bitsLow;
    if (state_.lengthLow < bitsLow) ++state_.lengthHigh;
    state_.lengthHigh += count >> 29;

    auto* p = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t left = count;
    while (left > 0) {
        const std::uint32_t room = 64 - state_.fill;
        const std::uint32_t take = left < room ? left : room;
        std::memcpy(state_.buffer + state_.fill, p, take);
        state_.fill += take;
        p += take;
        left -= take;
        if (state_.fill == 64) Compress();
    }
}

void TZC_sha1::Final(void* digest)
{
    CheckInitialized();
    state_.buffer[state_.fill] = 0x80;
    std::memset(state_.buffer + state_.fill + 1, 0, 63 - state_.fill);
    if (state_.fill >= 56) Compress();
    StoreBE32(state_.buffer + 56, state_.lengthHigh);
    StoreBE32(state_.buffer + 60, state_.lengthLow);
    Compress();
    auto* out = static_cast<std::uint8_t*>(digest);
    for (int i = 0; i < 5; ++i) StoreBE32(out + 4 * i, state_.h[i]);
    Burn();
}

void TZC_sha1::Compress() noexcept
{
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i) w[i] = LoadBE32(state_.buffer + 4 * i);
    for (int i = 16; i < 80; ++i) w[i] = RotateLeft32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    std::uint32_t a = state_.h[0], b = state_.h[1], c = state_.h[2], d = state_.h[3], e = state_.h[4];
    auto step = [&](std::uint32_t f, std::uint32_t k, std::uint32_t wi) {
        const std::uint32_t t = RotateLeft32(a, 5) + f + e + k + wi;
        e = d;
        d = c;
        c = RotateLeft32(b, 30);
        b = a;
        a = t;
    };
    for (int i = 0; i < 20; ++i) step((b & c) | (~b & d), 0x5A827999, w[i]);
    for (int i = 20; i < 40; ++i) step(b ^ c ^ d, 0x6ED9EBA1, w[i]);
    for (int i = 40; i < 60; ++i) step((b & c) | (b & d) | (c & d), 0x8F1BBCDC, w[i]);
    for (int i = 60; i < 80; ++i) step(b ^ c ^ d, 0xCA62C1D6, w[i]);
    state_.h[0] += a;
    state_.h[1] += b;
    state_.h[2] += c;
    state_.h[3] += d;
    state_.h[4] += e;

    state_.fill = 0;
    SecureFill(w, sizeof w, 0x00);
    SecureFill(state_.buffer, sizeof state_.buffer, 0x00);
}
