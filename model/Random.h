#pragma once
// The program's one pseudo-random generator: temporary names, question draws and answer
// shuffles all take from it.

#include <cstdint>

void RandomizeFromClock();
void RandomSeed(uint32_t seed);
// Uniform in [0, range); 0 when range < 1.
int32_t RandomInt(int32_t range);
