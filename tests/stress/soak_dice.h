// The soak's source of chance: one seeded generator, so that a round replays from its seed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace soak {

class Dice {
public:
    explicit Dice(std::uint64_t seed) : engine(seed) {}

    int Between(int low, int high) {  // both ends included
        return std::uniform_int_distribution<int>(low, high)(engine);
    }
    bool Chance(double probability) {
        return std::bernoulli_distribution(probability)(engine);
    }
    std::size_t Index(std::size_t count) {
        return static_cast<std::size_t>(Between(0, static_cast<int>(count) - 1));
    }
    template <class T>
    void Shuffle(std::vector<T>& items) {
        std::shuffle(items.begin(), items.end(), engine);
    }
    std::uint64_t Next() { return engine(); }

private:
    std::mt19937_64 engine;
};

// The seed of round `index` of a run: distinct per round, and printed when the round fails.
inline std::uint64_t RoundSeed(std::uint64_t runSeed, std::uint64_t index) {
    std::uint64_t z = runSeed + (index + 1) * 0x9E3779B97F4A7C15ull;  // splitmix64
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace soak
