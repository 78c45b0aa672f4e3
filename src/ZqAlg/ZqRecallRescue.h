// The recall rescue: raises a near-miss rigid comparison to the threshold
// when image-similarity measurements pass a false-reject list, or when the
// local keypoint measurements fall outside the false-accept region of rule
// table 7. Its steps are public for the measurements they give.
#ifndef SRC_ZQALG_ZQRECALLRESCUE_H_
#define SRC_ZQALG_ZQRECALLRESCUE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/ZqAlg/ZqVerifyRescue.h"
#include "src/features/ZqFullHMatrix.h"
#include "src/features/ZqMatchPoint.h"

#ifdef __cplusplus
extern "C" {
#endif

// Of the first count pairs, those whose sample point mapped by H lies
// within L1 distance 8 of the template point: *kin2Num = count, *kin2Avr =
// mean of their sample records' sim (0 when none). Nothing for NULL.
void getKin2AndMatchNum1AvrKin2(const ST_MatchPoint *tplPts, const ST_MatchPoint *smpPts,
                                uint16_t count, const ST_FullHMatrix *H, int32_t *kin2Num,
                                int32_t *kin2Avr);

// Recalls sample keypoints not yet in list (exact position) whose image
// under H lies in the frame near a template keypoint of their group (2.5 px
// in x and y, orientation within 0.4 rad): appends their positions after
// list[start - 1], up to ZQ_RESCUE_PAIRS entries in all (recall stops when
// the list is full). *recallNum, *recallAvrSim (mean descriptor similarity,
// 0 when none), *recallStrongNum (similarity above 190). Nothing for NULL.
void getMatchNumRecall(const ST_SubTemplate *sample, const ST_SubTemplate *tpl, uint16_t start,
                       ST_MatchPoint *list, const ST_FullHMatrix *H, int rows, int cols,
                       int32_t *recallNum, int32_t *recallAvrSim, int32_t *recallStrongNum);

// Share (percent) of the common valid area within a 7 x 7 dilation of the
// template points of the count pairs consistent with H. 0; -1 for NULL or
// images shorter than rows x cols; -2 when work memory is short (*pct
// unchanged on failure).
int getPointSim(const ST_SubTemplate *sample, const ST_SubTemplate *tpl, int count,
                const ST_MatchPoint *tplPts, const ST_MatchPoint *smpPts, const ST_FullHMatrix *H,
                int rows, int cols, uint8_t *pct);

// Mean sim of the sample records named by idx[0 .. inl - 1] (indexes at or
// past ZQ_RESCUE_PAIRS are skipped); written to *out and returned; 0 when
// none or for NULL smpPts or idx.
int32_t getMatchNum1Avr(const ST_MatchPoint *smpPts, int inl, const uint16_t *idx, int32_t *out);

// The local measurements of table 7 over a rescue copy (count pairs, inl
// inliers): *flag = 1 when the pair neighbourhood covers more than
// pointSimMin percent. Writes the seven measurements also into
// gMatchInfoTwo; those of skipped steps keep the callers' values.
void getLocalFeature(const ST_MatchPoint *tplPts, ST_MatchPoint *smpPts, const uint16_t *idx,
                     uint16_t count, int inl, const ST_FullHMatrix *H,
                     const ST_SubTemplate *sample, const ST_SubTemplate *tpl, int rows, int cols,
                     int32_t *kin2Num, int32_t *kin2Avr, int32_t *matchNum1Avr,
                     int32_t *recallNum, int32_t *recallAvrSim, int32_t *recallStrongNum,
                     uint8_t *pointSimPct, int kin2Min, int pointSimMin, int recallSimMin,
                     int32_t *flag);

#ifdef __cplusplus
}

namespace zq_alg {

// What the rigid scorer hands to the rescue.
struct RescueInput {
  const ST_SubTemplate *sample;
  const ST_SubTemplate *tpl;
  const ST_FullHMatrix *H;
  ZqRescueData *data;       // rescue copy and hull set
  ZqRescueImages *images;   // four cols x rows work images
  ST_MatchPoint *list;      // room for every sample keypoint
  int32_t t;                // threshold of the verify level
  int32_t best;             // inliers of the best registration
  float ratio;              // uniform ratio
  int16_t compared;         // overLapSize[0]
  uint16_t sensorType;
  bool identify;            // action mode 2, 4 or 5
  int32_t rows, cols;
};

// Returns the score after the rescue and writes the rule that raised it
// (21, 22, 1) or 0 to *code.
int32_t RecallRescue(const RescueInput &in, int32_t score, int32_t *code);

}  // namespace zq_alg
#endif

#endif  // SRC_ZQALG_ZQRECALLRESCUE_H_
