// Binarised test images drawn as text: '#' is a ridge pixel (1), '.' a
// valley pixel (0); one string per row.
#ifndef TESTS_MINUTIAE_BINARY_IMAGE_H_
#define TESTS_MINUTIAE_BINARY_IMAGE_H_

#include <string>
#include <utility>
#include <vector>

namespace minutiae_test {

struct BinaryImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;

  const unsigned char *data() const { return pixels.data(); }
  unsigned char *data() { return pixels.data(); }
  unsigned char at(int x, int y) const { return pixels[y * width + x]; }
  // The image drawn back as text.
  std::vector<std::string> Rows() const;
};

BinaryImage Draw(const std::vector<std::string> &rows);

// A contour's pixels as (x, y) pairs.
std::vector<std::pair<int, int>> Points(const int *xs, const int *ys, int n);

}  // namespace minutiae_test

#endif  // TESTS_MINUTIAE_BINARY_IMAGE_H_
