#include "fingers/value_noise.h"

#include <cmath>

#include "fingers/rng.h"

namespace fingers {

ValueNoise::ValueNoise(uint64_t seed, double cell) : seed_(seed), inv_cell_(1.0 / cell) {}

double ValueNoise::Lattice(int64_t i, int64_t j) const {
  uint64_t s = seed_ ^ (static_cast<uint64_t>(i) * 0x9e3779b97f4a7c15ULL) ^
               (static_cast<uint64_t>(j) * 0xc2b2ae3d27d4eb4fULL);
  const uint64_t h = SplitMix64(&s);
  return static_cast<double>(h >> 11) * 0x1.0p-52 - 1.0;
}

double ValueNoise::At(double x, double y) const {
  const double fx = x * inv_cell_, fy = y * inv_cell_;
  const double ix = std::floor(fx), iy = std::floor(fy);
  double tx = fx - ix, ty = fy - iy;
  tx = tx * tx * (3.0 - 2.0 * tx);
  ty = ty * ty * (3.0 - 2.0 * ty);
  const int64_t i = static_cast<int64_t>(ix), j = static_cast<int64_t>(iy);
  const double a = Lattice(i, j), b = Lattice(i + 1, j);
  const double c = Lattice(i, j + 1), d = Lattice(i + 1, j + 1);
  const double top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}

}  // namespace fingers
