// Bad-pixel repair; see ZqBadPixelRepair.h.
#include "src/enhance/ZqBadPixelRepair.h"

#include <stddef.h>

#include <algorithm>

namespace {

inline size_t At(int32_t row, int32_t col, int32_t cols) {
  return static_cast<size_t>(row) * static_cast<size_t>(cols) + static_cast<size_t>(col);
}

bool SidesOk(int32_t rows, int32_t cols) {
  // Integral entries count pixels in int32.
  return rows >= 1 && cols >= 1 && static_cast<int64_t>(rows) * cols <= INT32_MAX;
}

// The truncated mean of the good pixels of the box of half size h around
// (row, col) in *value; false when the box holds no good pixel.
bool BoxMean(const uint8_t *image, int32_t rows, int32_t cols, int32_t row, int32_t col,
             int32_t h, uint8_t bad, uint8_t *value) {
  float sum = 0.0f, count = 0.0f;
  get_box_sum(image, rows, cols, row, col, h, bad, &sum, &count);
  if (count == 0.0f) return false;
  *value = static_cast<uint8_t>(static_cast<int32_t>(sum / count));
  return true;
}

// Mode-1 repair of every mapped pixel into out; returns the number of
// mapped pixels whose box held no good pixel. When marks is not NULL (it
// is map itself), their entries are negated there; the caller restores them.
int32_t RepairToNew(const uint8_t *image, uint8_t *out, const int32_t *map, int32_t rows,
                    int32_t cols, uint8_t bad, int32_t *marks) {
  int32_t missed = 0;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      const size_t i = At(r, c, cols);
      const int32_t d = map[i];
      if (d <= 0) continue;
      if (!BoxMean(image, rows, cols, r, c, d / 2, bad, &out[i])) {
        ++missed;
        if (marks != nullptr) marks[i] = -d;
      }
    }
  }
  return missed;
}

// Mode-1 gradual repair; returns the number of pixels whose 3 x 3 box held
// no good pixel when their pass came.
int32_t RepairGradual(const uint8_t *image, uint8_t *out, int32_t *map, int32_t rows,
                      int32_t cols, uint8_t bad) {
  int32_t missed = 0;
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  bool again = true;
  while (again) {
    again = false;
    for (size_t i = 0; i < n; ++i) {
      const int32_t d = map[i];
      if (d == 3) {
        const int32_t r = static_cast<int32_t>(i / static_cast<size_t>(cols));
        const int32_t c = static_cast<int32_t>(i % static_cast<size_t>(cols));
        if (!BoxMean(image, rows, cols, r, c, 1, bad, &out[i])) ++missed;
        map[i] = 1;
      } else if (d > 4) {
        map[i] = d - 2;
        again = true;
      } else if (d == 2 || d == 4) {
        map[i] = d - 2;
      }
    }
  }
  return missed;
}

// Mask-bad pixels that got no diameter.
int32_t CountUnmapped(const uint8_t *mask, const int32_t *map, int32_t rows, int32_t cols,
                      uint8_t maskBad) {
  int32_t n = 0;
  const size_t total = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (size_t i = 0; i < total; ++i) {
    if (mask[i] == maskBad && map[i] <= 0) ++n;
  }
  return n;
}

// Steps shared by the three drivers: integral image and diameter map.
void MapBadPixels(const uint8_t *mask, int32_t *integral, int32_t *map, const int32_t *diameters,
                  float ratio, int32_t rows, int32_t cols, uint8_t maskBad) {
  get_integral_image(mask, maskBad, rows, cols, integral);
  get_pos_best_diameter_map(mask, maskBad, integral, map, diameters, rows, ratio, cols);
}

}  // namespace

extern "C" {

void get_integral_image(const uint8_t *mask, uint8_t value, int32_t rows, int32_t cols,
                        int32_t *out) {
  for (int32_t r = 0; r < rows; ++r) {
    int32_t rowSum = 0;
    for (int32_t c = 0; c < cols; ++c) {
      rowSum += mask[At(r, c, cols)] == value ? 1 : 0;
      out[At(r, c, cols)] = rowSum + (r > 0 ? out[At(r - 1, c, cols)] : 0);
    }
  }
}

int32_t get_integral_image_value(const int32_t *integral, int32_t rows, int32_t cols,
                                 int32_t row, int32_t col) {
  if (row < 0 || col < 0 || row >= rows || col >= cols) return 0;
  return integral[At(row, col, cols)];
}

void get_box_area(const int32_t *integral, int32_t h, int32_t rows, int32_t cols, int32_t row,
                  int32_t col, int32_t *count, int32_t *area) {
  const int32_t r0 = std::max(row - h, 0), r1 = std::min(row + h, rows - 1);
  const int32_t c0 = std::max(col - h, 0), c1 = std::min(col + h, cols - 1);
  if (r0 > r1 || c0 > c1) {
    *count = 0;
    *area = 0;
    return;
  }
  *count = get_integral_image_value(integral, rows, cols, r1, c1) -
           get_integral_image_value(integral, rows, cols, r0 - 1, c1) -
           get_integral_image_value(integral, rows, cols, r1, c0 - 1) +
           get_integral_image_value(integral, rows, cols, r0 - 1, c0 - 1);
  *area = (r1 - r0 + 1) * (c1 - c0 + 1);
}

int32_t get_pos_best_diameter(const int32_t *integral, const int32_t *diameters, int32_t rows,
                              int32_t cols, int32_t row, int32_t col, float ratio) {
  for (const int32_t *d = diameters;; ++d) {
    const int32_t h = *d / 2;
    if (h <= 0) return 0;  // the terminator (a negative size ends the list too)
    int32_t bad = 0, area = 0;
    get_box_area(integral, h, rows, cols, row, col, &bad, &area);
    if (bad == 0 || area == 0) return 0;
    if (1.0f - static_cast<float>(bad) / static_cast<float>(area) > ratio) return *d;
  }
}

void get_pos_best_diameter_map(const uint8_t *mask, uint8_t bad, const int32_t *integral,
                               int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                               int32_t cols) {
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      if (mask[At(r, c, cols)] != bad) continue;
      map[At(r, c, cols)] = get_pos_best_diameter(integral, diameters, rows, cols, r, c, ratio);
    }
  }
}

int32_t get_img_pixel(const uint8_t *image, int32_t rows, int32_t cols, int32_t row, int32_t col) {
  if (row < 0 || col < 0 || row >= rows || col >= cols) return -1;
  return image[At(row, col, cols)];
}

void get_box_sum(const uint8_t *image, int32_t rows, int32_t cols, int32_t row, int32_t col,
                 int32_t h, uint8_t bad, float *sum, float *count) {
  float s = 0.0f, n = 0.0f;
  for (int32_t r = row - h; r <= row + h; ++r) {
    for (int32_t c = col - h; c <= col + h; ++c) {
      const int32_t v = get_img_pixel(image, rows, cols, r, c);
      if (v < 0 || v == bad) continue;
      s += static_cast<float>(v);
      n += 1.0f;
    }
  }
  *sum = s;
  *count = n;
}

void repair_img_to_new_img(const uint8_t *image, uint8_t *out, const int32_t *map, int32_t rows,
                           int32_t cols, int32_t mode, uint8_t bad) {
  if (mode != 1) return;
  RepairToNew(image, out, map, rows, cols, bad, nullptr);
}

void repair_img_to_new_new_gradual(const uint8_t *image, uint8_t *out, int32_t *map, int32_t rows,
                                   int32_t cols, int32_t mode, uint8_t bad) {
  if (mode != 1) return;
  RepairGradual(image, out, map, rows, cols, bad);
}

void valid_part_copy_to_img(const uint8_t *src, uint8_t *dst, int32_t rows, int32_t cols) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (size_t i = 0; i < n; ++i) {
    if (src[i] != 0) dst[i] = src[i];
  }
}

void get_bad_point_mask(const uint8_t *image, uint8_t *mask, int32_t rows, int32_t cols,
                        uint8_t value) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (size_t i = 0; i < n; ++i) mask[i] = image[i] == value ? 1 : 0;
}

void use_mask_to_destroy_img(uint8_t *image, const uint8_t *mask, int32_t rows, int32_t cols,
                             uint8_t maskValue, uint8_t fill) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (size_t i = 0; i < n; ++i) {
    if (mask[i] == maskValue) image[i] = fill;
  }
}

int32_t repair_image_method_1(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, uint8_t *newImg, const int32_t *diameters,
                              float ratio, int32_t rows, int32_t cols, uint8_t maskBad,
                              uint8_t imgBad) {
  if (image == nullptr || mask == nullptr || integral == nullptr || map == nullptr ||
      newImg == nullptr || diameters == nullptr || !SidesOk(rows, cols)) {
    return -1;
  }
  MapBadPixels(mask, integral, map, diameters, ratio, rows, cols, maskBad);
  const int32_t missed = RepairToNew(image, newImg, map, rows, cols, imgBad, map);
  // Copy back by the map rather than by non-zero values: a repair to 0 (all
  // good neighbours black) is a repair too. Pixels whose box held no good
  // pixel were marked with a negated diameter; restore it.
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  for (size_t i = 0; i < n; ++i) {
    if (map[i] > 0) {
      image[i] = newImg[i];
    } else if (map[i] < 0) {
      map[i] = -map[i];
    }
  }
  return missed + CountUnmapped(mask, map, rows, cols, maskBad);
}

int32_t repair_image_method_2(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                              int32_t cols, uint8_t maskBad, uint8_t imgBad) {
  if (image == nullptr || mask == nullptr || integral == nullptr || map == nullptr ||
      diameters == nullptr || !SidesOk(rows, cols)) {
    return -1;
  }
  MapBadPixels(mask, integral, map, diameters, ratio, rows, cols, maskBad);
  const int32_t missed = RepairToNew(image, image, map, rows, cols, imgBad, nullptr);
  return missed + CountUnmapped(mask, map, rows, cols, maskBad);
}

int32_t repair_image_method_3(uint8_t *image, const uint8_t *mask, int32_t *integral,
                              int32_t *map, const int32_t *diameters, int32_t rows, float ratio,
                              int32_t cols, uint8_t maskBad, uint8_t imgBad) {
  if (image == nullptr || mask == nullptr || integral == nullptr || map == nullptr ||
      diameters == nullptr || !SidesOk(rows, cols)) {
    return -1;
  }
  MapBadPixels(mask, integral, map, diameters, ratio, rows, cols, maskBad);
  const int32_t missed = RepairGradual(image, image, map, rows, cols, imgBad);
  return missed + CountUnmapped(mask, map, rows, cols, maskBad);
}

}  // extern "C"
