#pragma once

#include <chrono>
#include <ostream>

// Measures CBC encryption and decryption of every cipher in memory for about `each` per
// direction (wall clock) and prints MB/s per cipher.
void RunBench(std::ostream& out, std::chrono::milliseconds each = std::chrono::milliseconds(150));
