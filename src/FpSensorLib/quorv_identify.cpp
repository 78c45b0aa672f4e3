// Identification of one supplied image: gates, extraction, the first match
// and its retries (re-identify, enhancement, extra templates), then the
// classification of a failure. quorv_Identify_frr_far is the factory
// test's variant of the same path.
#include <string.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_hist_normalize.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sample_hold.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Bytes of the quality record: quality, area, cond, contrast, reserved.
constexpr int kRecordBytes = 5;
constexpr uint8_t kUnset = 255;

// Code that a kept refusal reason of the matcher turns a failure into; 0
// when k is no refusal reason.
int RefusalCode(int k) {
  switch (k) {
    case -3: return -6;
    case -4: return -7;
    case -5: return -9;
    case -6: return -11;
    case -7: return -12;
    default: return 0;
  }
}

// One identification. `factory` selects quorv_Identify_frr_far's variant.
class Identify {
 public:
  Identify(const char *func, bool factory) : func_(func), factory_(factory) {}
  ~Identify() { ZqReleaseTemp(sample_); }

  int Run(const uint8_t *image, uint32_t mode, uint8_t *fid, uint8_t *upd);

 private:
  enum class Step { kMatched, kFailed, kNext };

  bool Measure();
  void CheckAbnormal();
  // A new sample extracted from g_fpImageBufAlg with `quality` (may be
  // NULL); false with result_ set when that fails.
  bool Extract(const uint8_t *quality, const char *no_sample_msg);
  Step Match(QuorvVerifyFunc verify, uint8_t option);
  Step ReIdentify();
  Step Enhance();
  int Success(uint8_t *fid, uint8_t *upd);
  int Exit();

  const char *func_;
  const bool factory_;
  const QuorvConfigInfo *c_ = nullptr;
  QuorvImgeBuf *b_ = nullptr;
  size_t n_ = 0;
  ST_SubTemplate *sample_ = nullptr;
  uint8_t rec_[kRecordBytes] = {kUnset, kUnset, kUnset, kUnset, kUnset};
  int result_ = -1;
  int r_ = 0;    // the last match's result
  int k_ = 0;    // kept refusal reason
  bool abnormal_ = false;
  bool extra_match_ = false;
  uint16_t mfid_ = 0;
  int16_t mupd_ = 0;
  ST_FullHMatrix h_{};
};

bool Identify::Measure() {
  uint8_t &quality = rec_[0], &area = rec_[1], &cond = rec_[2], &contrast = rec_[3];
  bool taken = false;
  if (g_quorvImgQualityHandler != nullptr) {
    const int hr = g_quorvImgQualityHandler(&quality, &area, &cond, &contrast);
    const bool complete =
        quality != kUnset && area != kUnset && cond != kUnset && contrast != kUnset;
    taken = hr >= 0 && complete && g_quorvImgQualityHandler != nullptr;
    if (hr < 0 || !complete) {
      QUORV_LOG_IN(func_, QUORV_LOG_WARNING,
                   "%s...quorv_GetImgQualityByFw() = %d, area = %d, quality = %d, cond = %d, "
                   "contrast = %d",
                   func_, -1, area, quality, cond, contrast);
    }
  }
  int qr = 0;
  if (!taken) qr = g_quorvCore.GetImageQuality(b_->g_fpImageBuf, rec_);
  g_quorvLastImageInfo = QuorvLastImageInfo{quality, area, cond};
  if (qr < 0 || quality == 0 || area == 0) {
    if (factory_) {
      result_ = -5;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...ZqGetImageQuality error, NOT finger image, ret = %d",
                   func_, result_);
    } else {
      result_ = qr == -2 ? -1 : -5;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                   "%s...ZqGetImageQuality() = %d, area = %d, quality = %d, NOT finger image, "
                   "ret = %d",
                   func_, qr, area, quality, result_);
    }
    return false;
  }
  return true;
}

void Identify::CheckAbnormal() {
  if (c_->abnormal_detect_mode == 0) return;
  abnormal_ = static_cast<uint8_t>(g_quorvCore.AbnormalImageDetect(
                  b_->g_fpImageBufAlg, static_cast<int>(c_->sensor_rows),
                  static_cast<int>(c_->sensor_cols))) != 0;
  if (!abnormal_) {
    abnormalImageCount = 0;
    return;
  }
  ++abnormalImageCount;
  if (abnormalImageCount > 4) ZqRaiseAutoMatchLevel(0);
}

bool Identify::Extract(const uint8_t *quality, const char *no_sample_msg) {
  ZqReleaseTemp(sample_);
  sample_ = ZqCreateTemp();
  if (sample_ == nullptr) {
    result_ = -1;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s, ret = %d", func_, no_sample_msg, result_);
    return false;
  }
  uint8_t *img = b_->g_fpImageBufAlg;
  // A frame extracted before in this hold gives the same sample again.
  if (quorv::SampleHoldFind(img, n_, quality, sample_)) return true;
  std::vector<uint8_t> before;
  if (quorv::SampleHoldOn()) before.assign(img, img + n_);
  const int r = g_quorvCore.GetTemplate(img, sample_, quality);
  if (r == 0 && quorv::SampleHoldOn()) quorv::SampleHoldKeep(before.data(), img, n_, quality, sample_);
  if (r != 0) {
    result_ = factory_ ? r : (r == -2 ? -1 : -2);
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", func_, r,
                 result_);
    return false;
  }
  return true;
}

Identify::Step Identify::Match(QuorvVerifyFunc verify, uint8_t option) {
  mfid_ = 0;
  mupd_ = 0;
  h_ = ST_FullHMatrix{};
  r_ = verify(sample_, &mfid_, &mupd_, &h_, option);
  if (r_ == 0) return Step::kMatched;
  if (!factory_ && r_ < -2) k_ = r_;
  return Step::kNext;
}

Identify::Step Identify::ReIdentify() {
  if (c_->improve_feature != 1 || g_quorvCore.JudgeIsNeedToReIdentify() != 1) return Step::kNext;
  memcpy(b_->g_fpImageBufAlg, b_->g_fpImageBuf, n_);
  ZqSetImproveFRRFlag(1);
  if (!Extract(rec_, "template_cur")) {
    k_ = 0;
    return Step::kFailed;
  }
  const Step s = Match(g_quorvCore.VerifyByTemplate, c_->verify_quickly);
  ZqSetImproveFRRFlag(0);
  return s;
}

Identify::Step Identify::Enhance() {
  const bool contrast = c_->contrast_enhance != 0;
  const bool filter = c_->filter_enhance == 1;
  if (rec_[2] > c_->wet_cond || !(contrast || filter)) return Step::kNext;
  const int cols = static_cast<int>(c_->sensor_cols), rows = static_cast<int>(c_->sensor_rows);
  uint8_t *img = b_->g_fpImageBuf;
  if (contrast) {
    quorv_HistNormalizeU8(img, static_cast<int16_t>(cols), static_cast<int16_t>(rows),
                          c_->contrast_p1, c_->contrast_p2, img, 0.001f, 0.001f);
  }
  if (filter) quorv_RootFilter(img, cols, rows, img, 5.0f);
  memcpy(b_->g_fpImageBufAlg, img, n_);
  // The factory variant keeps the first rating; identification measures
  // the enhanced image anew.
  if (!Extract(factory_ ? rec_ : nullptr, "template_cur")) {
    k_ = 0;
    return Step::kFailed;
  }
  const Step s = Match(g_quorvCore.VerifyByTemplate, 1);
  if (!factory_ && r_ == -2) {
    k_ = 0;
    result_ = -1;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...ZqVerifyByTemplate() malloc fail, ret = %d", func_,
                 result_);
    return Step::kFailed;
  }
  return s;
}

int Identify::Success(uint8_t *fid, uint8_t *upd) {
  if (!extra_match_ && abnormal_ && c_->abnormal_detect_mode == 2) mupd_ = 0;
  QUORV_LOG_IN(func_, QUORV_LOG_INFO, "%s...identify success!, ret = %d", func_, 0);
  memcpy(b_->g_fpImageBufReserve1, b_->g_fpImageBuf, n_);
  memcpy(b_->g_fpImageBufReserve2, b_->g_fpImageBuf, n_);
  if (fid != nullptr) *fid = static_cast<uint8_t>(mfid_);
  if (upd != nullptr) *upd = static_cast<uint8_t>(mupd_);
  ZqReleaseTemp(sample_);
  sample_ = nullptr;
  ZqSetImproveFRRFlag(0);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  quorv_SetVerifyRet(0);
  return 0;
}

int Identify::Exit() {
  ZqReleaseTemp(sample_);
  sample_ = nullptr;
  ZqSetImproveFRRFlag(0);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  if (!factory_ && c_ != nullptr) {
    const uint8_t quality = rec_[0], area = rec_[1], cond = rec_[2];
    const uint8_t qthr = c_->verify_quality;
    const uint16_t athr = c_->verify_valid_area, cthr = c_->verify_cond;
    if (quality < qthr) {
      if (area < athr) {
        result_ = -4;
        QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                     "%s...image area is too small(= %d) and poor image quality(= %d),Athr = %d, "
                     "Qthr = %d, error, ret = %d",
                     func_, area, quality, athr, qthr, result_);
      } else {
        result_ = -3;
        QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                     "%s...poor image quality(= %d),threshold = %d, error, ret = %d", func_,
                     quality, qthr, result_);
      }
    } else if (area < athr) {
      result_ = -4;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                   "%s...image area is too small(= %d),threshold = %d, error, ret = %d", func_,
                   area, athr, result_);
    } else if (cond < cthr) {
      result_ = -3;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                   "%s...image cond is too small(= %d),threshold = %d, error, ret = %d", func_,
                   cond, cthr, result_);
    }
    if (const int mapped = RefusalCode(k_)) result_ = mapped;
  }
  quorv_SetVerifyRet(result_);
  return result_;
}

int Identify::Run(const uint8_t *image, uint32_t mode, uint8_t *fid, uint8_t *upd) {
  c_ = quorv_config_for(func_);
  b_ = g_fp_image_buf;
  if (c_ == nullptr || b_ == nullptr) {
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...resources not initialised, ret = %d", func_, -1);
    result_ = -1;
    c_ = nullptr;
    return Exit();
  }
  const uint32_t cols = c_->sensor_cols, rows = c_->sensor_rows;
  n_ = static_cast<size_t>(cols) * rows;
  if (n_ > b_->bufSize) {
    // The size changed after the buffers were made: they cannot hold it.
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...image buffers hold %u bytes, not %u x %u, ret = %d",
                 func_, b_->bufSize, cols, rows, -1);
    result_ = -1;
    return Exit();
  }
  uint8_t qthr = c_->verify_quality;
  uint16_t athr = c_->verify_valid_area;
  if (!factory_ && c_->force_identify != 0) {
    qthr = 0;
    athr = 0;
  }
  memcpy(b_->g_fpImageBuf, image, n_);

  if (c_->bad_pix_mode == 2) {
    const int r = g_quorvCore.BadPixRepair(b_->g_fpImageBuf, static_cast<uint16_t>(cols),
                                           static_cast<uint16_t>(rows));
    if (r != 0) {
      result_ = (!factory_ && r == -2) ? -1 : -2;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "ZqBadPixRepair() = %d...error, ret = %d", r, result_);
      return Exit();
    }
  }
  memcpy(b_->g_fpImageBufAlg, b_->g_fpImageBuf, n_);
  gQuorvActionMode = mode;

  if (factory_ && c_->identify_nonfinger == 1) {
    const int verdict = quorv_IdentifyNonFingerPredict(b_->g_fpImageBuf);
    if (verdict != 0) {
      result_ = -5;
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", func_,
                   verdict, result_);
      return Exit();
    }
  }

  if (!Measure()) return Exit();
  const uint8_t quality = rec_[0], area = rec_[1];
  QUORV_LOG_IN(func_, QUORV_LOG_INFO, "%s...image quality = %d (thr = %d), area = %d (thr = %d)",
               func_, quality, qthr, area, athr);
  if (quality < qthr) {
    result_ = -3;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                 "%s...poor image quality(= %d),threshold = %d, error, ret = %d", func_, quality,
                 qthr, result_);
    return Exit();
  }
  if (area < athr) {
    result_ = -4;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR,
                 "%s...image area is too small(= %d),threshold = %d, error, ret = %d", func_, area,
                 athr, result_);
    return Exit();
  }

  CheckAbnormal();
  if (!Extract(rec_, "template_cur = NULL")) return Exit();
  if (!factory_ && template_backup != nullptr) ZqSubTemplateCopy(template_backup, sample_);

  Step s = Match(g_quorvCore.VerifyByTemplate, 1);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY_RETRY;
  k_ = (!factory_ && r_ < -2) ? r_ : -1;
  if (factory_) k_ = 0;
  if (s == Step::kNext) s = ReIdentify();
  if (s == Step::kNext) s = Enhance();
  if (s == Step::kNext && !factory_ && c_->template_extra == 1) {
    s = Match(g_quorvCore.VerifyByTemplateExtra, 1);
    // The extra attempt keeps no refusal reason of its own.
    extra_match_ = s == Step::kMatched;
  }
  if (s == Step::kMatched) return Success(fid, upd);
  if (s == Step::kNext) {
    result_ = -2;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d",
                 func_, r_, result_);
  }
  return Exit();
}

}  // namespace

extern "C" {

int quorv_IdentifyByImage(const uint8_t *frame, int mode, uint8_t *fid, uint8_t *update) {
  quorv_ReleaseTemplateCur();
  quorv_DestroyRescanImage();
  detectRate = 0.0f;
  if (frame == nullptr || fid == nullptr || update == nullptr) {
    QUORV_LOGE("input = NULL");
    return -1;
  }
  *fid = QUORV_NO_FINGER;
  *update = 0;
  Identify run(__func__, false);
  return run.Run(frame, static_cast<uint8_t>(mode), fid, update);
}

int quorv_Identify_frr_far(const unsigned char *image) {
  quorv_DestroyRescanImage();
  detectRate = 0.0f;
  Identify run(__func__, true);
  if (image == nullptr) {
    QUORV_LOGE("input = NULL");
    gQuorvActionMode = QUORV_ACTION_IDLE;
    ZqSetImproveFRRFlag(0);
    quorv_SetVerifyRet(-1);
    return -1;
  }
  return run.Run(image, QUORV_ACTION_IDENTIFY, nullptr, nullptr);
}

}  // extern "C"
