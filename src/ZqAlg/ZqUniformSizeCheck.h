// The bin check of two-template scoring: turns the agreement of the two
// binarised images (uniform-region counts) into a penalty on the inlier
// count m and decides whether the keypoint recall may follow.
#ifndef SRC_ZQALG_ZQUNIFORMSIZECHECK_H_
#define SRC_ZQALG_ZQUNIFORMSIZECHECK_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Area levels (fractions of the sensor) and the ratio limits per level.
#define ZQ_UNIFORM_LEVELS 8
extern const float gZqUniformAreaLevel[ZQ_UNIFORM_LEVELS];
extern const float gZqUniformRatioT1[ZQ_UNIFORM_LEVELS];
extern const float gZqUniformRatioT2[ZQ_UNIFORM_LEVELS];

// General form (every algoMode but 3). overLapSize holds the six counters
// of the uniform-region check (compared, four quarters, in frame). Writes
// *mOut (m after the penalties) and *passFlag (recall allowed: starts as
// recallEn, 0 when m ends at 4 or less); in action modes 2, 4, 5 also the
// report's ration, uniformSize, overlapsize and binScore. 0, or -1 with
// nothing written when passFlag, mOut or overLapSize is NULL.
int ZqUniformSizeCheck(uint32_t m, uint8_t recallEn, uint16_t uniformSize,
                       const int16_t overLapSize[6], int16_t *passFlag, uint32_t *mOut);

// Stricter form of algoMode 3: level from the compared pixels, every test
// applied, recall kept only above 7, and *areaWeight, the share of the
// recall gain the scorer adds (compared / area - 0.25, x 0.6 per failed
// test). With no compared pixels no ratio test fires. Same results and
// report fields as ZqUniformSizeCheck; -1 also for a NULL areaWeight.
int ZqUniformSizeCheckMode3(uint32_t m, uint8_t recallEn, uint16_t uniformSize,
                            const int16_t overLapSize[6], int16_t *passFlag, uint32_t *mOut,
                            float *areaWeight);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQUNIFORMSIZECHECK_H_
