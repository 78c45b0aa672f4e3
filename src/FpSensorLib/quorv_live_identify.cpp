// Live identification: the dispatcher, the press identification with its
// rescans, retries, classification and rescue, the slide identification,
// the finger-movement check over the enrol-image list and the finger status.
#include "src/FpSensorLib/quorv_live_identify.h"

#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_hist_normalize.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_clock.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqOverlap.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_fp_spi/quorv_mcu_cmd.h"

namespace {

constexpr uint8_t kNoFinger = QUORV_NO_FINGER;
// An overlap threshold above this switches the press overlap check off.
constexpr uint8_t kOverlapCheckMax = 98;

bool NullOutput(const char *func, const uint8_t *a, const uint8_t *b) {
  if (a != nullptr && b != nullptr) return false;
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...input error", func);
  return true;
}

// One press identification; Run() returns its result after the exit steps.
class PressIdentify {
 public:
  PressIdentify(QuorvConfigInfo *c, QuorvImgeBuf *b, uint8_t *fid, uint8_t *upd)
      : c_(c), b_(b), fid_(fid), upd_(upd), n_(static_cast<size_t>(c->sensor_cols) * c->sensor_rows),
        entry_interrupt_(c->mcu_interrupt_mode) {}
  ~PressIdentify() {
    ZqReleaseTemp(first_);
    ZqReleaseTemp(cur_);
  }

  int Run();

 private:
  enum class Next { kEnd, kRescan, kGoOn };

  Next Capture();
  Next Gates();
  Next Sample();
  Next Overlap();
  Next Verify();
  Next Decide();
  // Renews the sample that step `v` verifies and extracts into it; false
  // with r_ set when that fails.
  bool Renew(const uint8_t *record);
  ST_SubTemplate *&Current() { return v_ == 1 ? first_ : cur_; }
  int VerifyCurrent();
  bool FakeFinger();
  Next End(int r) {
    r_ = r;
    return Next::kEnd;
  }
  // Logs why the next capture follows.
  Next Rescan(const char *why);
  int Exit();

  QuorvConfigInfo *c_;
  QuorvImgeBuf *b_;
  uint8_t *fid_;
  uint8_t *upd_;
  const size_t n_;
  const uint8_t entry_interrupt_;
  quorv_live::Clock clock_;

  uint8_t N_ = 0, M_ = 0, qthr_ = 0;
  uint16_t athr_ = 0;
  uint8_t k_ = 0, v_ = 0, normal_ = 0;
  int32_t fails_ = 0;
  uint8_t best_q_ = 0, best_a_ = 0, max_cond_ = 0;
  int32_t max_phy_ = 0;
  uint8_t rec_[5] = {255, 255, 255, 255, 255};
  uint8_t first_q_ = 0, first_a_ = 0, first_c_ = 0;
  ST_SubTemplate *first_ = nullptr;
  ST_SubTemplate *cur_ = nullptr;
  uint16_t vfid_ = 0;
  int16_t vupd_ = 0;
  ST_FullHMatrix h_{};
  int verify_ = -1;  // the last verify's result
  int32_t score_ = 0, match_fid_ = kNoFinger;
  bool abnormal_ = false;
  int r_ = -2;
};

PressIdentify::Next PressIdentify::Rescan(const char *why) {
  QUORV_LOG_IN("quorv_NoneSlideIdentify", QUORV_LOG_WARNING, "%s...%s", "quorv_NoneSlideIdentify",
               why);
  return Next::kRescan;
}

PressIdentify::Next PressIdentify::Capture() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  if (k_ >= 2) gQuorvActionMode = k_ == 2 ? QUORV_ACTION_IDENTIFY_RESCAN : QUORV_ACTION_IDENTIFY_RETRY;
  if (g_quorvFingerStatusHandler != nullptr) {
    const uint8_t status = g_quorvFingerStatusHandler();
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...finget status", kFunc);
    if (status == 0) {
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...fail to get image, finger off, ret = %d", kFunc,
                   -2);
      return End(-2);
    }
  }
  if (k_ == 2 && k_ <= N_) {
    first_q_ = rec_[0];
    first_a_ = rec_[1];
    first_c_ = rec_[2];
  }
  QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...verify %d times", kFunc, k_);
  const int r = quorv_GetImageData(1, rec_, static_cast<uint32_t>(k_ - 1));
  QUORV_LIVE_COST(clock_, "quorv_GetImageData");
  switch (r) {
    case 0:
      return Next::kGoOn;
    case -5:
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", kFunc,
                   r, -5);
      return End(-5);
    case -4:
      if (k_ < N_) return Rescan("current image area < thr, rescan again");
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...area is too small, ret = %d", kFunc, -4);
      return End(-4);
    case -3:
      if (k_ < N_) return Rescan("current image quality < thr, rescan again");
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...quality is too low, ret = %d", kFunc, -3);
      return End(-3);
    default:
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...fail to get image, finger move too fast, ret = %d",
                   kFunc, -8);
      return End(-8);
  }
}

PressIdentify::Next PressIdentify::Gates() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  uint8_t *alg = b_->g_fpImageBufAlg;
  if (c_->force_identify != 2) {
    quorv_SaveEnrollImage(alg);
    if (quorv_CheckIdentifyImageMove() == 1) {
      if (k_ < N_) return Rescan("finger not move, rescan again");
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...finger not move, end. ret = %d", kFunc, -11);
      return End(-11);
    }
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...finger has moved", kFunc);
  }
  const uint8_t quality = rec_[0], area = rec_[1], cond = rec_[2];
  if (area > best_a_) {
    best_a_ = area;
    memcpy(b_->g_fpImageBufReserve1, alg, n_);
  }
  if (quality > best_q_) {
    best_q_ = quality;
    memcpy(b_->g_fpImageBufReserve2, alg, n_);
  }
  if (cond > max_cond_) max_cond_ = cond;
  const int32_t phy = ZqGetImagePhysicsArea(alg);
  if (phy > max_phy_) {
    max_phy_ = phy;
    QUORV_LOG_IN(kFunc, QUORV_LOG_DEBUG, "%s...image maxPhyArea = %d", kFunc, phy);
  }
  if (quality < qthr_) {
    if (k_ < N_) return Rescan("current image quality < thr, rescan again");
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...quality is too low, ret = %d", kFunc, -3);
    return End(-3);
  }
  if (area < athr_) {
    if (k_ < N_) return Rescan("current image area < thr, rescan again");
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...area is too small, ret = %d", kFunc, -4);
    return End(-4);
  }
  ++v_;
  QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...validImage = %d", kFunc, v_);
  abnormal_ = false;
  if (c_->abnormal_detect_mode != 0) {
    abnormal_ = static_cast<uint8_t>(g_quorvCore.AbnormalImageDetect(
                    alg, static_cast<int>(c_->sensor_rows), static_cast<int>(c_->sensor_cols))) !=
                0;
    if (abnormal_) {
      ++abnormalImageCount;
      if (abnormalImageCount > 4) ZqRaiseAutoMatchLevel(0);
    } else {
      abnormalImageCount = 0;
    }
  }
  return Next::kGoOn;
}

bool PressIdentify::Renew(const uint8_t *record) {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  ST_SubTemplate *&s = Current();
  ZqReleaseTemp(s);
  s = ZqCreateTemp();
  if (s == nullptr) {
    r_ = -1;
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...%s, ret = %d", kFunc,
                 v_ == 1 ? "template_first" : "template_cur", r_);
    return false;
  }
  const int32_t e = g_quorvCore.GetTemplate(b_->g_fpImageBufAlg, s, record);
  if (e != 0) {
    r_ = e;
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", kFunc, e,
                 r_);
    return false;
  }
  return true;
}

PressIdentify::Next PressIdentify::Sample() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  ST_SubTemplate *&s = Current();
  ZqReleaseTemp(s);
  s = ZqCreateTemp();
  if (s == nullptr) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...%s, ret = %d", kFunc,
                 v_ == 1 ? "template_first = NULL" : "template_cur", -1);
    return End(-1);
  }
  const int32_t e = g_quorvCore.GetTemplate(b_->g_fpImageBufAlg, s, rec_);
  QUORV_LIVE_COST(clock_, "ZqGetTemplate");
  memcpy(b_->g_fpImageBufAfterSpa, b_->g_fpImageBufAlg, n_);
  if (e != 0) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", kFunc, e, e);
    return End(e);
  }
  return Next::kGoOn;
}

PressIdentify::Next PressIdentify::Overlap() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  const uint8_t T = c_->rescan_overlap;
  if (first_ == nullptr || cur_ == nullptr || T > kOverlapCheckMax) return Next::kGoOn;
  if (ZqIsGetRequiredImage(first_, cur_, T) != 0) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO,
                 "%s..tpl overlap..get the usefully image! (rescan times = %d)", kFunc, k_);
    return Next::kGoOn;
  }
  if (rec_[1] > c_->verify_small_area) {
    ++normal_;
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO,
                 "%s..tpl overlap..normalImageCnt = %d, area = %d, area_thr = %d", kFunc, normal_,
                 rec_[1], c_->verify_small_area);
  }
  if (normal_ >= M_) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
                 "%s..tpl overlap..identify fail! normalImageCnt = %d, normalImageThr = %d, "
                 "ret = %d",
                 kFunc, normal_, M_, -9);
    return End(-9);
  }
  if (k_ < N_) {
    fails_ = 1;
    QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING,
                 "%s..tpl overlap..current tpl and first tpl overlap area > "
                 "overlap_area_thr(=%d), rescan again",
                 kFunc, T);
    return Next::kRescan;
  }
  QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
               "%s..tpl overlap..identify fail! ZqVerifyByTemplate() = %d, ret = %d", kFunc,
               verify_, -9);
  return End(-9);
}

int PressIdentify::VerifyCurrent() {
  ST_SubTemplate *s = Current();
  vfid_ = 0;
  vupd_ = 0;
  h_ = ST_FullHMatrix{};
  verify_ = s == nullptr ? -1 : g_quorvCore.VerifyByTemplate(s, &vfid_, &vupd_, &h_, c_->verify_quickly);
  return verify_;
}

PressIdentify::Next PressIdentify::Verify() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  VerifyCurrent();
  QUORV_LIVE_COST(clock_, "ZqVerifyByTemplate");
  score_ = ZqGetMatchScores();
  match_fid_ = ZqGetMatchFingerId();
  gQuorvActionMode = QUORV_ACTION_IDENTIFY_RETRY;

  if (verify_ != 0 && c_->improve_feature == 1 && g_quorvCore.JudgeIsNeedToReIdentify() == 1) {
    memcpy(b_->g_fpImageBufAlg, b_->g_fpImageBuf, n_);
    ZqSetImproveFRRFlag(1);
    const bool ok = Renew(v_ == 1 ? rec_ : nullptr);
    if (ok) VerifyCurrent();
    ZqSetImproveFRRFlag(0);
    if (!ok) return Next::kEnd;
  }
  const bool contrast = c_->contrast_enhance != 0, filter = c_->filter_enhance == 1;
  if (verify_ != 0 && rec_[2] <= c_->wet_cond && (contrast || filter)) {
    const int cols = static_cast<int>(c_->sensor_cols), rows = static_cast<int>(c_->sensor_rows);
    uint8_t *img = b_->g_fpImageBuf;
    if (contrast) {
      QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...image contrast enhance", kFunc);
      quorv_HistNormalizeU8(img, static_cast<int16_t>(cols), static_cast<int16_t>(rows),
                            c_->contrast_p1, c_->contrast_p2, img, 0.001f, 0.001f);
    }
    if (filter) {
      QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...image filter enhance", kFunc);
      quorv_RootFilter(img, cols, rows, img, 5.0f);
    }
    memcpy(b_->g_fpImageBufAlg, img, n_);
    if (!Renew(nullptr)) return Next::kEnd;
    VerifyCurrent();
  }
  if (abnormal_ && c_->abnormal_detect_mode == 2) vupd_ = 0;
  score_ = ZqGetMatchScores();
  match_fid_ = ZqGetMatchFingerId();
  QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...machScore = %d, machFingerId = %d", kFunc, score_,
               match_fid_);
  return Decide();
}

bool PressIdentify::FakeFinger() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  if (g_quorvCore.FakeFinger(b_->g_fpImageBuf) == 0) return false;
  *fid_ = kNoFinger;
  *upd_ = 0;
  QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...identify FAIL, is fake finger!, ret = %d, rate = %f",
               kFunc, QUORV_ERR_FAKE_FINGER, static_cast<double>(detectRate));
  return true;
}

PressIdentify::Next PressIdentify::Decide() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  const bool fake_net = c_->fake_mode == 2;
  if (verify_ == 0) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...identify success!, ret = %d, ret_2 = %d", kFunc, 0,
                 fails_);
    memcpy(b_->g_fpImageBufReserve1, b_->g_fpImageBuf, n_);
    memcpy(b_->g_fpImageBufReserve2, b_->g_fpImageBuf, n_);
    if (fake_net && (c_->fake_second == 1 || c_->fake_second == 2) && FakeFinger())
      return End(QUORV_ERR_FAKE_FINGER);
    *fid_ = static_cast<uint8_t>(vfid_);
    *upd_ = static_cast<uint8_t>(vupd_);
    return End(0);
  }
  ++fails_;
  if (rec_[1] > c_->verify_small_area) {
    ++normal_;
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...normalImageCnt = %d, area = %d, area_thr = %d",
                 kFunc, normal_, rec_[1], c_->verify_small_area);
  }
  if (normal_ >= M_) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
                 "%s...identify fail! normalImageCnt = %d, normalImageThr = %d, ret = %d, "
                 "ret_2 = %d",
                 kFunc, normal_, M_, -2, fails_);
    return End(-2);
  }
  if (k_ < N_) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
                 "%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d, ret_2 = %d, "
                 "rescan again",
                 kFunc, verify_, -2, fails_);
    return Next::kRescan;
  }
  QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
               "%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d, ret_2 = %d", kFunc,
               verify_, -2, fails_);
  if (fake_net && (c_->fake_second == 0 || c_->fake_second == 2) && FakeFinger())
    return End(QUORV_ERR_FAKE_FINGER);
  return End(-2);
}

int PressIdentify::Exit() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  c_->mcu_interrupt_mode = entry_interrupt_;
  ZqReleaseTemp(first_);
  ZqReleaseTemp(cur_);
  first_ = cur_ = nullptr;
  gQuorvActionMode = QUORV_ACTION_IDLE;
  int R = r_;
  if (R != 0 && R != -5 && R != -8 && R != QUORV_ERR_FAKE_FINGER) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...maxQuality = %d, maxArea = %d, ret = %d", kFunc,
                 best_q_, best_a_, R);
    if (c_->identify_nonfinger == 1 &&
        g_quorvCore.IdentifyNonFinger(b_->g_fpImageBufReserve2) != 0) {
      R = -5;
    } else if (c_->identify_nonfinger == 0 && verify_ == -5) {
      R = -5;
    } else if (max_cond_ < c_->verify_cond) {
      R = -5;
    } else if (best_q_ < c_->verify_quality) {
      R = best_a_ < c_->verify_valid_area ? -4 : -3;
    } else if (best_a_ < c_->verify_valid_area) {
      R = -4;
    } else {
      R = -2;
    }
  }
  if (g_quorvWetFingerHandler != nullptr) {
    const int32_t wet = ZqWetImageAreaPercent(b_->g_fpImageBuf, static_cast<uint16_t>(c_->sensor_cols),
                                              static_cast<uint16_t>(c_->sensor_rows));
    if (wet < 0)
      R = -1;
    else
      g_quorvWetFingerHandler(R, wet, first_a_, first_q_, first_c_, 0);
  }
  imageOverlap = score_ != 0 ? static_cast<uint8_t>(ZqCalImageOverlap(&h_)) : 0;
  // A fake finger stays refused: the rescue judges scores, not liveness.
  if (R != QUORV_ERR_FAKE_FINGER && quorv_OptimizeIdentifyResult(score_, match_fid_, rec_, fid_) == 0)
    R = 0;
  ZqClearMatchScores();
  ZqClearMatchFingerId();
  quorv_DestroyEnrollImage();
  if (clock_.on()) QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...total cost time = %d ms", kFunc,
                                clock_.Total());
  return R;
}

int PressIdentify::Run() {
  static const char *const kFunc = "quorv_NoneSlideIdentify";
  QUORV_LOG_IN(kFunc, QUORV_LOG_VERBOSE, "%s...enter", kFunc);
  N_ = c_->verify_rescan_cnt;
  M_ = c_->normal_rescan_cnt;
  qthr_ = c_->force_identify != 0 ? 0 : c_->verify_quality;
  athr_ = c_->force_identify != 0 ? 0 : c_->verify_valid_area;
  quorv_CleanImageInfoBuf();
  quorv_DestroyEnrollImage();
  quorv_DestroyRescanImage();
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  for (k_ = 1;; ++k_) {
    Next next = Capture();
    if (next == Next::kGoOn) next = Gates();
    if (next == Next::kGoOn) next = Sample();
    if (next == Next::kGoOn) next = Overlap();
    if (next == Next::kGoOn) next = Verify();
    if (next == Next::kEnd || k_ == 255) break;
    c_->mcu_interrupt_mode = 0;  // later captures scan afresh
  }
  return Exit();
}

// One slide identification.
int SlideIdentify(QuorvConfigInfo *c, QuorvImgeBuf *b, uint8_t *fid, uint8_t *upd) {
  static const char *const kFunc = "quorv_SildeIdentify";
  QUORV_LOG_IN(kFunc, QUORV_LOG_VERBOSE, "%s...enter", kFunc);
  const uint8_t entry_interrupt = c->mcu_interrupt_mode;
  const size_t n = static_cast<size_t>(c->sensor_cols) * c->sensor_rows;
  const uint8_t N = c->verify_rescan_cnt, T = c->rescan_overlap;
  uint8_t *alg = b->g_fpImageBufAlg;
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  ST_SubTemplate *first = nullptr;
  ST_SubTemplate *cur = ZqCreateTemp();
  int ret = -2;
  uint8_t v = 0;
  if (cur == nullptr) {
    ret = -1;
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...template_cur = NULL, ret = %d", kFunc, ret);
  }
  for (uint8_t k = 1; cur != nullptr; ++k) {
    QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...verify %d times", kFunc, k);
    const int r = c->mcu_interrupt_mode != 0 ? GetFpImageSimple(alg, k - 1u) : GetFpImage(alg, k - 1u);
    if (r != 0) {
      ret = -1;
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...fail to get image, ret = %d", kFunc, ret);
      break;
    }
    if (c->image_save != 0) {
      QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...save %d image", kFunc, k);
      quorv_SaveRescanImage(alg);
    }
    if (c->identify_nonfinger == 1) {
      const int verdict = g_quorvCore.IdentifyNonFinger(alg);
      if (verdict != 0) {
        ret = -5;
        QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", kFunc,
                     verdict, ret);
        break;
      }
    }
    uint8_t rec[5] = {255, 255, 255, 255, 255};
    if (g_quorvCore.GetImageQuality(alg, rec) < 0) {
      ret = -5;
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...ZqGetImageQuality error, ret = %d", kFunc, ret);
      break;
    }
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...image area = %d, threshold = %d", kFunc, rec[1],
                 c->verify_valid_area);
    QUORV_LOG_IN(kFunc, QUORV_LOG_INFO, "%s...image quality = %d, threshold = %d", kFunc, rec[0],
                 c->verify_quality);
    const bool last = k >= N || k == 255;
    if (rec[1] <= c->verify_valid_area) {
      if (last) {
        ret = -4;
        QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...identify fail! , error, ret = %d", kFunc, ret);
        break;
      }
      QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...current image area = 0, rescan again", kFunc);
      c->mcu_interrupt_mode = 0;
      continue;
    }
    ++v;
    QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...validImage = %d", kFunc, v);
    int32_t e;
    if (v == 1) {
      first = ZqCreateTemp();
      if (first == nullptr) {
        ret = -1;
        QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...template_first = NULL, ret = %d", kFunc, ret);
        break;
      }
      e = g_quorvCore.GetTemplate(alg, first, rec);
    } else {
      e = g_quorvCore.GetTemplate(alg, cur, rec);
    }
    memcpy(b->g_fpImageBufAfterSpa, alg, n);
    if (e != 0) {
      ret = e;
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", kFunc, e,
                   ret);
      break;
    }
    if (v >= 2) {
      if (ZqIsGetRequiredImage(first, cur, T) != 0) {
        QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...get the usefully image! (rescan times = %d)",
                     kFunc, k);
      } else if (!last) {
        QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING,
                     "%s...current tpl and first tpl overlap area > overlap_area_thr(=%d), rescan "
                     "again",
                     kFunc, T);
        c->mcu_interrupt_mode = 0;
        continue;
      } else {
        QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...the last image, need verify!", kFunc);
      }
    }
    uint16_t vfid = 0;
    int16_t vupd = 0;
    ST_FullHMatrix h{};
    const int r2 = g_quorvCore.VerifyByTemplate(v == 1 ? first : cur, &vfid, &vupd, &h,
                                                c->verify_quickly);
    if (r2 == 0) {
      ret = 0;
      QUORV_LOG_IN(kFunc, QUORV_LOG_WARNING, "%s...identify success!, ret = %d", kFunc, ret);
      *fid = static_cast<uint8_t>(vfid);
      *upd = static_cast<uint8_t>(vupd);
      break;
    }
    if (last) {
      ret = -2;
      QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
                   "%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d", kFunc, r2, ret);
      break;
    }
    QUORV_LOG_IN(kFunc, QUORV_LOG_ERROR,
                 "%s...identify fail! ZqVerifyByTemplate() = %d, error, ret = %d, rescan again",
                 kFunc, r2, -2);
    c->mcu_interrupt_mode = 0;
  }
  c->mcu_interrupt_mode = entry_interrupt;
  quorv_DestroyImage();
  ZqReleaseTemp(first);
  ZqReleaseTemp(cur);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

}  // namespace

extern "C" {

int quorv_IdentifyFactory(void) { return 0; }

int quorv_NoneSlideIdentify(uint8_t *fingerId, uint8_t *updateFlag) {
  if (NullOutput(__func__, fingerId, updateFlag)) return -1;
  if (!quorv_LiveReady(__func__)) return -1;
  PressIdentify run(g_pQuorvConfigInfo, g_fp_image_buf, fingerId, updateFlag);
  return run.Run();
}

int quorv_SildeIdentify(uint8_t *fingerId, uint8_t *updateFlag) {
  if (NullOutput(__func__, fingerId, updateFlag)) return -1;
  if (!quorv_LiveReady(__func__)) return -1;
  return SlideIdentify(g_pQuorvConfigInfo, g_fp_image_buf, fingerId, updateFlag);
}

int quorv_Identify(uint8_t *fingerId, uint8_t *updateFlag) {
  if (NullOutput(__func__, fingerId, updateFlag)) return -1;
  *fingerId = QUORV_NO_FINGER;
  *updateFlag = 0;
  detectRate = 0.0f;
  quorv_ReleaseTemplateCur();
  const uint8_t mode = g_pQuorvConfigInfo != nullptr ? g_pQuorvConfigInfo->slide_enroll : 0;
  int ret;
  if (mode >= 1 && mode <= 5) {
    ret = quorv_SildeIdentify(fingerId, updateFlag);
  } else {
    QUORV_LOGI("%s...slide_enroll_en = %d, do quorv_NoneSlideIdentify", __func__, mode);
    ret = quorv_NoneSlideIdentify(fingerId, updateFlag);
  }
  quorv_SetVerifyRet(ret);
  quorv_UpdateAutoLevel();
  return ret;
}

int quorv_CheckIdentifyImageMove(void) {
  quorv_live::Clock clock;
  const uint8_t c = quorv_GetEnrollImageNum();
  QUORV_LOGI("%s...enroll image count = %d", __func__, c);
  if (c <= 2) return 0;
  const QuorvConfigInfo *cfg = g_pQuorvConfigInfo;
  if (cfg == nullptr) return -1;
  const uint32_t n = cfg->sensor_cols * cfg->sensor_rows;
  uint8_t *a = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(n)));
  uint8_t *b = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(n)));
  if (a == nullptr || b == nullptr) {
    ZqFree(a);
    ZqFree(b);
    return -1;
  }
  quorv_GetEnrollImageBuffOnly(a, static_cast<uint16_t>(n), 1);
  quorv_GetEnrollImageBuffOnly(b, static_cast<uint16_t>(n), c);
  const int still = quorv_CoverArea(a, b, static_cast<uint16_t>(cfg->sensor_rows),
                                    static_cast<uint16_t>(cfg->sensor_cols), 5) == 1
                        ? 1
                        : 0;
  ZqFree(a);
  ZqFree(b);
  if (clock.on()) {
    clock.Step();
    QUORV_LOGW("%s...total cost time = %d ms", __func__, clock.Total());
  }
  return still;
}

int quorv_GetFingerStatusFlag(void) {
  if (quorv_fp_mcu_status() != 0) {
    QUORV_LOGD("quorv_GetFingerStutasFlag : MCU BUSY");
    return 2;
  }
  if (quorv_fp_sensor_get_finger_status() != 0) {
    QUORV_LOGD("quorv_GetFingerStutasFlag : finger off");
    return 1;
  }
  QUORV_LOGD("quorv_GetFingerStutasFlag : finger on");
  return 0;
}

}  // extern "C"
