// The template-data interface: samples as serialised sub-templates, made
// from a capture or an image, enrolled, identified and compared pairwise.
#include <string.h>

#include <algorithm>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_image_rating.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_template_store.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Owns a sample sub-template for the length of one call.
class Sample {
 public:
  Sample() : t_(ZqCreateTemp()) {}
  ~Sample() { ZqReleaseTemp(t_); }
  Sample(const Sample &) = delete;
  Sample &operator=(const Sample &) = delete;
  ST_SubTemplate *get() const { return t_; }

 private:
  ST_SubTemplate *t_;
};

// Puts the action mode back to idle when the call ends.
struct IdleOnExit {
  ~IdleOnExit() { gQuorvActionMode = QUORV_ACTION_IDLE; }
};

// The overlap count of a cols x rows grid under the affine part of h:
// pixels whose mapped position, rounded in single precision and
// truncated, falls inside the grid.
uint32_t OverlapPercent(uint32_t cols, uint32_t rows, const ST_FullHMatrix &h) {
  if (cols == 0 || rows == 0) return 0;
  const float fc = static_cast<float>(cols), fr = static_cast<float>(rows);
  uint64_t count = 0;
  for (uint32_t y = 0; y < rows; ++y) {
    const float fy = static_cast<float>(y);
    for (uint32_t x = 0; x < cols; ++x) {
      const float fx = static_cast<float>(x);
      const float xm = fx * h.a00 + fy * h.a01 + h.a02 + 0.5f;
      const float ym = fx * h.a10 + fy * h.a11 + h.a12 + 0.5f;
      // Truncation toward zero lands in [0, n) exactly when -1 < v < n.
      if (xm > -1.0f && xm < fc && ym > -1.0f && ym < fr) ++count;
    }
  }
  return static_cast<uint32_t>(count * 100u / (static_cast<uint64_t>(cols) * rows));
}

// The two-template comparison of quorv_VerifyTwoTemplate (signed
// threshold test) and its _v2 (unsigned).
int VerifyTwo(const char *func, bool unsigned_thr, uint16_t sampleLength, const uint8_t *sample,
              uint16_t templateLength, const uint8_t *templ, int64_t threshold,
              ST_FullHMatrix *transform, uint32_t *overlapArea, uint32_t *scoreOut) {
  if (sample == nullptr || templ == nullptr || transform == nullptr || overlapArea == nullptr ||
      (unsigned_thr && scoreOut == nullptr)) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...input error, ret = %d", func, -1);
    return -1;
  }
  IdleOnExit idle;
  g_quorvTplDataFlag = 1;
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  *overlapArea = 0;
  if (scoreOut != nullptr) *scoreOut = 0;
  Sample s, t;
  if (s.get() == nullptr || t.get() == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...fail to enroll! template_cur = NULL, ret = %d", func,
                 -1);
    return -1;
  }
  if (ZqDataToQuorvTemplate(sample, sampleLength, s.get()) != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...fail to get sample template! ZqDataToQuorvTemplate() != 0, ret = %d", func,
                 -3);
    return -3;
  }
  if (ZqDataToQuorvTemplate(templ, templateLength, t.get()) != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...fail to get template! ZqDataToQuorvTemplate() != 0, ret = %d", func, -4);
    return -4;
  }
  // Below the threshold: signed for the first form, unsigned for _v2. A
  // failing scorer (negative) is below any threshold: read unsigned it
  // would pass as a huge score.
  auto below = [&](int score) {
    if (unsigned_thr) {
      return score < 0 || static_cast<uint32_t>(score) < static_cast<uint32_t>(threshold);
    }
    return static_cast<int64_t>(score) < threshold;
  };
  gRebak = 0;
  int score = g_quorvCore.VerifyTwoTemplate(s.get(), t.get(), transform, 1, 1);
  if (score > 0 && below(score)) {
    gRebak = 1;
    ST_FullHMatrix reverse{};
    const int back = g_quorvCore.VerifyTwoTemplate(t.get(), s.get(), &reverse, 1, 1);
    if (back > score) {
      score = back;
      ZqHmatrixInv(transform, &reverse);
    }
  }
  if (scoreOut != nullptr) *scoreOut = static_cast<uint32_t>(score);
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (score > 0 && c != nullptr) *overlapArea = OverlapPercent(c->sensor_cols, c->sensor_rows, *transform);
  if (below(score)) {
    if (unsigned_thr) {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                   "%s...identify fail! ZqVerifyTwoTemplate() = %d, error, ret = %d, score = %d, "
                   "overlapArea = %d",
                   func, score, -2, score, *overlapArea);
    } else {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                   "%s...identify fail! ZqVerifyTwoTemplate() = %d, error, ret = %d, "
                   "overlapArea = %d",
                   func, score, -2, *overlapArea);
    }
    return -2;
  }
  if (unsigned_thr) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...identify success!, ret = %d, score = %d, overlapArea = %d",
                 func, 0, score, *overlapArea);
  } else {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...identify success!, ret = %d, overlapArea = %d", func, 0,
                 *overlapArea);
  }
  return 0;
}

}  // namespace

extern "C" {

int quorv_GetFpImageAndTpl(uint8_t mode, uint8_t *imageOut, int32_t *offset, uint8_t *data) {
  const char *func = __func__;
  IdleOnExit idle;
  quorv_DestroyRescanImage();
  if (imageOut == nullptr || offset == nullptr || data == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", func, -1);
    return -1;
  }
  const QuorvConfigInfo *c = quorv_config_for(func);
  const uint32_t n = c != nullptr ? c->sensor_cols * c->sensor_rows : 0;
  if (c == nullptr || g_fp_image_buf == nullptr || n > g_fp_image_buf->bufSize) {
    QUORV_LOGE("%s...resources not initialised, ret = %d", func, -1);
    return -1;
  }
  Sample sample;
  if (sample.get() == nullptr) {
    QUORV_LOGE("%s...template_cur = NULL, ret = %d", func, -1);
    return -1;
  }
  g_quorvTplDataFlag = 1;
  // Sized for the sensor: a fixed 25,600 bytes would overflow on a larger
  // one.
  const uint32_t capture_len = std::max(QUORV_CAPTURE_BUF_MIN, n);
  struct Buffer {
    uint8_t *p;
    ~Buffer() { ZqFree(p); }
  } capture{static_cast<uint8_t *>(ZqAlloc(capture_len))};
  if (capture.p == nullptr) {
    QUORV_LOGE("%s...capture buffer = NULL, ret = %d", func, -1);
    return -1;
  }

  uint8_t qthr = 0;
  uint16_t athr = 0;
  if (mode == 0) {
    qthr = c->enroll_quality;
    athr = c->enroll_valid_area;
    gQuorvActionMode = QUORV_ACTION_ENROLL;
  } else if (mode == 1) {
    qthr = c->verify_quality;
    athr = c->verify_valid_area;
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  }

  const int got = c->mcu_interrupt_mode != 0 ? GetFpImageSimple(capture.p, 0)
                                              : GetFpImage(capture.p, 0);
  if (got < 0) {
    QUORV_LOGE("%s...Get Image error, ret = %d", func, -1);
    return -1;
  }
  uint8_t *img = g_fp_image_buf->g_fpImageBuf;
  memcpy(img, capture.p, n);
  uint8_t rec[QUORV_QUALITY_RECORD_BYTES];
  const int rated = quorv_RateImage(rec, 1, nullptr);
  g_quorvLastImageInfo = QuorvLastImageInfo{rec[0], rec[1], rec[2]};
  memcpy(g_fp_image_buf->g_fpImageBufAlg, img, n);
  if (rated < 0 || rec[1] == 0 || rec[0] == 0) {
    QUORV_LOGE("%s...ZqGetImageQuality error, NOT finger image, ret = %d", func, -5);
    return -5;
  }
  if (rec[0] < qthr) {
    QUORV_LOGE("%s...poor image quality(= %d),threshold = %d, error, ret = %d", func, rec[0], qthr,
               -3);
    return -3;
  }
  if (rec[1] < athr) {
    QUORV_LOGE("%s...image area is too small(= %d),threshold = %d, error, ret = %d", func, rec[1],
               athr, -4);
    return -4;
  }
  int verdict = 0;
  if (mode == 0 && c->enroll_nonfinger == 1) verdict = quorv_EnrollNonFingerPredict(img);
  if (mode == 1 && c->identify_nonfinger == 1) verdict = quorv_IdentifyNonFingerPredict(img);
  if (verdict != 0) {
    QUORV_LOGE("%s...NOT finger image, value = %d, ret = %d", func, verdict, -5);
    return -5;
  }
  memcpy(imageOut, capture.p, n);
  const int r = g_quorvCore.GetTemplate(img, sample.get(), rec);
  if (r != 0) {
    QUORV_LOGE("%s...ZqGetTemplate() = %d, error, ret = %d", func, r, r);
    return r;
  }
  uint32_t at = static_cast<uint32_t>(*offset);
  const int w = ZqQuorvTemplateToData(sample.get(), &at, data);
  if (w != 0) {
    QUORV_LOGE("%s...ZqQuorvTemplateToData() = %d, error, ret = %d", func, w, -1);
    return -1;
  }
  *offset = static_cast<int32_t>(at);
  return got;
}

int quorv_GetImageTemplate(const uint8_t *image, int32_t *offset, uint8_t *data) {
  const char *func = __func__;
  if (image == nullptr || offset == nullptr || data == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", func, -1);
    return -1;
  }
  IdleOnExit idle;
  Sample sample;
  if (sample.get() == nullptr) {
    QUORV_LOGE("%s...template_cur = NULL, ret = %d", func, -2);
    return -2;
  }
  // The extraction works on the image in place, as the caller handed it.
  if (g_quorvCore.GetTemplate(const_cast<uint8_t *>(image), sample.get(), nullptr) != 0) {
    return -3;
  }
  uint32_t at = static_cast<uint32_t>(*offset);
  if (ZqQuorvTemplateToData(sample.get(), &at, data) != 0) return -4;
  *offset = static_cast<int32_t>(at);
  QUORV_LOGI("%s...tpl size = %d", func, *offset);
  return 0;
}

int quorv_GetLastImageTemplate(int32_t *length, uint8_t *data) {
  const char *func = __func__;
  if (length == nullptr || data == nullptr) return -1;
  *length = 0;
  if (template_backup == nullptr) {
    QUORV_LOGE("%s...last tpl is NULL, ret = %d", func, -2);
    return -2;
  }
  uint32_t at = 0;
  if (ZqQuorvTemplateToData(template_backup, &at, data) != 0) return -3;
  *length = static_cast<int32_t>(at);
  QUORV_LOGI("%s...tpl size = %d", func, *length);
  return 0;
}

int quorv_EnrollFrrFarByTpl(int16_t fingerId, int16_t enrollIndex, const uint8_t *data,
                            uint16_t length) {
  const char *func = __func__;
  detectRate = 0.0f;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  IdleOnExit idle;
  quorv_DestroyRescanImage();
  const QuorvConfigInfo *c = quorv_config_for(func);
  if (c == nullptr) return -1;
  Sample sample;
  if (sample.get() == nullptr) {
    QUORV_LOGE("%s...template_cur = NULL, ret = %d", func, -1);
    return -1;
  }
  if (data == nullptr || ZqDataToQuorvTemplate(data, length, sample.get()) != 0) return -1;
  QUORV_LOGI("%s...tplSize = 0x%x", func, length);
  g_quorvTplDataFlag = 1;
  if (c->tips_mode != 0) {
    const int tips = ZqEnrollTipsTemplate(c->tips_mode, sample.get(), fingerId, enrollIndex,
                                          c->tips_p1, c->tips_p2, c->tips_p3, c->tips_p4);
    if (tips != 0) {
      QUORV_LOGE("%s...should move a little! ZqEnrollTipsTemplate() = %d, ret = %d", func, tips,
                 -6);
      return -6;
    }
  }
  if (c->duplicate_check == 1) {
    uint16_t fid = 0;
    int16_t upd = 0;
    ST_FullHMatrix h{};
    const int r = g_quorvCore.VerifyByTemplate(sample.get(), &fid, &upd, &h, c->verify_quickly);
    if (r == 0) {
      QUORV_LOGE("%s...The finger(%d) already existence, enroll failed!, ret = %d", func, fingerId,
                 -7);
      return -7;
    }
    if (r == -1) QUORV_LOGD("%s...The finger is new, not existence!", func);
  }
  uint8_t scratch = 0;
  const int r = ZqEnrollByTemplate(sample.get(), fingerId, enrollIndex, &scratch);
  if (r != 0) {
    QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", func, r, -2);
    return -2;
  }
  QUORV_LOGI("%s...enroll success!, ret = %d, enroll_index = %d", func, 0, enrollIndex);
  return 0;
}

int quorv_IdentifyFrrFarByTpl(uint8_t *fingerId, uint8_t *updateFlag, uint16_t length,
                              const uint8_t *data) {
  const char *func = __func__;
  quorv_DestroyRescanImage();
  detectRate = 0.0f;
  if (fingerId == nullptr || updateFlag == nullptr || data == nullptr) {
    QUORV_LOGE("%s...input error, ret = %d", func, -1);
    return -1;
  }
  *fingerId = 255;
  *updateFlag = 0;
  g_quorvTplDataFlag = 1;
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  IdleOnExit idle;
  Sample sample;
  if (sample.get() == nullptr) {
    QUORV_LOGE("%s...fail to enroll! template_cur = NULL, ret = %d", func, -1);
    return -1;
  }
  if (ZqDataToQuorvTemplate(data, length, sample.get()) != 0) {
    QUORV_LOGE("%s...fail to enroll! ZqDataToQuorvTemplate() != 0, ret = %d", func, -1);
    return -1;
  }
  uint16_t fid = 0;
  int16_t upd = 0;
  ST_FullHMatrix h{};
  const int r = g_quorvCore.VerifyByTemplate(sample.get(), &fid, &upd, &h, 1);
  *fingerId = static_cast<uint8_t>(fid);
  *updateFlag = static_cast<uint8_t>(upd);
  if (r != 0) {
    QUORV_LOGE("%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d", func, r, -2);
    return -2;
  }
  QUORV_LOGI("%s...identify success!, ret = %d", func, 0);
  return 0;
}

int quorv_VerifyTwoTemplate(uint16_t sampleLength, const uint8_t *sample, uint16_t templateLength,
                            const uint8_t *templ, int32_t threshold, ST_FullHMatrix *transform,
                            uint32_t *overlapArea) {
  return VerifyTwo(__func__, false, sampleLength, sample, templateLength, templ, threshold,
                   transform, overlapArea, nullptr);
}

int quorv_VerifyTwoTemplate_v2(uint16_t sampleLength, const uint8_t *sample,
                               uint16_t templateLength, const uint8_t *templ, uint32_t threshold,
                               ST_FullHMatrix *transform, uint32_t *overlapArea,
                               uint32_t *score) {
  return VerifyTwo(__func__, true, sampleLength, sample, templateLength, templ, threshold,
                   transform, overlapArea, score);
}

uint32_t quorv_GetAreaOverlap(uint16_t rows, uint16_t cols, const ST_FullHMatrix *transform) {
  if (transform == nullptr) return 0;
  return OverlapPercent(cols, rows, *transform);
}

}  // extern "C"
