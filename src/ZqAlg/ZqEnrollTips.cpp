#include "src/ZqAlg/ZqEnrollTips.h"

#include <math.h>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqFrameMap.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Bin bounds after the lower threshold.
constexpr int32_t kBinBounds[5] = {60, 70, 80, 90, 100};

bool Timing() { return g_functimes != 0 && quorv_fp_get_system_time != nullptr; }

uint32_t NowMs() { return Timing() ? static_cast<uint32_t>(quorv_fp_get_system_time()) : 0u; }

// Sample pixels that H places inside the sensor.
int64_t OverlapCount(const ST_FullHMatrix &H, int32_t cols, int32_t rows) {
  int64_t count = 0;
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const float fj = static_cast<float>(j), fi = static_cast<float>(i);
      int32_t x = 0, y = 0;
      if (!zq_frame::Trunc(H.a00 * fj + H.a01 * fi + H.a02 + 0.5f, &x) ||
          !zq_frame::Trunc(H.a10 * fj + H.a11 * fi + H.a12 + 0.5f, &y))
        continue;
      if (x >= 0 && x < cols && y >= 0 && y < rows) ++count;
    }
  }
  return count;
}

// One measured comparison of a sample with a template.
struct Measure {
  bool counts = false;  // the score reached the verify level's threshold
  int32_t score = 0;
  int32_t deltaAng = 0;
  int64_t count = 0;  // sample pixels placed inside the sensor
  int32_t overlap = 0;  // count in percent of the sensor
};

// Matches sample with tpl on behalf of func and measures the overlap.
Measure Compare(const char *func, const ST_SubTemplate *sample, const ST_SubTemplate *tpl) {
  Measure m;
  ST_FullHMatrix H{};
  const uint32_t start = NowMs();
  m.score = ZqVerifyTwoTemplate(sample, tpl, &H, 1, 1);
  if (Timing()) {
    QUORV_LOG_IN(func, QUORV_LOG_WARNING, "%s...ZqVerifyTwoTemplate cost time = %d ms", func,
                 static_cast<int>(NowMs() - start));
  }
  const uint8_t level = gSensorInfor.algVerifyFarLevel;
  const int32_t T = gMatchScores[level < ZQ_FAR_LEVEL_COUNT ? level : ZQ_FAR_LEVEL_COUNT - 1];
  m.counts = m.score >= T;
  if (!m.counts) return m;
  const int32_t cols = gSensorInfor.cols, rows = gSensorInfor.rows;
  m.deltaAng = ZqEnrollTipsDeltaAng(&H);
  if (cols > 0 && rows > 0) {
    m.count = OverlapCount(H, cols, rows);
    m.overlap = static_cast<int32_t>(100 * m.count / (static_cast<int64_t>(cols) * rows));
  }
  return m;
}

// Sub-template k - 1 of finger fingerId when it holds one; else NULL.
const ST_SubTemplate *Slot(int16_t fingerId, int16_t k) {
  if (fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED || k < 1) return nullptr;
  const ST_QuorvEnrollTemplate *f = gEnrolledTemplate[fingerId];
  if (f == nullptr || k > f->currentSubtemplatesNum || k > MAX_SUBTEMPLATES_PER_FINGER) return nullptr;
  return &f->subtemplates[k - 1];
}

int TwoThresholdLogged(const char *func, const Measure &m, uint32_t lowThr, uint32_t highThr,
                       uint8_t angThr) {
  QUORV_LOG_IN(func, QUORV_LOG_DEBUG,
               "%s...DeltaAng = %d, angThr = %d, DeltaOverlap = %d, overlapThr = %d", func,
               m.deltaAng, angThr, m.overlap, static_cast<int>(highThr));
  const int r = ZqEnrollTipsTwoThresholdRule(m.overlap, m.deltaAng, lowThr, highThr, angThr);
  if (m.overlap <= static_cast<int64_t>(lowThr)) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...DeltaOverlap( = %d) <= %d, ret = 0, need enroll", func,
                 m.overlap, static_cast<int>(lowThr));
  } else if (r == -1) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO,
                 "%s...DeltaOverlap( = %d) >= Threshold(= %d), ret = -1, no need enroll", func,
                 m.overlap, static_cast<int>(highThr));
  } else if (r == 0) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...DeltaAng(= %d) > Threshold(= %d), ret = 0, need enroll",
                 func, m.deltaAng, angThr);
  } else {
    QUORV_LOG_IN(func, QUORV_LOG_INFO,
                 "%s...DeltaAng(= %d) < Threshold(= %d), ret = -2, no need enroll", func,
                 m.deltaAng, angThr);
  }
  return r;
}

// Bin bounds and angle thresholds of the bin rule; returns the bin count.
int32_t BinTable(uint32_t lowThr, uint32_t highThr, uint8_t angThr, int64_t bounds[7],
                 int32_t thr[6]) {
  bounds[0] = lowThr;
  for (int i = 0; i < 5; ++i) bounds[i + 1] = kBinBounds[i];
  bounds[6] = 100;
  for (int i = 0; i < 6; ++i) thr[i] = angThr;
  if (lowThr < highThr) {
    int32_t m = 0;
    for (int i = 0; i < 5; ++i) m += static_cast<uint32_t>(kBinBounds[i]) < highThr;
    bounds[m + 1] = highThr;
    for (int32_t j = 0; j <= m; ++j) thr[j] = ((j + 1) * angThr) / (m + 1);
    return m + 1;
  }
  bounds[0] = highThr;
  return 1;
}

int BinLogged(const char *func, const Measure &m, uint32_t lowThr, uint32_t highThr,
              uint8_t angThr) {
  QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...DeltaAng = %d, Threshold = %d", func, m.deltaAng, angThr);
  int64_t bounds[7];
  int32_t thr[6];
  const int32_t bins = BinTable(lowThr, highThr, angThr, bounds, thr);
  const int64_t D = m.overlap;
  if (D <= bounds[0]) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...DeltaOverlap( = %d) <= %d, ret = 0, need enroll", func,
                 m.overlap, static_cast<int>(bounds[0]));
    return 0;
  }
  if (D >= static_cast<int64_t>(highThr)) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO,
                 "%s...DeltaOverlap( = %d) >= Threshold( = %d), ret = -1, no need enroll", func,
                 m.overlap, static_cast<int>(highThr));
    return -1;
  }
  int32_t j = 0;
  while (j + 1 < bins && D > bounds[j + 1]) ++j;
  if (m.deltaAng < thr[j]) {
    QUORV_LOG_IN(func, QUORV_LOG_INFO,
                 "%s...DeltaAng( = %d) < Threshold( = %d), ret = -2, no need enroll", func,
                 m.deltaAng, thr[j]);
    return -2;
  }
  QUORV_LOG_IN(func, QUORV_LOG_INFO, "%s...DeltaAng( = %d) > Threshold( = %d), ret = 0, need enroll",
               func, m.deltaAng, thr[j]);
  return 0;
}

typedef int (*Worker)(const ST_SubTemplate *, int16_t, int16_t, uint32_t, uint32_t, uint8_t, uint8_t);

// Shared front of the two enrolment workers: NULL, index 0 and no match.
bool Front(const char *func, const ST_SubTemplate *sample, int16_t fingerId, int16_t k, int *ret,
           Measure *m) {
  QUORV_LOG_IN(func, QUORV_LOG_VERBOSE, "%s...enter!", func);
  if (sample == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...quorvTemplate = NULL, leave", func);
    *ret = -1;
    return false;
  }
  if (k <= 0) {
    QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...enroll_index = 0, leave", func);
    *ret = 0;
    return false;
  }
  const ST_SubTemplate *tpl = Slot(fingerId, k);
  if (tpl == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...fingerId = %d, tpl_index = %d, no such sub-template",
                 func, fingerId, k - 1);
    *ret = 0;
    return false;
  }
  *m = Compare(func, sample, tpl);
  if (!m->counts) {
    QUORV_LOG_IN(func, QUORV_LOG_DEBUG, "%s...NO Mach, ret = 0, need enroll", func);
    *ret = 0;
    return false;
  }
  return true;
}

}  // namespace

extern "C" int32_t ZqEnrollTipsDeltaAng(const ST_FullHMatrix *H) {
  if (H == nullptr) return 0;
  const float deg = fabsf(H->dtheta * 180.0f / 3.14159265f);
  if (!(deg < 1e9f)) return 0;
  return static_cast<int32_t>(deg + 0.5f);
}

extern "C" int32_t ZqEnrollTipsOverlap(const ST_FullHMatrix *H, int32_t cols, int32_t rows) {
  if (H == nullptr || cols <= 0 || rows <= 0) return 0;
  return static_cast<int32_t>(100 * OverlapCount(*H, cols, rows) / (static_cast<int64_t>(cols) * rows));
}

extern "C" int ZqEnrollTipsTwoThresholdRule(int32_t D, int32_t deltaAng, uint32_t lowThr,
                                            uint32_t highThr, uint8_t angThr) {
  if (static_cast<int64_t>(D) <= static_cast<int64_t>(lowThr)) return 0;
  if (static_cast<int64_t>(D) >= static_cast<int64_t>(highThr)) return -1;
  return deltaAng >= angThr ? 0 : -2;
}

extern "C" int ZqEnrollTipsBinRule(int32_t D, int32_t deltaAng, uint32_t lowThr, uint32_t highThr,
                                   uint8_t angThr) {
  Measure m;
  m.overlap = D;
  m.deltaAng = deltaAng;
  return BinLogged(__func__, m, lowThr, highThr, angThr);
}

extern "C" int ZqEnrollTipsTemplate_v2(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                                       uint32_t lowThr, uint32_t highThr, uint8_t /*spare*/,
                                       uint8_t angThr) {
  int ret = 0;
  Measure m;
  if (!Front(__func__, sample, fingerId, k, &ret, &m)) return ret;
  return TwoThresholdLogged(__func__, m, lowThr, highThr, angThr);
}

extern "C" int ZqEnrollTipsTemplate_v3(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                                       uint32_t lowThr, uint32_t highThr, uint8_t /*spare*/,
                                       uint8_t angThr) {
  int ret = 0;
  Measure m;
  if (!Front(__func__, sample, fingerId, k, &ret, &m)) return ret;
  return BinLogged(__func__, m, lowThr, highThr, angThr);
}

extern "C" int ZqEnrollTipsTemplate(uint32_t mode, const ST_SubTemplate *sample, int16_t fingerId,
                                    int16_t enrollIndex, uint32_t lowThr, uint32_t highThr,
                                    uint8_t spare, uint8_t angThr) {
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s...enter!", __func__);
  if (sample == nullptr) {
    QUORV_LOGE("%s...quorvTemplate = NULL, leave", __func__);
    return -1;
  }
  const int32_t n = static_cast<int32_t>(mode & 0xFFu);
  const uint32_t v = mode >> 16;
  int result = 0;
  if (v == 1) {
    const int16_t k = n < enrollIndex ? static_cast<int16_t>(n + 1) : enrollIndex;
    result = ZqEnrollTipsTemplate_v2(sample, fingerId, k, lowThr, highThr, spare, angThr);
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...ret = %d, tpl_index = %d", __func__, result, k - 1);
  } else {
    const Worker worker = v == 0 ? ZqEnrollTipsTemplate_v2 : ZqEnrollTipsTemplate_v3;
    const int32_t first = enrollIndex - n + 1 > 1 ? enrollIndex - n + 1 : 1;
    for (int32_t k = first; k <= enrollIndex; ++k) {
      result = worker(sample, fingerId, static_cast<int16_t>(k), lowThr, highThr, spare, angThr);
      QUORV_LOG(QUORV_LOG_DEBUG, "%s...ret = %d, tpl_index = %d", __func__, result, k - 1);
      if (result < 0) break;
    }
  }
  QUORV_LOG(QUORV_LOG_INFO, "%s...overlap area, ret = %d, leave", __func__, result);
  return result;
}

extern "C" int ZqEnrollTipsTemplate_v1(const ST_SubTemplate *sample, int16_t fingerId, int16_t k,
                                       uint32_t /*spare1*/, uint32_t overlapThr, uint8_t /*spare2*/,
                                       uint8_t angThr) {
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s...enter!", __func__);
  if (sample == nullptr) {
    QUORV_LOGE("%s...quorvTemplate = NULL, return = -1, leave", __func__);
    return -1;
  }
  if (k <= 0) {
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...enroll_index = 0, leave", __func__);
    return 0;
  }
  const ST_SubTemplate *tpl = Slot(fingerId, k);
  if (tpl == nullptr) {
    QUORV_LOGE("%s...fingerId = %d, tpl_index = %d, no such sub-template", __func__, fingerId, k - 1);
    return 0;
  }
  const Measure m = Compare("ZqEnrollTipsTemplate", sample, tpl);
  if (!m.counts) {
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...NO Mach, ret = 0, leave", __func__);
    return 0;
  }
  if (m.deltaAng < angThr) {
    QUORV_LOG(QUORV_LOG_INFO,
              "%s...matchPointNum, DeltaAng( = %d) < Threshold( = %d), ret = -2, leave", __func__,
              m.score, m.deltaAng);
    return -2;
  }
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...Mach score = %d, DeltaAng = %d, Threshold = %d", __func__,
            m.score, m.deltaAng, angThr);
  const int64_t area = static_cast<int64_t>(gSensorInfor.cols) * gSensorInfor.rows;
  const double pct = area > 0 ? 100.0 * static_cast<double>(m.count) / static_cast<double>(area) : 0.0;
  if (100 * m.count < static_cast<int64_t>(overlapThr) * area) {
    QUORV_LOG(QUORV_LOG_INFO, "%s...DeltaOverlap( = %3.2f) < Threshold( = %d), ret = 0", __func__,
              pct, static_cast<int>(overlapThr));
    return 0;
  }
  QUORV_LOG(QUORV_LOG_INFO, "%s...DeltaOverlap( = %3.2f) > Threshold( = %d), ret = -1", __func__,
            pct, static_cast<int>(overlapThr));
  return -1;
}

extern "C" int ZqEnrollTipsAllTemplate(const ST_SubTemplate *sample, int16_t fingerId,
                                       int16_t count, uint32_t spare1, uint32_t overlapThr,
                                       uint8_t spare2, uint8_t angThr) {
  const uint32_t start = NowMs();
  int result = 0;
  for (int32_t k = 1; k <= count; ++k) {
    result = ZqEnrollTipsTemplate_v1(sample, fingerId, static_cast<int16_t>(k), spare1, overlapThr,
                                     spare2, angThr);
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...ret = %d, tpl_index = %d", __func__, result, k - 1);
    if (result < 0) break;
  }
  if (Timing()) {
    QUORV_LOG(QUORV_LOG_WARNING, "%s...ZqEnrollTipsTemplate cost time = %d ms", __func__,
              static_cast<int>(NowMs() - start));
  }
  QUORV_LOG(QUORV_LOG_INFO, "%s...overlap area, ret = %d, leave", __func__, result);
  return result;
}

extern "C" int ZqSlideEnrollTipsTemplate_v1(const ST_SubTemplate *reference,
                                            const ST_SubTemplate *sample, uint32_t lowThr,
                                            uint32_t highThr, uint8_t /*spare*/, uint8_t angThr) {
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s...enter!", __func__);
  if (reference == nullptr || sample == nullptr) {
    QUORV_LOGE("%s...quorvTemplate or quorvSample = NULL, leave", __func__);
    return -1;
  }
  const Measure m = Compare(__func__, sample, reference);
  if (!m.counts) {
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...NO Mach, ret = 0, need enroll", __func__);
    return 0;
  }
  return TwoThresholdLogged(__func__, m, lowThr, highThr, angThr);
}

extern "C" int ZqSlideEnrollTipsTemplate_v2(const ST_SubTemplate *reference,
                                            const ST_SubTemplate *sample, uint32_t lowThr,
                                            uint32_t highThr, uint8_t /*spare*/, uint8_t angThr) {
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s...enter!", __func__);
  if (reference == nullptr || sample == nullptr) {
    QUORV_LOGE("%s...quorvTemplate or quorvSample = NULL, leave", __func__);
    return -1;
  }
  const Measure m = Compare(__func__, sample, reference);
  if (!m.counts) {
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...NO Mach, ret = 0, need enroll", __func__);
    return 0;
  }
  return BinLogged(__func__, m, lowThr, highThr, angThr);
}

extern "C" int ZqSlideEnrollTipsTemplate(uint32_t mode, int32_t count, const ST_SubTemplate *sample,
                                         const ST_SubTemplate *reference, uint32_t lowThr,
                                         uint32_t highThr, uint8_t spare, uint8_t angThr) {
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s...enter!", __func__);
  const uint32_t start = NowMs();
  const int32_t n = static_cast<int32_t>(mode & 0xFFu);
  const int32_t calls = n < count ? n : count;
  int result = 0;
  for (int32_t i = 0; i < calls; ++i) {
    result = (mode >> 16) == 0
                 ? ZqSlideEnrollTipsTemplate_v1(reference, sample, lowThr, highThr, spare, angThr)
                 : ZqSlideEnrollTipsTemplate_v2(reference, sample, lowThr, highThr, spare, angThr);
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...ret = %d, tpl_index = %d", __func__, result, i);
    if (result < 0) break;
  }
  if (Timing()) {
    QUORV_LOG(QUORV_LOG_WARNING, "%s...ZqEnrollTipsTemplate cost time = %d ms", __func__,
              static_cast<int>(NowMs() - start));
  }
  QUORV_LOG(QUORV_LOG_INFO, "%s...overlap area, ret = %d, leave", __func__, result);
  return result;
}
