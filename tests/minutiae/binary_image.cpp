#include "binary_image.h"

namespace minutiae_test {

BinaryImage Draw(const std::vector<std::string> &rows) {
  BinaryImage img;
  img.height = static_cast<int>(rows.size());
  img.width = rows.empty() ? 0 : static_cast<int>(rows[0].size());
  for (const std::string &row : rows)
    for (char c : row) img.pixels.push_back(c == '#' ? 1 : 0);
  return img;
}

std::vector<std::string> BinaryImage::Rows() const {
  std::vector<std::string> rows;
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x) row += at(x, y) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::pair<int, int>> Points(const int *xs, const int *ys, int n) {
  std::vector<std::pair<int, int>> out;
  for (int i = 0; i < n; ++i) out.emplace_back(xs[i], ys[i]);
  return out;
}

}  // namespace minutiae_test
