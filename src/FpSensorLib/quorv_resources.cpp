// Lifecycle of the sensor library's resources; see quorv_resources.h.
#include "src/FpSensorLib/quorv_resources.h"

#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {

QuorvImgeBuf *g_fp_image_buf = nullptr;
uint8_t *imageInfoBuf = nullptr;
uint32_t imageInfoBufSize = 0;
ST_SubTemplate *template_cur = nullptr;
ST_SubTemplate *template_backup = nullptr;
float detectRate = 0.0f;
uint8_t g_quorvTplDataFlag = 0;
int32_t successMachTimes[QUORV_FINGER_SLOTS];
int32_t fingerMachScores[QUORV_FINGER_SLOTS][5];
int32_t recentMachScores[QUORV_FINGER_SLOTS];

}  // extern "C"

namespace {

constexpr const char *kImgeBufStep = "quorv_CreateQuorvImgeBufInstance";

// The eight buffers of b in field order, with their field names.
struct BufferField {
  uint8_t *QuorvImgeBuf::*member;
  const char *name;
};
constexpr BufferField kBuffers[] = {
    {&QuorvImgeBuf::g_fpImageBuf, "g_fpImageBuf"},
    {&QuorvImgeBuf::g_fpImageBufBeforeSpa, "g_fpImageBufBeforeSpa"},
    {&QuorvImgeBuf::g_fpImageBufAfterSpa, "g_fpImageBufAfterSpa"},
    {&QuorvImgeBuf::g_fpImageBufAlg, "g_fpImageBufAlg"},
    {&QuorvImgeBuf::g_lastImageBuf, "g_lastImageBuf"},
    {&QuorvImgeBuf::g_forceEnrollBuf, "g_forceEnrollBuf"},
    {&QuorvImgeBuf::g_fpImageBufReserve1, "g_fpImageBufReserve1"},
    {&QuorvImgeBuf::g_fpImageBufReserve2, "g_fpImageBufReserve2"},
};

void FreeImageBuffers() {
  if (g_fp_image_buf == nullptr) return;
  for (const BufferField &f : kBuffers) {
    ZqFree(g_fp_image_buf->*f.member);
    g_fp_image_buf->*f.member = nullptr;
  }
  ZqFree(g_fp_image_buf);
  g_fp_image_buf = nullptr;
}

void FreeImageInfoBuf() {
  ZqFree(imageInfoBuf);
  imageInfoBuf = nullptr;
  imageInfoBufSize = 0;
}

// Builds all eight buffers of cols x rows bytes, or nothing: 0 or -1.
int CreateImageBuffers(uint32_t bytes) {
  auto *b = static_cast<QuorvImgeBuf *>(ZqAlloc(static_cast<int>(sizeof(QuorvImgeBuf))));
  if (b == nullptr) {
    QUORV_LOG_IN(kImgeBufStep, QUORV_LOG_ERROR, "%s FAIL!", kImgeBufStep);
    return -1;
  }
  g_fp_image_buf = b;
  b->bufSize = bytes;
  for (const BufferField &f : kBuffers) {
    b->*f.member = bytes == 0 ? nullptr : static_cast<uint8_t *>(ZqAlloc(static_cast<int>(bytes)));
    if (b->*f.member == nullptr) {
      FreeImageBuffers();
      QUORV_LOG_IN(kImgeBufStep, QUORV_LOG_ERROR, "%s  create g_fp_image_buf->%s FAIL!",
                   kImgeBufStep, f.name);
      return -1;
    }
  }
  return 0;
}

}  // namespace

extern "C" {

void quorv_ClearMachArray(int32_t slot) {
  if (slot < 0 || slot >= QUORV_FINGER_SLOTS) return;
  successMachTimes[slot] = 0;
  memset(fingerMachScores[slot], 0, sizeof(fingerMachScores[slot]));
  recentMachScores[slot] = 0;
}

void quorv_ReleaseTemplateCur(void) {
  ZqReleaseTemp(template_cur);
  template_cur = nullptr;
}

int8_t quorv_SensorResourceCreate(void) {
  QUORV_LOGV("quorv_SensorResourceCreate enter.");
  if (quorv_get_spi_instance() == nullptr) {
    QUORV_LOGE("quorv_get_spi_instance FAIL!");
    return -1;
  }
  if (quorv_get_slide_enroll_instance() == nullptr) {
    QUORV_LOGE("quorv_get_slide_enroll_instance FAIL!");
    return -1;
  }
  if (quorv_CreateSensorInstance() == nullptr) {
    QUORV_LOGE("quorv_CreateSensorInstance FAIL!");
    return -1;
  }
  const int config = quorv_config_create();
  g_quorvTplDataFlag = 0;
  if (config != 0) {
    QUORV_LOG_IN("quorv_CreateQuorvConfigInfoInstance", QUORV_LOG_ERROR,
                 "quorv_CreateQuorvConfigInfoInstance FAIL!");
    QUORV_LOGE("quorv_CreateQuorvConfigInfoInstance FAIL!");
    return -1;
  }
  for (int32_t slot = 0; slot < QUORV_FINGER_SLOTS; ++slot) quorv_ClearMachArray(slot);
  FreeImageInfoBuf();
  quorv_optimize_identify_reset();
  quorv_EnrollInfoReset();
  QUORV_LOGV("quorv_SensorResourceCreate leave.");
  return 0;
}

void quorv_SensorResourceDestroy(void) {
  QUORV_LOGV("quorv_SensorResourceDestroy enter.");
  quorv_destroy_spi_instance();
  quorv_destroy_slide_enroll_instance();
  quorv_DestroySensorInstance();
  quorv_config_destroy();
  FreeImageBuffers();
  ZqDestroyIntiAlg();
  quorv_DestroyRescanImage();
  quorv_DestroyEnrollImage();
  quorv_DestroyImageTpl();
  quorv_ReleaseTemplateCur();
  ZqReleaseTemp(template_backup);
  template_backup = nullptr;
  g_quorvTplDataFlag = 0;
  FreeImageInfoBuf();
  QUORV_LOGV("quorv_SensorResourceDestroy leave.");
}

int quorv_InitFpAlg(void) {
  detectRate = 0.0f;
  FreeImageBuffers();
  const QuorvConfigInfo *c = quorv_config_for(__func__);
  if (c == nullptr) return -1;
  const uint32_t bytes = c->sensor_cols * c->sensor_rows;
  if (CreateImageBuffers(bytes) != 0) {
    QUORV_LOGE("quorv_CreateQuorvImgeBufInstance FAIL!");
    return -1;
  }
  if (ZqInitAlgorithm() == -1) {
    QUORV_LOGE("%s...ZqInitAlgorithm FAIL!", __func__);
    return -1;
  }
  const int net = ZqNetInit(c->fake_mode, c->nonfinger_ver, c->enroll_nonfinger_net);
  if (net != 0) {
    QUORV_LOGE("%s...init net FAIL!, ret = %d", __func__, net);
    return -1;
  }
  if (c->verify_rescan_cnt > g_slideEnrollGetImageCnt) {
    g_slideEnrollGetImageCnt = c->verify_rescan_cnt;
  }
  FreeImageInfoBuf();
  const uint32_t infoBytes = static_cast<uint32_t>(g_slideEnrollGetImageCnt) * 16u + 5u;
  imageInfoBuf = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(infoBytes)));
  if (imageInfoBuf == nullptr) {
    QUORV_LOGE("%s...imageInfoBuf = NULL, ret = -1", __func__);
    return -1;
  }
  imageInfoBufSize = infoBytes;
  // A new backup replaces the one of an earlier initialisation.
  ZqReleaseTemp(template_backup);
  template_backup = ZqCreateTemp();
  if (template_backup == nullptr) {
    QUORV_LOGE("%s...template_backup = NULL, ret = -1", __func__);
    return -1;
  }
  return 0;
}

void quorv_ResourcesResetForTest(void) {
  quorv_SensorResourceDestroy();
  for (int32_t slot = 0; slot < QUORV_FINGER_SLOTS; ++slot) quorv_ClearMachArray(slot);
  detectRate = 0.0f;
  detectFingerFlg = 0;
  g_quorvImgQualityHandler = nullptr;
  g_quorvFingerStatusHandler = nullptr;
  g_quorvWetFingerHandler = nullptr;
  quorv_EnrollInfoReset();
  quorv_ClearImageInfo();
}

}  // extern "C"
