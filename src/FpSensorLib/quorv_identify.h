// Identification of a supplied image and what it keeps between calls: the
// kept verify result, the abnormal-image run, the image overlap, the
// accessors over the algorithm core's match statistics (the match arrays
// are kept with the resources). quorv_IdentifyByImage and
// quorv_Identify_frr_far are declared in quorv_sensor_lib.h.
#ifndef SRC_FPSENSORLIB_QUORV_IDENTIFY_H_
#define SRC_FPSENSORLIB_QUORV_IDENTIFY_H_

#include <stdint.h>

#include "src/ZqAlg/ZqMachInfo.h"

#ifdef __cplusplus
extern "C" {
#endif

// The last identify result, -2 (none) at load and after
// quorv_UpdateAutoLevel.
extern int32_t savedVerifyRet;
// Abnormal images in a row seen by identification.
extern uint32_t abnormalImageCount;
// Percentage of the sensor the last live match shared with its template.
extern uint8_t imageOverlap;

// Keeps ret as the identify result and hands it to the match report.
void quorv_SetVerifyRet(int ret);
// Moves the automatic match level by the kept result and the best score,
// then forgets the result (-2).
void quorv_UpdateAutoLevel(void);

// *out = imageOverlap; returns it. NULL out: returns it without writing.
int quorv_GetImageOverlap(int *out);
void quorv_ClearImageOverlap(void);
// The last predictor score; reading clears it.
float quorv_GetDetectRate(void);
int quorv_GetMatchScores(void);
int quorv_GetVerifyScore(void);
// With all three non-NULL: zeroes them, then ZqGetSampleVerifyScore; else
// -1 without writing.
int quorv_GetSampleVerifyScore(uint8_t *ransac, uint8_t *bin, uint8_t *recall);
int quorv_ClearMatchScores(void);
int quorv_GetMatchFingerId(void);
void quorv_ClearMatchFingerId(void);
int quorv_GetMachInfo(ST_QuorvMachInfo *out);
char *quorv_SaveMachInfo(int32_t *len);
void quorv_ClearMachInfo(void);
// The core's image operations on a cols x rows image, their results
// unchanged: ZqImageSmooth, ZqNonLinearStretch, ZqNonLinearStretch_U8 and
// ZqAbnormalRuberImage, each handed its rows before its columns.
int quorv_ImageSmooth(uint8_t *src, int cols, int rows, uint8_t *dst);
int quorv_NonLinearStretch(const uint16_t *raw, int cols, int rows, uint8_t *dst);
int quorv_NonLinearStretchU8(const uint8_t *src, int cols, int rows, uint8_t *dst);
int quorv_AbnormalRuberImage(const uint8_t *reference, const uint8_t *img, int cols, int rows,
                             int stripe, int minutiaLimit, float threshold);

// Test hook: the state above back to its load values.
void quorv_IdentifyResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_IDENTIFY_H_
