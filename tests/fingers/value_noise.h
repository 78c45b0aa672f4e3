// Smooth random fields for skin texture, dryness, dirt and shading: value
// noise on a square lattice, interpolated with smooth steps.
#pragma once

#include <cstdint>

namespace fingers {

// A smooth random field of values in [-1, 1] with features about `cell`
// pixels across; the same seed gives the same field.
class ValueNoise {
 public:
  // cell > 0: lattice spacing in pixels.
  ValueNoise(uint64_t seed, double cell);
  // Field value at (x, y).
  double At(double x, double y) const;

 private:
  double Lattice(int64_t i, int64_t j) const;
  uint64_t seed_;
  double inv_cell_;
};

}  // namespace fingers
