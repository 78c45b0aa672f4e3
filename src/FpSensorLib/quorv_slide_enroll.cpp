// Slide enrolment engines V1 to V5, the bulk enrolment that completes V4
// and V5, the cover-area comparison and the even sampling of a slide.
#include <string.h>

#include <optional>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_clock.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_live_slide.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqRequiredImage.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using quorv_live::SaveIfOn;
using quorv_live::SlideView;

// Most positions one slide can give: the saved list holds at most 255.
constexpr int kMaxPositions = 255;

// Duplicate check of one sample: 0 match, -1 new, other codes as given.
int Duplicate(const QuorvConfigInfo *c, const ST_SubTemplate *sample) {
  uint16_t matched = 0;
  int16_t update = 0;
  ST_FullHMatrix h;
  memset(&h, 0, sizeof(h));
  return ZqVerifyByTemplate(sample, &matched, &update, &h, c->verify_quickly);
}

// remain = enrol maximum - enrollIndex, kept in 8 bits (an index past the
// maximum wraps to a large count; every enrolment then fails).
uint8_t Remain(const QuorvConfigInfo *c, uint8_t enrollIndex) {
  return static_cast<uint8_t>(c->enroll_max_tpl - enrollIndex);
}

// One press into g_fpImageBuf by the MCU interrupt mode.
int CapturePress(const QuorvConfigInfo *c, uint8_t *buf) {
  return c->mcu_interrupt_mode != 0 ? GetFpImageSimple(buf, 0) : GetFpImage(buf, 0);
}

// A fresh template, or null after logging "<name> = NULL" for `func`.
ST_SubTemplate *NewTemp(const char *func, const char *name) {
  ST_SubTemplate *t = ZqCreateTemp();
  if (t == nullptr)
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...%s = NULL, ret = %d", func, name, -1);
  return t;
}

// `ext`, the result of a template extraction; logged for `func` as a
// failure when it is not 0.
int32_t Extraction(const char *func, int32_t ext) {
  if (ext != 0)
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...ZqGetTemplate() = %d, error, ret = %d", func, ext,
                 ext);
  return ext;
}

// The duplicate check when it is configured: -7 (logged with `mark` between
// the engine name and the text) when `t` is an enrolled finger, else 0.
int DuplicateGate(const char *func, const char *mark, const QuorvConfigInfo *c,
                  const ST_SubTemplate *t) {
  if (c->duplicate_check != 1) return 0;
  const int v = Duplicate(c, t);
  if (v == 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s%sThe finger already existence, enroll failed!, ret = %d",
                 func, mark, -7);
    return -7;
  }
  if (v == -1) QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...The finger is new, not existence!", func);
  return 0;
}

// Reads the slide into g_fpImageBufAlg, opens `view` on it and prunes it
// with Prune's flags: 0 with the images left in *m, else the engine's
// result (-5 no slide read, -1 no work image or no finger image). `clock`
// is V1's and V2's: with it the read's cost and "Enroll start!" are logged.
int OpenSlide(const char *func, const QuorvConfigInfo *c, QuorvImgeBuf *b,
              quorv_live::Clock *clock, bool lastValidLog, bool shortCountLog,
              std::optional<SlideView> *view, int *m) {
  const int r = quorv_SlideEnrollReadImage(b->g_fpImageBufAlg);
  if (clock != nullptr && clock->on())
    QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...quorv_GetImageData cost time = %d ms", func,
                 clock->Step());
  QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...quorv_GetImageData ret = %d", func, r);
  if (r != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...fail to get image, error, ret = %d", func, -5);
    return -5;
  }
  view->emplace(c, b);
  if (!(*view)->ok()) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...ZqAlloc image buf error!, ret = %d", func, -1);
    return -1;
  }
  if (clock != nullptr) QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...Enroll start!", func);
  uint8_t n = 0;
  quorv_get_sensor_image_num(&n);
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...get_img_num = %d, get_img_index = %d", func, n, n);
  if (n == 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...NOT finger image, ret = %d", func, -1);
    return -1;
  }
  *m = (*view)->Prune(func, lastValidLog, shortCountLog);
  return *m == 0 ? -1 : 0;
}

// Puts saved image `pos` on the enrol-image list (and the rescan list when
// image saving is on) through the work image.
void KeepForEnroll(const QuorvConfigInfo *c, const SlideView &view, uint8_t pos) {
  view.Load(pos, view.work());
  quorv_SaveEnrollImage(view.work());
  SaveIfOn(c, view.work());
}

// V1 and V2: prune, sample, enrol every sample.
int EnrollSlide(const char *func, bool v2, uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (!quorv_LiveReady(func)) return -1;
  quorv_live::Clock clock;
  ST_SubTemplate *sample = NewTemp(func, "template_cur");
  if (sample == nullptr) return -1;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  std::optional<SlideView> view;
  int ret = 0;
  do {
    int m = 0;
    ret = OpenSlide(func, c, b, &clock, true, false, &view, &m);
    if (ret != 0) break;
    if (v2) {
      for (int j = 1; j <= m; ++j) {
        view->Load(static_cast<uint8_t>(j), view->work());
        if (view->Cover(b->g_fpImageBufAlg, view->work()) == 1) {
          quorv_set_sensor_image_invalid(static_cast<uint8_t>(j));
          QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...5.1 image %d is invalid", func, j);
        }
      }
      quorv_delete_invalid_sensor_image();
      uint8_t left = 0;
      quorv_get_sensor_image_num(&left);
      m = left;
      if (m == 0) {
        ret = -1;
        QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...NOT finger image, ret = %d", func, ret);
        break;
      }
      QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...6...value_num = %d", func, m);
    }

    const uint8_t remain = Remain(c, enrollIndex);
    const uint32_t limit = c->slide_max_tpls < remain ? c->slide_max_tpls : remain;
    uint8_t pos[kMaxPositions];
    const int count = quorv_SlideSamplePositions(static_cast<uint32_t>(m), limit, pos);
    if (v2)
      QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...7...enroll_start_index = %d, enroll_image_num = %d",
                   func, 1, count);
    else
      QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...5...enroll_start_index = %d, enroll_image_num = %d",
                   func, 1, count);
    if (count == 0) {
      ret = 0;
      break;
    }

    int ok = 0, pending = 0;
    bool checked = false, done = false;
    for (int i = 0; i < count && !done; ++i) {
      view->Load(pos[i], b->g_fpImageBuf);
      if (c->image_save == 1) {
        QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...save %d image", func, pos[i]);
        quorv_SaveRescanImage(b->g_fpImageBuf);
      }
      const int32_t ext = ZqGetTemplate(b->g_fpImageBuf, sample, nullptr);
      if (clock.on())
        QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...ZqGetTemplate cost time = %d ms", func,
                     clock.Step());
      if (Extraction(func, ext) != 0) {
        pending = ext;
        continue;
      }
      if (c->duplicate_check == 1 && !checked) {
        ret = DuplicateGate(func, "...", c, sample);
        if (ret != 0) {
          done = true;
          break;
        }
        checked = true;
      }
      const int e = ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId), enrollIndex, out);
      if (clock.on())
        QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...ZqEnrollByTemplate cost time = %d ms", func,
                     clock.Step());
      if (e != 0) {
        pending = -2;
        QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                     "%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", func, e, pending);
        continue;
      }
      ++ok;
      ++enrollIndex;
      if (v2) memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, b->bufSize);
      QUORV_LOG_IN(func, QUORV_LOG_INFO,
                   "%s...img_index = %d, valid_enroll_cont = %d, enroll_index = %d, "
                   "enroll_remain = %d",
                   func, pos[i], ok, enrollIndex, remain);
      if (ok == remain) {
        ret = ok;
        done = true;
      }
    }
    if (!done) ret = ok != 0 ? ok : pending;
  } while (false);

  quorv_DestroyImage();
  ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  if (clock.on())
    QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...total cost time = %d ms", func, clock.Total());
  return ret;
}

// V3 and V4 share the capture and the gates: 0 when the press passed them,
// else the engine's result. `rawToAlgFirst` copies the raw image into
// g_fpImageBufAlg before the capture result is looked at (V4).
int PressGates(const char *func, const QuorvConfigInfo *c, QuorvImgeBuf *b, uint8_t enrollIndex,
               bool v4) {
  const int r = CapturePress(c, b->g_fpImageBuf);
  QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...GetFpImage ret = %d", func, r);
  if (v4) memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, b->bufSize);
  if (c->image_save == 1) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...save %d image", func, enrollIndex);
    quorv_SaveRescanImage(b->g_fpImageBuf);
  }
  if (r < 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...fail to get image, error, ret = %d", func, -5);
    return -5;
  }
  uint8_t q[4] = {0, 0, 0, 0};
  if (ZqGetImageQuality(b->g_fpImageBuf, q) < 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...ZqGetImageQuality error, ret = %d", func, -5);
    return -5;
  }
  if (!v4) memcpy(b->g_fpImageBufAlg, b->g_fpImageBuf, b->bufSize);
  if (c->enroll_nonfinger == 1) {
    const int v = quorv_EnrollNonFingerPredict(v4 ? b->g_fpImageBuf : b->g_fpImageBufAlg);
    if (v != 0) {
      QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...NOT finger image, value = %d, ret = %d", func, v,
                   -5);
      return -5;
    }
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...image quality = %d ,threshold = %d", func, q[0],
               c->enroll_quality);
  if (q[0] < c->enroll_quality) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...poor image quality(= %d),threshold = %d, error, ret = %d", func, q[0],
                 c->enroll_quality, -3);
    return -3;
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...image area = %d ,threshold = %d", func, q[1],
               c->enroll_valid_area);
  if (q[1] < c->enroll_valid_area) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR,
                 "%s...image area is too small(= %d),threshold = %d, error, ret = %d", func, q[1],
                 c->enroll_valid_area, -4);
    return -4;
  }
  return 0;
}

// Keeps `t` as template_cur, releasing the previous one.
void KeepAsCurrent(const char *func, ST_SubTemplate *t) {
  ZqReleaseTemp(template_cur);
  template_cur = t;
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...save tpl", func);
}

}  // namespace

extern "C" {

int quorv_SlideSamplePositions(uint32_t m, uint32_t limit, uint8_t *positions) {
  float step = 1.0f;
  uint32_t count = m;
  if (m > limit) {
    step = static_cast<float>(m) / static_cast<float>(limit);
    count = limit;
  }
  float position = 1.0f;
  for (uint32_t i = 0; i < count; ++i) {
    positions[i] = static_cast<uint8_t>(static_cast<int>(position + 0.5f));
    position += step;
  }
  return static_cast<int>(count);
}

int quorv_CoverArea(const uint8_t *a, const uint8_t *b, uint16_t len, uint16_t stride,
                    uint16_t window) {
  if (a == nullptr || b == nullptr || window == 0 || g_pQuorvConfigInfo == nullptr) return -1;
  return ZqCoverArea(a, b, len, stride, window, g_pQuorvConfigInfo->cover_area);
}

int quorv_SlideEnroll_V1(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  return EnrollSlide(__func__, false, fingerId, enrollIndex, out);
}

int quorv_SlideEnroll_V2(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  return EnrollSlide(__func__, true, fingerId, enrollIndex, out);
}

int quorv_SlideEnroll_V3(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (!quorv_LiveReady(__func__)) return -1;
  ST_SubTemplate *sample = NewTemp(__func__, "template_cur");
  if (sample == nullptr) return -1;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  int ret = PressGates(__func__, c, b, enrollIndex, false);
  do {
    if (ret != 0) break;
    const int32_t ext = ZqGetTemplate(b->g_fpImageBufAlg, sample, nullptr);
    memcpy(b->g_fpImageBufAfterSpa, b->g_fpImageBufAlg, b->bufSize);
    ret = Extraction(__func__, ext);
    if (ret != 0) break;
    if (c->tips_mode != 0) {
      const int v = ZqEnrollTipsTemplate(c->tips_mode, sample, static_cast<int16_t>(fingerId),
                                         enrollIndex, c->tips_p1, c->tips_p2, c->tips_p3,
                                         c->tips_p4);
      if (v != 0) {
        memcpy(b->g_forceEnrollBuf, b->g_fpImageBuf, b->bufSize);
        ret = -6;
        QUORV_LOGE("%s...should move a little! ZqEnrollTipsTemplate() = %d, ret = %d", __func__,
                   v, ret);
        break;
      }
    }
    ret = DuplicateGate(__func__, "...", c, sample);
    if (ret != 0) break;
    const int e = ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId), enrollIndex, out);
    if (e != 0) {
      ret = -2;
      QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", __func__, e, ret);
      break;
    }
    QUORV_LOGI("%s...enroll success!, ret = %d", __func__, ret);
  } while (false);
  ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

int quorv_SlideEnroll_V4(uint16_t fingerId, uint8_t enrollIndex, uint8_t *) {
  (void)fingerId;
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (!quorv_LiveReady(__func__)) return -1;
  ST_SubTemplate *sample = NewTemp(__func__, "template_cur");
  if (sample == nullptr) return -1;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  bool kept = false;
  int ret = PressGates(__func__, c, b, enrollIndex, true);
  do {
    if (ret != 0) break;
    ret = Extraction(__func__, ZqGetTemplateForEnroll(b->g_fpImageBuf, sample));
    if (ret != 0) break;
    if (c->tips_mode != 0 && template_cur != nullptr &&
        ZqIsGetRequiredImage(template_cur, sample, c->slide_arealap) == 0) {
      memcpy(b->g_forceEnrollBuf, b->g_fpImageBufAlg, b->bufSize);
      ret = -6;
      QUORV_LOGE("%s...should move a little! thr = %d, ret = %d", __func__, c->slide_arealap, ret);
      break;
    }
    ret = DuplicateGate(__func__, "...", c, sample);
    if (ret != 0) break;
    KeepAsCurrent(__func__, sample);
    kept = true;
    // The enrol-image list keeps the raw press: the extraction above worked
    // on g_fpImageBuf in place.
    quorv_SaveEnrollImage(b->g_fpImageBufAlg);
    QUORV_LOGI("%s...save %d enroll image", __func__, enrollIndex);
  } while (false);
  if (!kept) ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

int quorv_SlideEnroll_V5(uint16_t fingerId, uint8_t enrollIndex, uint8_t *) {
  (void)fingerId;
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  QuorvImgeBuf *b = g_fp_image_buf;
  if (!quorv_LiveReady(__func__)) return -1;
  ST_SubTemplate *first = NewTemp(__func__, "template_fist");
  if (first == nullptr) return -1;
  ST_SubTemplate *end = NewTemp(__func__, "template_end");
  if (end == nullptr) {
    ZqReleaseTemp(first);
    return -1;
  }
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  std::optional<SlideView> view;
  bool endKept = false, firstKept = false;
  int m = 0;
  int ret = 0;
  do {
    ret = OpenSlide(__func__, c, b, nullptr, false, true, &view, &m);
    if (ret != 0) break;
    view->Load(1, view->work());
    ret = Extraction(__func__, ZqGetTemplateForEnroll(view->work(), first));
    if (ret != 0) break;
    QUORV_LOGI("%s..5..get first tpl", __func__);
    if (c->tips_mode != 0 && template_cur != nullptr &&
        ZqIsGetRequiredImage(template_cur, first, c->slide_arealap) == 0) {
      view->Load(1, b->g_forceEnrollBuf);
      ret = -6;
      QUORV_LOGE("%s..6.should move a little! thr = %d, ret = %d", __func__, c->slide_arealap, ret);
      break;
    }
    ret = DuplicateGate(__func__, "..7.", c, first);
    if (ret != 0) break;
    const uint8_t remain = Remain(c, enrollIndex);
    if (m == 1) {
      KeepForEnroll(c, *view, 1);
      KeepAsCurrent(__func__, first);
      firstKept = true;
      ret = remain < 2 ? 1 : 2;
      QUORV_LOGI("%s..8.normall enroll, enroll cnt = %d", __func__, ret);
      break;
    }
    view->Load(static_cast<uint8_t>(m), view->work());
    ret = Extraction(__func__, ZqGetTemplateForEnroll(view->work(), end));
    if (ret != 0) break;
    QUORV_LOGI("%s..9..get last tpl", __func__);
    if (ZqIsGetRequiredImage(first, end, c->slide_enroll_speed) == 0) {
      KeepForEnroll(c, *view, static_cast<uint8_t>(m));
      QUORV_LOGI("%s.10..speed < thr, slide_enroll_cont = %d, save %d enroll image", __func__, 1,
                 enrollIndex);
      ret = 1;
    } else if (c->fast_slide_enroll == 0) {
      ret = -8;
      QUORV_LOGE("%s..11.speed > thr, move too fast! ret = %d", __func__, ret);
      break;
    } else {
      QUORV_LOGI("%s...get_img_num = %d, enroll_remain = %d", __func__, m, remain);
      uint8_t pos[kMaxPositions];
      const int count = quorv_SlideSamplePositions(static_cast<uint32_t>(m), remain, pos);
      if (count > 0)
        QUORV_LOGI("%s...image_space = %f", __func__,
                   static_cast<double>(static_cast<float>(m) / static_cast<float>(count)));
      for (int i = 0; i < count; ++i) {
        KeepForEnroll(c, *view, pos[i]);
        QUORV_LOGI("%s...speed > thr, enroll_cont = %d, save %d enroll image", __func__, i + 1,
                   pos[i]);
      }
      ret = count;
    }
    KeepAsCurrent(__func__, end);
    endKept = true;
  } while (false);

  if ((ret == -6 || ret == -7 || ret == -8) && c->image_save == 1 && view.has_value()) {
    for (int j = 1; j <= m; ++j) {
      view->Load(static_cast<uint8_t>(j), view->work());
      quorv_SaveRescanImage(view->work());
    }
  }
  if (!firstKept) ZqReleaseTemp(first);
  if (!endKept) ZqReleaseTemp(end);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

int quorv_SlideEnrollAllImage(uint16_t fingerId) {
  QuorvImgeBuf *b = g_fp_image_buf;
  ST_SubTemplate *sample = quorv_LiveReady(__func__) ? ZqCreateTemp() : nullptr;
  int ret = -1;
  if (sample == nullptr) {
    QUORV_LOGE("%s...template_cur = NULL, ret = %d", __func__, ret);
  } else {
    gQuorvActionMode = QUORV_ACTION_ENROLL;
    const uint8_t count = quorv_GetEnrollImageNum();
    QUORV_LOGI("%s...enroll image count = %d", __func__, count);
    if (count == 0) {
      QUORV_LOGE("%s...quorv_GetListNodeNumber() = 0, error, ret = %d", __func__, ret);
    } else {
      int k = 0, pending = 0;
      for (int i = 1; i <= count; ++i) {
        QUORV_LOGV("%s...enroll cnt = %d", __func__, i);
        quorv_GetEnrollImageBuff(b->g_fpImageBufAlg, static_cast<uint16_t>(b->bufSize),
                                 static_cast<uint8_t>(i));
        const int32_t ext =
            Extraction(__func__, ZqGetTemplate(b->g_fpImageBufAlg, sample, nullptr));
        if (ext != 0) {
          pending = ext;
          continue;
        }
        uint8_t progress = 0;
        const int e =
            ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId), static_cast<int16_t>(k), &progress);
        if (e != 0) {
          pending = -2;
          QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, index = %d, ret = %d",
                     __func__, e, i, pending);
          continue;
        }
        ++k;
        QUORV_LOGI("%s...enroll success!, enroll_ok_cnt = %d, enroll_index = %d", __func__, k, i);
      }
      ret = k != 0 ? k : pending;
      QUORV_LOGI("%s...enroll_success_cnt = %d, ret = %d", __func__, k, ret);
    }
  }
  quorv_DestroyEnrollImage();
  quorv_DestroyImageTpl();
  ZqReleaseTemp(sample);
  ZqReleaseTemp(template_cur);
  template_cur = nullptr;
  gQuorvActionMode = QUORV_ACTION_IDLE;
  return ret;
}

}  // extern "C"
