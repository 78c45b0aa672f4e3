#include "minutiae/lfs_image.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_numeric.h"

extern "C" int pad_uchar_image(unsigned char **padded, int *pw, int *ph,
                               const unsigned char *data, int w, int h, int pad,
                               int pad_value) {
  const int out_w = w + 2 * pad;
  const int out_h = h + 2 * pad;
  const size_t bytes = static_cast<size_t>(out_w) * static_cast<size_t>(out_h);
  auto *out = static_cast<unsigned char *>(lfs_malloc(bytes));
  if (out == nullptr) return lfs_fail("ERROR : pad_uchar_image : malloc : pdata\n", -160);
  if (pad == 0) {
    std::memcpy(out, data, bytes);
  } else {
    std::memset(out, pad_value, bytes);
    for (int y = 0; y < h; ++y)
      std::memcpy(out + static_cast<size_t>(y + pad) * out_w + pad,
                  data + static_cast<size_t>(y) * w, static_cast<size_t>(w));
  }
  *padded = out;
  *pw = out_w;
  *ph = out_h;
  return 0;
}

extern "C" int max_padding(int window_size, int window_offset, int grid_w, int grid_h) {
  const double s = window_size;
  const int dft = nearest_int(snap14((std::sqrt(2.0 * s * s) - s) / 2.0)) + window_offset;
  const double w = grid_w, h = grid_h;
  const int bin = nearest_int(snap14((std::sqrt(w * w + h * h) - 1.0) / 2.0));
  return dft > bin ? dft : bin;
}

extern "C" void scale_to_6_bits(unsigned char *data, int w, int h) {
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<unsigned char>(data[i] >> 2);
}

extern "C" void gray_to_binary(int threshold, int low, int high, unsigned char *data, int w,
                               int h) {
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (size_t i = 0; i < n; ++i)
    data[i] = static_cast<unsigned char>(data[i] < threshold ? low : high);
}
