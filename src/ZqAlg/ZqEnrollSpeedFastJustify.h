// The algorithm core's entry to the finger-movement judgement between two
// consecutive images, used by the sensor library's fast-slide checks.
#ifndef SRC_ZQALG_ZQENROLLSPEEDFASTJUSTIFY_H_
#define SRC_ZQALG_ZQENROLLSPEEDFASTJUSTIFY_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ZqSpeedFastJustifyExampProcess(img1, img2, width, height): 0 still, 1 in
// place with a changed covered area, 2 moved too far, -1 for a NULL image,
// a zero side or refused memory.
int32_t ZqEnrollSpeedFastJustify(const uint8_t *img1, const uint8_t *img2, uint16_t width,
                                 uint16_t height);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQENROLLSPEEDFASTJUSTIFY_H_
