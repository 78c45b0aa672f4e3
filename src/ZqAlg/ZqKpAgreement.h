// How well a sample agrees with a template under a transform (sample
// coordinates onto template coordinates): reappearing keypoints, keypoints
// inside both valid areas with the spread of their orientations, recalled
// keypoints, and the binarised-image agreement under a transform refitted
// on keypoint correspondences. Byte images hold one byte per pixel (0 or
// 1), row-major, cols x rows of gSensorInfor.
#ifndef SRC_ZQALG_ZQKPAGREEMENT_H_
#define SRC_ZQALG_ZQKPAGREEMENT_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"
#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqGeomTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// Correspondences ZqCalcSimScoreRefit collects, and the fewest it fits.
#define ZQ_REFIT_MAX_PAIRS 100
#define ZQ_REFIT_MIN_PAIRS 8

// Counts the sample keypoints whose unrounded image under H lies in the
// rows x cols frame (n) and, of those, the ones with a template keypoint
// within 1 px in x and y (m); *pct = m x 100 / (n + 1). Returns m; 0 (and
// an error logged) when tplBits, smpBits or H is NULL, 0 also for a NULL
// sample or tpl. The bit arrays and masks are not read.
int32_t ZqCalImageRecurPoints(const uint64_t *tplBits, const uint64_t *smpBits,
                              const uint8_t *tplMask, const uint8_t *smpMask,
                              const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                              const ST_FullHMatrix *H, uint8_t *pct, uint16_t rows, uint16_t cols);

// Over the sample keypoints at distinct positions whose own pixel is set in
// smpMaskImg and whose rounded image under H is a set pixel of tplMaskImg:
// appends their x, y to list (room for all sample keypoints), *count = their
// number, *oriVar = variance of their folded orientations (0 with fewer than
// 10 in the larger orientation set). Nothing for a NULL argument.
void ZqCalcKpNumInMatchArea(const ST_SubTemplate *sample, const uint8_t *smpMaskImg,
                            const uint8_t *tplMaskImg, const ST_FullHMatrix *H,
                            ST_MatchPoint *list, int16_t *count, float *oriVar);

// As ZqCalcKpNumInMatchArea group by group: out[0] = accepted keypoints,
// out[1] = those with a template keypoint of their group within 1.5 px in x
// and y of the unrounded image. Nothing for a NULL argument.
void ZqCalcRecallScore(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                       const uint8_t *smpMaskImg, const uint8_t *tplMaskImg, const ST_HMatrix *H,
                       ST_MatchPoint *list, uint16_t out[2], float *oriVar);

// Pairs each sample keypoint strictly inside the frame under H with the
// first template keypoint of its group within 3 px in x and y (at most 100
// pairs); with at least 8, *refit = their least-squares affine and
// *refitSim = share of equal bits over the sample pixels whose rounded
// image under refit is inside both masks (0 when none). Returns the number
// of pairs (below 8: nothing written), -1 for a NULL argument. sim is not
// read.
int32_t ZqCalcSimScoreRefit(const ST_SubTemplate *tpl, const ST_SubTemplate *sample,
                            const uint8_t *tplMaskImg, const uint8_t *smpMaskImg,
                            const uint8_t *tplBinImg, const uint8_t *smpBinImg, float sim,
                            const ST_HMatrix *H, ST_HMatrix *refit, float *refitSim);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQKPAGREEMENT_H_
