// Stand-ins for the parts of the resources, enrol-by-image and identify
// units that the live flows need and that are not built yet. Each goes
// when its unit lands; the buffers are made by quorv_LiveBuffersCreate
// (quorv_live_pending.h) until quorv_InitFpAlg builds them.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_pending.h"
#include "src/ZqAlg/ZqAlloc.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

static_assert(sizeof(QuorvEnrollInfo) == 24, "gEnrollInfo is 24 bytes");

extern "C" {

QuorvImgeBuf *g_fp_image_buf = nullptr;
uint8_t *imageInfoBuf = nullptr;
uint32_t imageInfoBufLen = 0;
ST_SubTemplate *template_cur = nullptr;
float detectRate = 0.0f;
QuorvEnrollInfo gEnrollInfo;
QuorvImgQualityFunc g_quorvImgQualityHandle = nullptr;

namespace {
uint8_t g_lastImageInfo[3];  // quality, area, cond

void FreeBuffers() {
  if (g_fp_image_buf == nullptr) return;
  uint8_t **bufs[] = {&g_fp_image_buf->g_fpImageBuf,        &g_fp_image_buf->g_fpImageBufBeforeSpa,
                      &g_fp_image_buf->g_fpImageBufAfterSpa, &g_fp_image_buf->g_fpImageBufAlg,
                      &g_fp_image_buf->g_lastImageBuf,       &g_fp_image_buf->g_forceEnrollBuf,
                      &g_fp_image_buf->g_fpImageBufReserve1, &g_fp_image_buf->g_fpImageBufReserve2};
  for (uint8_t **b : bufs) {
    ZqFree(*b);
    *b = nullptr;
  }
  ZqFree(g_fp_image_buf);
  g_fp_image_buf = nullptr;
}
}  // namespace

void quorv_GetImgQualityByFwHandle(QuorvImgQualityFunc f) { g_quorvImgQualityHandle = f; }

void quorv_ClearMachArray(int32_t) {}

void quorv_SetLastImageInfo(uint8_t quality, uint8_t area, uint8_t cond) {
  g_lastImageInfo[0] = quality;
  g_lastImageInfo[1] = area;
  g_lastImageInfo[2] = cond;
}

void quorv_GetImageInfo(uint8_t *area, uint8_t *quality, uint8_t *cond) {
  if (area != nullptr) *area = g_lastImageInfo[1];
  if (quality != nullptr) *quality = g_lastImageInfo[0];
  if (cond != nullptr) *cond = g_lastImageInfo[2];
}

int quorv_EnrollNonFingerPredict(const uint8_t *image) { return ZqEnrollNonFingerDetect(image); }

int quorv_SlideEnroll_V6(uint16_t, uint8_t, uint8_t *) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -1);
  return -1;
}
int quorv_SlideEnroll_V7(uint16_t, uint8_t, uint8_t *) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -1);
  return -1;
}

int quorv_LiveBuffersCreate(void) {
  FreeBuffers();
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c == nullptr) return -1;
  g_fp_image_buf = static_cast<QuorvImgeBuf *>(ZqAlloc(sizeof(QuorvImgeBuf)));
  if (g_fp_image_buf == nullptr) return -1;
  const uint32_t size = c->sensor_cols * c->sensor_rows;
  g_fp_image_buf->bufSize = size;
  uint8_t **bufs[] = {&g_fp_image_buf->g_fpImageBuf,        &g_fp_image_buf->g_fpImageBufBeforeSpa,
                      &g_fp_image_buf->g_fpImageBufAfterSpa, &g_fp_image_buf->g_fpImageBufAlg,
                      &g_fp_image_buf->g_lastImageBuf,       &g_fp_image_buf->g_forceEnrollBuf,
                      &g_fp_image_buf->g_fpImageBufReserve1, &g_fp_image_buf->g_fpImageBufReserve2};
  for (uint8_t **b : bufs) {
    *b = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(size)));
    if (*b == nullptr) {
      FreeBuffers();
      return -1;
    }
  }
  if (c->verify_rescan_cnt > g_slideEnrollGetImageCnt)
    g_slideEnrollGetImageCnt = c->verify_rescan_cnt;
  ZqFree(imageInfoBuf);
  imageInfoBufLen = static_cast<uint32_t>(g_slideEnrollGetImageCnt) * 16u + 5u;
  imageInfoBuf = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(imageInfoBufLen)));
  if (imageInfoBuf == nullptr) imageInfoBufLen = 0;
  return 0;
}

void quorv_LiveBuffersDestroy(void) {
  FreeBuffers();
  ZqFree(imageInfoBuf);
  imageInfoBuf = nullptr;
  imageInfoBufLen = 0;
  ZqReleaseTemp(template_cur);
  template_cur = nullptr;
  g_quorvImgQualityHandle = nullptr;
  memset(&gEnrollInfo, 0xff, sizeof(gEnrollInfo));
  memset(g_lastImageInfo, 0, sizeof(g_lastImageInfo));
  detectRate = 0.0f;
}

}  // extern "C"

// Enrolment and identification of the algorithm core, until they are
// built: weak, so the algorithm core's own definitions take their place.
extern "C" {

__attribute__((weak)) int ZqEnrollByTemplate(const ST_SubTemplate *, int16_t, int16_t, uint8_t *) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -2);
  return -2;
}

__attribute__((weak)) int ZqVerifyByTemplate(const ST_SubTemplate *, uint16_t *, int16_t *,
                                             ST_FullHMatrix *, uint8_t) {
  QUORV_LOGE("%s...not available, ret = %d", __func__, -1);
  return -1;
}

}  // extern "C"
