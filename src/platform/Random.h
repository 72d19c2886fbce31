// The runtime library's random generator as the program expects it: 15-bit results
// (0 … 32767) from a linear congruential sequence, seeded with SeedRandom. The host C
// library's rand() has a different range and cannot stand in for it.
#pragma once

#include <cstdint>

namespace platform {

constexpr int kRandMax = 32767;

void SeedRandom(std::uint32_t seed);
int Random();  // 0 … kRandMax

}  // namespace platform
