// Bit packing of masks; see ZqMaskBits.h.
#include "src/image/ZqMaskBits.h"

#include <string.h>

void ZqSaveImageToArr(const uint8_t *image, int32_t width, int32_t height, uint8_t *bits) {
  if (image == nullptr || bits == nullptr || width < 0 || height < 0) return;
  const int64_t n = int64_t{width} * height;
  memset(bits, 0, static_cast<size_t>(n / 8 + 1));
  for (int64_t i = 0; i < n; ++i)
    if (image[i] != 0) bits[i / 8] = static_cast<uint8_t>(bits[i / 8] | (1u << (i % 8)));
}

void ZqGetImageFromArr(const uint8_t *bits, int32_t width, int32_t height, uint8_t *image) {
  if (image == nullptr || bits == nullptr || width < 0 || height < 0) return;
  const int64_t n = int64_t{width} * height;
  for (int64_t i = 0; i < n; ++i) image[i] = (bits[i / 8] >> (i % 8)) & 1u;
}
