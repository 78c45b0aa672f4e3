// Spatial smoothing of 8-bit fingerprint images, in place: a tent-weighted
// background subtraction (FastConv) followed by a histogram stretch around
// mid-grey, with parameters set just before each call.
#ifndef SRC_ZQSPATIALFILTER_H_
#define SRC_ZQSPATIALFILTER_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Parameters of ZqSpaSmooth.
typedef struct ST_SpaPara {
  int16_t rows;    // image height (64)
  int16_t cols;    // image width (80)
  int16_t radius;  // mask radius r (5)
  int16_t weight;  // weight value (20); no setter changes it
  float impact;    // gain factor of the stretch (0.75)
} ST_SpaPara;

// The parameters, initialised to {64, 80, 5, 20, 0.75f}.
extern ST_SpaPara gSPApara;

// Stores cols and rows (16 bits each).
void InitSPAImageSize(int cols, int rows);

// Stores the mask radius (16 bits).
void InitSPAMaskRadius(int radius);

// Stores the impact factor.
void InitSPAImpactFactors(float impact);

// FastConv with factor = weight * 0.04 / (d * ((d + 1)^2 - 1)), d = 2 r,
// then the histogram stretch with the impact factor, over gSPApara's
// rows x cols. `level` is ignored. 1 on success, 0 when a pass fails.
int ZqSpaSmooth(uint8_t *image, int level);

// In place: t = o - factor * N with N the tent-weighted (1 2 .. r+1 .. 2 1
// each way) sum around the pixel less its own (r + 1)^2 share, borders
// reflected with the edge; then every pixel becomes the rounded t - min(t)
// where that is at most 255 (others keep their value). 1; 0 for a NULL
// image, a radius below 1 or above the smaller side, or refused memory
// (image unchanged).
int FastConv(uint8_t *image, uint16_t rows, uint16_t cols, uint16_t radius, float factor);

#ifdef __cplusplus
}

namespace zq {

// The histogram stretch of ZqSpaSmooth over rows x cols pixels: 1, or 0
// for a NULL image or refused memory (image unchanged).
int SpaHistStretch(uint8_t *image, int32_t rows, int32_t cols, float impact);

}  // namespace zq
#endif

#endif  // SRC_ZQSPATIALFILTER_H_
