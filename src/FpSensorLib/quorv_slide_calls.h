// The algorithm core's calls on which the one-image slide engines (V6, V7)
// branch, besides those of g_quorvCore, reached through one table so that
// tests can script them. The table holds the real functions unless a test
// replaced them.
#ifndef SRC_FPSENSORLIB_QUORV_SLIDE_CALLS_H_
#define SRC_FPSENSORLIB_QUORV_SLIDE_CALLS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct QuorvSlideCalls {
  // ZqGetImagePhysicsArea: the physical area of a configured-size image.
  int32_t (*PhysicsArea)(const uint8_t *img);
  // ZqWetImageAreaPercent: the wet share of the image in percent.
  int32_t (*WetPercent)(const uint8_t *img, uint16_t cols, uint16_t rows);
  // ZqIsGetRequiredImage: 0 overlap at least thr, 1 less, 2 no match.
  int (*RequiredImage)(const ST_SubTemplate *reference, const ST_SubTemplate *sample,
                       uint8_t thr);
  // ZqEnrollTipsTemplate: 0 enrol, non-zero move the finger.
  int (*EnrollTips)(uint32_t mode, const ST_SubTemplate *sample, int16_t fingerId,
                    int16_t enrollIndex, uint32_t lowThr, uint32_t highThr, uint8_t spare,
                    uint8_t angThr);
  // ZqEnrollByTemplate: 0 enrolled, else a failure.
  int (*EnrollByTemplate)(const ST_SubTemplate *sample, int16_t fingerId, int16_t enrollIndex,
                          uint8_t *out);
  // ZqEnrollSpeedFastJustify: 0 still, 1 area changed, 2 moved, -1 error.
  int32_t (*SpeedFastJustify)(const uint8_t *img1, const uint8_t *img2, uint16_t width,
                              uint16_t height);
  // quorv_EnrollNonFingerPredict: 1 not a finger, 0 a finger.
  int (*NonFinger)(const uint8_t *image);
} QuorvSlideCalls;

extern QuorvSlideCalls g_quorvSlideCore;

// Test hook: every entry back to the real function.
void quorv_SlideCallsResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_SLIDE_CALLS_H_
