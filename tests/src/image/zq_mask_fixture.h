// Small drawn masks for the region and geometry tests.
#ifndef TESTS_SRC_ZQ_MASK_FIXTURE_H_
#define TESTS_SRC_ZQ_MASK_FIXTURE_H_

#include <stdint.h>

#include <string>
#include <vector>

namespace zq_test {

// A rows x cols 8-bit image, row-major.
struct Mask {
  int rows, cols;
  std::vector<uint8_t> px;
  Mask(int r, int c, uint8_t v = 0) : rows(r), cols(c), px(static_cast<size_t>(r * c), v) {}
  uint8_t &at(int y, int x) { return px[static_cast<size_t>(y * cols + x)]; }
  uint8_t at(int y, int x) const { return px[static_cast<size_t>(y * cols + x)]; }
  // Sets rows y0..y1 and columns x0..x1 (inclusive) to v.
  void Box(int y0, int x0, int y1, int x1, uint8_t v = 1) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) at(y, x) = v;
  }
  uint8_t *data() { return px.data(); }
  const uint8_t *data() const { return px.data(); }
  int Count(uint8_t v) const {
    int n = 0;
    for (uint8_t p : px) n += p == v;
    return n;
  }
};

// Builds a mask from text rows: '#' or '1' is 1, anything else 0.
inline Mask FromText(const std::vector<std::string> &lines) {
  Mask m(static_cast<int>(lines.size()), static_cast<int>(lines[0].size()));
  for (int y = 0; y < m.rows; ++y)
    for (int x = 0; x < m.cols; ++x) m.at(y, x) = lines[y][x] == '#' || lines[y][x] == '1';
  return m;
}

// Renders a mask as text rows ('#' for non-zero, '.' for 0).
inline std::vector<std::string> ToText(const Mask &m) {
  std::vector<std::string> out;
  for (int y = 0; y < m.rows; ++y) {
    std::string s;
    for (int x = 0; x < m.cols; ++x) s += m.at(y, x) ? '#' : '.';
    out.push_back(s);
  }
  return out;
}

}  // namespace zq_test

#endif  // TESTS_SRC_ZQ_MASK_FIXTURE_H_
