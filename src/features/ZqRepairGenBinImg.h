// Binarised images of small-sensor samples through the pre-threshold
// enhancement chain.
#ifndef SRC_FEATURES_ZQREPAIRGENBINIMG_H_
#define SRC_FEATURES_ZQREPAIRGENBINIMG_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// out = 0xFF where img >= the mean of the pixels left after trimming 5 %
// of them at each end of the histogram (rounded), else 0. 0; -1 NULL or a
// size below 1.
int32_t ZqHistBinSmall(const uint8_t *img, int32_t width, int32_t height, uint8_t *out);

// dst (8-bit, src's size) = src sharpened and smoothed (images up to
// 56 x 56), smoothed along its orientation and passed through
// ZqPreThresholdProcess; when that fails dst keeps the oriented smoothing.
// 0; -1 bad argument or allocation (dst then holds a copy of src when the
// sizes match).
int32_t ZqImPrepare(const ST_Image *src, ST_Image *dst);

// Bits of the sample img (at most 32767 pixels): set where both the local
// threshold of the inverted median-filtered image and ZqHistBinSmall mark
// the ZqImPrepare'd pixel. *words is allocated when NULL and set only on
// success; *wordCount = ceil(pixels / 64). 0; -1 bad argument or setting a
// bit failed; -2 allocation; -3 median or local threshold failed.
int32_t ZqRepairGenBinImgForSamllSensor(const ST_Image *img, uint64_t **words,
                                        uint16_t *wordCount);

// Bits of the ZqImPrepare'd img by the general binariser with a 7 x 7
// normalisation window; pixels of flat windows are cleared. Array and count
// as ZqRepairGenBinImgForSamllSensor. 0; -1 bad argument (more than 65535
// pixels included), word allocation or a binarisation step failed; -2 the
// work image could not be created.
int32_t ZqRepairToGenBinImg(const ST_Image *img, uint64_t **words, uint16_t *wordCount);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FEATURES_ZQREPAIRGENBINIMG_H_
