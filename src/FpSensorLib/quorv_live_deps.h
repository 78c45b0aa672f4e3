// What the live flows (capture, press and slide enrolment) take from the
// library's resources, the enrol-by-image unit and the identify unit: the
// image work buffers, the per-image information buffer, the current sample
// template, the last-enrolment record, the last-image info, the host
// quality handler and the enrol non-finger predictor.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_

#include <stdint.h>

#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// The eight image work buffers, each bufSize (cols x rows) bytes.
typedef struct QuorvImgeBuf {
  uint32_t bufSize;                // cols x rows at the time of quorv_InitFpAlg
  uint8_t *g_fpImageBuf;           // the image under work (raw capture)
  uint8_t *g_fpImageBufBeforeSpa;  // before the spatial filter
  uint8_t *g_fpImageBufAfterSpa;   // copy of the extracted image
  uint8_t *g_fpImageBufAlg;        // the algorithm's copy
  uint8_t *g_lastImageBuf;         // the previous image
  uint8_t *g_forceEnrollBuf;       // image kept for a forced enrolment
  uint8_t *g_fpImageBufReserve1;   // identify work buffer
  uint8_t *g_fpImageBufReserve2;   // enrol and identify work buffer
} QuorvImgeBuf;

// The work buffers; NULL before quorv_InitFpAlg.
extern QuorvImgeBuf *g_fp_image_buf;

// The per-image information buffer and its allocated length in bytes;
// NULL and 0 before quorv_InitFpAlg.
extern uint8_t *imageInfoBuf;
extern uint32_t imageInfoBufLen;

// The current sample template, or NULL.
extern ST_SubTemplate *template_cur;

// Score of the last CNN predictor that ran.
extern float detectRate;

// The last-enrolment record (24 bytes); "reset" sets every byte to 0xff.
typedef struct QuorvEnrollInfo {
  uint8_t quality;
  uint8_t area;
  uint8_t cond;
  uint8_t contrast;
  uint8_t reserved0;  // fifth byte of the quality record
  int32_t enrollRet;
  int32_t forceEnrollRet;
  uint8_t fingerId;
  uint8_t enrollIndex;
  uint8_t subTplsNum;
  uint8_t maxNum;
  uint8_t minNum;
  uint8_t forceEnrollFailed;
  uint8_t reserved1[2];
} QuorvEnrollInfo;
extern QuorvEnrollInfo gEnrollInfo;

// Host quality handler: fills quality, area, cond and contrast of the image
// just captured; 0 or more on success. NULL when none is registered.
typedef int (*QuorvImgQualityFunc)(uint8_t *quality, uint8_t *area, uint8_t *cond,
                                   uint8_t *contrast);
extern QuorvImgQualityFunc g_quorvImgQualityHandle;
// Registers the host quality handler (NULL unregisters it).
void quorv_GetImgQualityByFwHandle(QuorvImgQualityFunc f);

// Zeroes the match arrays of finger slot `slot` (0..9; others ignored).
void quorv_ClearMachArray(int32_t slot);

// Stores quality, area and cond of the last rated image.
void quorv_SetLastImageInfo(uint8_t quality, uint8_t area, uint8_t cond);
// Copies the last-image info out (area, quality, cond order).
void quorv_GetImageInfo(uint8_t *area, uint8_t *quality, uint8_t *cond);

// Enrol non-finger verdict for an image of the configured size: 0 finger,
// non-zero not a finger.
int quorv_EnrollNonFingerPredict(const uint8_t *image);

// Slide engines V6 and V7: (fingerId, enrollIndex, out).
int quorv_SlideEnroll_V6(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V7(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
