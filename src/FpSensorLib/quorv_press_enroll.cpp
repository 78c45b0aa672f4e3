// The press enrolment, the dispatcher by slide-enrol mode and the pruning of
// saved slide images.
#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_duplicate_check.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_live_clock.h"
#include "src/FpSensorLib/quorv_live_deps.h"
#include "src/FpSensorLib/quorv_live_enroll.h"
#include "src/FpSensorLib/quorv_live_slide.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/image/ZqAlloc.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqEnrollTips.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {

int quorv_EnrollFactory(void) { return 0; }

int quorv_NoneSlideEnroll(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  QUORV_LOGV("%s...enter", __func__);
  quorv_live::Clock clock;
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  ST_SubTemplate *sample = nullptr;
  bool kept = false;
  int ret = 0;
  uint8_t quality[5] = {255, 255, 255, 255, 255};

  quorv_CleanImageInfoBuf();
  quorv_DestroyRescanImage();
  quorv_ClearMachArray(fingerId);
  gQuorvActionMode = QUORV_ACTION_ENROLL;

  do {
    if (!quorv_LiveReady(__func__)) {
      ret = -1;
      break;
    }
    uint8_t *alg = g_fp_image_buf->g_fpImageBufAlg;
    ret = quorv_GetImageData(0, quality, 0);
    QUORV_LIVE_COST(clock, "quorv_GetImageData");
    QUORV_LOGV("%s...quorv_GetImageData ret = %d", __func__, ret);
    gEnrollInfo.quality = quality[0];
    gEnrollInfo.area = quality[1];
    gEnrollInfo.cond = quality[2];
    gEnrollInfo.contrast = quality[3];
    gEnrollInfo.reserved0 = quality[4];
    gEnrollInfo.fingerId = static_cast<uint8_t>(fingerId);
    gEnrollInfo.enrollIndex = enrollIndex;
    if (ret == -8) {
      QUORV_LOGE("%s...finger move too fast, ret = %d", __func__, ret);
      break;
    }
    if (ret == -5) {
      QUORV_LOGE("%s...none finger image, error, ret = %d", __func__, ret);
      break;
    }
    if (ret < 0) {
      QUORV_LOGE("%s...fail to get image, error, ret = %d", __func__, ret);
      break;
    }
    const int32_t phy = ZqGetImagePhysicsArea(alg);
    quorv_SetImageInfoBuf_v2(0, quality[1], quality[0], quality[2], static_cast<uint8_t>(phy),
                             quorv_GetImagePixel(alg));

    if (c->enroll_nonfinger == 1) {
      const int v = quorv_EnrollNonFingerPredict(alg);
      if (v != 0) {
        ret = -5;
        QUORV_LOGE("%s...NOT finger image, value = %d, ret = %d", __func__, v, ret);
        break;
      }
    }

    const int qthr = c->enroll_quality, athr = c->enroll_valid_area, cthr = c->enroll_cond;
    QUORV_LOGI("%s...image quality = %d (thr = %d), area = %d (thr = %d), cond = %d (thr = %d)",
               __func__, quality[0], qthr, quality[1], athr, quality[2], cthr);
    const bool lowQ = quality[0] < qthr, lowA = quality[1] < athr;
    if (lowA) {
      ret = -4;
      QUORV_LOGE("%s...image area is too small(= %d),threshold = %d, error, ret = %d", __func__,
                 quality[1], athr, ret);
      break;
    }
    if (lowQ) {
      ret = -3;
      QUORV_LOGE("%s...poor image quality(= %d),threshold = %d, error, ret = %d", __func__,
                 quality[0], qthr, ret);
      break;
    }
    if (quality[2] < cthr) {
      ret = -3;
      QUORV_LOGE("%s...image is too wet(= %d),threshold = %d, error, ret = %d", __func__,
                 quality[2], cthr, ret);
      break;
    }

    sample = ZqCreateTemp();
    if (sample == nullptr) {
      ret = -1;
      QUORV_LOGE("%s...template_cur = NULL, ret = %d", __func__, ret);
      break;
    }
    const int32_t ext = ZqGetTemplate(alg, sample, quality);
    QUORV_LIVE_COST(clock, "ZqGetTemplate");
    memcpy(g_fp_image_buf->g_fpImageBufAfterSpa, alg, g_fp_image_buf->bufSize);
    if (ext != 0) {
      ret = ext;
      QUORV_LOGE("%s...ZqGetTemplate() = %d, error, ret = %d", __func__, ext, ret);
      break;
    }
    ZqReleaseTemp(template_cur);
    template_cur = sample;
    kept = true;

    if (c->duplicate_check == 1) {
      uint16_t matched = 0;
      const int v = quorv_enroll::VerifyAgainstEnrolled(c, sample, &matched);
      QUORV_LIVE_COST(clock, "ZqVerifyByTemplate");
      if (v == 0) {
        ret = -7;
        QUORV_LOGE("%s...The finger already existence, enroll failed!, ret = %d", __func__, ret);
        break;
      }
      if (v == -1) QUORV_LOGD("%s...The finger is new, not existence!", __func__);
    }

    if (c->tips_mode != 0) {
      const int v = ZqEnrollTipsTemplate(c->tips_mode, sample, static_cast<int16_t>(fingerId),
                                         enrollIndex, c->tips_p1, c->tips_p2, c->tips_p3,
                                         c->tips_p4);
      QUORV_LIVE_COST(clock, "ZqEnrollTipsTemplate");
      if (v != 0) {
        memcpy(g_fp_image_buf->g_forceEnrollBuf, g_fp_image_buf->g_fpImageBuf,
               g_fp_image_buf->bufSize);
        ret = -6;
        QUORV_LOGE("%s...should move a little! ZqEnrollTipsTemplate() = %d, ret = %d", __func__,
                   v, ret);
        break;
      }
    }

    const int e = ZqEnrollByTemplate(sample, static_cast<int16_t>(fingerId), enrollIndex, out);
    QUORV_LIVE_COST(clock, "ZqEnrollByTemplate");
    if (e != 0) {
      ret = -2;
      QUORV_LOGE("%s...fail to enroll! ZqEnrollByTemplate() = %d, ret = %d", __func__, e, ret);
      break;
    }
    ret = 0;
    QUORV_LOGI("%s...enroll success!, ret = %d", __func__, ret);
  } while (false);

  if (!kept) ZqReleaseTemp(sample);
  gQuorvActionMode = QUORV_ACTION_IDLE;
  if (clock.on()) QUORV_LOGW("%s...total cost time = %d ms", __func__, clock.Total());
  return ret;
}

int quorv_Enroll(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out) {
  if (out == nullptr) {
    QUORV_LOGE("%s...input error", __func__);
    return -1;
  }
  ZqClearExtremum();
  *out = 0;
  detectRate = 0.0f;
  memset(&gEnrollInfo, 0xff, sizeof(gEnrollInfo));

  const int mode = g_pQuorvConfigInfo != nullptr ? g_pQuorvConfigInfo->slide_enroll : 0;
  int ret;
  switch (mode) {
#define QUORV_ENGINE(n)                                                                  \
  case n:                                                                                \
    QUORV_LOGI("%s...slide_enroll_en = %d, do quorv_SlideEnroll_V" #n, __func__, mode); \
    ret = quorv_SlideEnroll_V##n(fingerId, enrollIndex, out);                            \
    break;
    QUORV_ENGINE(1)
    QUORV_ENGINE(2)
    QUORV_ENGINE(3)
    QUORV_ENGINE(4)
    QUORV_ENGINE(5)
    QUORV_ENGINE(6)
    QUORV_ENGINE(7)
#undef QUORV_ENGINE
    default:
      QUORV_LOGI("%s...slide_enroll_en = %d, do quorv_NoneSlideEnroll", __func__, mode);
      ret = quorv_NoneSlideEnroll(fingerId, enrollIndex, out);
      break;
  }

  int32_t maxNum = 0, minNum = 0;
  ZqGetExtremum(&maxNum, &minNum);
  gEnrollInfo.maxNum = static_cast<uint8_t>(maxNum);
  gEnrollInfo.minNum = static_cast<uint8_t>(minNum);
  gEnrollInfo.fingerId = static_cast<uint8_t>(fingerId);
  gEnrollInfo.enrollIndex = enrollIndex;
  gEnrollInfo.enrollRet = ret;
  gEnrollInfo.subTplsNum =
      fingerId > 0xff ? 0 : static_cast<uint8_t>(ZqGetSubtemplatesNum(static_cast<uint8_t>(fingerId)));
  gEnrollInfo.forceEnrollFailed = ret != 0 ? 1 : 0;
  return ret;
}

int quorv_GetSlideEnrollImageCnt(void) {
  const QuorvConfigInfo *c = g_pQuorvConfigInfo;
  if (!quorv_LiveReady(__func__)) return -1;
  quorv_live::SlideView view(c, g_fp_image_buf);
  if (!view.ok()) {
    QUORV_LOGE("%s...ZqAlloc image buf error!, ret = %d", __func__, -1);
    return -1;
  }
  uint8_t n = 0;
  quorv_get_sensor_image_num(&n);
  QUORV_LOGI("%s...get_img_num = %d, get_img_index = %d", __func__, n, n);
  if (n != 0) {
    int first = 0;
    for (int i = 1; i <= n; ++i) {
      if (view.AreaOf(static_cast<uint8_t>(i), view.image()) != 0) {
        first = i;
        break;
      }
      quorv_set_sensor_image_invalid(static_cast<uint8_t>(i));
    }
    if (first != 0) {
      for (int i = first; i < n; ++i) {
        view.Load(static_cast<uint8_t>(i), view.image());
        view.Load(static_cast<uint8_t>(i + 1), view.work());
        const int r = view.Cover(view.image(), view.work());
        if (r == 1 || r == -1) quorv_set_sensor_image_invalid(static_cast<uint8_t>(i + 1));
      }
    }
    int v = n;
    while (v > 0 && view.AreaOf(static_cast<uint8_t>(v), view.image()) <= c->enroll_valid_area) {
      quorv_set_sensor_image_invalid(static_cast<uint8_t>(v));
      --v;
    }
    QUORV_LOGI("%s...3...last_valid_image = %d", __func__, v);
    quorv_delete_invalid_sensor_image();
    uint8_t k = 0;
    quorv_get_sensor_image_num(&k);
    QUORV_LOGD("%s...4...get_img_num = %d, get_img_index = %d", __func__, k, k);
    if (k != 0) return k;
  }
  QUORV_LOGE("%s...NOT finger image, ret = %d", __func__, -1);
  return -1;
}

}  // extern "C"
