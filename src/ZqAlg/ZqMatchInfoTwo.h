// The pair record of the last rigid two-template comparison, read by the
// false-accept classifier and the recall rescue, and the feature vectors
// those rules take from it.
#ifndef SRC_ZQALG_ZQMATCHINFOTWO_H_
#define SRC_ZQALG_ZQMATCHINFOTWO_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Elements of the vectors ZqGetDataT and ZqGetDataT_v2 fill.
#define ZQ_DATA_T_LEN 60
#define ZQ_DATA_T_V2_LEN 74

// Classifier results kept in classifierRet.
#define ZQ_CLS_NOT_RUN 0    // did not run, or chose no table
#define ZQ_CLS_NO_ROW 10    // a table was consulted, no row matched
#define ZQ_CLS_CUT (-11)    // a row matched: the comparison is cut
#define ZQ_CLS_OVERRIDE 11  // a row matched, overridden: no cut

#pragma pack(push, 1)
// Pair record, byte-packed (64 bytes). Integer ratios truncate.
typedef struct ST_MatchInfoTwo {
  uint8_t sampleQuality;    // sample templateQuality
  uint8_t sampleArea;       // sample templateArea
  uint8_t sampleCond;       // sample templateCond
  int32_t overlapSize;      // compared pixels of the uniform-region check
  int32_t ransacNum;        // best registration inlier count
  uint8_t uniformPct;       // 100 x uniform ratio, truncated
  uint8_t overlapPct;       // overlapSize x 100 / (cols x rows + 1)
  uint8_t matchScore;       // score after the recall stage (low byte)
  uint8_t recurNum;         // reappearing sample keypoints (low byte)
  uint8_t recurPct;         // their percentage
  uint8_t sampleExtra;      // sample templateExtra
  uint8_t tplQuality;       // template templateQuality
  uint8_t tplArea;          // template templateArea
  uint8_t tplCond;          // template templateCond
  uint8_t tplExtra;         // template templateExtra
  uint8_t overlapWidth;     // overlapSize / overlapHeight, 0 for height 0
  uint16_t overlapHeight;   // row span of the compared overlap
  uint16_t diffBlobSize;    // largest disagreement blob
  int32_t ransacDensity;    // ransacNum x 100 / (overlapPct + 1)
  int32_t classifierRet;    // ZQ_CLS_* result
  uint8_t rebak;            // direction flag of the comparison
  int32_t kin2Num;          // rescue-copy pairs consistent with H
  int32_t rescueCode;       // rescue rule 21, 22 or 1; else 0
  uint8_t pointSimPct;      // share of the common area near consistent pairs
  int32_t matchNum1Avr;     // mean best similarity of the inliers
  int32_t kin2Avr;          // mean best similarity of the kin2Num pairs
  int32_t recallNum;        // recalled sample keypoints
  int32_t recallAvrSim;     // their mean descriptor similarity
  int32_t recallStrongNum;  // recalled keypoints with similarity above 190
} ST_MatchInfoTwo;
#pragma pack(pop)

// Record of the last comparison, and the copy identification keeps.
extern ST_MatchInfoTwo gMatchInfoTwo;
extern ST_MatchInfoTwo gMatchInfoTwoDebug;

// Fills vec[8..17] (vec of ZQ_DATA_T_LEN elements): sampleQuality,
// tplQuality, diffBlobSize, recurPct, overlapPct, uniformPct, overlapHeight,
// ransacNum, [16] untouched, matchScore. NULL is ignored.
void ZqGetDataT(int32_t *vec, ST_MatchInfoTwo info);
// Fills vec[50..56] (vec of ZQ_DATA_T_V2_LEN elements): ransacNum, kin2Num,
// overlapPct, pointSimPct, matchNum1Avr, recallAvrSim, recallStrongNum.
// NULL is ignored.
void ZqGetDataT_v2(int32_t *vec, ST_MatchInfoTwo info);

// Test hook: both records zeroed.
void ZqMatchInfoTwoResetForTest(void);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_MatchInfoTwo) == 64, "ST_MatchInfoTwo is 64 packed bytes");
static_assert(offsetof(ST_MatchInfoTwo, overlapSize) == 3 &&
                  offsetof(ST_MatchInfoTwo, overlapWidth) == 21 &&
                  offsetof(ST_MatchInfoTwo, overlapHeight) == 22 &&
                  offsetof(ST_MatchInfoTwo, classifierRet) == 30 &&
                  offsetof(ST_MatchInfoTwo, rebak) == 34 &&
                  offsetof(ST_MatchInfoTwo, pointSimPct) == 43 &&
                  offsetof(ST_MatchInfoTwo, recallStrongNum) == 60,
              "ST_MatchInfoTwo field offsets");
#endif

#endif  // SRC_ZQALG_ZQMATCHINFOTWO_H_
