// Image capture and rating queries; see quorv_image_queries.h.
#include "src/FpSensorLib/quorv_image_queries.h"

#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_rating.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Rates image with the scorer the rubber-test switch selects.
int RateWith(const uint8_t *image, uint8_t out[4]) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c != nullptr && c->rubber_test == 1) return ZqGetImageQualityRuber(image, out);
  return ZqGetImageQuality(image, out);
}

// Captures into g_fpImageBuf and rates it: 0 with the rating, or -1.
int CaptureAndRate(const char *func, const char *what, uint8_t out[4]) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  // The capture writes cols x rows of the configured size.
  if (g_fp_image_buf == nullptr || c == nullptr ||
      g_fp_image_buf->bufSize != c->sensor_cols * c->sensor_rows) {
    return -1;
  }
  const int got = GetFpImage(g_fp_image_buf->g_fpImageBuf, 0);
  if (got < 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...get image error, %s = %d", func, what, got);
    return -1;
  }
  memset(out, 0, 4);
  if (ZqGetImageQuality(g_fp_image_buf->g_fpImageBuf, out) < 0) return -1;
  return 0;
}

// Captures and rates one image: 0 when its quality reaches the enrol
// threshold, else -1 (logged in `func`'s name).
int CaptureQualityGate(const char *func) {
  uint8_t out[4];
  if (CaptureAndRate(func, "GetFpImage", out) != 0) return -1;
  const uint8_t thr = g_pQuorvConfigInfo->enroll_quality;
  if (out[0] >= thr) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...get image quality ok!", func);
    return 0;
  }
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...quality(=%d) < enroll_quality_threshold(=%d)", func,
               out[0], thr);
  return -1;
}

}  // namespace

extern "C" {

int quorv_GetFpImage(uint8_t *buf) { return GetFpImage(buf, 0); }
int quorv_GetFpImageSimple(uint8_t *buf) { return GetFpImageSimple(buf, 0); }

int quorv_GetSensorImage(uint8_t type, uint8_t *buf) {
  if (buf == nullptr) return -1;
  switch (type) {
    case 0:
      return GetFpImage(buf, 0);
    case 2:
      return quorv_SlideEnrollReadImage(buf);
    case 3:
      return quorv_SlideVerifyReadImage(buf);
    default:
      return GetFpImageSimple(buf, 0);
  }
}

int quorv_GetSensorImageBeforeFilter(uint8_t *dst, uint16_t len) {
  if (dst == nullptr) {
    QUORV_LOGE("input buffer = NULL");
    return -1;
  }
  if (len > QUORV_SPI_IMAGE_BUF_SIZE) return -1;
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi != nullptr && spi->imageBuf != nullptr) memcpy(dst, spi->imageBuf, len);
  return 0;
}

int quorv_VerifyImagebuf(const uint8_t *image, uint16_t qualityThr, uint16_t areaThr) {
  uint8_t out[4] = {0, 0, 0, 0};  // an image that cannot be rated fails
  if (ZqGetImageQuality(image, out) < 0) memset(out, 0, sizeof(out));
  QUORV_LOGI("%s...quality %d area %d\n", __func__, out[0], out[1]);
  return out[0] > qualityThr && out[1] > areaThr ? 0 : -1;
}

int quorv_ImageQuality(void) {
  return CaptureQualityGate(__func__);
}

int quorv_Image_Quality(void) { return quorv_ImageQuality(); }

int quorv_verify_image_quality_frr_far(void) {
  return CaptureQualityGate(__func__);
}

int quorv_GetImageQuality(void) {
  uint8_t out[4];
  if (CaptureAndRate(__func__, "GetFpImage", out) != 0) return -1;
  QUORV_LOGI("%s...quality = %d", __func__, out[0]);
  return out[0];
}

int quorv_GetImageArea(void) {
  uint8_t out[4];
  if (CaptureAndRate(__func__, "GetFpImage()", out) != 0) return -1;
  QUORV_LOGI("%s...area = %d", __func__, out[1]);
  return out[1];
}

int quorv_SendImageAndGetQualityArea(const unsigned char *image, unsigned char *quality,
                                     unsigned char *area) {
  if (image == nullptr || quality == nullptr || area == nullptr) {
    QUORV_LOGE("%s...input error", __func__);
    return -1;
  }
  *quality = 0;
  *area = 0;
  uint8_t out[4] = {0, 0, 0, 0};
  RateWith(image, out);
  *quality = out[0];
  *area = out[1];
  QUORV_LOGI("%s...quality = %d, area = %d", __func__, *quality, *area);
  return 0;
}

int quorv_SendImageAndGetQualityAreaCond(const uint8_t *image, uint8_t *quality, uint8_t *area,
                                         uint8_t *cond) {
  if (image == nullptr || quality == nullptr || area == nullptr || cond == nullptr) {
    QUORV_LOGE("%s...input error", __func__);
    return -1;
  }
  *quality = 0;
  *area = 0;
  uint8_t out[4] = {0, 0, 0, 0};
  RateWith(image, out);
  *quality = out[0];
  *area = out[1];
  *cond = out[2];
  QUORV_LOGI("%s...quality = %d, area = %d, cond = %d", __func__, *quality, *area, *cond);
  return 0;
}

int quorv_SendImageAndGetImgInfo(const uint8_t *image, uint8_t *quality, uint8_t *area,
                                 uint8_t *cond, uint8_t *contrast) {
  if (image == nullptr || quality == nullptr || area == nullptr || cond == nullptr ||
      contrast == nullptr) {
    QUORV_LOGE("%s...input error", __func__);
    return -1;
  }
  uint8_t out[4] = {0xff, 0xff, 0xff, 0xff};
  RateWith(image, out);
  *quality = out[0];
  *area = out[1];
  *cond = out[2];
  *contrast = out[3];
  QUORV_LOGI("%s...quality = %d, area = %d, cond = %d, contrast = %d", __func__, *quality, *area,
             *cond, *contrast);
  return 0;
}

int quorv_GetIdentifyImageQualityArea(uint8_t which, uint8_t *quality, uint8_t *area) {
  if (quality == nullptr || area == nullptr) return -1;
  *quality = 0;
  *area = 0;
  if (g_fp_image_buf == nullptr) return -1;
  const uint8_t *image =
      which == 2 ? g_fp_image_buf->g_fpImageBufReserve1 : g_fp_image_buf->g_fpImageBufReserve2;
  uint8_t out[4] = {0, 0, 0, 0};
  if (ZqGetImageQuality(image, out) < 0) return -1;
  *quality = out[0];
  *area = out[1];
  return 0;
}

int quorv_GetValidArea(const uint8_t *image, uint8_t *out) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return -1;
  return ZqGetValidArea(image, static_cast<int32_t>(c->sensor_rows),
                        static_cast<int32_t>(c->sensor_cols), out);
}

int quorv_DealCurveSurfData(const uint16_t *raw, int len, int n, void *out) {
  return ZqDealCurveSurfData(raw, len, n, static_cast<uint8_t *>(out));
}
int quorv_MeanImage(uint8_t *img, uint16_t a, uint16_t b, uint16_t c, uint8_t *out) {
  return Zq_MeanImage(img, a, b, c, out);
}
int quorv_MirrorFillU8(uint8_t *img, int a, int b, int c, int d, uint8_t *out) {
  return ZqMirrorFillU8(img, a, b, c, d, out);
}
int quorv_ImgAdaptHisteq(uint8_t *img, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e,
                         double f, uint32_t g, uint32_t h) {
  return ZqImgAdaptHisteq(img, a, b, static_cast<uint8_t>(c), static_cast<uint8_t>(d), e,
                          static_cast<float>(f), g, h);
}
int quorv_GetSpaData(uint8_t *img) { return ZqSpaFilter(img); }
void quorv_GetExtremum(int32_t *max, int32_t *min) { ZqGetExtremum(max, min); }
void quorv_ClearExtremum(void) { ZqClearExtremum(); }
int quorv_GetWhiteAbnormal(uint8_t *img, uint16_t a, uint16_t b, uint8_t *whiteArea) {
  return ZqGetWhiteAbnormal(img, a, b, 200, 250, whiteArea);
}
int quorv_SpeedFastJustify(uint8_t *a, uint8_t *b, uint16_t c, uint16_t d) {
  return ZqEnrollSpeedFastJustify(a, b, c, d);
}
void *quorv_GetEnrollStatus(void) { return nullptr; }
void *quorv_getEnroll_status(void) { return quorv_GetEnrollStatus(); }

}  // extern "C"
