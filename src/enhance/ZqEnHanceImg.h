// Frequency-domain and directional enhancement of an 8-bit image.
#ifndef SRC_ENHANCE_ZQENHANCEIMG_H_
#define SRC_ENHANCE_ZQENHANCEIMG_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// *dst (created as an 8-bit image of src's size when NULL) = src with weak
// and high frequencies removed, histogram-normalised, sharpened across its
// ridge orientation by four directional 7 x 7 kernels and given a
// multi-scale box-mean boost. 0; -1 NULL, not 8-bit or a *dst of another
// size; -2 allocation or a failed step (a *dst created here is released).
int32_t ZqEnHanceImg_u8(const ST_Image *src, ST_Image **dst);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQENHANCEIMG_H_
