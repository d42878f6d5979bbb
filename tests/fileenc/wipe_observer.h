#pragma once

// Sees every SecureFill call of the program it is linked into, while the filled memory is
// still alive. The program is linked with --wrap for SecureFill's symbol, which routes every
// call from another object file here without changing a byte of the compiled code: what the
// observer sees is what the optimised product code does. Include in one file per program.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "support/testdata.h"

struct ObservedWipe {
    Bytes before;  // the memory as it was handed over
    bool filled;   // every byte held the fill value when SecureFill returned
};

// Recording is on while the pointer is set. Wipes come from the engine's threads too.
inline std::vector<ObservedWipe>* observedWipes = nullptr;
inline std::mutex observedWipesMutex;

extern "C" void __real__Z10SecureFillPvmh(void* p, std::size_t n, std::uint8_t value);

extern "C" void __wrap__Z10SecureFillPvmh(void* p, std::size_t n, std::uint8_t value)
{
    auto* bytes = static_cast<std::uint8_t*>(p);
    Bytes before;
    if (observedWipes) before.assign(bytes, bytes + n);
    __real__Z10SecureFillPvmh(p, n, value);
    if (!observedWipes) return;
    const bool filled = std::all_of(bytes, bytes + n, [&](std::uint8_t b) { return b == value; });
    const std::lock_guard lock(observedWipesMutex);
    observedWipes->push_back({std::move(before), filled});
}

// The wipes seen while `action` ran.
template <class Action>
std::vector<ObservedWipe> WipesDuring(Action action)
{
    std::vector<ObservedWipe> wipes;
    observedWipes = &wipes;
    try {
        action();
    } catch (...) {
        observedWipes = nullptr;
        throw;
    }
    observedWipes = nullptr;
    return wipes;
}

// True when some wipe filled memory that began with `content`, of exactly `size` bytes
// unless size is 0.
inline bool Wiped(const std::vector<ObservedWipe>& wipes, const Bytes& content, std::size_t size = 0)
{
    return std::any_of(wipes.begin(), wipes.end(), [&](const ObservedWipe& w) {
        return w.filled && (size == 0 || w.before.size() == size) && w.before.size() >= content.size() &&
               std::equal(content.begin(), content.end(), w.before.begin());
    });
}
