#pragma once

#include <cstdint>

namespace storegen {

// A small deterministic pseudo-random generator (SplitMix64): the same seed gives the same
// sequence on every platform and compiler, which the standard distributions do not promise.
class RandomSource
{
public:
    explicit RandomSource(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [low, high].
    std::uint64_t range(std::uint64_t low, std::uint64_t high) { return low + next() % (high - low + 1); }
    // True with the given probability in percent.
    bool percent(double p) { return static_cast<double>(next() % 1000000) < p * 10000.0; }
    template <typename T, std::size_t N> const T& pick(const T (&items)[N]) { return items[next() % N]; }

private:
    std::uint64_t m_state;
};

} // namespace storegen
