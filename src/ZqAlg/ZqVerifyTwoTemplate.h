// Two-template scoring: how well one sample sub-template matches one
// enrolled sub-template, as a count of matched keypoints, and the
// transform from the sample's pixels onto the template's.
#ifndef SRC_ZQALG_ZQVERIFYTWOTEMPLATE_H_
#define SRC_ZQALG_ZQVERIFYTWOTEMPLATE_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Most keypoints a sample may bring to a comparison (both groups).
#define ZQ_VERIFY_MAX_SAMPLE_KP 200

// Scratch output record of the registrations.
extern ST_FullHMatrix gCorrectHMat;
// Direction of the comparison, set by the caller: 0 forward, 1 reverse
// (10 and 11 for the extra-template comparisons); copied to the pair record.
extern uint8_t gRebak;

// Figures one comparison reached, stage by stage, for an observer. The
// full-homography scorer reports its pairs as one window, its discounted
// count as `checked`, the count before its rule and list cuts as
// `recalled` (recallRan 1 when they ran) and a cut as ZQ_CLS_CUT.
typedef struct ZqVerifyTrace {
  const ST_SubTemplate *sample;
  const ST_SubTemplate *tpl;
  const ST_FullHMatrix *H;  // the best registration (sample -> template)
  int32_t descPairs;        // descriptor pairs accepted by similarity and margin
  int32_t binnedPairs;      // of them, pairs with an orientation bin
  int32_t largestWindow;    // pairs in the fullest orientation window
  int32_t windowPairs;      // pairs in the window of the best registration
  int32_t inliers;          // inliers of the best registration
  int32_t overlap;          // compared pixels of the uniform-region check
  int32_t uniformSize;      // agreeing pixels among them
  int32_t foreignBodyCut;   // 1 when the foreign-body test cut the count to 0
  int32_t checked;          // count after the foreign-body and uniform-size checks
  int32_t recallRan;        // 1 when the keypoint recall ran
  int32_t recalled;         // score after the recall
  int32_t classifierRet;    // ZQ_CLS_* result of the false-accept classifier or cuts
  int32_t rescueCode;       // rescue rule that fired, else 0
  int32_t score;            // the returned score
} ZqVerifyTrace;

// Observer of every comparison that reaches its end, or NULL (the
// default: nothing is recorded). For benchmarks; it must not call back.
extern void (*gZqVerifyTraceHook)(const ZqVerifyTrace *trace);

// Scores sample against tpl (the full-homography scorer when fullHomography
// is 1, with H's last row and angle preset) and writes the sample->template transform to
// *H. Returns the score (0 or more); -1 when an argument is NULL, either
// side has no feature array, the sample holds more than
// ZQ_VERIFY_MAX_SAMPLE_KP keypoints or a buffer is shorter than its counts
// or the sensor size need; -2 when work memory is short; otherwise the
// failure code of the uniform-region check. recallEn allows the keypoint
// recall and the recall rescue; option is handed to the full-homography
// scorer.
int ZqVerifyTwoTemplate(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                        ST_FullHMatrix *H, uint8_t recallEn, uint8_t option);

// Test hook: on 1, the foreign-body test of ZqVerifyTwoTemplate maps its
// grid one pixel at a time instead of eight at a time where the processor
// can (same results).
void ZqVerifyTwoTemplatePlainForTest(int32_t on);

// The full-homography scorer: an affine transform from consistent triples of
// descriptor pairs, refitted and weighed by pixel agreement; the score is
// the inlier count, discounted and, for 6..11, confirmed or cut to 1. H gets
// the chosen transform. Returns the score, -1 for a NULL argument, missing
// features or images shorter than the sensor, -2 when work memory is short.
// recallEn and option have no effect.
int ZqVerifyTwoTemplate_v2(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                           ST_FullHMatrix *H, uint8_t recallEn, uint8_t option);

// ZqVerifyTwoTemplate against sub-template subIndex of enrolled finger
// fingerId (0..9); 0 when sample or H is NULL, the finger is not valid or
// subIndex is not one of its sub-templates.
int ZqVerifySubTemplate(const ST_SubTemplate *sample, int16_t subIndex, int16_t fingerId,
                        ST_FullHMatrix *H, uint8_t recallEn, uint8_t option);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQVERIFYTWOTEMPLATE_H_
