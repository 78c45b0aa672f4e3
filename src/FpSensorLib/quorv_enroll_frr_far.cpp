// The FRR/FAR test enrolment of the factory interface: every image goes to
// finger 0 at the internal enrol index, and the extracted sample stays as
// template_cur; see quorv_sensor_lib.h.
#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_duplicate_check.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_image_rating.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

int EnrollFrrFar(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (image == nullptr) return QUORV_ERR_INPUT;
  if (c == nullptr || b == nullptr || b->bufSize != c->sensor_cols * c->sensor_rows) {
    QUORV_LOGE("quorv_Enroll_frr_far...image buffer = NULL, ret = %d", QUORV_ERR_INPUT);
    return QUORV_ERR_INPUT;
  }
  memcpy(b->g_fpImageBuf, image, b->bufSize);
  if (c->bad_pix_mode == 2 &&
      ZqBadPixRepair(b->g_fpImageBuf, static_cast<uint16_t>(c->sensor_cols),
                     static_cast<uint16_t>(c->sensor_rows)) != 0) {
    return QUORV_ERR_ALGORITHM;
  }
  memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, b->bufSize);
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  const char *func = "quorv_Enroll_frr_far";
  if (c->enroll_nonfinger == 1) {
    const int verdict = quorv_EnrollNonFingerPredict(b->g_fpImageBuf);
    if (verdict != 0) {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", func,
                   verdict, QUORV_ERR_NOT_FINGER);
      return QUORV_ERR_NOT_FINGER;
    }
  }
  uint8_t record[QUORV_QUALITY_RECORD_BYTES];
  int from_handler = 0;
  const int rating = quorv_RateImage(record, 1, &from_handler);
  if (!from_handler && (rating < 0 || record[0] == 0 || record[1] == 0)) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...ZqGetImageQuality error, NOT finger image, ret = %d",
                 func, QUORV_ERR_NOT_FINGER);
    return QUORV_ERR_NOT_FINGER;
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...image quality = %d ,threshold = %d", func, record[0],
               c->enroll_quality);
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...image area = %d ,threshold = %d", func, record[1],
               c->enroll_valid_area);
  if (record[0] < c->enroll_quality) return QUORV_ERR_LOW_QUALITY;
  if (record[1] < c->enroll_valid_area) return QUORV_ERR_SMALL_AREA;

  ST_SubTemplate *sample = ZqCreateTemp();
  if (sample == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...template_cur = NULL, ret = %d", func,
                 QUORV_ERR_INPUT);
    return QUORV_ERR_INPUT;
  }
  const int extract = ZqGetTemplate(b->g_fpImageBufAlg, sample, record);
  if (extract != 0) {
    ZqReleaseTemp(sample);
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", func,
                 extract, extract);
    return extract;
  }
  quorv_ReleaseTemplateCur();
  template_cur = sample;
  const int16_t index = g_quorvInternalEnrollIndex;
  if (c->tips_mode != 0 && ZqEnrollTipsTemplate(c->tips_mode, sample, 0, index, c->tips_p1,
                                                c->tips_p2, c->tips_p3, c->tips_p4) != 0) {
    memcpy(b->g_forceEnrollBuf, b->g_fpImageBuf, b->bufSize);
    return QUORV_ERR_MUST_MOVE;
  }
  if (c->duplicate_check != 0) {
    uint16_t matched = 0;
    const int verify = quorv_enroll::VerifyAgainstEnrolled(c, sample, &matched);
    if (verify == 0) return QUORV_ERR_ENROLLED;
    if (verify == -1) QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...The finger is new, not existence!", func);
  }
  uint8_t scratch = 0;
  if (ZqEnrollByTemplate(sample, 0, index, &scratch) != 0) return QUORV_ERR_ALGORITHM;
  ++g_quorvInternalEnrollIndex;
  return QUORV_OK;
}

}  // namespace

extern "C" {

int quorv_Enroll_frr_far(const unsigned char *image) {
  quorv_DestroyRescanImage();
  detectRate = 0.0f;
  const int ret = EnrollFrrFar(image);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

int quorv_Init_frr_far(void) {
  detectRate = 0.0f;
  g_quorvInternalEnrollIndex = 0;
  ZqClearNegativeTempalteBuf();
  return ZqDelTpl(0);
}

}  // extern "C"
