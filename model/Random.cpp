#include "model/Random.h"

#include <chrono>
#include <random>

namespace {

std::mt19937& Generator() {
    static std::mt19937 generator(5489u);
    return generator;
}

}  // namespace

void RandomizeFromClock() {
    auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    RandomSeed(static_cast<uint32_t>(ticks ^ (ticks >> 32)));
}

void RandomSeed(uint32_t seed) { Generator().seed(seed); }

int32_t RandomInt(int32_t range) {
    if (range < 1) return 0;
    std::uniform_int_distribution<int32_t> distribution(0, range - 1);
    return distribution(Generator());
}
