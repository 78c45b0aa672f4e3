// Enrolment tips: before a press is enrolled, it is matched against
// recently enrolled sub-templates of the same finger; a press that shows
// little new area at a similar angle gets a "move the finger" answer.
#ifndef SRC_ZQALG_ZQENROLLTIPS_H_
#define SRC_ZQALG_ZQENROLLTIPS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

// Dispatcher. Low byte of mode: window n; mode >> 16: 0 two thresholds over
// the last n sub-templates, 1 two thresholds against the (n + 1)-th one (the
// newest before there are more than n), other values overlap bins over the
// last n. enrollIndex is the number of sub-templates the finger holds.
// Returns 0 enrol, -1 or -2 move the finger; -1 for a NULL sample.
int ZqEnrollTipsTemplate(uint32_t mode, const ST_SubTemplate *sample, int16_t fingerId,
                         int16_t enrollIndex, uint32_t lowThr, uint32_t highThr, uint8_t spare,
                         uint8_t angThr);

// Two-threshold rule against sub-template k - 1 of the finger (k from 1):
// 0, -1, -2; -1 for a NULL sample; 0 for k <= 0, for a finger or slot that
// holds nothing, and when the match does not count.
int ZqEnrollTipsTemplate_v2(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                            uint32_t lowThr, uint32_t highThr, uint8_t spare, uint8_t angThr);

// Overlap-bin rule, arguments and codes as ZqEnrollTipsTemplate_v2.
int ZqEnrollTipsTemplate_v3(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                            uint32_t lowThr, uint32_t highThr, uint8_t spare, uint8_t angThr);

// Older rule: angle below angThr gives -2, else overlap below overlapThr
// percent gives 0 and any other -1; 0 for k <= 0 or no counting match.
int ZqEnrollTipsTemplate_v1(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                            uint32_t spare1, uint32_t overlapThr, uint8_t spare2, uint8_t angThr);

// The older rule for k = 1 .. count, stopping at the first negative result.
int ZqEnrollTipsAllTemplate(const ST_SubTemplate *sample, int16_t fingerId, int16_t count,
                            uint32_t spare1, uint32_t overlapThr, uint8_t spare2, uint8_t angThr);

// Two-threshold rule of sample against reference; -1 for a NULL pointer.
int ZqSlideEnrollTipsTemplate_v1(const ST_SubTemplate *reference, const ST_SubTemplate *sample,
                                 uint32_t lowThr, uint32_t highThr, uint8_t spare, uint8_t angThr);

// Overlap-bin rule of sample against reference; -1 for a NULL pointer.
int ZqSlideEnrollTipsTemplate_v2(const ST_SubTemplate *reference, const ST_SubTemplate *sample,
                                 uint32_t lowThr, uint32_t highThr, uint8_t spare, uint8_t angThr);

// min(n, count) comparisons of the same pair (n the low byte of mode) with
// the rule mode >> 16 selects (0 two thresholds, else bins); 0 when none.
int ZqSlideEnrollTipsTemplate(uint32_t mode, int32_t count, const ST_SubTemplate *sample,
                              const ST_SubTemplate *reference, uint32_t lowThr, uint32_t highThr,
                              uint8_t spare, uint8_t angThr);

// Decision of the two-threshold rule for overlap D percent and rotation
// deltaAng degrees: 0 enrol, -1 too much overlap, -2 too little turn.
int ZqEnrollTipsTwoThresholdRule(int32_t D, int32_t deltaAng, uint32_t lowThr, uint32_t highThr,
                                 uint8_t angThr);

// Decision of the overlap-bin rule; an overlap at or below the first bin
// bound gives 0 (enrol), as in the two-threshold rule.
int ZqEnrollTipsBinRule(int32_t D, int32_t deltaAng, uint32_t lowThr, uint32_t highThr,
                        uint8_t angThr);

// Rotation of H in whole degrees: |dtheta| in degrees, halves going up.
int32_t ZqEnrollTipsDeltaAng(const ST_FullHMatrix *H);

// Percent of the cols x rows sample pixels that H (rounded by (int)(v + 0.5))
// places inside the sensor; 0 for a NULL H or an empty sensor.
int32_t ZqEnrollTipsOverlap(const ST_FullHMatrix *H, int32_t cols, int32_t rows);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQENROLLTIPS_H_
