// Enrolment of an image the caller holds, and the forced enrolments that
// follow a "must move" answer; see quorv_sensor_lib.h and quorv_enroll.h.
// Every step releases its sample and puts gQuorvActionMode back to idle on
// all of its exits, and records its outcome in gEnrollInfo.
#include "src/FpSensorLib/quorv_enroll.h"

#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_duplicate_check.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_image_rating.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {
int16_t g_quorvInternalEnrollIndex = 0;
}

namespace {

// The buffers and record an enrol step needs, when they agree on the size.
bool Ready() {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  const QuorvImgeBuf *b = g_fp_image_buf;
  return c != nullptr && b != nullptr && b->bufSize == c->sensor_cols * c->sensor_rows &&
         b->bufSize != 0;
}

void StoreExtremum() {
  int32_t maxNum = 0;
  int32_t minNum = 0;
  ZqGetExtremum(&maxNum, &minNum);
  gEnrollInfo.maxNum = static_cast<uint8_t>(maxNum);
  gEnrollInfo.minNum = static_cast<uint8_t>(minNum);
}

void StoreRating(const uint8_t record[QUORV_QUALITY_RECORD_BYTES]) {
  g_quorvLastImageInfo.quality = record[0];
  g_quorvLastImageInfo.area = record[1];
  g_quorvLastImageInfo.cond = record[2];
  gEnrollInfo.quality = record[0];
  gEnrollInfo.area = record[1];
  gEnrollInfo.cond = record[2];
  gEnrollInfo.contrast = record[3];
  gEnrollInfo.reserved0 = record[4];
}

// Start of the image steps of `func`: template_cur and the rescan list go,
// the extremum counts, detectRate and gEnrollInfo are reset. QUORV_OK, or
// QUORV_ERR_INPUT (logged) when image is NULL.
int BeginImageStep(const char *func, const uint8_t *image) {
  quorv_ReleaseTemplateCur();
  quorv_DestroyRescanImage();
  ZqClearExtremum();
  detectRate = 0.0f;
  quorv_EnrollInfoReset();
  if (image != nullptr) return QUORV_OK;
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "image == NULL");
  return QUORV_ERR_INPUT;
}

// Places image in g_fpImageBuf and repairs bad pixels in mode 2: 0, or the
// repair's result.
int PlaceImage(const uint8_t *image) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  memcpy(g_fp_image_buf->g_fpImageBuf, image, g_fp_image_buf->bufSize);
  if (c->bad_pix_mode != 2) return 0;
  return ZqBadPixRepair(g_fp_image_buf->g_fpImageBuf, static_cast<uint16_t>(c->sensor_cols),
                        static_cast<uint16_t>(c->sensor_rows));
}

// Common start of the image enrolments once BeginImageStep ran: checks the
// buffers, places and repairs image, copies it to g_fpImageBufAlg, enters
// enrol mode and rates it into record (`askHandler` as quorv_RateImage's).
// QUORV_OK, QUORV_ERR_INPUT without buffers, QUORV_ERR_NOT_FINGER for a
// failed or empty rating; a repair failure gives `repairInputRet` when it
// blames the input (-2), else QUORV_ERR_ALGORITHM; a rating's -2 gives
// `ratingInputRet`.
int PlaceAndRate(const char *func, const uint8_t *image, int askHandler, int repairInputRet,
                 int ratingInputRet, uint8_t record[QUORV_QUALITY_RECORD_BYTES]) {
  if (!Ready()) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...image buffer = NULL, ret = %d", func,
                 QUORV_ERR_INPUT);
    return QUORV_ERR_INPUT;
  }
  const int repair = PlaceImage(image);
  if (repair != 0) {
    const int ret = repair == -2 ? repairInputRet : QUORV_ERR_ALGORITHM;
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "ZqBadPixRepair() = %d...error, ret = %d", repair, ret);
    return ret;
  }
  memcpy(g_fp_image_buf->g_fpImageBufAlg, g_fp_image_buf->g_fpImageBuf, g_fp_image_buf->bufSize);
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  const int rating = quorv_RateImage(record, askHandler, nullptr);
  StoreRating(record);
  if (rating < 0 || record[1] == 0 || record[0] == 0) {
    const int ret = rating == -2 ? ratingInputRet : QUORV_ERR_NOT_FINGER;
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...ZqGetImageQuality() = %d, error, NOT finger image, ret = %d", func, rating,
                 ret);
    return ret;
  }
  return QUORV_OK;
}

// A fresh sample, or null after logging "template_cur = NULL" with
// QUORV_ERR_INPUT for `func`.
ST_SubTemplate *NewSample(const char *func) {
  ST_SubTemplate *sample = ZqCreateTemp();
  if (sample == nullptr)
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...template_cur = NULL, ret = %d", func,
                 QUORV_ERR_INPUT);
  return sample;
}

// Closing of the image steps; *ret_field receives the result.
int CloseImageStep(ST_SubTemplate *sample, int ret, uint16_t fingerId, uint16_t enrollIndex,
                   int32_t *ret_field) {
  ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  StoreExtremum();
  gEnrollInfo.fingerId = static_cast<uint8_t>(fingerId);
  gEnrollInfo.enrollIndex = static_cast<uint8_t>(enrollIndex);
  *ret_field = ret;
  gEnrollInfo.subTplsNum = static_cast<uint8_t>(ZqGetSubtemplatesNum(static_cast<uint8_t>(fingerId)));
  return ret;
}

uint64_t Now() { return quorv_fp_system_time(); }

}  // namespace

extern "C" {

int quorv_ClearEnrollPara(void) {
  g_quorvInternalEnrollIndex = 0;
  return 0;
}

int quorv_EnrollByImage(int slot, uint8_t index, const uint8_t *image) {
  const uint16_t fingerId = static_cast<uint16_t>(slot);
  const uint16_t enrollIndex = index;
  if (BeginImageStep(__func__, image) != QUORV_OK) return QUORV_ERR_INPUT;
  ST_SubTemplate *sample = nullptr;
  int ret = QUORV_OK;
  uint8_t record[QUORV_QUALITY_RECORD_BYTES];
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  do {
    ret = PlaceAndRate(__func__, image, 1, QUORV_ERR_INPUT, QUORV_ERR_INPUT, record);
    if (ret != QUORV_OK) break;
    if (c->enroll_nonfinger == 1) {
      const int verdict = quorv_EnrollNonFingerPredict(g_fp_image_buf->g_fpImageBuf);
      if (verdict != 0) {
        ret = QUORV_ERR_NOT_FINGER;
        QUORV_LOGE("%s...NOT finger image, value = %d, ret = %d", __func__, verdict, ret);
        break;
      }
    }
    QUORV_LOGI("%s...image quality = %d (thr = %d), area = %d (thr = %d)", __func__, record[0],
               c->enroll_quality, record[1], c->enroll_valid_area);
    if (record[0] < c->enroll_quality) {
      ret = QUORV_ERR_LOW_QUALITY;
      QUORV_LOGE("%s...poor image quality(= %d),threshold = %d, error, ret = %d", __func__,
                 record[0], c->enroll_quality, ret);
      break;
    }
    if (record[1] < c->enroll_valid_area) {
      ret = QUORV_ERR_SMALL_AREA;
      QUORV_LOGE("%s...image area is too small(= %d),threshold = %d, error, ret = %d", __func__,
                 record[1], c->enroll_valid_area, ret);
      break;
    }
    sample = NewSample(__func__);
    if (sample == nullptr) {
      ret = QUORV_ERR_INPUT;
      break;
    }
    const int extract = ZqGetTemplate(g_fp_image_buf->g_fpImageBufAlg, sample, record);
    if (extract != 0) {
      ret = extract == -2 ? QUORV_ERR_INPUT : QUORV_ERR_ALGORITHM;
      QUORV_LOGE("%s...ZqGetTemplate() = %d, error, ret = %d", __func__, extract, ret);
      break;
    }
    QUORV_LOGI("%s...fingerId = %d, enrollIndex = %d", __func__, fingerId, enrollIndex);
    if (c->duplicate_check != 0) {
      uint16_t matched = 0;
      const int verify = quorv_enroll::VerifyAgainstEnrolled(c, sample, &matched);
      if (verify == 0) {
        ret = QUORV_ERR_ENROLLED;
        QUORV_LOGE("%s...The finger(%d) already existence, enroll failed!, ret = %d", __func__,
                   matched, ret);
        break;
      }
      if (verify == -2) {
        ret = QUORV_ERR_INPUT;
        QUORV_LOGE("%s...ZqVerifyByTemplate fail, ret = %d", __func__, ret);
        break;
      }
      QUORV_LOGD("%s...The finger is new, not existence!", __func__);
    }
    if (c->tips_mode != 0) {
      const int tips = ZqEnrollTipsTemplate(c->tips_mode, sample, static_cast<int16_t>(fingerId),
                                            static_cast<int16_t>(enrollIndex), c->tips_p1,
                                            c->tips_p2, c->tips_p3, c->tips_p4);
      if (tips != 0) {
        ret = QUORV_ERR_MUST_MOVE;
        memcpy(g_fp_image_buf->g_forceEnrollBuf, g_fp_image_buf->g_fpImageBuf,
               g_fp_image_buf->bufSize);
        QUORV_LOGE("%s...should move a little! ZqEnrollTipsTemplate() = %d, ret = %d", __func__,
                   tips, ret);
        break;
      }
    }
    uint8_t scratch = 0;
    const int enrol = ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId),
                                         static_cast<int16_t>(enrollIndex), &scratch);
    if (enrol == 0) {
      QUORV_LOGI("%s...enroll success!, ret = %d", __func__, ret);
    } else if (enrol == -2) {
      ret = QUORV_ERR_INPUT;
      QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() malloc fail, ret = %d", __func__,
                 ret);
    } else {
      ret = QUORV_ERR_ALGORITHM;
      QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", __func__, enrol,
                 ret);
    }
  } while (false);
  return CloseImageStep(sample, ret, fingerId, enrollIndex, &gEnrollInfo.enrollRet);
}

int quorv_NoneSlideForceEnroll(int16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  const uint64_t start = Now();
  ST_SubTemplate *sample = NewSample(__func__);
  if (sample == nullptr) return QUORV_ERR_INPUT;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  int ret;
  uint64_t extracted = start;
  uint64_t enrolled = start;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (!Ready()) {
    ret = -3;
    QUORV_LOGE("%s...image buffer = NULL, ret = %d", __func__, ret);
  } else {
    memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, b->bufSize);
    ret = ZqGetTemplate(b->g_fpImageBufAlg, sample, nullptr);
    memcpy(b->g_fpImageBufAfterSpa, b->g_fpImageBufAlg, b->bufSize);
    extracted = Now();
    if (ret != 0) {
      QUORV_LOGE("%s...ZqGetTemplate() = %d, error, ret = %d", __func__, ret, ret);
    } else {
      uint8_t scratch = 0;
      const int enrol = ZqEnrollByTemplate(sample, fingerId, enrollIndex,
                                           out != nullptr ? out : &scratch);
      enrolled = Now();
      if (enrol != 0) {
        ret = QUORV_ERR_ALGORITHM;
        QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", __func__, enrol,
                   ret);
      } else {
        QUORV_LOGI("%s...enroll success!, ret = %d", __func__, ret);
      }
    }
  }
  ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  quorv_DestroyRescanImage();
  if (b != nullptr && g_pQuorvConfigInfo != nullptr && g_pQuorvConfigInfo->image_save == 1) {
    QUORV_LOGI("%s...save image", __func__);
    quorv_SaveRescanImage(b->g_forceEnrollBuf);
  }
  if (g_functimes != 0 && quorv_fp_get_system_time != nullptr) {
    QUORV_LOGI("%s...ZqGetTemplate cost time = %d ms", __func__,
               static_cast<int>(extracted - start));
    QUORV_LOGI("%s...ZqEnrollByTemplate cost time = %d ms", __func__,
               static_cast<int>(enrolled - extracted));
    QUORV_LOGI("%s...total cost time = %d ms", __func__, static_cast<int>(Now() - start));
  }
  return ret;
}

int quorv_ForceEnroll(int slot, uint8_t index, uint8_t *out) {
  const uint16_t fingerId = static_cast<uint16_t>(slot);
  quorv_ReleaseTemplateCur();
  gEnrollInfo.fingerId = static_cast<uint8_t>(fingerId);
  gEnrollInfo.enrollIndex = index;
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (c != nullptr && c->slide_enroll > 5 && Ready()) {
    memcpy(g_fp_image_buf->g_fpImageBuf, g_fp_image_buf->g_forceEnrollBuf,
           g_fp_image_buf->bufSize);
  }
  const int ret = quorv_NoneSlideForceEnroll(static_cast<int16_t>(fingerId), index, out);
  QUORV_LOGI("%s...slide_enroll mode = %d, ret = %d", __func__, c != nullptr ? c->slide_enroll : 0,
             ret);
  StoreExtremum();
  gEnrollInfo.forceEnrollRet = ret;
  gEnrollInfo.subTplsNum = static_cast<uint8_t>(ZqGetSubtemplatesNum(static_cast<uint8_t>(fingerId)));
  gEnrollInfo.forceEnrollFailed = ret != 0 ? 1 : 0;
  return ret;
}

int quorv_ForceEnrollByImage(uint16_t fingerId, uint16_t enrollIndex, const uint8_t *image) {
  if (BeginImageStep(__func__, image) != QUORV_OK) return QUORV_ERR_INPUT;
  ST_SubTemplate *sample = nullptr;
  int ret = QUORV_OK;
  uint8_t record[QUORV_QUALITY_RECORD_BYTES];
  do {
    ret = PlaceAndRate(__func__, image, 0, QUORV_ERR_ALGORITHM, QUORV_ERR_NOT_FINGER, record);
    if (ret != QUORV_OK) break;
    sample = NewSample(__func__);
    if (sample == nullptr) {
      ret = QUORV_ERR_INPUT;
      break;
    }
    ret = ZqGetTemplate(g_fp_image_buf->g_fpImageBufAlg, sample, record);
    if (ret != 0) {
      QUORV_LOGE("%s...ZqGetTemplate() = %d, error, ret = %d", __func__, ret, ret);
      break;
    }
    uint8_t scratch = 0;
    const int enrol = ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId),
                                         static_cast<int16_t>(enrollIndex), &scratch);
    if (enrol != 0) {
      ret = QUORV_ERR_ALGORITHM;
      QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", __func__, enrol,
                 ret);
    } else {
      QUORV_LOGI("%s...enroll success!, ret = %d", __func__, ret);
    }
  } while (false);
  return CloseImageStep(sample, ret, fingerId, enrollIndex, &gEnrollInfo.forceEnrollRet);
}

int quorv_SlideForceEnroll(uint16_t, uint8_t enrollIndex) {
  if (g_fp_image_buf != nullptr && g_fp_image_buf->g_forceEnrollBuf != nullptr) {
    quorv_SaveEnrollImage(g_fp_image_buf->g_forceEnrollBuf);
    QUORV_LOGD("%s...save force enroll image, enroll_index = %d", __func__, enrollIndex);
  }
  return 0;
}

int quorv_EnrollTipsTemplate(uint32_t compareIndex, int16_t fingerId, int16_t enrollIndex,
                             uint32_t a, uint32_t b, uint8_t c, uint8_t d) {
  int ret = 0;
  if (template_cur != nullptr) {
    ret = ZqEnrollTipsTemplate(compareIndex, template_cur, fingerId, enrollIndex, a, b, c, d);
  }
  QUORV_LOGI("%s...ret = %d, compareIndex = %d, fingerId = %d, enrollIndex = %d", __func__, ret,
             static_cast<int>(compareIndex), fingerId, enrollIndex);
  return ret;
}

int quorv_CancelEnroll(uint16_t fingerId) {
  quorv_ReleaseTemplateCur();
  quorv_DestroyEnrollImage();
  quorv_DestroyImageTpl();
  quorv_DestroyRescanImage();
  ZqClearNegativeTempalteBuf();
  if (fingerId < QUORV_FINGER_SLOTS) return static_cast<int16_t>(ZqCancelEnroll(fingerId));
  QUORV_LOGE("%s...fingerId = %d error", __func__, fingerId);
  return -2;
}

int quorv_SetTplValid(int flag) {
  g_quorvInternalEnrollIndex = 0;
  return static_cast<int16_t>(ZqSetTplValidFlag(static_cast<uint16_t>(flag)));
}

void quorv_EnrollResetForTest(void) { g_quorvInternalEnrollIndex = 0; }

}  // extern "C"
