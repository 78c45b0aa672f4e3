// Comparison of two binarised images under an affine map (ST_HMatrix)
// taking test pixels into the reference image.
//
// A test pixel (x, y) maps to (x', y'), computed in single precision per
// row from x = 0 by adding a00 and a10 per column and rounded half away
// from zero; it lies in the overlap when 0 <= x' < cols and 0 <= y' < rows.
// Valid masks mark the pixels that may be compared (non-zero = valid).
#ifndef SRC_ZQBINSIMILARITY_H_
#define SRC_ZQBINSIMILARITY_H_

#include <stdint.h>

#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Share of agreeing bits over the test pixels in the overlap whose test and
// reference valid pixels are both set: out[0] = pixels compared, out[1] =
// pixels in the overlap (each at most 65535). 0 with both counts 0 for
// NULL, rows or cols <= 0, or nothing compared.
float ZqCalcSimScore(const uint8_t *refValid, const uint8_t *refBin, const uint8_t *testValid,
                     const uint8_t *testBin, int32_t rows, int32_t cols, const ST_HMatrix *h,
                     uint16_t out[2]);

// As ZqCalcSimScore, but sets to 1 every testBin pixel that maps outside the
// reference image; then *branches = ZqGetMinutiaInfo of testBin (which it
// overwrites). *agree = agreeing share, *overlapPct = compared share of the
// overlap in percent, rounded. 0; -1 for a NULL pointer or a side <= 0;
// -2 when the thinning fails (testBin changed, outputs not written).
int32_t ZqCalcBinFeature(const uint8_t *refValid, const uint8_t *refBin, const uint8_t *testValid,
                         uint8_t *testBin, int32_t rows, int32_t cols, const ST_HMatrix *h,
                         float *agree, uint8_t *overlapPct, int32_t *branches);

// Difference masks at the mapped positions of valid test pixels inside the
// valid reference: A where test is 1 and reference is not, B the reverse.
// Each goes through ZqGetConnectedArea_8_v2 (minimum area 8); *diff = the
// larger sum of surviving region areas, *rowSpan = last - first row of the
// compared test pixels (-rows when none). 0; -1 for NULL or a side
// outside 1..65535; -2; -3 when a region filter failed (nothing written).
int32_t ZqGetDiversity(const uint8_t *refBin, const uint8_t *testBin, const uint8_t *refValid,
                       const uint8_t *testValid, const ST_HMatrix *h, int32_t rows, int32_t cols,
                       int16_t *diff, int16_t *rowSpan);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQBINSIMILARITY_H_
