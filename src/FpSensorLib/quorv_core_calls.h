// The algorithm core's calls and the library's predictors on which the
// enrol, identify, update and template flows branch, reached through one
// table so that tests can script them.
// The table holds the real functions unless a test replaced them.
#ifndef SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_
#define SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/features/ZqFullHMatrix.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*QuorvVerifyFunc)(const ST_SubTemplate *sample, uint16_t *fingerId,
                               int16_t *updateFlag, ST_FullHMatrix *H, uint8_t option);

typedef struct QuorvCoreCalls {
  int32_t (*GetImageQuality)(const uint8_t *img, uint8_t *out);
  int32_t (*GetTemplate)(uint8_t *img, ST_SubTemplate *sample, const uint8_t *quality);
  QuorvVerifyFunc VerifyByTemplate;
  QuorvVerifyFunc VerifyByTemplateExtra;
  uint8_t (*JudgeIsNeedToReIdentify)(void);
  int32_t (*BadPixRepair)(uint8_t *img, uint16_t cols, uint16_t rows);
  int32_t (*AbnormalImageDetect)(const uint8_t *img, int rows, int cols);
  int32_t (*RootFilter)(const uint8_t *img, int a, int b, uint16_t window, uint8_t *dst);
  int (*TemplateUpdate)(int update, uint32_t *updatedFingerId);
  int (*VerifyTwoTemplate)(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                           ST_FullHMatrix *H, uint8_t recallEn, uint8_t option);
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
  // The library's predictors: non-zero means not a finger (enrol and
  // identify thresholds) or a fake finger.
  int (*EnrollNonFinger)(const uint8_t *image);
  int (*IdentifyNonFinger)(const uint8_t *image);
  int (*FakeFinger)(const uint8_t *image);
} QuorvCoreCalls;

extern QuorvCoreCalls g_quorvCore;

// Test hook: every entry back to the real function.
void quorv_CoreCallsResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_CORE_CALLS_H_
