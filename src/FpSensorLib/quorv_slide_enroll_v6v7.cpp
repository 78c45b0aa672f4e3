// Slide enrolment engines V6 and V7: each slide is graded image by image
// and at most one image of it, the chosen image, is enrolled. When no image
// qualifies the engines report why (low quality, small area, wet finger,
// too fast a slide). V7 rechecks the speed of the whole slide before it
// reports certain failures.
//
// The image buffers of one call (first, end, best-quality and chosen image)
// are sized from the configured cols x rows, so every supported sensor size
// fits them.
#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_hist_normalize.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"

// Messages in the engine's name: SAY with one text, SAY2 with the V6 and
// the V7 text of the same step.
#define SAY(level, fmt, ...) QUORV_LOG_IN(func_, level, fmt, func_, ##__VA_ARGS__)
#define SAY2(level, fmt6, fmt7, ...)      \
  do {                                    \
    if (v7_)                              \
      SAY(level, fmt7, ##__VA_ARGS__);    \
    else                                  \
      SAY(level, fmt6, ##__VA_ARGS__);    \
  } while (0)

namespace {

// Internal answer of a choosing step: the chosen image goes on to the
// enrolment step (never returned to the caller).
constexpr int kEnrol = 1;

// One grading of an image: quality, valid area, condition.
struct Rating {
  int quality = 0;
  int area = 0;
  int cond = 0;
};

class OneImageSlide {
 public:
  OneImageSlide(const char *func, bool v7, uint16_t fingerId, uint8_t enrollIndex, uint8_t *out)
      : func_(func),
        v7_(v7),
        c_(g_pQuorvConfigInfo),
        b_(g_fp_image_buf),
        fingerId_(fingerId),
        enrollIndex_(enrollIndex),
        out_(out) {}
  OneImageSlide(const OneImageSlide &) = delete;
  OneImageSlide &operator=(const OneImageSlide &) = delete;

  int Run();

 private:
  int Body();
  int FirstPass(uint8_t n);
  int Neighbours(uint8_t count);
  int SingleImage();
  int SecondPass(uint8_t count);
  int NothingPassedV6();
  int NothingPassedV7();
  int OnePassed();
  int SeveralPassed(uint8_t count);
  int EnrolStep();
  int SpeedRecheck(int ret);
  void Leave();

  // Rates img with the algorithm core (zeros when the rating fails).
  Rating Rate(const uint8_t *img) const;
  // Low byte of the physical area of img.
  int PhysicalArea(const uint8_t *img) const;
  int32_t Wet(const uint8_t *img) const;
  // The non-finger answer for img when the check is on, else 0.
  int NotFinger(const uint8_t *img) const;
  // Copies saved slide image pos into dst.
  void Load(uint8_t pos, uint8_t *dst) const;
  uint8_t Compact() const;
  // Releases *slot and extracts img into a fresh template there: 0; -1
  // when no template could be made; -3 with the extraction's *code.
  int Extract(ST_SubTemplate **slot, uint8_t *img, int32_t *code) const;

  const char *func_;
  const bool v7_;
  const QuorvConfigInfo *c_;
  QuorvImgeBuf *b_;
  const uint16_t fingerId_;
  const uint8_t enrollIndex_;
  uint8_t *out_;

  uint32_t size_ = 0;
  uint8_t *images_ = nullptr;  // first, end, best and chosen image, in one block
  uint8_t *firstImg_ = nullptr, *endImg_ = nullptr, *bestImg_ = nullptr, *chosen_ = nullptr;
  uint8_t *work1_ = nullptr, *work2_ = nullptr;
  ST_SubTemplate *first_ = nullptr, *end_ = nullptr;
  int bestQuality_ = 0, bestArea_ = 0;
};

Rating OneImageSlide::Rate(const uint8_t *img) const {
  uint8_t q[4] = {0, 0, 0, 0};
  if (g_quorvCore.GetImageQuality(img, q) < 0) memset(q, 0, sizeof(q));
  Rating r;
  r.quality = q[0];
  r.area = q[1];
  r.cond = q[2];
  return r;
}

int OneImageSlide::PhysicalArea(const uint8_t *img) const {
  return static_cast<uint8_t>(g_quorvCore.PhysicsArea(img));
}

int32_t OneImageSlide::Wet(const uint8_t *img) const {
  return g_quorvCore.WetPercent(img, static_cast<uint16_t>(c_->sensor_cols),
                                     static_cast<uint16_t>(c_->sensor_rows));
}

int OneImageSlide::NotFinger(const uint8_t *img) const {
  return c_->enroll_nonfinger == 1 ? g_quorvCore.EnrollNonFinger(img) : 0;
}

void OneImageSlide::Load(uint8_t pos, uint8_t *dst) const {
  quorv_get_sensor_image_buff(dst, static_cast<uint16_t>(size_), pos);
}

uint8_t OneImageSlide::Compact() const {
  quorv_delete_invalid_sensor_image();
  uint8_t n = 0;
  quorv_get_sensor_image_num(&n);
  return n;
}

int OneImageSlide::Extract(ST_SubTemplate **slot, uint8_t *img, int32_t *code) const {
  ZqReleaseTemp(*slot);
  *slot = ZqCreateTemp();
  if (*slot == nullptr) return -1;
  *code = g_quorvCore.GetTemplate(img, *slot, nullptr);
  return *code == 0 ? 0 : -3;
}

int OneImageSlide::Run() {
  if (!quorv_LiveReady(func_)) return -1;
  size_ = c_->sensor_cols * c_->sensor_rows;
  int ret = Body();
  if (v7_ && (ret == -1 || ret == -2 || ret == -6 || ret == -7 || ret == -8))
    ret = SpeedRecheck(ret);
  Leave();
  SAY(QUORV_LOG_INFO, "%s...16.4..leave, ret = %d", ret);
  return ret;
}

int OneImageSlide::Body() {
  quorv_CleanImageInfoBuf();
  quorv_DestroyRescanImage();
  first_ = ZqCreateTemp();
  if (first_ == nullptr) {
    SAY(QUORV_LOG_ERROR, "%s...template_fist = NULL, ret = %d", -1);
    return -1;
  }
  end_ = ZqCreateTemp();
  if (end_ == nullptr) {
    SAY(QUORV_LOG_ERROR, "%s...template_end = NULL, ret = %d", -1);
    return -1;
  }
  gQuorvActionMode = QUORV_ACTION_ENROLL;

  const int r = quorv_SlideEnrollReadImage(b_->g_fpImageBufAlg);
  if (r != 0) {
    SAY(QUORV_LOG_ERROR, "%s...fail to get image, error, ret = %d", -5);
    return -5;
  }
  images_ = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(4 * size_)));
  work1_ = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(size_)));
  work2_ = static_cast<uint8_t *>(ZqAlloc(static_cast<int>(size_)));
  if (images_ == nullptr || work1_ == nullptr || work2_ == nullptr) {
    SAY(QUORV_LOG_ERROR, "%s...ZqAlloc image buf error!, ret = %d", -1);
    return -1;
  }
  memset(images_, 0, 4 * size_);
  firstImg_ = images_;
  endImg_ = images_ + size_;
  bestImg_ = images_ + 2 * size_;
  chosen_ = images_ + 3 * size_;
  if (!v7_) SAY(QUORV_LOG_INFO, "%s...Enroll start!");

  uint8_t n = 0;
  quorv_get_sensor_image_num(&n);
  SAY(QUORV_LOG_INFO, "%s...1.1..get_img_num = %d, get_img_index = %d", n, n);
  if (n == 0) {
    SAY(QUORV_LOG_ERROR, "%s...1.2..NOT finger image, finger move too fast, ret = %d", -8);
    return -8;
  }
  int count = FirstPass(n);
  if (count == 0) {
    SAY(QUORV_LOG_ERROR, "%s...4.2..NOT finger image, finger move too fast, ret = %d", -8);
    return -8;
  }
  if (count > 1) {
    count = Neighbours(static_cast<uint8_t>(count));
    if (count == 0) {
      SAY(QUORV_LOG_ERROR, "%s...5.3..NOT finger image, finger move too fast, ret = %d", -8);
      return -8;
    }
  }
  const int chosen = count == 1 ? SingleImage() : SecondPass(static_cast<uint8_t>(count));
  return chosen == kEnrol ? EnrolStep() : chosen;
}

int OneImageSlide::FirstPass(uint8_t n) {
  int firstValid = 0;
  for (int j = 1; j <= n; ++j) {
    Load(static_cast<uint8_t>(j), work1_);
    const Rating r = Rate(work1_);
    const int phy = v7_ ? 0 : PhysicalArea(work1_);
    quorv_SaveRescanImage(work1_);  // the raw image, whatever the save switch says
    if (!v7_) {
      quorv_HistNormalizeU8(work1_, static_cast<int16_t>(c_->sensor_cols),
                            static_cast<int16_t>(c_->sensor_rows), c_->contrast_p1,
                            c_->contrast_p2, work1_, 0.001f, 0.001f);
      quorv_SetImageInfoBuf_v2(static_cast<uint8_t>(j - 1), static_cast<uint8_t>(r.area),
                               static_cast<uint8_t>(r.quality), static_cast<uint8_t>(r.cond),
                               static_cast<uint8_t>(phy), quorv_GetImagePixel(work1_));
    }
    if (r.area == 0) {
      quorv_set_sensor_image_invalid(static_cast<uint8_t>(j));
      SAY(QUORV_LOG_INFO, "%s...2.1 image %d is invalid", j);
    } else if (firstValid == 0) {
      firstValid = j;
    }
  }
  SAY(QUORV_LOG_INFO, "%s...2.1...first_valid_image = %d, get_img_num = %d", firstValid, n);
  const uint8_t count = Compact();
  SAY(QUORV_LOG_INFO, "%s..4.1..get_img_num = %d, get_img_index = %d", count, count);
  return count;
}

int OneImageSlide::Neighbours(uint8_t count) {
  for (int k = 2; k <= count; ++k) {
    Load(static_cast<uint8_t>(k - 1), b_->g_fpImageBuf);
    Load(static_cast<uint8_t>(k), work1_);
    const int r = quorv_CoverArea(b_->g_fpImageBuf, work1_, static_cast<uint16_t>(c_->sensor_rows),
                                  static_cast<uint16_t>(c_->sensor_cols), 5);
    if (r == 1 || r == -1) {
      quorv_set_sensor_image_invalid(static_cast<uint8_t>(k));
      SAY(QUORV_LOG_INFO, "%s...5.1 image %d is invalid", k);
    }
  }
  const uint8_t left = Compact();
  SAY(QUORV_LOG_INFO, "%s..5.2..get_img_num = %d, get_img_index = %d", left, left);
  return left;
}

int OneImageSlide::SingleImage() {
  SAY(QUORV_LOG_INFO, "%s...5.5..only one image");
  Load(1, chosen_);
  memcpy(work1_, chosen_, size_);
  const Rating r = Rate(work1_);
  const int qThr = c_->enroll_quality, cThr = c_->enroll_cond, aThr = c_->enroll_valid_area;
  int32_t code = 0;
  if (!v7_) {
    const int phy = PhysicalArea(chosen_);
    const int32_t wet = Wet(chosen_);
    SAY(QUORV_LOG_INFO, "%s...5.6..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d",
        phy, r.area, r.quality, r.cond, wet);
    if (phy <= c_->phy_area) {
      SAY(QUORV_LOG_ERROR, "%s...5.19..area is small, ret = %d", -4);
      return -4;
    }
    if (r.quality < qThr) {
      SAY(QUORV_LOG_ERROR, "%s...5.7..quality( = %d) low (Thr = %d) , ret = %d", r.quality, qThr,
          -3);
      return -3;
    }
    if (r.cond < cThr) {
      SAY(QUORV_LOG_ERROR, "%s...5.9..cond( = %d) low (Thr = %d) , ret = %d", r.cond, cThr, -3);
      return -3;
    }
    if (r.area < aThr) {
      const int ret = wet > static_cast<int32_t>(c_->wet_area_percent) ? -3 : -4;
      SAY(QUORV_LOG_ERROR, "%s...5.11..ret = %d", ret);
      return ret;
    }
    SAY(QUORV_LOG_INFO, "%s...5.13..get valid image, next get tpl");
    const int e = Extract(&first_, work1_, &code);
    if (e == -1) {
      SAY(QUORV_LOG_ERROR, "%s...5.14..template_fist, ret = %d", -1);
      return -1;
    }
    if (e != 0) {
      SAY(QUORV_LOG_ERROR, "%s...5.16...ZqGetTemplateForEnroll() = %d, error, ret = %d", code, -3);
      return -3;
    }
    SAY(QUORV_LOG_INFO, "%s..5.18..get first tpl");
    quorv_SetValidImageInfoBuf(1, 0);
    return kEnrol;
  }
  SAY(QUORV_LOG_INFO, "%s...5.6..area = %d, quality = %d, cond = %d, wetPrcent = %d", r.area,
      r.quality, r.cond, 0);
  const int v = NotFinger(work1_);
  if (v != 0) {
    SAY(QUORV_LOG_ERROR, "%s...5.8..NOT finger image, value = %d, ret = %d", v, -5);
    return -5;
  }
  if (r.quality < qThr) {
    SAY(QUORV_LOG_ERROR, "%s...5.9..quality( = %d) low (Thr = %d) , ret = %d", r.quality, qThr, -3);
    return -3;
  }
  if (r.cond < cThr) {
    SAY(QUORV_LOG_ERROR, "%s...5.10..cond( = %d) low (Thr = %d) , ret = %d", r.cond, cThr, -3);
    return -3;
  }
  if (r.area < aThr) {
    SAY(QUORV_LOG_ERROR, "%s...5.11..ret = %d", -4);
    return -4;
  }
  SAY(QUORV_LOG_INFO, "%s...5.12..get valid image, next get tpl");
  const int e = Extract(&first_, work1_, &code);
  if (e == -1) {
    SAY(QUORV_LOG_ERROR, "%s...5.13..template_fist, ret = %d", -1);
    return -1;
  }
  if (e != 0) {
    SAY(QUORV_LOG_ERROR, "%s...5.14...ZqGetTemplateForEnroll() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY(QUORV_LOG_INFO, "%s..5.15..get first tpl");
  return kEnrol;
}

int OneImageSlide::SecondPass(uint8_t count) {
  int smallQuality = 0, smallArea = 0;
  for (int k = 1; k <= count; ++k) {
    Load(static_cast<uint8_t>(k), work1_);
    if (k == 1) memcpy(firstImg_, work1_, size_);
    if (k == count) memcpy(endImg_, work1_, size_);
    const Rating r = Rate(work1_);
    if (r.quality > bestQuality_) {
      bestQuality_ = r.quality;
      if (!v7_) memcpy(bestImg_, work1_, size_);
    }
    if (v7_ && r.area > bestArea_) bestArea_ = r.area;
    const uint8_t pos = static_cast<uint8_t>(k);
    if (r.quality < c_->enroll_quality) {
      quorv_set_sensor_image_invalid(pos);
      ++smallQuality;
      SAY(QUORV_LOG_INFO, "%s...7.2..image %d is invalid, small_quality_cnt = %d", k,
          smallQuality);
    } else if (r.cond < c_->enroll_cond) {
      quorv_set_sensor_image_invalid(pos);
      ++smallQuality;
      SAY(QUORV_LOG_INFO, "%s...7.4..image %d is invalid, small_quality_cnt = %d", k,
          smallQuality);
    } else if (r.area < c_->enroll_valid_area) {
      quorv_set_sensor_image_invalid(pos);
      ++smallArea;
      SAY(QUORV_LOG_INFO, "%s...7.6..image %d is invalid, small_area_cnt = %d", k, smallArea);
    }
  }
  const uint8_t left = Compact();
  SAY(QUORV_LOG_INFO, "%s..8.1..get_img_num = %d, get_img_index = %d", left, left);
  if (left == 0) return v7_ ? NothingPassedV7() : NothingPassedV6();
  if (left == 1) return OnePassed();
  return SeveralPassed(left);
}

int OneImageSlide::NothingPassedV6() {
  int32_t code = 0;
  memcpy(work1_, firstImg_, size_);
  int e = Extract(&first_, work1_, &code);
  if (e == -1) {
    SAY(QUORV_LOG_ERROR, "%s...9.1...template_fist, ret = %d", -1);
    return -1;
  }
  if (e != 0) {
    SAY(QUORV_LOG_ERROR, "%s...9.2..ZqGetTemplateForEnroll() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY(QUORV_LOG_INFO, "%s..9.3..get first tpl");
  memcpy(work1_, endImg_, size_);
  e = Extract(&end_, work1_, &code);
  if (e == -1) {
    SAY(QUORV_LOG_ERROR, "%s...9.4...template_end, ret = %d", -1);
    return -1;
  }
  if (e != 0) {
    SAY(QUORV_LOG_ERROR, "%s...9.6..ZqGetTemplateForEnroll() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY(QUORV_LOG_INFO, "%s..9.8..get end tpl");

  const int speed = g_quorvCore.RequiredImage(first_, end_, c_->slide_enroll_speed);
  const int phy = PhysicalArea(bestImg_);
  const Rating r = Rate(bestImg_);
  const int32_t wet = Wet(bestImg_);
  const int32_t wetThr = static_cast<int32_t>(c_->wet_area_percent);
  const int qThr = c_->enroll_quality, cThr = c_->enroll_cond;
  if (speed == 0) {
    SAY(QUORV_LOG_INFO, "%s..9.9..speed < thr, image is ok");
    if (phy <= c_->phy_area) {
      SAY(QUORV_LOG_ERROR, "%s..9.15..phy_area < Thr, ret = %d", -4);
      return -4;
    }
    if (r.quality < qThr) {
      SAY(QUORV_LOG_ERROR, "%s...9.11..quality( = %d) low (Thr = %d) , ret = %d", r.quality,
          qThr, -3);
      return -3;
    }
    if (r.cond < cThr) {
      SAY(QUORV_LOG_ERROR, "%s...9.12..cond( = %d) low (Thr = %d) , ret = %d", r.cond, cThr, -3);
      return -3;
    }
    if (wet > wetThr) {
      SAY(QUORV_LOG_ERROR, "%s...9.13..wetPrcent( = %d) > (Thr = %d) , ret = %d", wet, wetThr,
          -3);
      return -3;
    }
    SAY(QUORV_LOG_ERROR, "%s...9.14..ret = %d", -4);
    return -4;
  }
  SAY(QUORV_LOG_INFO, "%s...9.16..phyArea = %d, area = %d, quality = %d, cond = %d, wetPrcent = %d",
      phy, r.area, r.quality, r.cond, wet);
  if (phy > c_->phy_area && (r.cond < cThr || wet > wetThr)) {
    SAY(QUORV_LOG_ERROR, "%s..9.18..speed > thr, BUT all image are wet fingers, ret = %d", -3);
    return -3;
  }
  if (r.area < c_->enroll_valid_area) {
    SAY(QUORV_LOG_ERROR, "%s..9.17..area is small, ret = %d", -4);
    return -4;
  }
  SAY(QUORV_LOG_ERROR, "%s..9.19..speed > thr, move too fast! ret = %d", -8);
  return -8;
}

int OneImageSlide::NothingPassedV7() {
  const int v = NotFinger(work1_);  // still the last image of the grading pass
  if (v != 0) {
    SAY(QUORV_LOG_ERROR, "%s...8.3..NOT finger image, value = %d, ret = %d", v, -5);
    return -5;
  }
  if (bestQuality_ <= c_->enroll_quality) {
    SAY(QUORV_LOG_ERROR, "%s...8.4..maxQuality(= %d) <= thr(= %d), ret = %d", bestQuality_,
        c_->enroll_quality, -3);
    return -3;
  }
  if (bestArea_ <= c_->enroll_valid_area) {
    SAY(QUORV_LOG_ERROR, "%s...8.5..maxValidArea(= %d) <= thr(= %d), ret = %d", bestArea_,
        c_->enroll_valid_area, -4);
    return -4;
  }
  SAY(QUORV_LOG_ERROR, "%s...8.6...ret = %d", -2);
  return -2;
}

int OneImageSlide::OnePassed() {
  SAY(QUORV_LOG_INFO, "%s...10.1..only one image");
  SAY(QUORV_LOG_INFO, "%s...10.2..get valid image");
  Load(1, chosen_);
  memcpy(work1_, chosen_, size_);
  if (v7_) {
    const int v = NotFinger(work1_);
    if (v != 0) {
      SAY(QUORV_LOG_ERROR, "%s...10.4..NOT finger image, value = %d, ret = %d", v, -5);
      return -5;
    }
  }
  int32_t code = 0;
  const int e = Extract(&first_, work1_, &code);
  if (e == -1) {
    SAY2(QUORV_LOG_ERROR, "%s...10.3..template_fist, ret = %d", "%s...10.5..template_fist, ret = %d",
         -1);
    return -1;
  }
  if (e != 0) {
    SAY2(QUORV_LOG_ERROR, "%s...10.5...ZqGetTemplateForEnroll() = %d, error, ret = %d",
         "%s...10.6...ZqGetTemplate() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY(QUORV_LOG_INFO, "%s..10.7..get first tpl");
  if (!v7_) quorv_SetValidImageInfoBuf(1, 0);
  return kEnrol;
}

int OneImageSlide::SeveralPassed(uint8_t count) {
  int32_t code = 0;
  Load(static_cast<uint8_t>(count - 1), work1_);
  if (v7_) {
    const int v = NotFinger(work1_);
    if (v != 0) {
      SAY(QUORV_LOG_ERROR, "%s...11.1..NOT finger image, value = %d, ret = %d", v, -5);
      return -5;
    }
  }
  int e = Extract(&end_, work1_, &code);
  if (e == -1) {
    SAY2(QUORV_LOG_ERROR, "%s...11.1..template_end, ret = %d", "%s...11.2..template_end, ret = %d",
         -1);
    return -1;
  }
  if (e != 0) {
    SAY2(QUORV_LOG_ERROR, "%s...11.3...ZqGetTemplateForEnroll() = %d, error, ret = %d",
         "%s...11.3...ZqGetTemplate() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY2(QUORV_LOG_INFO, "%s..11.5..get end tpl", "%s..11.4..get end tpl");

  Load(count, chosen_);
  memcpy(work1_, chosen_, size_);
  if (v7_) {
    const int v = NotFinger(work1_);
    if (v != 0) {
      SAY(QUORV_LOG_ERROR, "%s...12.1..NOT finger image, value = %d, ret = %d", v, -5);
      return -5;
    }
  }
  e = Extract(&first_, work1_, &code);
  if (e == -1) {
    SAY2(QUORV_LOG_ERROR, "%s...12.1...template_fist, ret = %d",
         "%s...12.2...template_fist, ret = %d", -1);
    return -1;
  }
  if (e != 0) {
    SAY2(QUORV_LOG_ERROR, "%s...12.3..ZqGetTemplateForEnroll() = %d, error, ret = %d",
         "%s...12.3..ZqGetTemplate() = %d, error, ret = %d", code, -3);
    return -3;
  }
  SAY2(QUORV_LOG_INFO, "%s..12.5..get first tpl", "%s..12.4..get first tpl");

  const int speed = g_quorvCore.RequiredImage(end_, first_, c_->slide_enroll_speed);
  if (!v7_) quorv_SetValidImageInfoBuf(2, static_cast<uint8_t>(speed));
  if (speed == 0) {
    SAY(QUORV_LOG_INFO, "%s.12.6..speed < thr, image is ok");
    return kEnrol;
  }
  SAY(QUORV_LOG_ERROR, "%s..12.7..speed > thr, move too fast! ret = %d", -8);
  return -8;
}

int OneImageSlide::EnrolStep() {
  memcpy(work1_, chosen_, size_);
  memcpy(work2_, chosen_, size_);
  if (!v7_) {
    const int v = NotFinger(work1_);
    if (v != 0) {
      SAY(QUORV_LOG_ERROR, "%s...13.1..NOT finger image, value = %d, ret = %d", v, -5);
      return -5;
    }
  }
  ZqReleaseTemp(template_cur);
  template_cur = first_;
  first_ = nullptr;  // template_cur owns it from here on

  const int16_t finger = static_cast<int16_t>(fingerId_);
  if (c_->tips_mode != 0) {
    const int v = g_quorvCore.EnrollTips(c_->tips_mode, template_cur, finger, enrollIndex_,
                                              c_->tips_p1, c_->tips_p2, c_->tips_p3, c_->tips_p4);
    if (v != 0) {
      memcpy(b_->g_forceEnrollBuf, chosen_, size_);
      SAY(QUORV_LOG_ERROR, "%s...14.1..should move a little! ZqEnrollTipsTemplate() = %d, ret = %d",
          v, -6);
      return -6;
    }
  }
  if (c_->duplicate_check == 1) {
    uint16_t matched = 0;
    int16_t update = 0;
    ST_FullHMatrix h;
    memset(&h, 0, sizeof(h));
    const int v = g_quorvCore.VerifyByTemplate(template_cur, &matched, &update, &h,
                                               c_->verify_quickly);
    if (v == 0) {
      SAY(QUORV_LOG_ERROR, "%s..15.1.The finger already existence, enroll failed!, ret = %d", -7);
      return -7;
    }
    if (v == -1) SAY(QUORV_LOG_INFO, "%s...15.2..The finger is new, not existence!, ret = %d", 0);
  }
  int ret = 0;
  const int e = g_quorvCore.EnrollByTemplate(template_cur, finger, enrollIndex_, out_);
  if (e != 0) {
    ret = -2;
    SAY(QUORV_LOG_ERROR, "%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", e, ret);
  } else {
    SAY(QUORV_LOG_INFO, "%s...enroll success!, ret = %d", ret);
  }
  quorv_SaveEnrollImage(chosen_);
  SAY(QUORV_LOG_INFO, "%s...16.1..save valid enroll image");
  quorv_DestroyRescanImage();
  if (c_->image_save == 1) {
    SAY(QUORV_LOG_INFO, "%s...16.2..save image");
    quorv_SaveRescanImage(chosen_);
  }
  return ret;
}

int OneImageSlide::SpeedRecheck(int ret) {
  // Without work images the first grading pass never ran: the rescan list
  // is empty and there is nothing to recheck.
  if (work1_ == nullptr || work2_ == nullptr) return ret;
  uint8_t last = 0;
  if (quorv_GetFpImageNum(&last) < 0) return ret;
  const uint16_t len = static_cast<uint16_t>(size_);
  for (int i = 1; i <= last; ++i) {
    quorv_GetFpImageBuffOnly(work1_, len, static_cast<uint8_t>(i - 1));
    quorv_GetFpImageBuffOnly(work2_, len, static_cast<uint8_t>(i));
    const int32_t s = g_quorvCore.SpeedFastJustify(work1_, work2_,
                                                        static_cast<uint16_t>(c_->sensor_cols),
                                                        static_cast<uint16_t>(c_->sensor_rows));
    if (s == 1 || s == 2) return -8;
  }
  return ret;
}

void OneImageSlide::Leave() {
  if (!v7_)
    quorv_SetValidImageIndexInfoBuf(static_cast<uint8_t>(c_->enroll_valid_area),
                                    c_->enroll_quality);
  ZqReleaseTemp(first_);
  ZqReleaseTemp(end_);
  first_ = end_ = nullptr;
  ZqFree(images_);
  ZqFree(work1_);
  ZqFree(work2_);
  images_ = work1_ = work2_ = nullptr;
  gQuorvActionMode = QUORV_ACTION_IDLE;
}

}  // namespace

extern "C" {

int quorv_SlideEnroll_V6(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  OneImageSlide engine(__func__, false, fingerId, enrollIndex, out);
  return engine.Run();
}

int quorv_SlideEnroll_V7(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  OneImageSlide engine(__func__, true, fingerId, enrollIndex, out);
  return engine.Run();
}

}  // extern "C"
