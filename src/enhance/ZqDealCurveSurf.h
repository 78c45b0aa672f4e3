// Curved-surface removal: a 16-bit frame from a sensor under a curved
// cover becomes an 8-bit image without its column-wise background.
#ifndef SRC_ENHANCE_ZQDEALCURVESURF_H_
#define SRC_ENHANCE_ZQDEALCURVESURF_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// out (rows x cols) = the frame with each column's mean over its valid
// pixels (value above 199) removed, stretched to 0..255, 3 x 3 mean,
// sharpened (FastConv radius 5) and equalised (ImgAdaptHisteq, 12 x 12
// tiles, clip 0.04) over a copy padded on each axis to a multiple of 24
// where the side is even; invalid pixels come out 255. 0; -1 NULL frame or
// output, a side below 1 or above 65535; -2 allocation (logged).
int32_t DealCurveSurfData(const uint16_t *frame, int32_t rows, int32_t cols, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQDEALCURVESURF_H_
