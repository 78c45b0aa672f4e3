// Why a live identification failed, worked out from the images left in the
// enrol-image list: both analyses prune the list (images without area,
// neighbours that did not move), describe every image in imageInfoBuf and
// judge what remains.
#include <string.h>

#include <optional>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_hist_normalize.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/image/ZqAlloc.h"
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

// Physical area, rating and wet percentage of one image.
struct Reading {
  int32_t phy = 0;
  Rating r;
  int32_t wet = 0;
};

// The limits of an image's judgement (each check's threshold).
struct Limits {
  int phy, quality, cond, wet, area;
};

// Step labels of an image's judgement, in the order of its checks; a null
// label leaves its check out.
struct JudgeSteps {
  const char *small, *quality, *cond, *wet, *area, *normal;
};

// What a refusal of an emptied list says before ", finger move too fast".
constexpr char kListEmpty[] = "quorv_GetListNodeNumber() = 0, error";
constexpr char kNoFinger[] = "NOT finger image";

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

  // The number of list images, logged as step 1.1.
  uint8_t Count() {
    const uint8_t n = quorv_GetEnrollImageNum();
    QUORV_LOG_IN(func_, QUORV_LOG_VERBOSE, "%s...1.1..image count = %d", func_, n);
    return n;
  }

  // Marks list image i invalid when its valid area shows no finger; `step`
  // numbers the log line.
  void MarkNoArea(int i, uint8_t area, const char *step) {
    if (area > kNoArea) return;
    quorv_SetEnrollImageInvalid(static_cast<uint8_t>(i));
    QUORV_LOG_IN(func_, QUORV_LOG_INFO, "%s...%s..image %d is invalid", func_, step, i);
  }

  // Drops the images marked invalid; the number left, logged as `step`.
  uint8_t Compact(const char *step) {
    quorv_DeleteInvalidEnrollImage();
    const uint8_t n = quorv_GetEnrollImageNum();
    QUORV_LOG_IN(func_, QUORV_LOG_INFO, "%s..%s..get_img_num = %d", func_, step, n);
    return n;
  }

  // -8 for a list left empty, logged as `step` with `why`.
  int TooFast(const char *step, const char *why) {
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s..%s, finger move too fast, ret = %d", func_,
                 step, why, -8);
    return -8;
  }

  // Physical area, rating and wet percentage of `image`.
  Reading Read(const uint8_t *image) const {
    Reading x;
    x.phy = ZqGetImagePhysicsArea(image);
    x.r = Rate(image);
    x.wet = Wet(image);
    return x;
  }

  // Logs all of `x` as `step`.
  void Describe(const char *step, const Reading &x) {
    QUORV_LOG_IN(func_, QUORV_LOG_VERBOSE,
                 "%s...%s..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d", func_,
                 step, x.phy, x.r.area, x.r.quality, x.r.cond, x.wet);
  }

  // `code` for the rating `what` of `value` below `thr`, logged as `step`.
  int Low(const char *step, const char *what, int value, int thr, int code) {
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s..%s( = %d) low (Thr = %d) , ret = %d", func_,
                 step, what, value, thr, code);
    return code;
  }

  // Judges one image: -4 when its physical area is at most l.phy, -3 when
  // its quality or cond is below or its wet percentage above its limit, -4
  // when its valid area is below its limit, else -2. With `trailer` the -3
  // and -4 of the four ratings put (0, 0) behind the entries.
  int Judge(const Reading &x, const Limits &l, const JudgeSteps &s, bool trailer) {
    const auto fail = [trailer](int code) {
      if (trailer) quorv_SetValidImageInfoBuf(0, 0);
      return code;
    };
    if (s.small != nullptr && x.phy <= l.phy) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s..area is small, ret = %d", func_, s.small, -4);
      return -4;
    }
    if (x.r.quality < l.quality) return fail(Low(s.quality, "quality", x.r.quality, l.quality, -3));
    if (x.r.cond < l.cond) return fail(Low(s.cond, "cond", x.r.cond, l.cond, -3));
    if (s.wet != nullptr && x.wet > l.wet) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s..wetPrcent( = %d) > (Thr = %d) , ret = %d",
                   func_, s.wet, x.wet, l.wet, -3);
      return fail(-3);
    }
    if (x.r.area < l.area) return fail(Low(s.area, "area", x.r.area, l.area, -4));
    QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s..ret = %d", func_, s.normal, -2);
    return -2;
  }

  // Loads list image i as an end of the slide and renews `t` from it: the
  // refusal (-5 from the non-finger check when `nonfinger`, ret_ when no
  // template can be had, -3 when the extraction fails; logged with the
  // labels `missing` and `failed`), or nothing when `t` holds the template.
  std::optional<int> Endpoint(ST_SubTemplate *&t, uint8_t i, bool nonfinger, const char *missing,
                              const char *failed) {
    Load(i, work_);
    if (nonfinger && NotFinger(quorv_IdentifyNonFingerPredict(work_))) return -5;
    const int e = Extract(t, i);
    if (e == 1 && t == nullptr) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%s, ret = %d", func_, missing, ret_);
      return ret_;
    }
    if (e != 0) {
      QUORV_LOG_IN(func_, QUORV_LOG_ERROR, "%s...%sZqGetTemplateForEnroll() = %d, error, ret = %d",
                   func_, failed, e, -3);
      return -3;
    }
    return std::nullopt;
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

int Analyse(Analysis &a) {
  const char *const f = a.func_;
  const QuorvConfigInfo *c = a.c_;
  QuorvImgeBuf *b = a.b_;
  const Limits limits = {c->verify_phy_area, c->verify_quality, c->verify_cond,
                         static_cast<int32_t>(c->wet_area_percent), c->verify_valid_area};

  const uint8_t count = a.Count();
  if (count == 0) return a.TooFast("1.2", kListEmpty);
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
    a.MarkNoArea(i, second.area, "2.1");
  }
  const uint8_t kept = a.Compact("4.1");
  if (kept == 0) return a.TooFast("1.2", kListEmpty);
  a.PruneUnmoved(kept, "4.1");
  const uint8_t m = a.Compact("5.1");
  if (m == 0) return a.TooFast("5.2", kNoFinger);
  const bool nonfinger = c->identify_nonfinger == 1;
  if (m == 1) {
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...5.3..only one image", f);
    a.Load(1, a.work_);
    const Reading one = a.Read(a.work_);
    a.Describe("5.4", one);
    if (nonfinger && a.NotFinger(quorv_IdentifyNonFingerPredict(a.work_))) return -5;
    return a.Judge(one, limits, {"5.10", "5.6", "5.7", "5.8", "5.5", "5.9"}, true);
  }

  if (auto refused = a.Endpoint(a.first_, 1, nonfinger, "10.1..template_fist", "10.2..."))
    return *refused;
  if (auto refused = a.Endpoint(a.last_, m, nonfinger, "10.5...template_end", "10.6.."))
    return *refused;
  const int g = ZqIsGetRequiredImage(a.first_, a.last_, c->slide_verify_speed);
  quorv_SetValidImageInfoBuf(2, static_cast<uint8_t>(g));

  const Reading best = a.Read(b->g_fpImageBufReserve2);
  if (g != 0) {
    a.Describe("11.9", best);
    if (best.r.area < limits.area) return a.Low("11.9", "area", best.r.area, limits.area, -4);
    if (best.phy <= limits.phy || (best.r.cond >= limits.cond && best.wet <= limits.wet)) {
      QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s..11.11..speed > thr, move too fast! ret = %d", f, -8);
      return -8;
    }
    QUORV_LOG_IN(f, QUORV_LOG_ERROR, "%s..11.10..speed > thr, BUT all image are wet fingers, ret = %d",
                 f, -3);
    return -3;
  }
  QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s.11.1..speed < thr, image is ok", f);
  a.Describe("11.2", best);
  return a.Judge(best, limits, {"11.8", "11.4", "11.5", "11.6", "11.3", "11.7"}, false);
}

int AnalyseV2(Analysis &a) {
  const char *const f = a.func_;
  const QuorvConfigInfo *c = a.c_;
  QuorvImgeBuf *b = a.b_;
  const uint8_t dq = c->dirty_quality, dc = c->dirty_cond, da = c->dirty_area;

  const uint8_t count = a.Count();
  if (count == 0) return a.TooFast("1.2", kListEmpty);
  for (int j = 1; j <= count; ++j) {
    a.LoadBoth(static_cast<uint8_t>(j));
    const Rating r = Rate(b->g_fpImageBufAlg);
    if (static_cast<uint32_t>(j) <= quorv_ImageInfoCapacity())
      quorv_SetImageInfoBuf_v2(static_cast<uint8_t>(j - 1), r.area, r.quality, r.cond, 0, 0);
    a.MarkNoArea(j, r.area, "1.3");
  }
  const uint8_t kept = a.Compact("1.4");
  if (kept == 0) return a.TooFast("1.5", kListEmpty);
  a.PruneUnmoved(kept, "2.1");
  const uint8_t m = a.Compact("3.1");
  if (m == 0) return a.TooFast("3.2", kNoFinger);
  const bool nonfinger = c->identify_nonfinger == 1;
  if (m == 1) {
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s...3.3..only one image", f);
    a.Load(1, a.work_);
    const Rating r = Rate(a.work_);
    QUORV_LOG_IN(f, QUORV_LOG_INFO, "%s..3.4..area = %d, quality = %d, cond = %d", f, r.area,
                 r.quality, r.cond);
    if (nonfinger && a.NotFinger(ZqIdentifyNonFingerDetect(a.work_))) return -5;
    Reading one;
    one.r = r;
    return a.Judge(one, {0, dq, dc, 0, da}, {nullptr, "3.5", "3.6", nullptr, "3.7", "3.8"}, true);
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
  const uint8_t r = a.Compact("4.4");
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
