// Sigmoid contrast curves ("lomo" curves) for 8-bit ST_Image images.
//
// Common frame: a NULL source logs "ZqLomoU8Image.........input image is
// not reliable" and returns -1 (*dst untouched); a NULL *dst receives a new
// 8-bit image of the source's size (kept by the caller even when the call
// fails later); a *dst of another size logs "ZqLomoU8Image.........size not
// reliable" and returns -2. The source smoothed by MeanImage(r) (r >= 1) or
// copied gives the histogram; a lookup table of 256 entries is built from
// it, copied into m_testArray, and every dst pixel becomes table[source
// pixel]. The sigmoid is T(v) = 256 / (1 + e^(-((v - c) / w) / s)) rounded,
// limited to 255, with e = 2.7182817f. Returns 0; -1 also for r outside
// 0..65535 or a source that is not 8-bit; -2 when memory is refused; the
// smoothing's result when it fails.
#ifndef SRC_ZQLOMOCURVE_H_
#define SRC_ZQLOMOCURVE_H_

#include <stdint.h>

#include "src/image/ZqImage.h"

#ifdef __cplusplus
extern "C" {
#endif

// Copy of the last lookup table built by one of the curves.
extern int32_t m_testArray[256];

// Curve over all 256 entries, centred on the bulk of the twice-smoothed
// histogram below a bright peak; w = max(50, hi - lo + 1).
int32_t ZqLomoU8Image(const ST_Image *src, ST_Image **dst, int32_t r, float s);

// Curve over the occupied range lo..hi (flag: hi ignores a saturated bin
// 255 and stops at 250); entries above hi repeat hi's, below lo are 0.
int32_t ZqLomoU8Image_v1(const ST_Image *src, ST_Image **dst, int32_t r, uint8_t flag, float s);

// As _v1, the range cut at 10 % of the pixels from each end when flag is
// set; with lo > 60 (or s <= 0) a straight line (int)(v / w * 256).
int32_t ZqLomoU8Image_v2(const ST_Image *src, ST_Image **dst, int32_t r, uint8_t flag, float s);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQLOMOCURVE_H_
