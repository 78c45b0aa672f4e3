#include "src/image/ZqImageFilterEnhance.h"

#include <stdint.h>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImageEnhance.h"

extern "C" int ZqImageFilterEnhance(unsigned char *img, int rows, int cols, int filter,
                                    unsigned char *out) {
  // Sizes that 16 bits cannot carry are refused rather than cut.
  if (rows < 0 || rows > UINT16_MAX || cols < 0 || cols > UINT16_MAX) return ZQ_ERR_PARAM;
  // Only 2 and 3 select a filter; every other value (258 included) is the mean.
  uint8_t type = (filter == 2 || filter == 3) ? static_cast<uint8_t>(filter) : 0;
  return ZqImageEnhance(img, static_cast<uint16_t>(rows), static_cast<uint16_t>(cols), type, out);
}
