// The sensor library's resources for its one sensor: the image work buffers
// g_fp_image_buf, the per-image information buffer, the two sample
// templates, the match arrays, the host handlers the flows may call, and the
// exported functions that create, initialise and destroy them, register host
// callbacks with the sensor access layer and copy images in and out.
#ifndef SRC_FPSENSORLIB_QUORV_RESOURCES_H_
#define SRC_FPSENSORLIB_QUORV_RESOURCES_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqSubTemplate.h"

#ifdef __cplusplus
extern "C" {
#endif

// Image work buffers, fields in this order. Every buffer holds bufSize bytes
// (one cols x rows 8-bit image, rows packed), zero-filled when made.
typedef struct QuorvImgeBuf {
  uint32_t bufSize;                // cols x rows at the last quorv_InitFpAlg
  uint8_t *g_fpImageBuf;           // the image under work
  uint8_t *g_fpImageBufBeforeSpa;  // the image before the spatial filter
  uint8_t *g_fpImageBufAfterSpa;   // the image after the spatial filter
  uint8_t *g_fpImageBufAlg;        // the algorithm's copy of the image
  uint8_t *g_lastImageBuf;         // the previous image
  uint8_t *g_forceEnrollBuf;       // the image kept for a forced enrolment
  uint8_t *g_fpImageBufReserve1;   // work buffer of the identify flows
  uint8_t *g_fpImageBufReserve2;   // work buffer of the enrol and identify flows
} QuorvImgeBuf;

// The work buffers: all eight exist, or the pointer is NULL (at load, after
// destroy, after a failed build).
extern QuorvImgeBuf *g_fp_image_buf;

// Per-image information buffer: imageInfoBufSize zeroed bytes, (slide-enrol
// image count x 16) + 5, made by quorv_InitFpAlg; NULL and 0 when none.
extern uint8_t *imageInfoBuf;
extern uint32_t imageInfoBufSize;

// The current sample (the live flows' last extraction) and the backup sample
// (made by quorv_InitFpAlg, filled by the identification); NULL when none.
extern ST_SubTemplate *template_cur;
extern ST_SubTemplate *template_backup;

// Score of the last CNN predictor that ran; 0.0 when none ran or decided.
extern float detectRate;

// Set by the template-data operations; cleared by create and destroy.
extern uint8_t g_quorvTplDataFlag;

// Match history per finger slot 0..9: successes in a row, the slot's last
// five scores (newest first), and in entries 0..4 the last five scores of
// any finger.
extern int32_t successMachTimes[QUORV_FINGER_SLOTS];
extern int32_t fingerMachScores[QUORV_FINGER_SLOTS][5];
extern int32_t recentMachScores[QUORV_FINGER_SLOTS];

// 1 once quorv_DetectFinger ran; nothing reads it.
extern uint8_t detectFingerFlg;

// Host handlers, NULL until registered.
// Module's own rating of the image just captured: quality, area, cond,
// contrast; a result of 0 or more counts as success.
typedef int (*QuorvImgQualityHandler)(uint8_t *quality, uint8_t *area, uint8_t *cond,
                                      uint8_t *contrast);
// Finger status as the module sees it.
typedef uint8_t (*QuorvFingerStatusHandler)(void);
// Wet-finger report: a value of the flow, the wet-area percentage, three
// bytes of the flow and 0.
typedef int (*QuorvWetFingerHandler)(int32_t value, int32_t wetPercent, uint8_t a, uint8_t b,
                                     uint8_t c, int32_t zero);
extern QuorvImgQualityHandler g_quorvImgQualityHandler;
extern QuorvFingerStatusHandler g_quorvFingerStatusHandler;
extern QuorvWetFingerHandler g_quorvWetFingerHandler;

// Zeroes the match arrays of finger slot 0..9; other slots: nothing.
void quorv_ClearMachArray(int32_t slot);

// Releases template_cur and sets it NULL.
void quorv_ReleaseTemplateCur(void);

// --- Host-callback registration (handed to the sensor access layer) --------
void quorv_InitFuncGetImage(QuorvGetImageFunc f);
void quorv_InitFuncReadImageInit(QuorvImageStepFunc f);
void quorv_InitFuncReadImageStart(QuorvImageStepFunc f);
void quorv_InitFuncReadImageEnd(QuorvImageStepFunc f);
void quorv_InitFuncGetImageBase(QuorvGetImageBaseFunc f);
void quorv_InitFuncLog(QuorvLogFunc f);
// Accepted and not kept.
void quorv_InitFuncFW4848GetImage(QuorvUnusedFunc f);
void quorv_InitFuncWhilePoint(QuorvUnusedFunc f);
void quorv_GetDynamicDiff(QuorvUnusedFunc f);
void quorv_SetWetFingerHandle(QuorvUnusedFunc f);

// Host handlers kept by the library.
void quorv_GetImgQualityByFwHandle(QuorvImgQualityHandler f);
void quorv_GetFingerStatusHandle(QuorvFingerStatusHandler f);
void quorv_GetWetFingerHandle(QuorvWetFingerHandler f);

// --- Finger detection and saved sensor images ---------------------------------
// Sets detectFingerFlg, then DetectFinger's result (0 on, 1 off, 2 busy, 3 wake).
int quorv_DetectFinger(void);
int quorv_DetectFingerFactory(void);  // DetectFingerFactory's result
// Copies saved slide image `index` (len bytes) into dst.
void quorv_GetSensorImageBuff(uint8_t *dst, uint16_t len, uint8_t index);
// Number of saved slide images, also stored in *out.
uint8_t quorv_GetSensorImageNum(uint8_t *out);
void quorv_GetEnrollingEvent(void);       // nothing
void quorv_ValidFingerInfoSwitch(void);   // nothing

// --- Image buffers ---------------------------------------------------------------
// Copies len bytes into g_fpImageBuf and g_fpImageBufAlg: 0; -1 for NULL
// image, len 0, len above cols x rows or above the buffers, or no buffers.
int quorv_CopyImageData(const uint8_t *image, uint16_t len);
// Copies height rows of width bytes, stride bytes apart, packed into both
// buffers: 0; -1 for bad arguments (stride < width or > width + 3, a zero),
// no buffers, or width x height above the buffers.
int quorv_CopyImageDataToAlgo(const uint8_t *image, uint16_t width, uint16_t height,
                              uint16_t stride);
// Copies len bytes into g_fpImageBufAlg: 0; -1 for NULL image, no buffers
// or len above the buffers.
int quorv_CopyImageAlg(const uint8_t *image, uint16_t len);
// Copy len bytes of a work buffer into dst and return dst; NULL (nothing
// copied) for a NULL dst, no buffers or len above the buffers.
uint8_t *quorv_GetFpImageBuffEnroll(uint8_t *dst, uint16_t len);
uint8_t *quorv_GetFpImageAlgBuff(uint8_t *dst, uint16_t len);
// Selector 0: the image before the spatial filter, 1: after it; others and
// bad lengths copy nothing.
void quorv_GetFpSpaImageBuff(uint8_t *dst, uint16_t len, uint8_t selector);
// Copies len bytes of the SPI object's raw buffer: 0; -1 for NULL dst, no
// SPI object or len above the raw buffer.
int quorv_GetImageRawData(uint8_t *dst, uint16_t len);

// Test hook: releases everything create and init built and forgets the host
// handlers, as at load.
void quorv_ResourcesResetForTest(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_RESOURCES_H_
