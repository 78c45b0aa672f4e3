#include "src/ZqAlg/ZqTemplateCrossCheck.h"

#include <math.h>
#include <string.h>

#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqContourProc.h"
#include "src/image/ZqMemoryManager.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

// Capacity of the overlap polygon of two sensor footprints.
constexpr int32_t kOverlapPolygonCapacity = 33;
// Footprints this small or smaller are not worth a comparison.
constexpr float kMinArea = 800.0f;
// Valid pixels each side must bring to the common area.
constexpr int32_t kMinValid = 400;

uint32_t NowMs() {
  return (g_functimes == 1 && quorv_fp_get_system_time != nullptr)
             ? static_cast<uint32_t>(quorv_fp_get_system_time())
             : 0u;
}

// The cut-off margin for one coefficient: 5 pixels widened by a shrinking scale.
int32_t Margin(float a) {
  const float m = fabsf(a);
  return m > 0.2f ? static_cast<int32_t>(5.0f / m) : 5;
}

// Removes from t the keypoints that H maps strictly inside the sensor less
// a 5-pixel border, keeping order and updating the group counts.
void DropInnerKeypoints(ST_SubTemplate *t, const ST_FullHMatrix &H, int32_t cols, int32_t rows) {
  ST_Feature *f = t->pTemplateFeature;
  int32_t src = 0, dst = 0;
  for (int g = 0; g < 2; ++g) {
    int32_t kept = 0;
    for (int32_t i = 0; i < t->nFeatureNum[g]; ++i, ++src) {
      const float x = H.a00 * f[src].x + H.a01 * f[src].y + H.a02;
      const float y = H.a10 * f[src].x + H.a11 * f[src].y + H.a12;
      const bool inner = x > 5.0f && x < static_cast<float>(cols - 5) && y > 5.0f &&
                         y < static_cast<float>(rows - 5);
      if (inner) continue;
      if (dst != src) f[dst] = f[src];
      ++dst;
      ++kept;
    }
    t->nFeatureNum[g] = static_cast<uint8_t>(kept);
  }
}

// The owned work records of one cross-check.
struct Work {
  ST_Contour c0{}, c1{}, both{};
  ST_SubTemplate *sampleCopy = nullptr;
  ST_SubTemplate *tCopy = nullptr;
  ~Work() {
    ZqReleaseContours(&c0);
    ZqReleaseContours(&c1);
    ZqReleaseContours(&both);
    ZqReleaseTemp(sampleCopy);
    ZqReleaseTemp(tCopy);
  }
};

}  // namespace

extern "C" float ZqCalcOverlapRatio(const ST_FullHMatrix *A, const ST_FullHMatrix *B,
                                    int32_t rows, int32_t cols) {
  if (A == nullptr || B == nullptr || rows <= 0 || cols <= 0) return 0.0f;
  const float c = A->a00 * B->a00 + A->a01 * B->a01;
  const float s = A->a00 * B->a10 + A->a01 * B->a11;
  ST_FullHMatrix D{};
  D.a00 = c;
  D.a01 = s;
  D.a02 = A->a02 - (c * B->a02 + s * B->a12);
  D.a10 = -s;
  D.a11 = c;
  D.a12 = A->a12 - (c * B->a12 - s * B->a02);
  D.a22 = 1.0f;
  return ZqCalcInterSectionArea(&D, cols, rows) / static_cast<float>(rows * cols);
}

extern "C" ST_SubTemplate *ZqSafeAllocTemplateForCopy(void) {
  ST_SubTemplate *t = ZqCreateTemp();
  if (t != nullptr) {
    t->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(ZQ_CROSS_COPY_FEAT_BYTES));
    if (t->pTemplateFeature != nullptr) {
      t->featBufSize = ZQ_CROSS_COPY_FEAT_BYTES;
      t->nFeatureNum[0] = 0;
      t->nFeatureNum[1] = 0;
      return t;
    }
  }
  QUORV_LOGE("%s...ZqSafeAlloc() == NULL", __func__);
  ZqReleaseTemp(t);
  return nullptr;
}

extern "C" int32_t ZqInitCrossTemplate(const ST_SubTemplate *src, const ST_FullHMatrix *H,
                                       int32_t cols, int32_t rows, ST_SubTemplate *copy) {
  if (src == nullptr || H == nullptr || copy == nullptr || src->pTemplateFeature == nullptr ||
      copy->pTemplateFeature == nullptr) {
    QUORV_LOGE("%s...input err", __func__);
    return -1;
  }
  const uint32_t srcKp = static_cast<uint32_t>(src->nFeatureNum[0]) + src->nFeatureNum[1];
  const bool srcShort = src->featBufSize < srcKp * ZQ_FEATURE_BYTES;
  const bool imagesDontFit =
      (src->binBufSize > 0 && (src->templateBinDiscr == nullptr || copy->templateBinDiscr == nullptr ||
                               src->binBufSize > copy->binBufSize)) ||
      (src->maskBufSize > 0 && (src->templatePixValid == nullptr || copy->templatePixValid == nullptr ||
                                src->maskBufSize > copy->maskBufSize));
  if (srcShort || imagesDontFit) {
    QUORV_LOGE("%s...buffer size err", __func__);
    return -1;
  }
  const int32_t mx = Margin(H->a00);
  const int32_t my = Margin(H->a01);

  ST_Feature *feat = copy->pTemplateFeature;
  uint8_t *bin = copy->templateBinDiscr;
  uint8_t *mask = copy->templatePixValid;
  const uint32_t room = copy->featBufSize / ZQ_FEATURE_BYTES;
  const uint32_t cap = room < ZQ_CROSS_COPY_MAX_KP ? room : ZQ_CROSS_COPY_MAX_KP;
  const uint32_t featBufSize = copy->featBufSize;
  const uint32_t binBufSize = copy->binBufSize;
  const uint32_t maskBufSize = copy->maskBufSize;

  *copy = *src;
  copy->pTemplateFeature = feat;
  copy->templateBinDiscr = bin;
  copy->templatePixValid = mask;
  // The copy's buffers keep describing what was allocated for them.
  copy->featBufSize = featBufSize;
  copy->binBufSize = binBufSize;
  copy->maskBufSize = maskBufSize;
  if (src->binBufSize > 0) memcpy(bin, src->templateBinDiscr, src->binBufSize);
  if (src->maskBufSize > 0) memcpy(mask, src->templatePixValid, src->maskBufSize);

  const float left = static_cast<float>(-mx), right = static_cast<float>(cols + mx);
  const float top = static_cast<float>(-my), bottom = static_cast<float>(rows + my);
  uint32_t in = 0, out = 0;
  for (int g = 0; g < 2; ++g) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < src->nFeatureNum[g]; ++i, ++in) {
      const ST_Feature &f = src->pTemplateFeature[in];
      const float x = H->a00 * f.x + H->a01 * f.y + H->a02;
      const float y = H->a10 * f.x + H->a11 * f.y + H->a12;
      if (!(x >= left && x <= right && y >= top && y < bottom)) continue;
      if (out >= cap) {
        QUORV_LOGE("%s...leak out of range", __func__);
        continue;
      }
      feat[out++] = f;
      ++kept;
    }
    copy->nFeatureNum[g] = static_cast<uint8_t>(kept);
  }
  return 0;
}

extern "C" int32_t ZqGetMaskValidCorrdingHmatrix(const uint8_t *mask, int32_t cols, int32_t rows,
                                                 const ST_FullHMatrix *H, int32_t margin) {
  if (mask == nullptr || H == nullptr || cols <= 0 || rows <= 0) return -1;
  // 16.16 coefficients; values no pixel map can use are clamped first so
  // the conversion stays defined.
  auto fixed = [](float v) -> int64_t {
    const double d = static_cast<double>(v) * 65536.0;
    if (!(d > -1e15)) return d != d ? 0 : static_cast<int64_t>(-1e15);
    if (d > 1e15) return static_cast<int64_t>(1e15);
    return static_cast<int64_t>(d);
  };
  const int64_t a00 = fixed(H->a00), a01 = fixed(H->a01);
  const int64_t a02 = fixed(H->a02), a12 = fixed(H->a12);
  const int32_t n = cols > rows ? cols : rows;
  // Products of every coordinate with the two rotation coefficients.
  int64_t *byA00 = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(sizeof(int64_t)) * n));
  int64_t *byA01 = static_cast<int64_t *>(ZqSafeAlloc(static_cast<int32_t>(sizeof(int64_t)) * n));
  if (byA00 == nullptr || byA01 == nullptr) {
    QUORV_LOGE("%s...ZqSafeAlloc() == NULL", __func__);
    ZqSafeFree(byA00);
    ZqSafeFree(byA01);
    return -1;
  }
  for (int32_t i = 0; i < n; ++i) {
    byA00[i] = i * a00;
    byA01[i] = i * a01;
  }
  const int64_t lo = -static_cast<int64_t>(margin);
  const int64_t hiX = static_cast<int64_t>(cols) + margin;
  const int64_t hiY = static_cast<int64_t>(rows) + margin;
  int64_t count = 0;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      const uint32_t idx = static_cast<uint32_t>(y) * static_cast<uint32_t>(cols) +
                           static_cast<uint32_t>(x);
      if (((mask[idx >> 3] >> (idx & 7u)) & 1u) == 0) continue;
      const int64_t xs = (byA00[x] + byA01[y] + a02) >> 16;
      const int64_t ys = (byA00[y] - byA01[x] + a12) >> 16;
      if (xs >= lo && xs <= hiX && ys >= lo && ys <= hiY) ++count;
    }
  }
  ZqSafeFree(byA00);
  ZqSafeFree(byA01);
  return count > 32767 ? 32767 : static_cast<int32_t>(count);
}

extern "C" int32_t ZqCheckTemplatesCondition(const ST_SubTemplate *, const ST_QuorvEnrollTemplate *) {
  return 0;
}

extern "C" ST_SubTemplate *ZqcopyTemplate(const ST_SubTemplate *src) {
  if (src == nullptr) return nullptr;
  ST_SubTemplate *t = ZqCreateTemp();
  if (t == nullptr) return nullptr;
  if (ZqSubTemplateCopy(t, src) != 0) {
    ZqReleaseTemp(t);
    return nullptr;
  }
  return t;
}

extern "C" int32_t ZqTemplate2TemplateMatch(const ST_SubTemplate *sample,
                                            const ST_QuorvEnrollTemplate *finger,
                                            const uint8_t order[96], int32_t /*unused*/,
                                            int32_t rows, int32_t cols, ST_CrossCheckMatch cand,
                                            uint8_t strongScore, int16_t *reason) {
  if (sample == nullptr || finger == nullptr || order == nullptr) {
    QUORV_LOGE("%s...input err", __func__);
    return -1;
  }
  const uint32_t start = NowMs();
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...img_area = %d", __func__, rows * cols);

  Work w;
  w.c0 = ZqInitContours(ZQ_RECT_INSECTION_POINTS);
  w.c1 = ZqInitContours(ZQ_RECT_INSECTION_POINTS);
  w.both = ZqInitContours(kOverlapPolygonCapacity);
  ST_FullHMatrix inv{};
  ZqHmatrixInv(&inv, &cand.matchHmatrix);
  const int ret0 = ZqCalcInterSectionContour(&inv, cols, rows, &w.c0);
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...ZqCalcInterSectionContour() = %d", __func__, ret0);
  const float coinArea1 = w.c0.num >= 3 ? ZqContourArea(w.c0.num, w.c0.pts) : 0.0f;
  QUORV_LOG(QUORV_LOG_DEBUG, "%s...coinArea1 = %f", __func__, static_cast<double>(coinArea1));
  w.sampleCopy = ZqSafeAllocTemplateForCopy();
  w.tCopy = ZqSafeAllocTemplateForCopy();
  if (w.c0.pts == nullptr || w.c1.pts == nullptr || w.both.pts == nullptr ||
      w.sampleCopy == nullptr || w.tCopy == nullptr) {
    QUORV_LOGE("%s...ZqSafeAlloc() == NULL, ret = %d", __func__, -2);
    return -2;
  }

  const float matchScore = static_cast<float>(cand.matchScore);
  int16_t why = reason != nullptr ? *reason : 0;
  int32_t result = 0;
  int32_t weak = 0;
  bool stop = false;
  const int32_t count = finger->currentSubtemplatesNum;
  for (int e = 0; e < 96 && !stop; ++e) {
    const int32_t k = order[e];
    if (k >= count || k >= MAX_SUBTEMPLATES_PER_FINGER || k == cand.subIndex) continue;
    const ST_SubTemplate &t = finger->subtemplates[k];
    if (t.rootIndex != cand.rootIndex) continue;

    ST_FullHMatrix HC = cand.toRootHmatrix;
    if (t.rootIndex != k) {
      ST_FullHMatrix toT{};
      ZqHmatrixInv(&toT, &t.rootHmatrix);
      ZqHmatrixConverse(&HC, &cand.toRootHmatrix, &toT);
    }
    ST_FullHMatrix HCinv{};
    ZqHmatrixInv(&HCinv, &HC);
    w.c1.num = 0;
    ZqCalcInterSectionContour(&HCinv, cols, rows, &w.c1);
    const float area = w.c1.num >= 3 ? ZqContourArea(w.c1.num, w.c1.pts) : 0.0f;
    if (area <= kMinArea) continue;
    float rectArea = 0.0f, side1 = 0.0f, side2 = 0.0f;
    ZqContourRectangle(w.c1.num, w.c1.pts, &rectArea, &side1, &side2);
    float overlap = 0.0f;
    w.both.num = 0;
    ZqPolygonInsection2(w.c0.num, w.c0.pts, w.c1.num, w.c1.pts, &w.both, &overlap);

    if (ZqInitCrossTemplate(&t, &HCinv, cols, rows, w.tCopy) != 0 ||
        ZqInitCrossTemplate(sample, &HC, cols, rows, w.sampleCopy) != 0)
      continue;
    const int32_t u = ZqGetMaskValidCorrdingHmatrix(t.templatePixValid, cols, rows, &HCinv, 3);
    const int32_t v = ZqGetMaskValidCorrdingHmatrix(sample->templatePixValid, cols, rows, &HC, 3);
    if (u < kMinValid || v < kMinValid) continue;

    ST_FullHMatrix H1{}, H2{};
    const int32_t s1 = ZqVerifyTwoTemplate(w.sampleCopy, w.tCopy, &H1, 1, 1);
    const float rest = area - overlap;
    const bool restShort = static_cast<double>(rest) * 0.25 > u || static_cast<double>(rest) * 0.25 > v;
    float h = 0.0f;
    bool decided = false;  // step 8 reached its own end
    if (s1 >= 1) {
      const int32_t m1 = GetMachScore();
      if (m1 > 12) {
        why = 11;
        result = 1;
        stop = true;
        break;
      }
      if (m1 >= 1 && overlap > 0.0f) {
        DropInnerKeypoints(w.sampleCopy, cand.matchHmatrix, cols, rows);
        const int32_t s2 = ZqVerifyTwoTemplate(w.sampleCopy, w.tCopy, &H2, 1, 1);
        if (s2 >= 1) {
          const int32_t m2 = GetMachScore();
          if (m2 > 6) {
            why = 11;
            result = 1;
            stop = true;
            break;
          }
          if (m2 >= 1) {
            decided = true;
            const float R = (coinArea1 + area - overlap) * 12.0f;
            if (coinArea1 * matchScore + static_cast<float>(m2) * (area - overlap) > R ||
                (coinArea1 - overlap) * matchScore + area * static_cast<float>(s1) > R) {
              why = 21;
              result = 1;
              stop = true;
              break;
            }
            const float S2 = ZqCalcOverlapRatio(&HC, &H2, rows, cols);
            if (S2 < 0.7f) {
              why = -31;
              result = -1;
              stop = true;
              break;
            }
            h = overlap / area;
            if ((h < 0.23f && S2 > 0.8f) || (h >= 0.23f && h < 0.45f && S2 > 0.87f) ||
                (h >= 0.45f && S2 > 0.95f)) {
              why = h < 0.23f ? 31 : (h < 0.45f ? 41 : 51);
              result = 1;
              stop = true;
              break;
            }
            if (restShort) {
              if (overlap < 1.0f) {
                why = 61;
                result = 1;
                stop = true;
                break;
              }
              continue;
            }
          }
        }
      }
    }
    if (!decided) {
      h = overlap / area;
      if (restShort) continue;
    }

    if (h > 0.7f) continue;
    const float S1 = ZqCalcOverlapRatio(&HC, &H1, rows, cols);
    if (sample->templateQuality <= 54 && s1 > 4 && h < 0.2f && S1 > 0.85f) {
      why = 71;
      result = 1;
      stop = true;
      break;
    }
    if (s1 >= strongScore) {
      why = 81;
      result = 1;
      stop = true;
      break;
    }
    if (s1 == 0) {
      if (side1 > 15.0f) ++weak;
      continue;
    }
    if (s1 < 0) {
      ++weak;
      continue;
    }
    if (s1 > 4 && overlap < 0.1f) {
      if (side1 <= 15.0f && S1 > 0.8f) {
        why = 91;
        result = 1;
        stop = true;
        break;
      }
      if (S1 > 0.9f) {
        why = 101;
        result = 1;
        stop = true;
        break;
      }
      if (S1 < 0.7f) {
        why = -21;
        result = -1;
        continue;
      }
    }
    if (side1 < 15.0f && S1 > 0.8f) {
      why = 111;
      result = 1;
      stop = true;
      break;
    }
    if (side1 > 15.0f) {
      ++weak;
      continue;
    }
    if (h < 0.3f) {
      why = 121;
      result = 1;
      stop = true;
      break;
    }
    ++weak;
  }
  if (!stop) {
    if (result == -1) {
      why = -31;
    } else if (weak >= 2) {
      result = 2;
      why = 12;
    }
  }
  if (reason != nullptr) *reason = why;
  if (g_functimes == 1 && quorv_fp_get_system_time != nullptr) {
    QUORV_LOG(QUORV_LOG_WARNING, "%s... cost time = %d ms, multinums is = %d", __func__,
              static_cast<int>(NowMs() - start), weak);
  }
  return result;
}
