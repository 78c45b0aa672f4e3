// Box mean; see ZqMeanImage.h.
#include "src/enhance/ZqMeanImage.h"

#include "src/image/ZqBoxMean.h"

extern "C" int32_t ZqMeanImage(const uint8_t *image, int32_t rows, int32_t cols, int32_t r,
                               uint8_t *out) {
  if (image == nullptr || out == nullptr) return -1;
  if (rows < 0 || cols < 0 || r < 0 || rows > 65535 || cols > 65535 || r > 65535) return -1;
  const int32_t ret = MeanImage(image, static_cast<uint16_t>(cols), static_cast<uint16_t>(rows),
                                static_cast<uint16_t>(r), out);
  return ret == 0 ? 0 : -2;
}
