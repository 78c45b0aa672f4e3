// Live identification: the sensor library captures images itself until one
// matches an enrolled finger or the capture budget is spent (press or
// slide), the optional rescue of a failure by the recent match scores, and
// the analysis of a failed identification from the images left in the
// enrol-image list. Results are quorv_result_t codes; -20 is a fake finger.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_IDENTIFY_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_IDENTIFY_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The fake-finger result of the press identification.
#define QUORV_ERR_FAKE_FINGER (-20)

// Identifies one live finger: *fingerId 255 and *updateFlag 0 first, then
// slide-enrol modes 1..5 run the slide identification and every other mode
// the press identification; the result is kept with quorv_SetVerifyRet and
// the automatic match level moved. -1 (nothing touched) for a NULL output.
int quorv_Identify(uint8_t *fingerId, uint8_t *updateFlag);

// The press identification with rescans, classification of a failure, the
// wet-finger report and the rescue. 0 with the outputs set on a match; -20
// for a fake finger (*fingerId 255); -1 for NULL outputs or without
// resources; else -2, -3, -4, -5, -8 or an extraction's code.
int quorv_NoneSlideIdentify(uint8_t *fingerId, uint8_t *updateFlag);

// The slide identification: 0 with the outputs set on a match; -1 (capture
// error, no sample, NULL output, no resources), -2, -4, -5 or an
// extraction's code. No classification and no rescue.
int quorv_SildeIdentify(uint8_t *fingerId, uint8_t *updateFlag);

// Does nothing; 0.
int quorv_IdentifyFactory(void);

// 1 when the first and the last image of the enrol-image list cover the
// same area (the finger has not moved), 0 otherwise (also for 2 images or
// fewer), -1 when a work buffer cannot be had or without resources.
int quorv_CheckIdentifyImageMove(void);

// 2 when the MCU is busy, 1 when the finger is off, 0 when it is on.
int quorv_GetFingerStatusFlag(void);

// The rescue rule of the optimise-identify level (quorv_SetOptimizeIdentifyLevel):
// levels 1..7 run rules 0..6 on the match score, the matched finger and the
// quality record (byte 0 the quality) of the last capture. 0 accepts and
// writes the finger to *fingerId; -1 leaves the result alone (levels 0 and
// 8..255, NULL record or output). Each rule records the score in its
// history after its test.
int quorv_OptimizeIdentifyResult(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
// The rules themselves, with the same arguments and results.
int quorv_OptimizeIdentifyLevel0(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel1(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel2(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel3(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel4(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel5(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);
int quorv_OptimizeIdentifyLevel6(int32_t score, int32_t finger, const uint8_t *quality,
                                 uint8_t *fingerId);

// Refines a failed identification from the images in the enrol-image list
// with the identify thresholds, comparing the first and the last image:
// -8 too fast or no usable image, -5 not a finger, -4 small area, -3
// quality, cond or wet, -2 a normal image that did not match. 0 returns 0
// and touches nothing. Writes one imageInfoBuf entry per listed image (as
// many as it holds) and the verdict trailer; prunes the list. The argument
// unchanged when a template or the work buffer cannot be had.
int quorv_GetIdentifyResultInfo(int32_t ret);
// The same judged with the dirt thresholds and the speed between
// neighbouring images; analyses also when the argument is 0.
int quorv_GetIdentifyResultInfo_v2(int32_t ret);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_IDENTIFY_H_
