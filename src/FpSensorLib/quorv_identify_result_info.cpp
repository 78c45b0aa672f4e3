// Why a live identification failed, worked out from the images left in the
// enrol-image list: both analyses prune the list (images without area,
// neighbours that did not move), describe every image in imageInfoBuf and
// judge what remains.
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_hist_normalize.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/ZqAlg/ZqAlloc.h"
#include "src/ZqAlg/ZqEnrollSpeedFastJustify.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqImageChecks.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "src/features/ZqSpeedMove.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// An image whose valid area is at most this holds no finger.
constexpr uint8_t kNoArea = 9;

// Quality, area, cond, contrast of one image; zeros when the rating fails.
struct Rating {
  uint8_t quality = 0, area = 0, cond = 0, contrast = 0;
};

Rating Rate(const uint8_t *image) {
  uint8_t q[4] = {0, 0, 0, 0};
  Rating r;
  if (ZqGetImageQuality(image, q) < 0) return r;
  r.quality = q[0];
  r.area = q[1];
  r.cond = q[2];
  r.contrast = q[3];
  return r;
}

// The analysis' resources: two templates and a work image, released with
// the closing step (picks by the identify thresholds) on every path.
class Analysis {
 public:
  Analysis(const char *func, int32_t ret) : func_(func), ret_(ret) {}
  ~Analysis() {
    if (c_ != nullptr)
      quorv_SetValidImageIndexInfoBuf(static_cast<uint8_t>(c_->verify_valid_area),
                                      c_->verify_quality);
    ZqReleaseTemp(first_);
    ZqReleaseTemp(last_);
    ZqFree(work_);
  }

  // Frame steps: zeroes imageInfoBuf, makes the resources; false (after
  // logging) when one is missing.
  bool Open() {
    if (!quorv_LiveReady(func_)) return false;
    c_ = g_pQuorvConfigInfo;
    b_ = g_fp_image_buf;
    n_ = static_cast<uint16_t>(c_->sensor_cols * c_->sensor_rows);
    quorv_CleanImageInfoBuf();
    first_ = ZqCreateTemp();
    if (first_ == nullptr) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...template_fist = NULL, ret = %d", func_, ret_);
      return false;
    }
    last_ = ZqCreateTemp();
    if (last_ == nullptr) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...template_end = NULL, ret = %d", func_, ret_);
      return false;
    }
    work_ = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(n_)));
    if (work_ == nullptr) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...ZqAlloc image buf error!, ret = %d", func_, ret_);
      return false;
    }
    QUORV_LOG_IN(func_, QUORV_LOG_VERBOSE, "%s...0.1..Identify ret = %d", func_, ret_);
    return true;
  }

  // Loads list image i into g_fpImageBuf and copies it to g_fpImageBufAlg.
  void LoadBoth(uint8_t i) {
    quorv_GetEnrollImageBuffOnly(b_->g_fpImageBuf, n_, i);
    memcpy(b_->g_fpImageBufAlg, b_->g_fpImageBuf, n_);
  }
  void Load(uint8_t i, uint8_t *dst) { quorv_GetEnrollImageBuffOnly(dst, n_, i); }

  // Marks image j invalid when it covers the same area as image j - 1, for
  // every j from 2 to count; `step` numbers the log line.
  void PruneUnmoved(uint8_t count, const char *step) {
    for (int j = 2; j <= count; ++j) {
      Load(static_cast<uint8_t>(j - 1), b_->g_fpImageBuf);
      Load(static_cast<uint8_t>(j), work_);
      const int r = quorv_CoverArea(b_->g_fpImageBuf, work_, static_cast<uint16_t>(c_->sensor_rows),
                                    static_cast<uint16_t>(c_->sensor_cols), 5);
      if (r == 1 || r == -1) {
        quorv_SetEnrollImageInvalid(static_cast<uint8_t>(j));
        QUORV_LOG_IN(func_, QUORV_LOG_INFO, "%s...%s image %d is invalid", func_, step, j);
      }
    }
  }

  // Renews `t` from list image i with the enrolment extraction: 0, the
  // extraction's non-zero result, or 1 when no template can be had.
  int Extract(ST_SubTemplate *&t, uint8_t i) {
    Load(i, work_);
    ZqReleaseTemp(t);
    t = ZqCreateTemp();
    if (t == nullptr) return 1;
    return ZqGetTemplateForEnroll(work_, t);
  }

  int32_t Wet(const uint8_t *image) const {
    return ZqWetImageAreaPercent(image, static_cast<uint16_t>(c_->sensor_cols),
                                 static_cast<uint16_t>(c_->sensor_rows));
  }

  bool NotFinger(int verdict) {
    if (verdict == 0) return false;
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", func_,
                 verdict, -5);
    return true;
  }

  const char *func_;
  const int32_t ret_;
  const QuorvConfigInfo *c_ = nullptr;
  QuorvImgeBuf *b_ = nullptr;
  uint16_t n_ = 0;
  ST_SubTemplate *first_ = nullptr;
  ST_SubTemplate *last_ = nullptr;
  uint8_t *work_ = nullptr;
};

// Result -3 or -4 of a single image's gate, with trailer (0, 0).
int GateFailure(int code) {
  quorv_SetValidImageInfoBuf(0, 0);
  return code;
}

int Analyse(Analysis &a) {
  const char *const f = a.func_;
  const QuorvConfigInfo *c = a.c_;
  QuorvImgeBuf *b = a.b_;
  const int32_t ret = a.ret_;
  const uint8_t qthr = c->verify_quality;
  const uint16_t athr = c->verify_valid_area, cthr = c->verify_cond, pthr = c->verify_phy_area;
  const int32_t wthr = static_cast<int32_t>(c->wet_area_percent);

  const uint8_t count = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_VERBOSE, "%s...1.1..image count = %d", f, count);
  if (count == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR,
                 "%s...1.2..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  for (int i = 1; i <= count; ++i) {
    a.LoadBoth(static_cast<uint8_t>(i));
    uint8_t *alg = b->g_fpImageBufAlg;
    const int32_t phy = ZqGetImagePhysicsArea(alg);
    uint32_t sum = quorv_GetImagePixel(alg);
    const Rating first = Rate(alg);
    if (c->contrast_enhance != 0) {
      quorv_HistNormalizeU8(alg, static_cast<int16_t>(c->sensor_cols),
                            static_cast<int16_t>(c->sensor_rows), c->contrast_p1, c->contrast_p2,
                            alg, 0.001f, 0.001f);
      sum = quorv_GetImagePixel(alg);
    }
    if (c->filter_enhance == 1)
      quorv_RootFilter(alg, static_cast<int>(c->sensor_cols), static_cast<int>(c->sensor_rows), alg,
                       5.0f);
    const Rating second = Rate(alg);
    // Entries past the buffer's capacity are refused by the writer: the
    // list may hold more images than imageInfoBuf has entries.
    if (static_cast<uint32_t>(i) <= quorv_ImageInfoCapacity())
      quorv_SetImageInfoBuf_v2(static_cast<uint8_t>(i - 1), first.area, first.quality, second.cond,
                               static_cast<uint8_t>(phy), sum);
    if (second.area <= kNoArea) {
      quorv_SetEnrollImageInvalid(static_cast<uint8_t>(i));
      QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...2.1..image %d is invalid", f, i);
    }
  }
  quorv_DeleteInvalidEnrollImage();
  const uint8_t kept = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..4.1..get_img_num = %d", f, kept);
  if (kept == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR,
                 "%s...1.2..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  a.PruneUnmoved(kept, "4.1");
  quorv_DeleteInvalidEnrollImage();
  const uint8_t m = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..5.1..get_img_num = %d", f, m);
  if (m == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.2..NOT finger image, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  const bool nonfinger = c->identify_nonfinger == 1;
  if (m == 1) {
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...5.3..only one image", f);
    a.Load(1, a.work_);
    const int32_t phy = ZqGetImagePhysicsArea(a.work_);
    const Rating r = Rate(a.work_);
    const int32_t wet = a.Wet(a.work_);
    QUORV_LOG_IN(f, QUORV_LOG_VERBOSE,
                 "%s...5.4..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d", f,
                 phy, r.area, r.quality, r.cond, wet);
    if (nonfinger && a.NotFinger(quorv_IdentifyNonFingerPredict(a.work_))) return -5;
    if (phy <= pthr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.10..area is small, ret = %d", f, -4);
      return -4;
    }
    if (r.quality < qthr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.6..quality( = %d) low (Thr = %d) , ret = %d", f,
                   r.quality, qthr, -3);
      return GateFailure(-3);
    }
    if (r.cond < cthr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.7..cond( = %d) low (Thr = %d) , ret = %d", f, r.cond,
                   cthr, -3);
      return GateFailure(-3);
    }
    if (wet > wthr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.8..wetPrcent( = %d) > (Thr = %d) , ret = %d", f, wet,
                   wthr, -3);
      return GateFailure(-3);
    }
    if (r.area < athr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.5..area( = %d) low (Thr = %d) , ret = %d", f, r.area,
                   athr, -4);
      return GateFailure(-4);
    }
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.9..ret = %d", f, -2);
    return -2;
  }

  a.Load(1, a.work_);
  if (nonfinger && a.NotFinger(quorv_IdentifyNonFingerPredict(a.work_))) return -5;
  int e = a.Extract(a.first_, 1);
  if (e == 1 && a.first_ == nullptr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...10.1..template_fist, ret = %d", f, ret);
    return ret;
  }
  if (e != 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...10.2...ZqGetTemplateForEnroll() = %d, error, ret = %d",
                 f, e, -3);
    return -3;
  }
  a.Load(m, a.work_);
  if (nonfinger && a.NotFinger(quorv_IdentifyNonFingerPredict(a.work_))) return -5;
  e = a.Extract(a.last_, m);
  if (e == 1 && a.last_ == nullptr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...10.5...template_end, ret = %d", f, ret);
    return ret;
  }
  if (e != 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...10.6..ZqGetTemplateForEnroll() = %d, error, ret = %d",
                 f, e, -3);
    return -3;
  }
  const int g = ZqIsGetRequiredImage(a.first_, a.last_, c->slide_verify_speed);
  quorv_SetValidImageInfoBuf(2, static_cast<uint8_t>(g));

  const uint8_t *best = b->g_fpImageBufReserve2;
  const int32_t phy = ZqGetImagePhysicsArea(best);
  const Rating r = Rate(best);
  const int32_t wet = a.Wet(best);
  if (g != 0) {
    QUORV_LOG_IN(f, QUORV_LOG_VERBOSE,
                 "%s...11.9..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d", f,
                 phy, r.area, r.quality, r.cond, wet);
    if (r.area < athr) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.9..area( = %d) low (Thr = %d) , ret = %d", f,
                   r.area, athr, -4);
      return -4;
    }
    if (phy <= pthr || (r.cond >= cthr && wet <= wthr)) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s..11.11..speed > thr, move too fast! ret = %d", f, -8);
      return -8;
    }
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s..11.10..speed > thr, BUT all image are wet fingers, ret = %d",
                 f, -3);
    return -3;
  }
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s.11.1..speed < thr, image is ok", f);
  QUORV_LOG_IN(f, QUORV_LOG_VERBOSE,
               "%s...11.2..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d", f, phy,
               r.area, r.quality, r.cond, wet);
  if (phy <= pthr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.8..area is small, ret = %d", f, -4);
    return -4;
  }
  if (r.quality < qthr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.4..quality( = %d) low (Thr = %d) , ret = %d", f,
                 r.quality, qthr, -3);
    return -3;
  }
  if (r.cond < cthr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.5..cond( = %d) low (Thr = %d) , ret = %d", f, r.cond,
                 cthr, -3);
    return -3;
  }
  if (wet > wthr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.6..wetPrcent( = %d) > (Thr = %d) , ret = %d", f, wet,
                 wthr, -3);
    return -3;
  }
  if (r.area < athr) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.3..area( = %d) low (Thr = %d) , ret = %d", f, r.area,
                 athr, -4);
    return -4;
  }
  QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...11.7..ret = %d", f, -2);
  return -2;
}

int AnalyseV2(Analysis &a) {
  const char *const f = a.func_;
  const QuorvConfigInfo *c = a.c_;
  QuorvImgeBuf *b = a.b_;
  const uint8_t dq = c->dirty_quality, dc = c->dirty_cond, da = c->dirty_area;

  const uint8_t count = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_VERBOSE, "%s...1.1..image count = %d", f, count);
  if (count == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR,
                 "%s...1.2..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  for (int j = 1; j <= count; ++j) {
    a.LoadBoth(static_cast<uint8_t>(j));
    const Rating r = Rate(b->g_fpImageBufAlg);
    if (static_cast<uint32_t>(j) <= quorv_ImageInfoCapacity())
      quorv_SetImageInfoBuf_v2(static_cast<uint8_t>(j - 1), r.area, r.quality, r.cond, 0, 0);
    if (r.area <= kNoArea) {
      quorv_SetEnrollImageInvalid(static_cast<uint8_t>(j));
      QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...1.3..image %d is invalid", f, j);
    }
  }
  quorv_DeleteInvalidEnrollImage();
  const uint8_t kept = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..1.4..get_img_num = %d", f, kept);
  if (kept == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR,
                 "%s...1.5..quorv_GetListNodeNumber() = 0, error, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  a.PruneUnmoved(kept, "2.1");
  quorv_DeleteInvalidEnrollImage();
  const uint8_t m = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..3.1..get_img_num = %d", f, m);
  if (m == 0) {
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...3.2..NOT finger image, finger move too fast, ret = %d",
                 f, -8);
    return -8;
  }
  const bool nonfinger = c->identify_nonfinger == 1;
  if (m == 1) {
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...3.3..only one image", f);
    a.Load(1, a.work_);
    const Rating r = Rate(a.work_);
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..3.4..area = %d, quality = %d, cond = %d", f, r.area,
                 r.quality, r.cond);
    if (nonfinger && a.NotFinger(ZqIdentifyNonFingerDetect(a.work_))) return -5;
    if (r.quality < dq) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...3.5..quality( = %d) low (Thr = %d) , ret = %d", f,
                   r.quality, dq, -3);
      return GateFailure(-3);
    }
    if (r.cond < dc) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...3.6..cond( = %d) low (Thr = %d) , ret = %d", f, r.cond,
                   dc, -3);
      return GateFailure(-3);
    }
    if (r.area < da) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...3.7..area( = %d) low (Thr = %d) , ret = %d", f, r.area,
                   da, -4);
      return GateFailure(-4);
    }
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...3.8..ret = %d", f, -2);
    return -2;
  }

  uint8_t max_q = 0, max_a = 0, max_c = 0;
  for (int j = 1; j <= m; ++j) {
    a.Load(static_cast<uint8_t>(j), b->g_fpImageBuf);
    const Rating r = Rate(b->g_fpImageBuf);
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..4.0..quality = %d, area = %d, cond = %d", f, r.quality,
                 r.area, r.cond);
    const char *step = r.quality < dq ? "4.1" : r.cond < dc ? "4.2" : r.area < da ? "4.3" : nullptr;
    if (step != nullptr) {
      quorv_SetEnrollImageInvalid(static_cast<uint8_t>(j));
      QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...%s image %d is invalid", f, step, j);
    }
    if (r.quality > max_q) max_q = r.quality;
    if (r.area > max_a) max_a = r.area;
    if (r.cond > max_c) max_c = r.cond;
  }
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..4.4..maxQuality = %d, maxValidArea = %d, maxCond = %d", f,
               max_q, max_a, max_c);
  quorv_DeleteInvalidEnrollImage();
  const uint8_t r = quorv_GetEnrollImageNum();
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..4.4..get_img_num = %d", f, r);
  if (r == 0) {
    if (max_q <= dq) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...4.5..maxQuality(= %d) <= thr(= %d), ret = %d", f,
                   max_q, dq, -3);
      return -3;
    }
    if (max_c <= dc) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...4.6..maxCond(= %d) <= thr(= %d), ret = %d", f, max_c,
                   dc, -3);
      return -3;
    }
    if (max_a <= da) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...4.7..maxValidArea(= %d) <= thr(= %d), ret = %d", f,
                   max_a, da, -4);
      return -4;
    }
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...4.8...normal image, ret = %d", f, -2);
    return -2;
  }
  if (r == 1) {
    a.Load(1, a.work_);
    if (nonfinger && a.NotFinger(ZqIdentifyNonFingerDetect(a.work_))) return -5;
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.1..normal image, ret = %d", f, -2);
    return -2;
  }
  for (int k = 2; k <= r; ++k) {
    a.Load(static_cast<uint8_t>(k - 1), b->g_fpImageBuf);
    a.Load(static_cast<uint8_t>(k), a.work_);
    const int32_t s = ZqEnrollSpeedFastJustify(b->g_fpImageBuf, a.work_,
                                               static_cast<uint16_t>(c->sensor_cols),
                                               static_cast<uint16_t>(c->sensor_rows));
    if (s == ZQ_SPEED_PRESSED || s == ZQ_SPEED_MOVED) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s...5.3..move too fast, ret = %d", f, -8);
      return -8;
    }
  }
  return -2;
}

}  // namespace

extern "C" {

int quorv_GetIdentifyResultInfo(int32_t ret) {
  if (ret == 0) {
    QUORV_LOGI("%s...identify ok, do nothing!", __func__);
    return 0;
  }
  int result = ret;
  {
    Analysis a(__func__, ret);
    if (a.Open()) result = Analyse(a);
  }
  QUORV_LOGV("%s.11.11..leave, ret = %d", __func__, result);
  return result;
}

int quorv_GetIdentifyResultInfo_v2(int32_t ret) {
  if (const QuorvConfigInfo *c = g_pQuorvConfigInfo) {
    QUORV_LOGI("%s...0.0..dirty quality thr = %d, dirty cond thr = %d, area thr = %d", __func__,
               c->dirty_quality, c->dirty_cond, c->dirty_area);
  }
  int result = ret;
  {
    Analysis a(__func__, ret);
    if (a.Open()) result = AnalyseV2(a);
  }
  QUORV_LOGI("%s.5.4..leave, ret = %d", __func__, result);
  return result;
}

}  // extern "C"
