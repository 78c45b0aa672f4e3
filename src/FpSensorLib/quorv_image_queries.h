// Image capture and rating queries of the sensor library, and thin
// forwarders to the algorithm core's image operations, for outside tools.
#ifndef SRC_FPSENSORLIB_QUORV_IMAGE_QUERIES_H_
#define SRC_FPSENSORLIB_QUORV_IMAGE_QUERIES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int quorv_GetFpImage(uint8_t *buf);        // GetFpImage(buf, 0)
int quorv_GetFpImageSimple(uint8_t *buf);  // GetFpImageSimple(buf, 0)
// -1 for NULL buf; type 0 scans and reads, 2 slide enrol read, 3 slide
// verify read, any other reads without a scan command.
int quorv_GetSensorImage(uint8_t type, uint8_t *buf);
// Copies len bytes of the access layer's last frame: 0; -1 for NULL dst or
// len above its 25,600 bytes.
int quorv_GetSensorImageBeforeFilter(uint8_t *dst, uint16_t len);
// 0 when the image rates quality > qualityThr and area > areaThr; -1
// otherwise, also for an image that cannot be rated.
int quorv_VerifyImagebuf(const uint8_t *image, uint16_t qualityThr, uint16_t areaThr);
// Capture into g_fpImageBuf and rate: 0 when the quality reaches the enrol
// quality threshold, else -1 (also for a capture error).
int quorv_ImageQuality(void);
int quorv_Image_Quality(void);
int quorv_verify_image_quality_frr_far(void);
// Capture and rate: the quality (area) byte, or -1 on a capture error.
int quorv_GetImageQuality(void);
int quorv_GetImageArea(void);
// Rate image (rubber-test scorer when that test is on) and copy the bytes
// out: 0; -1 when a pointer is NULL.
int quorv_SendImageAndGetQualityAreaCond(const uint8_t *image, uint8_t *quality, uint8_t *area,
                                         uint8_t *cond);
int quorv_SendImageAndGetImgInfo(const uint8_t *image, uint8_t *quality, uint8_t *area,
                                 uint8_t *cond, uint8_t *contrast);
// Rates g_fpImageBufReserve1 (which 2) or g_fpImageBufReserve2: 0, or -1.
int quorv_GetIdentifyImageQualityArea(uint8_t which, uint8_t *quality, uint8_t *area);
int quorv_GetValidArea(const uint8_t *image, uint8_t *out);

// Forwarders, arguments and results unchanged.
int quorv_DealCurveSurfData(const uint16_t *raw, int len, int n, void *out);
int quorv_MeanImage(uint8_t *img, uint16_t a, uint16_t b, uint16_t c, uint8_t *out);
int quorv_MirrorFillU8(uint8_t *img, int a, int b, int c, int d, uint8_t *out);
int quorv_ImgAdaptHisteq(uint8_t *img, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e,
                         double f, uint32_t g, uint32_t h);
int quorv_GetSpaData(uint8_t *img);
void quorv_GetExtremum(int32_t *max, int32_t *min);
void quorv_ClearExtremum(void);
int quorv_GetWhiteAbnormal(uint8_t *img, uint16_t a, uint16_t b, uint8_t *whiteArea);
// ZqEnrollSpeedFastJustify(a, b, width c, height d).
int quorv_SpeedFastJustify(uint8_t *a, uint8_t *b, uint16_t c, uint16_t d);
void *quorv_GetEnrollStatus(void);   // NULL
void *quorv_getEnroll_status(void);  // NULL

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_IMAGE_QUERIES_H_
