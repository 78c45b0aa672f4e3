// Enrolment of images the caller holds, beyond the driver's three calls of
// quorv_sensor_lib.h: the forced enrolments, cancel, the predictor wrappers
// every enrol and identify flow uses, and the FRR/FAR test enrolment.
#ifndef SRC_FPSENSORLIB_QUORV_ENROLL_H_
#define SRC_FPSENSORLIB_QUORV_ENROLL_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Enrols g_fpImageBuf with no gate: 0; -1 no sample; -3 no buffers; -2 a
// failed enrolment; an extraction's code unchanged.
int quorv_NoneSlideForceEnroll(int16_t fingerId, uint8_t enrollIndex, uint8_t *out);
// quorv_EnrollByImage with only the rating gate (-5): 0, -1, -2, -5 or an
// extraction's code; the result goes to gEnrollInfo.forceEnrollRet.
int quorv_ForceEnrollByImage(uint16_t fingerId, uint16_t enrollIndex, const uint8_t *image);
// Appends g_forceEnrollBuf to the enrol-image list; 0.
int quorv_SlideForceEnroll(uint16_t ignored, uint8_t enrollIndex);
// The tips check of template_cur; 0 without one.
int quorv_EnrollTipsTemplate(uint32_t compareIndex, int16_t fingerId, int16_t enrollIndex,
                             uint32_t a, uint32_t b, uint8_t c, uint8_t d);
// Drops the enrolment in progress: 0 or ZqCancelEnroll's result; -2 for a
// finger outside 0..9.
int quorv_CancelEnroll(uint16_t fingerId);

// Predictors: 1 "not a finger" (or "fake"), 0 otherwise. A CNN's score goes
// to detectRate; the verdict is (int)(score x 100, single precision) against
// the level's threshold (levels 0, 1, 2: 60, 50, 40; higher levels as 2).
int quorv_EnrollNonFingerPredict(const uint8_t *image);
int quorv_IdentifyNonFingerPredict(const uint8_t *image);
int quorv_FakeFingerPredict(const uint8_t *image);

// Threshold in percent of a predictor level (levels above 2 as level 2).
int quorv_PredictThreshold(uint8_t level);

// Enrol index of quorv_Enroll_frr_far, advanced after each success; set to
// 0 by quorv_ClearEnrollPara, quorv_SetTplValid and quorv_Init_frr_far.
extern int16_t g_quorvInternalEnrollIndex;

// Test hook: the internal enrol index back to 0.
void quorv_EnrollResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_ENROLL_H_
