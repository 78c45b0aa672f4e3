// Pixel-type conversions of ST_Image: 2 x 2 reduction, conversion to 8 bits
// for storing, 8-bit to float with a scale, float to 8 bits, band threshold.
#ifndef SRC_ZQIMGPROC_H_
#define SRC_ZQIMGPROC_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// New image of src's depth and half its width and height, each pixel the
// mean of a 2 x 2 block (integer depths: the sum of the four over 4,
// truncated towards 0, summed in 64 bits). NULL for a NULL image, missing
// data, an odd width or height, a 1-bit image or a creation failure.
ST_Image *ZqFour2One(const ST_Image *src);

// New 8-bit image of src's size for storing: depth 8 copied; depths 16,
// signed 16, 32 (float) and signed 32 stretched from their minimum and
// maximum to 0..255 (truncated; a flat image gives 0); other depths all 0.
// NULL for a NULL image, missing data or a creation failure.
ST_Image *ZqCovertImgforStore(const ST_Image *src);

// dstImg (float) = srcImg (8-bit) * scale + shift, pixel by pixel. NULL
// images, a zero scale, different sizes, other depths or missing data are
// logged and nothing is written.
void ZqConvertScale(const ST_Image *srcImg, ST_Image *dstImg, float scale, float shift);

// *dstImg (8-bit) = srcImg (float) * 255 truncated and limited to 0..255
// (NaN gives 0). *dstImg is created of srcImg's size when it holds NULL.
// Bad arguments, different sizes, other depths or missing data are logged
// and nothing is written.
void ZqFloatImage2U8(const ST_Image *srcImg, ST_Image **dstImg);

// Band threshold of an 8-bit image into *dst (created when it holds NULL):
// with flag 0, 255 where lo <= v <= hi and 0 elsewhere; with another flag
// the inverse band. 0 ok; -1 for a NULL, non-8-bit or data-less source or a
// NULL dst address; -2 when *dst differs in size or depth or cannot be made.
int32_t ZqThreasholdImageU8(const ST_Image *src, ST_Image **dst, int32_t lo, int32_t hi,
                            uint8_t flag);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQIMGPROC_H_
