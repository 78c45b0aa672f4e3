// The generator's own pseudo-random numbers: xoshiro256** seeded through
// splitmix64. The platform's generators and std:: distributions give
// different sequences between library versions; this one gives the same
// numbers everywhere.
#pragma once

#include <cstdint>

namespace fingers {

// One step of splitmix64: advances *state and returns the next output.
inline uint64_t SplitMix64(uint64_t *state) {
  uint64_t z = (*state += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// Mixes a seed with a stream tag, so that independent parts of the generator
// draw from unrelated sequences of one seed.
inline uint64_t MixSeed(uint64_t seed, uint64_t tag) {
  uint64_t s = seed ^ (tag * 0xd1b54a32d192ed03ULL);
  SplitMix64(&s);
  return SplitMix64(&s);
}

// xoshiro256** stream.
class Rng {
 public:
  // A stream fully determined by seed.
  explicit Rng(uint64_t seed) {
    uint64_t s = seed;
    for (uint64_t &w : s_) w = SplitMix64(&s);
  }

  // Next 64 random bits.
  uint64_t Next() {
    const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, 1), 53 bits.
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  // Uniform in [lo, hi).
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Uniform integer in [0, n); n > 0.
  uint32_t Below(uint32_t n) {
    return static_cast<uint32_t>(((Next() >> 32) * static_cast<uint64_t>(n)) >> 32);
  }
  // Approximately standard normal (Irwin-Hall of four uniforms, unit
  // variance, bounded by +-3.46): no transcendental functions involved.
  double Normal() {
    const double s = Uniform() + Uniform() + Uniform() + Uniform();
    return (s - 2.0) * 1.7320508075688772;
  }
  // True with probability p.
  bool Chance(double p) { return Uniform() < p; }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
};

}  // namespace fingers
