// A drawn fingerprint for the image-foundation tests: elliptical finger,
// concentric ridges (period 8 pixels) around a core, on a bowl-shaped
// background like an uncorrected sensor.
#ifndef TESTS_SRC_SYNTHETIC_RIDGES_H_
#define TESTS_SRC_SYNTHETIC_RIDGES_H_

#include <cmath>
#include <cstdint>
#include <vector>

namespace testing_support {

struct SyntheticFinger {
  int rows, cols;
  std::vector<double> ridge;  // +1 on a ridge centre, -1 in a valley, 0 off the finger
  std::vector<double> bowl;   // background level, 0 in the middle, up to 1 in the corners
};

inline SyntheticFinger DrawFinger(int rows, int cols) {
  SyntheticFinger f{rows, cols, std::vector<double>(rows * cols), std::vector<double>(rows * cols)};
  const double cy = rows * 0.45, cx = cols * 0.5;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x) {
      double dy = (y - cy) / (rows * 0.5), dx = (x - cx) / (cols * 0.5);
      double inside = dy * dy * 0.8 + dx * dx;
      double r = std::hypot((y - cy) * 1.3, x - cx);
      f.ridge[y * cols + x] = inside < 0.95 ? std::cos(2 * M_PI * r / 8.0) : 0.0;
      f.bowl[y * cols + x] = (dy * dy + dx * dx) * 0.5;
    }
  return f;
}

// 8-bit rendering: grey 120 +- amplitude on ridges, plus slope * bowl.
inline std::vector<uint8_t> Render8(const SyntheticFinger &f, double amplitude, double slope) {
  std::vector<uint8_t> out(f.ridge.size());
  for (size_t i = 0; i < out.size(); ++i) {
    double v = 120 + amplitude * f.ridge[i] + slope * f.bowl[i];
    out[i] = static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, v))));
  }
  return out;
}

// 16-bit rendering, like a raw sensor frame.
inline std::vector<uint16_t> Render16(const SyntheticFinger &f, double base, double amplitude,
                                      double slope) {
  std::vector<uint16_t> out(f.ridge.size());
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<uint16_t>(std::lround(base + amplitude * f.ridge[i] + slope * f.bowl[i]));
  return out;
}

}  // namespace testing_support

#endif  // TESTS_SRC_SYNTHETIC_RIDGES_H_
