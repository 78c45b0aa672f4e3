// One live capture: read, keep a copy in the rescan list, repair, rate.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

namespace {

int Leave(const char *func, int ret) {
  QUORV_LOG_IN(func, QUORV_LOG_VERBOSE, "%s...leave, ret = %d", func, ret);
  return ret;
}

// Rating by the host handler: true when it answered 0 or more and set all
// four values.
bool RatedByHost(uint8_t *q) {
  if (g_quorvImgQualityHandler == nullptr) return false;
  uint8_t v[4] = {255, 255, 255, 255};
  if (g_quorvImgQualityHandler(&v[0], &v[1], &v[2], &v[3]) < 0) return false;
  for (uint8_t b : v)
    if (b == 255) return false;
  memcpy(q, v, 4);
  return true;
}

}  // namespace

extern "C" {

int quorv_LiveReady(const char *func) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  const QuorvImgeBuf *b = g_fp_image_buf;
  if (c != nullptr && b != nullptr && b->bufSize >= c->sensor_cols * c->sensor_rows) return 1;
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...input error, ret = %d", func, -1);
  return 0;
}

uint32_t quorv_GetImagePixel(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (image == nullptr || c == nullptr) return 0;
  const uint32_t n = c->sensor_cols * c->sensor_rows;
  uint32_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += image[i];
  return sum;
}

int quorv_GetImageData(int, uint8_t *quality, uint32_t readMode) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  const QuorvImgeBuf *b = g_fp_image_buf;
  if (quality == nullptr || !quorv_LiveReady(__func__)) return Leave(__func__, -1);
  QUORV_LOGV("quorv_GetImageData...interrupt_mode = %d", c->mcu_interrupt_mode);
  const uint32_t size = b->bufSize;
  memset(b->g_fpImageBuf, 0, size);
  memset(b->g_fpImageBufAlg, 0, size);
  memset(b->g_lastImageBuf, 0, size);
  memset(b->g_forceEnrollBuf, 0, size);

  const int ret = c->mcu_interrupt_mode != 0 ? GetFpImageSimple(b->g_fpImageBuf, readMode)
                                             : GetFpImage(b->g_fpImageBuf, readMode);
  quorv_SaveRescanImage(b->g_fpImageBuf);
  if (ret == -5) {
    QUORV_LOGE("quorv_GetImageData...none finger, ret = %d", ret);
    return Leave(__func__, ret);
  }
  if (ret < 0) {
    QUORV_LOGE("quorv_GetImageData...Get Image error, ret = %d", ret);
    return Leave(__func__, ret);
  }
  QUORV_LOGD("%s...Get Image OK, ret = %d", __func__, ret);

  if (c->bad_pix_mode == 2) {
    const int r = ZqBadPixRepair(b->g_fpImageBuf, static_cast<uint16_t>(c->sensor_cols),
                                 static_cast<uint16_t>(c->sensor_rows));
    if (r != 0) {
      QUORV_LOGE("ZqBadPixRepair() = %d...error, ret = %d", r, -2);
      return Leave(__func__, -2);
    }
  }
  QUORV_LOGV("quorv_GetImageData...image_repeat_mode = %d", c->image_repeat);

  memset(quality, 255, 5);
  if (!RatedByHost(quality)) {
    const int r = ZqGetImageQuality(b->g_fpImageBuf, quality);
    if (r < 0) {
      QUORV_LOGE("%s...ZqGetImageQuality error, ret = %d", __func__, -5);
      return Leave(__func__, -5);
    }
  }
  g_quorvLastImageInfo = QuorvLastImageInfo{quality[0], quality[1], quality[2]};
  QUORV_LOGI("%s...last area = %d, quality = %d, ret = %d", __func__, quality[1], quality[0], ret);
  memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, size);
  return Leave(__func__, ret);
}

uint8_t quorv_GetDumpImageIndex(uint8_t *out) {
  if (out == nullptr) return 0;
  return static_cast<uint8_t>(quorv_get_sensor_image_index(out));
}

}  // extern "C"
