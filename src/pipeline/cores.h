#pragma once

#include <cstddef>

// How many cores this process may run on (its CPU affinity), at least one: the one place
// that decides how many threads share a run's work.
std::size_t UsableCores();
