#pragma once

#include <cstddef>
#include <cstdint>

// How many cores this process may run on (its CPU affinity), at least one: the one place
// that decides how many threads share a run's work.
std::size_t UsableCores();

// The threads that share a run's work: requested when not 0, else one per usable core.
std::size_t WorkThreads(std::size_t requested);

// The machine's physical memory, in bytes.
std::uint64_t PhysicalMemoryBytes();
