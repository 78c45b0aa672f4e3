#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"

#include "src/features/ZqSpeedMove.h"

extern "C" int32_t ZqEnrollSpeedFastJustify(const uint8_t *img1, const uint8_t *img2,
                                            uint16_t width, uint16_t height) {
  return ZqSpeedFastJustifyExampProcess(img1, img2, width, height);
}
