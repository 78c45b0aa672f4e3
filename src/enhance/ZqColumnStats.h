// Column statistics of an 8-bit image: per-column mean and deviation of
// the masked pixels, the column-wise normalisation of the sample front end
// and the strength of a bright vertical bar (the white-bar check). The
// statistics serve images of at most kZqMaxStatCols columns.
#ifndef SRC_ENHANCE_ZQCOLUMNSTATS_H_
#define SRC_ENHANCE_ZQCOLUMNSTATS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Widest image the column statistics accept.
enum { kZqMaxStatCols = 100 };

// Per column, over the rows where mask is non-zero: mean = sum / count
// (integer division), dev = sqrt of the integer population variance when
// that is above 1, else 1; a column without mask pixels gets dev 1 and
// mean 0. Writes nothing for NULL or cols outside 1 .. kZqMaxStatCols.
void ZqCalcMeanDeviationInCol(const uint8_t *img, const uint8_t *mask, int32_t rows,
                              int32_t cols, float *dev, float *mean);

// Bright-bar strength: (R + L) / 2 - M from the deviations above 6 of the
// first four (L), last four (R) and seven central (M) columns, when L and
// R exceed 6, M is at most 30 and the central means average 168 or more;
// else 0. 0 for NULL or fewer than 8 columns.
float ZqCalcDeviation(const float *dev, const float *mean, int32_t cols);

// *out = ZqCalcDeviation of the image's column statistics; 0 for a NULL
// image or mask or cols outside 8 .. kZqMaxStatCols. Nothing for NULL out.
void ZqCalcVerticalDeviation(const uint8_t *img, const uint8_t *mask, int32_t rows,
                             int32_t cols, float *out);

// Column-wise normalisation in place: (pixel - column mean) / column dev
// over the pixels below 251, stretched to 0..250; pixels of 251 and more
// become 254. 0; -1 NULL, a side below 1 or more than kZqMaxStatCols
// columns (image unchanged); -2 allocation.
int32_t ZqNormalizeAndEnhance(uint8_t *img, int32_t rows, int32_t cols);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQCOLUMNSTATS_H_
