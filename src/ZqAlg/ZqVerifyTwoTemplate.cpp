#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

#include <immintrin.h>
#include <math.h>
#include <string.h>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqClassifierCutFar.h"
#include "src/ZqAlg/ZqDescMatch.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchImages.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqUniformSizeCheck.h"
#include "src/ZqAlg/ZqRecallRescue.h"
#include "src/ZqAlg/ZqVerifyRescue.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/features/ZqMatchPoint.h"
#include "src/features/ZqRansac.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

extern "C" {
ST_FullHMatrix gCorrectHMat;
uint8_t gRebak;
void (*gZqVerifyTraceHook)(const ZqVerifyTrace *trace) = nullptr;
}

namespace {

const float kPi = 3.14159265f;
const float kTwoPi = 6.28318531f;

// Second-best margins by bestSim / 32.
const uint8_t kMarginMode0[9] = {64, 64, 64, 12, 8, 6, 3, 2, 1};
const uint8_t kMarginMode234[9] = {64, 64, 64, 2, 2, 2, 2, 1, 1};
const uint8_t kMarginMode15[9] = {64, 64, 64, 12, 8, 6, 2, 2, 1};

const uint8_t *MarginTable(uint8_t algoMode) {
  if (algoMode == 0) return kMarginMode0;
  if (algoMode >= 2 && algoMode <= 4) return kMarginMode234;
  return kMarginMode15;
}

// Feature groups compared: classNum, at most 2.
uint32_t GroupCount(const ST_SubTemplate &t) { return t.classNum < 2 ? t.classNum : 2u; }

// Keypoints of the groups compared.
uint32_t KeypointCount(const ST_SubTemplate &t) {
  uint32_t n = 0;
  for (uint32_t k = 0; k < GroupCount(t); ++k) n += t.nFeatureNum[k];
  return n;
}

// Pool blocks of one call, released in reverse order.
class PoolBlocks {
 public:
  PoolBlocks() = default;
  ~PoolBlocks() {
    for (int i = count_ - 1; i >= 0; --i) ZqSafeFreeInMemBlock(blocks_[i]);
  }
  PoolBlocks(const PoolBlocks &) = delete;
  PoolBlocks &operator=(const PoolBlocks &) = delete;

  template <class T>
  T *Take(uint32_t n) {
    if (count_ == static_cast<int>(sizeof(blocks_) / sizeof(blocks_[0]))) return nullptr;
    void *p = ZqSafeAllocInMemBlock(static_cast<int32_t>(n * sizeof(T)));
    if (p != nullptr) blocks_[count_++] = p;
    return static_cast<T *>(p);
  }

 private:
  void *blocks_[12] = {};  // four rescue images and five pair arrays
  int count_ = 0;
};

uint32_t NowMs() {
  return (g_functimes != 0 && quorv_fp_get_system_time != nullptr)
             ? static_cast<uint32_t>(quorv_fp_get_system_time())
             : 0u;
}

void LogCost(const char *what, uint32_t since) {
  if (g_functimes == 0 || quorv_fp_get_system_time == nullptr) return;
  const uint32_t now = static_cast<uint32_t>(quorv_fp_get_system_time());
  QUORV_LOG(QUORV_LOG_WARNING, "%s...%s cost time = %d ms", "ZqVerifyTwoTemplate", what,
            static_cast<int>(now - since));
}

// The uniform-region check of tpl (reference) against sample (test) under H.
int UniformRegion(const ST_SubTemplate &sample, const ST_SubTemplate &tpl, const ST_FullHMatrix &H,
                  uint16_t cols, uint16_t rows, uint8_t ignoreMasks, int16_t overLap[6],
                  int16_t *uniformSize) {
  if (!zq_alg::CoversSensor(sample, cols, rows) || !zq_alg::CoversSensor(tpl, cols, rows))
    return ZQ_ERR_PARAM;
  const uint8_t margin = gSensorInfor.binImageEnhance == 1 ? 2 : 0;
  const uint64_t *ref = reinterpret_cast<const uint64_t *>(tpl.templateBinDiscr);
  const uint64_t *test = reinterpret_cast<const uint64_t *>(sample.templateBinDiscr);
  const ST_HMatrix *h = reinterpret_cast<const ST_HMatrix *>(&H);
  if (gSensorInfor.smallSensor != 0)
    return ZqGetUniformRegSizeAllInRect(ref, test, tpl.templatePixValid, sample.templatePixValid,
                                        h, nullptr, &rows, &cols, overLap, margin, ignoreMasks,
                                        uniformSize);
  return ZqGetUniformRegSizeAll(ref, test, tpl.templatePixValid, sample.templatePixValid, h,
                                nullptr, &rows, &cols, overLap, margin, ignoreMasks, uniformSize);
}

// Grid pixels of row y that H maps inside the cols x rows frame, one at a
// time from column x0 on.
int64_t InsideRowPlain(const ST_FullHMatrix &H, int32_t y, int32_t x0, int32_t cols,
                       int32_t rows) {
  int64_t inside = 0;
  for (int32_t x = x0; x < cols; ++x) {
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    const float X = H.a00 * fx + H.a01 * fy + H.a02;
    const float Y = H.a10 * fx + H.a11 * fy + H.a12;
    if (X >= 0.0f && X < static_cast<float>(cols) && Y >= 0.0f && Y < static_cast<float>(rows))
      ++inside;
  }
  return inside;
}

// InsideRowPlain eight columns at a time, each lane the same products and
// sums in the same order.
__attribute__((target("avx2,popcnt"))) int64_t InsideRowEight(const ST_FullHMatrix &H, int32_t y,
                                                              int32_t cols, int32_t rows) {
  const float fy = static_cast<float>(y);
  const __m256 a00 = _mm256_set1_ps(H.a00), a10 = _mm256_set1_ps(H.a10);
  const __m256 yTermX = _mm256_set1_ps(H.a01 * fy), yTermY = _mm256_set1_ps(H.a11 * fy);
  const __m256 a02 = _mm256_set1_ps(H.a02), a12 = _mm256_set1_ps(H.a12);
  const __m256 zero = _mm256_setzero_ps();
  const __m256 fc = _mm256_set1_ps(static_cast<float>(cols));
  const __m256 fr = _mm256_set1_ps(static_cast<float>(rows));
  const __m256i step = _mm256_set1_epi32(8);
  __m256i xs = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  int64_t inside = 0;
  int32_t x = 0;
  for (; x + 8 <= cols; x += 8, xs = _mm256_add_epi32(xs, step)) {
    const __m256 fx = _mm256_cvtepi32_ps(xs);
    const __m256 X = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(a00, fx), yTermX), a02);
    const __m256 Y = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(a10, fx), yTermY), a12);
    const __m256 in = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(X, zero, _CMP_GE_OQ), _mm256_cmp_ps(X, fc, _CMP_LT_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(Y, zero, _CMP_GE_OQ), _mm256_cmp_ps(Y, fr, _CMP_LT_OQ)));
    inside += __builtin_popcount(static_cast<uint32_t>(_mm256_movemask_ps(in)));
  }
  return inside + InsideRowPlain(H, y, x, cols, rows);
}

// The foreign-body test maps its grid eight pixels at a time where the
// processor can (a test may ask for the plain mapping).
bool gPlainGridOnly = false;

// Near the identity for the foreign-body test: the signed angle below 0.08,
// shifts below 8 px and more than 90 % of the sensor grid mapped inside it.
bool NearIdentity(const ST_FullHMatrix &H, int32_t cols, int32_t rows) {
  if (!(H.dtheta < 0.08f) || !(fabsf(H.a02) < 8.0f) || !(fabsf(H.a12) < 8.0f)) return false;
  const bool eight =
      !gPlainGridOnly && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  int64_t inside = 0;
  for (int32_t y = 0; y < rows; ++y)
    inside += eight ? InsideRowEight(H, y, cols, rows) : InsideRowPlain(H, y, 0, cols, rows);
  return inside * 10 > static_cast<int64_t>(cols) * rows * 9;
}

// Positions of the pairs kept so far, one array per coordinate, for the
// duplicate test; padded for one vector's overrun.
struct KeptPairs {
  static constexpr uint32_t kCap = ZQ_MATCH_MAX_SAMPLE_KP + 8;
  alignas(32) float sx[kCap], sy[kCap], tx[kCap], ty[kCap];
  uint32_t n = 0;
  void Add(float a, float b, float c, float d) {
    sx[n] = a;
    sy[n] = b;
    tx[n] = c;
    ty[n] = d;
    ++n;
  }
};

// A kept pair with the same four coordinates (float ==), one at a time.
bool HeldPlain(const KeptPairs &k, float a, float b, float c, float d) {
  for (uint32_t p = 0; p < k.n; ++p)
    if (k.sx[p] == a && k.sy[p] == b && k.tx[p] == c && k.ty[p] == d) return true;
  return false;
}

// HeldPlain eight kept pairs at a time (ordered equality, as ==).
__attribute__((target("avx2"))) bool HeldEight(const KeptPairs &k, float a, float b, float c,
                                               float d) {
  const __m256 va = _mm256_set1_ps(a), vb = _mm256_set1_ps(b);
  const __m256 vc = _mm256_set1_ps(c), vd = _mm256_set1_ps(d);
  uint32_t p = 0;
  for (; p + 8 <= k.n; p += 8) {
    const __m256 same =
        _mm256_and_ps(_mm256_and_ps(_mm256_cmp_ps(_mm256_load_ps(k.sx + p), va, _CMP_EQ_OQ),
                                    _mm256_cmp_ps(_mm256_load_ps(k.sy + p), vb, _CMP_EQ_OQ)),
                      _mm256_and_ps(_mm256_cmp_ps(_mm256_load_ps(k.tx + p), vc, _CMP_EQ_OQ),
                                    _mm256_cmp_ps(_mm256_load_ps(k.ty + p), vd, _CMP_EQ_OQ)));
    if (_mm256_movemask_ps(same) != 0) return true;
  }
  for (; p < k.n; ++p)
    if (k.sx[p] == a && k.sy[p] == b && k.tx[p] == c && k.ty[p] == d) return true;
  return false;
}

// Sample keypoints that land within 1.5 px and 0.2 rad of a template
// keypoint of their group under H; list (n + 1 entries) gets their positions.
int RecallKeypoints(const ST_SubTemplate &sample, const ST_SubTemplate &tpl,
                    const ST_FullHMatrix &H, int32_t cols, int32_t rows, ST_MatchPoint *list) {
  int u = 0;
  for (uint32_t k = 0; k < GroupCount(sample); ++k) {
    const uint32_t sFirst = k == 0 ? 0u : sample.nFeatureNum[0];
    const uint32_t tFirst = k == 0 ? 0u : tpl.nFeatureNum[0];
    const uint32_t tLen = tpl.nFeatureNum[k];
    for (uint32_t s = sFirst; s < sFirst + sample.nFeatureNum[k]; ++s) {
      const ST_Feature &f = sample.pTemplateFeature[s];
      bool seen = false;
      for (int i = 0; i < u && !seen; ++i) seen = list[i].x == f.x && list[i].y == f.y;
      if (seen) continue;
      const float X = H.a00 * f.x + H.a01 * f.y + H.a02;
      const float Y = H.a10 * f.x + H.a11 * f.y + H.a12;
      if (!(X >= 0.0f && X < static_cast<float>(cols) && Y >= 0.0f &&
            Y < static_cast<float>(rows)))
        continue;
      float e = f.ori - H.dtheta;
      if (e > kPi) e -= kTwoPi;
      if (e < -kPi) e += kTwoPi;
      for (uint32_t t = tFirst; t < tFirst + tLen; ++t) {
        const ST_Feature &g = tpl.pTemplateFeature[t];
        if (!(fabsf(g.x - X) < 1.5f && fabsf(g.y - Y) < 1.5f)) continue;
        float d = fabsf(e - g.ori);
        if (d > kPi) d = kTwoPi - d;
        if (!(d <= 0.2f)) continue;
        list[u].x = f.x;
        list[u].y = f.y;
        ++u;
        break;
      }
    }
  }
  return u;
}

}  // namespace

extern "C" {

int ZqVerifyTwoTemplate(const ST_SubTemplate *sample, const ST_SubTemplate *tpl,
                        ST_FullHMatrix *H, uint8_t recallEn, uint8_t option) {
  const ST_SensorInfor &cfg = gSensorInfor;
  if (cfg.fullHomography == 1) {
    if (H != nullptr) {
      H->a20 = 0.0f;
      H->a21 = 0.0f;
      H->a22 = 1.0f;
      H->dtheta = 0.0f;
    }
    return ZqVerifyTwoTemplate_v2(sample, tpl, H, recallEn, option);
  }
  memset(&gMatchInfoTwo, 0, sizeof(gMatchInfoTwo));
  if (H == nullptr || tpl == nullptr || sample == nullptr || sample->pTemplateFeature == nullptr ||
      tpl->pTemplateFeature == nullptr)
    return ZQ_ERR_PARAM;
  const uint32_t n = KeypointCount(*sample);
  // The feature buffers must hold what the counts claim.
  const uint32_t tplKp = static_cast<uint32_t>(tpl->nFeatureNum[0]) + tpl->nFeatureNum[1];
  if (n > ZQ_VERIFY_MAX_SAMPLE_KP ||
      sample->featBufSize < static_cast<uint32_t>(ZQ_FEATURE_BYTES) * n ||
      tpl->featBufSize < static_cast<uint32_t>(ZQ_FEATURE_BYTES) * tplKp)
    return ZQ_ERR_PARAM;
  const uint8_t *margin = MarginTable(cfg.algoMode);
  const uint32_t startMs = NowMs();
  const int32_t cols = cfg.cols, rows = cfg.rows;
  const uint16_t ucols = static_cast<uint16_t>(cols), urows = static_cast<uint16_t>(rows);
  const uint32_t action = gQuorvActionMode;
  const bool identify = quorv_IsIdentifyMode(action) != 0;
  const uint16_t sensorType = ZqSensorTypeGet();
  const uint8_t level =
      cfg.algVerifyFarLevel < ZQ_FAR_LEVEL_COUNT ? cfg.algVerifyFarLevel : ZQ_FAR_LEVEL_COUNT - 1;
  const int32_t t = gMatchScores[level];

  PoolBlocks pool;
  ZqRescueImages rescueImages = {};
  if (cfg.classifierOn == 1 && recallEn == 1) {
    const uint32_t bytes = static_cast<uint32_t>(cols) * static_cast<uint32_t>(rows);
    for (int i = 0; i < ZQ_RESCUE_IMAGES; ++i) {
      rescueImages.img[i] = pool.Take<uint8_t>(bytes);
      if (rescueImages.img[i] == nullptr) return ZQ_ERR_ALLOC;
    }
  }
  ST_MatchPoint *tempPointPos = pool.Take<ST_MatchPoint>(n + 1);
  if (tempPointPos == nullptr) {
    ZQ_LOG_FAIL(__func__, "tempPointPos == NULL");
    return ZQ_ERR_ALLOC;
  }
  ST_MatchPoint *samplePointPos = pool.Take<ST_MatchPoint>(n + 1);
  if (samplePointPos == nullptr) {
    ZQ_LOG_FAIL(__func__, "samplePointPos == NULL");
    return ZQ_ERR_ALLOC;
  }
  ST_MatchPoint *tempPos = pool.Take<ST_MatchPoint>(n + 1);
  if (tempPos == nullptr) {
    ZQ_LOG_FAIL(__func__, "tempPos == NULL");
    return ZQ_ERR_ALLOC;
  }
  ST_MatchPoint *samplePos = pool.Take<ST_MatchPoint>(n + 1);
  if (samplePos == nullptr) {
    ZQ_LOG_FAIL(__func__, "samplePos == NULL");
    return ZQ_ERR_ALLOC;
  }
  uint16_t *matchIndex = pool.Take<uint16_t>(n + 1);
  if (matchIndex == nullptr) {
    ZQ_LOG_FAIL(__func__, "matchIndex == NULL");
    return ZQ_ERR_ALLOC;
  }

  // Descriptor pairs: row i of the tables is sample keypoint i.
  uint16_t sims[ZQ_MATCH_MAX_SAMPLE_KP][2];
  uint16_t idx[ZQ_MATCH_MAX_SAMPLE_KP][2];
  uint16_t rowsDone = 0;
  ZqCalcHanmDistance(sample, tpl, sims, idx, &rowsDone);
  const ST_Feature *sf = sample->pTemplateFeature;
  const ST_Feature *tf = tpl->pTemplateFeature;
  uint32_t pairs = 0;
  const bool eight = !gPlainGridOnly && __builtin_cpu_supports("avx2");
  KeptPairs kept;
  for (uint32_t i = 0; i < rowsDone; ++i) {
    const int32_t best = sims[i][0], second = sims[i][1];
    bool accept = best > ZQ_MATCH_MIN_BEST_SIM && second < best - margin[best / 32];
    if (cfg.algoMode == 4 && best > 189 && (second < best - 1 || best > 220)) accept = true;
    if (!accept) continue;
    const ST_Feature &s = sf[i];
    const ST_Feature &g = tf[idx[i][0]];
    if (eight ? HeldEight(kept, s.x, s.y, g.x, g.y) : HeldPlain(kept, s.x, s.y, g.x, g.y))
      continue;
    kept.Add(s.x, s.y, g.x, g.y);
    samplePointPos[pairs] = ST_MatchPoint{s.x, s.y, s.ori, 0, static_cast<uint16_t>(best)};
    tempPointPos[pairs] = ST_MatchPoint{g.x, g.y, g.ori, 0, 0};
    ++pairs;
  }
  LogCost("CalBoolDescriDist", startMs);

  // Orientation bins of the pairs off the image's first row and column.
  uint32_t pointNum = 0;
  for (uint32_t p = 0; p < pairs; ++p) {
    if (!(samplePointPos[p].x > 0.0f && samplePointPos[p].y > 0.0f)) continue;
    float d = fabsf(samplePointPos[p].ori - tempPointPos[p].ori);
    if (d > kPi) d = kTwoPi - d;
    if (!(d >= 0.0f && d <= kPi)) continue;  // an orientation that is not a number
    const uint16_t bin = static_cast<uint16_t>(d * 5.729578f);
    samplePointPos[pointNum] = samplePointPos[p];
    tempPointPos[pointNum] = tempPointPos[p];
    samplePointPos[pointNum].bin = bin;
    tempPointPos[pointNum].bin = bin;
    ++pointNum;
  }
  if (identify) gQuorvMachInfo.pointNum = static_cast<int32_t>(pointNum);
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...before ransac....pointNum = %d", __func__,
            static_cast<int>(pointNum));

  // Registration over windows of two neighbouring bins.
  ZqRescueData rescue;
  rescue.count = 0;
  rescue.inl = 0;
  rescue.hullCount = 0;
  const bool keepRescue = cfg.classifierOn == 1 && sensorType == 9 && identify;
  int best = 0;
  uint32_t bestWindow = 0, largestWindow = 0;
  // The pairs of each bin in order (bins above the last window's are left
  // out), so that a window is the merge of two of them.
  constexpr uint32_t kWindowBins = 18;
  uint16_t binFirst[kWindowBins + 1] = {};
  uint16_t byBin[ZQ_MATCH_MAX_SAMPLE_KP];
  for (uint32_t p = 0; p < pointNum; ++p)
    if (samplePointPos[p].bin < kWindowBins) ++binFirst[samplePointPos[p].bin + 1];
  for (uint32_t b = 0; b < kWindowBins; ++b) binFirst[b + 1] += binFirst[b];
  {
    uint16_t fill[kWindowBins];
    memcpy(fill, binFirst, sizeof(fill));
    for (uint32_t p = 0; p < pointNum; ++p)
      if (samplePointPos[p].bin < kWindowBins)
        byBin[fill[samplePointPos[p].bin]++] = static_cast<uint16_t>(p);
  }
  for (uint16_t w = 1; w <= 17; ++w) {
    uint32_t j = 0;
    // Bins w - 1 and w merged back into pair order.
    uint32_t a = binFirst[w - 1], b = binFirst[w];
    const uint32_t aEnd = binFirst[w], bEnd = binFirst[w + 1];
    while (a < aEnd || b < bEnd) {
      const uint16_t p = (b >= bEnd || (a < aEnd && byBin[a] < byBin[b])) ? byBin[a++] : byBin[b++];
      tempPos[j] = tempPointPos[p];
      samplePos[j] = samplePointPos[p];
      ++j;
    }
    if (j > largestWindow) largestWindow = j;
    if (j <= 3) continue;
    const uint16_t len = static_cast<uint16_t>(j);
    int r;
    if (cfg.smallSensor != 0)
      r = ZqRansacEdage_32f(tempPos, samplePos, len, &gCorrectHMat, matchIndex);
    else if (cfg.algoMode >= 2 && cfg.algoMode <= 4)
      r = ZqRansacEdage_32f_ZQ4850(tempPos, samplePos, len, &gCorrectHMat, matchIndex);
    else
      r = ZqRansacAngle_32f(tempPos, samplePos, len, &gCorrectHMat, matchIndex);
    if (r == ZQ_ERR_ALLOC) {
      QUORV_LOGE("%s...ZqRansacAngle_32f() malloc fail, ret = %d", __func__, 0);
      return ZQ_ERR_ALLOC;
    }
    if (r <= best) continue;
    best = r;
    bestWindow = j;
    *H = gCorrectHMat;
    if (keepRescue) {
      const uint32_t c = j < ZQ_RESCUE_PAIRS ? j : ZQ_RESCUE_PAIRS;
      memcpy(rescue.tplPts, tempPos, c * sizeof(ST_MatchPoint));
      memcpy(rescue.smpPts, samplePos, c * sizeof(ST_MatchPoint));
      memcpy(rescue.idx, matchIndex, c * sizeof(uint16_t));
      rescue.count = static_cast<uint16_t>(c);
      rescue.inl = r;
    }
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...in ransac....maxMatchNum = %d", __func__, r);
    SaveMachScore(r);
    if (r <= ZQ_RESCUE_HULL_POINTS) {
      for (int l = 0; l < r; ++l) {
        const ST_MatchPoint &tp = tempPos[matchIndex[l]];
        rescue.hullTpl[l] = ST_Point32f{tp.x, tp.y};
        rescue.hullSmp[l] = ST_Point32f{samplePos[matchIndex[l]].x, samplePos[matchIndex[l]].y};
      }
      rescue.hullCount = r;
    }
    if (r <= ZQ_AREA_POINTS_MAX - 1 && gQuorvAreaMatchToplogy != nullptr) {
      ZqHmatrixInv(&gCorrectHMat, H);
      const ST_FullHMatrix &inv = gCorrectHMat;
      for (int l = 0; l < r; ++l) {
        const ST_MatchPoint &sp = samplePos[matchIndex[l]];
        const ST_MatchPoint &tp = tempPos[matchIndex[l]];
        gQuorvAreaMatchToplogy->samplePoints[l] = ST_Point32f{sp.x, sp.y};
        gQuorvAreaMatchToplogy->tempPoints[l] =
            ST_Point32f{inv.a00 * tp.x + inv.a01 * tp.y + inv.a02,
                        inv.a10 * tp.x + inv.a11 * tp.y + inv.a12};
      }
    }
  }
  int32_t m = best;
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...after ransac, m = %d", __func__, static_cast<int>(m));
  if (gQuorvAreaMatchToplogy != nullptr) gQuorvAreaMatchToplogy->pointNum = 0;

  // Agreement of the binarised images under the best transform.
  int16_t overLap[ZQ_OVERLAP_FIELDS] = {0, 0, 0, 0, 0, 0};
  int16_t uniformSize = 0;
  float ratio = 0.0f;
  uint8_t ratioPct = 0;
  bool regionDone = false;
  if (m > 0) {
    const int ret = UniformRegion(*sample, *tpl, *H, ucols, urows, 0, overLap, &uniformSize);
    if (ret != ZQ_OK) {
      QUORV_LOGE("%s...ZqGetUniformRegSizeAll() malloc fail, ret = %d", __func__, ret);
      return ret;
    }
    regionDone = true;
    ratio = static_cast<float>(uniformSize) / static_cast<float>(overLap[0] + 1);
    ratioPct = static_cast<uint8_t>(static_cast<int32_t>(ratio * 100.0f));
    if (m >= 1 && m <= 14 && ratio > 0.7f && gQuorvAreaMatchToplogy != nullptr) {
      gQuorvAreaMatchToplogy->lastRatio = ratio;
      gQuorvAreaMatchToplogy->pointNum = m;
    }
  }
  ST_QuorvMachInfo &report = gQuorvMachInfo;
  if (action == QUORV_ACTION_ENROLL || identify) {
    report.uniformSize = uniformSize;
    report.ransacScore = m;
    report.matchScore = m;
    report.binScore = 0;
    report.overlapsize = overLap[0];
    report.ration = ratio;
    report.uniformSizeMaxValue = 0;
    report.uniformSizeMinValue = 0;
    report.minMaxRatio = 0.0f;
    if (identify) {
      int16_t hi = overLap[1], lo = overLap[1];
      for (int q = 2; q <= 4; ++q) {
        if (overLap[q] > hi) hi = overLap[q];
        if (overLap[q] < lo) lo = overLap[q];
      }
      report.uniformSizeMaxValue = hi;
      report.uniformSizeMinValue = lo;
      report.minMaxRatio = static_cast<float>(hi * 4) / static_cast<float>(overLap[0] + 1);
    }
  }
  gMatchInfoTwo.overlapSize = overLap[0];
  gMatchInfoTwo.ransacNum = m;
  gMatchInfoTwo.uniformPct = ratioPct;
  gMatchInfoTwo.overlapPct =
      static_cast<uint8_t>(overLap[0] * 100 / (cols * rows + 1));
  LogCost("ZqRansacNew", startMs);

  // Decision: foreign body, strong or weak comparisons, the bin check.
  int32_t inlierLimit = (cols == 56 && rows == 56) ? 5 : 6;
  if (t < inlierLimit) inlierLimit = t;
  const int32_t strongT = t > 15 ? t : 15;
  int16_t passFlag = recallEn;
  float areaWeight = 0.0f;
  bool decided = false;
  bool foreignBodyCut = false;
  if (cfg.foreignBodyTest != 0 && m >= inlierLimit && NearIdentity(*H, cols, rows)) {
    if (sample->binWordCnt == tpl->binWordCnt) {
      const int ret = UniformRegion(*sample, *tpl, *H, ucols, urows, 1, overLap, &uniformSize);
      if (ret != ZQ_OK) {
        QUORV_LOGE("%s...ZqGetUniformRegSizeAll() malloc fail, ret = %d", __func__, ret);
        return ret;
      }
    }
    passFlag = 0;
    if (static_cast<float>(overLap[0]) * 0.85f > static_cast<float>(uniformSize)) {
      m = 0;
      foreignBodyCut = true;
      if (t == 0) ++gForeignBodyCutCnt;
      QUORV_LOG(QUORV_LOG_DEBUG, "%s...after foreignBody, m = %d", __func__, 0);
    }
    decided = true;
  }
  if (!decided && ((recallEn != 0 && m >= strongT) || m < inlierLimit)) {
    passFlag = 0;
    decided = true;
  }
  if (!decided) {
    if (!regionDone && sample->binWordCnt == tpl->binWordCnt) {
      const int ret = UniformRegion(*sample, *tpl, *H, ucols, urows, 0, overLap, &uniformSize);
      if (ret != ZQ_OK) {
        QUORV_LOGE("%s...ZqGetUniformRegSizeAll() malloc fail, ret = %d", __func__, ret);
        return ret;
      }
    }
    uint32_t mOut = static_cast<uint32_t>(m);
    if (cfg.algoMode == 3)
      ZqUniformSizeCheckMode3(static_cast<uint32_t>(m), recallEn, static_cast<uint16_t>(uniformSize),
                              overLap, &passFlag, &mOut, &areaWeight);
    else
      ZqUniformSizeCheck(static_cast<uint32_t>(m), recallEn, static_cast<uint16_t>(uniformSize),
                         overLap, &passFlag, &mOut);
    m = static_cast<int32_t>(mOut);
    report.matchScore = m;
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...after BinCheck, m = %d, uniformSize = %d, overLapSize[0] = %d",
              __func__, static_cast<int>(m), uniformSize, overLap[0]);
  }
  if (report.ransacScore < inlierLimit && report.ration < 0.72f) report.matchScore = 0;
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...after foreignBody and BinCheck, m = %d", __func__,
            static_cast<int>(m));
  if (identify) report.recallEn = static_cast<uint8_t>(passFlag);
  LogCost("ZqGetUniformRegSizeAll", startMs);

  // Keypoint recall.
  const int32_t checked = m;
  int32_t score = m;
  if (passFlag == 1) {
    const int32_t m0 = m;
    const int32_t u = RecallKeypoints(*sample, *tpl, *H, cols, rows, samplePos);
    score = u;
    if (cfg.algoMode == 3 && u > m0)
      score = m0 + static_cast<int32_t>(areaWeight * static_cast<float>(u - m0));
    QUORV_LOG(QUORV_LOG_DEBUG, "%s...after Recall, m = %d", __func__, static_cast<int>(u));
  }
  gMatchInfoTwo.matchScore = static_cast<uint8_t>(score);
  gMatchInfoTwo.rebak = gRebak;
  const int32_t recalled = score;

  // Large overlaps on sensor type 10 need more than a bare threshold.
  if (sensorType == 10 && sample->templateQuality > 80 && tpl->templateQuality > 80) {
    const float area = static_cast<float>(cols * rows);
    const float ov = static_cast<float>(report.overlapsize);
    if ((ov > 0.6f * area && report.matchScore <= 8) || (ov > 0.5f * area && report.matchScore <= 7))
      score = 0;
  }

  if (cfg.classifierOn == 1) {
    int32_t ret = ZQ_CLS_NOT_RUN;
    if (score >= t && gMatchInfoTwo.ransacNum <= 14)
      ZqClassifierCutFar(sample, tpl, H, sensorType, rows, cols, &ret);
    gMatchInfoTwo.classifierRet = ret;
    if (ret < 0) {
      if (score > 1) score = 1;
      if (identify) ++gNumRefusedByClassifier;
    }
    if (recallEn == 1) {
      int32_t code = 0;
      const zq_alg::RescueInput in = {sample,   tpl,         H,     &rescue,    &rescueImages,
                                      samplePos, t,          best,  ratio,      overLap[0],
                                      sensorType, identify,  rows,  cols};
      score = zq_alg::RecallRescue(in, score, &code);
      gMatchInfoTwo.rescueCode = code;
    }
  }
  LogCost("total", startMs);
  if (gZqVerifyTraceHook != nullptr) {
    const ZqVerifyTrace trace = {sample,
                                 tpl,
                                 H,
                                 static_cast<int32_t>(pairs),
                                 static_cast<int32_t>(pointNum),
                                 static_cast<int32_t>(largestWindow),
                                 static_cast<int32_t>(bestWindow),
                                 best,
                                 overLap[0],
                                 uniformSize,
                                 foreignBodyCut ? 1 : 0,
                                 checked,
                                 passFlag == 1 ? 1 : 0,
                                 recalled,
                                 gMatchInfoTwo.classifierRet,
                                 gMatchInfoTwo.rescueCode,
                                 score};
    gZqVerifyTraceHook(&trace);
  }
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...leave, match score = %d", __func__, static_cast<int>(score));
  return score;
}

void ZqVerifyTwoTemplatePlainForTest(int32_t on) { gPlainGridOnly = on != 0; }

int ZqVerifySubTemplate(const ST_SubTemplate *sample, int16_t subIndex, int16_t fingerId,
                        ST_FullHMatrix *H, uint8_t recallEn, uint8_t option) {
  if (sample == nullptr || H == nullptr) return 0;
  if (fingerId < 0 || fingerId >= MAX_FINGERS_SUPPORTED || subIndex < 0) return 0;
  const ST_QuorvEnrollTemplate *finger = gEnrolledTemplate[fingerId];
  if (finger == nullptr || finger->validFlg != 1 || subIndex >= finger->currentSubtemplatesNum ||
      subIndex >= MAX_SUBTEMPLATES_PER_FINGER)
    return 0;
  return ZqVerifyTwoTemplate(sample, &finger->subtemplates[subIndex], H, recallEn, option);
}

}  // extern "C"
