// Structuring elements; see ZqMorphology.h.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "src/image/ZqMorphology.h"

void ZqGetStructuringElement(uint8_t *element, int32_t cols, int32_t rows, int32_t shape,
                             double /*unused*/) {
  if (element == nullptr || cols <= 1 || rows <= 1) return;
  const size_t n = static_cast<size_t>(cols) * static_cast<size_t>(rows);
  const int32_t r = rows / 2, c = cols / 2;
  switch (shape) {
    case ZQ_SHAPE_RECT:
      memset(element, 1, n);
      return;
    case ZQ_SHAPE_CROSS:
      memset(element, 0, n);
      for (int32_t i = 0; i < rows; ++i) {
        if (i == r)
          memset(element + static_cast<size_t>(i) * cols, 1, static_cast<size_t>(cols));
        else
          element[static_cast<size_t>(i) * cols + c] = 1;
      }
      return;
    case ZQ_SHAPE_ELLIPSE:
      memset(element, 0, n);
      for (int32_t i = 0; i < rows; ++i) {
        const int32_t dy = i - r;
        if (std::abs(dy) > r) continue;
        const double f = (double(r) * r - double(dy) * dy) / (double(r) * r);
        const int32_t dx = static_cast<int32_t>(c * sqrt(f));
        const int32_t lo = std::max(c - dx, 0), hi = std::min(c + dx + 1, cols);
        for (int32_t j = lo; j < hi; ++j) element[static_cast<size_t>(i) * cols + j] = 1;
      }
      return;
    default:
      memset(element, 0, n);
      element[0] = 1;
      return;
  }
}
