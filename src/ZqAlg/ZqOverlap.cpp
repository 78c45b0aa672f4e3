#include "src/ZqAlg/ZqOverlap.h"

#include "src/ZqAlg/ZqFrameMap.h"
#include "src/features/ZqBinImg.h"
#include "src/quorv_base/quorv_log.h"

using zq_frame::Inside;
using zq_frame::MapX;
using zq_frame::MapY;

namespace {

ST_HMatrix Affine(const ST_FullHMatrix &h) { return {h.a00, h.a01, h.a02, h.a10, h.a11, h.a12}; }

// Valid bit i of t, 0 beyond its mask buffer.
inline bool ValidBit(const ST_SubTemplate &t, uint32_t i) {
  return i / 8u < t.maskBufSize && ZqPixBitMapBit(t.templatePixValid, i) != 0;
}

// Percentage of the grid kept inside the frame; rounded selects the
// truncated (+ 0.5) positions instead of the exact ones.
int OverlapPercent(const ST_FullHMatrix &full, bool rounded) {
  int32_t cols, rows;
  if (!zq_frame::SensorFrame(&cols, &rows)) return 0;
  const ST_HMatrix h = Affine(full);
  const float fc = static_cast<float>(cols), fr = static_cast<float>(rows);
  uint64_t count = 0;
  for (int32_t y = 0; y < rows; ++y) {
    for (int32_t x = 0; x < cols; ++x) {
      const float mx = MapX(h, static_cast<float>(x), static_cast<float>(y));
      const float my = MapY(h, static_cast<float>(x), static_cast<float>(y));
      if (rounded) {
        int32_t X, Y;
        if (zq_frame::Trunc(mx + 0.5f, &X) && zq_frame::Trunc(my + 0.5f, &Y) &&
            Inside(X, Y, cols, rows))
          ++count;
      } else if (mx >= 0.0f && mx < fc && my >= 0.0f && my < fr) {
        ++count;
      }
    }
  }
  return static_cast<int>(count * 100u / (static_cast<uint64_t>(cols) * static_cast<uint64_t>(rows)));
}

}  // namespace

extern "C" {

int ZqCalImageOverlap(const ST_FullHMatrix *H) {
  if (H == nullptr) {
    QUORV_LOGE("%s...input err, H == NULL", __func__);
    return 0;
  }
  const int matchArea = OverlapPercent(*H, false);
  QUORV_LOG(QUORV_LOG_VERBOSE, "%s..matchArea = %d", __func__, matchArea);
  return matchArea;
}

int ZqCalImageOverlap_v1(const ST_FullHMatrix *H) {
  if (H == nullptr) {
    QUORV_LOGE("%s...input err, H == NULL", __func__);
    return 0;
  }
  const int matchArea = OverlapPercent(*H, true);
  QUORV_LOG(QUORV_LOG_INFO, "%s..matchArea = %d", __func__, matchArea);
  return matchArea;
}

uint32_t ZqGetTemplateValidPixelNum(const ST_SubTemplate *t) {
  int32_t cols, rows;
  if (t == nullptr || t->templatePixValid == nullptr || !zq_frame::SensorFrame(&cols, &rows))
    return 0;
  const uint32_t pixels = static_cast<uint32_t>(cols) * static_cast<uint32_t>(rows);
  uint32_t n = 0;
  for (uint32_t i = 0; i < pixels; ++i) n += ValidBit(*t, i) ? 1u : 0u;
  return n;
}

void ZqTemplateCoinArea(const ST_SubTemplate *a, const ST_SubTemplate *b, const ST_FullHMatrix *H,
                        uint8_t *coverFlags, uint32_t *newCount, uint32_t *count) {
  if (count != nullptr) *count = 0;
  int32_t cols, rows;
  if (a == nullptr || b == nullptr || H == nullptr || coverFlags == nullptr ||
      a->templatePixValid == nullptr || b->templatePixValid == nullptr ||
      !zq_frame::SensorFrame(&cols, &rows))
    return;
  const ST_HMatrix h = Affine(*H);
  for (int32_t i = 0; i < rows; ++i) {
    for (int32_t j = 0; j < cols; ++j) {
      const uint32_t p = static_cast<uint32_t>(i) * static_cast<uint32_t>(cols) +
                         static_cast<uint32_t>(j);
      int32_t X, Y;
      if (!zq_frame::Trunc(MapX(h, static_cast<float>(j), static_cast<float>(i)) + 0.5f, &X) ||
          !zq_frame::Trunc(MapY(h, static_cast<float>(j), static_cast<float>(i)) + 0.5f, &Y) ||
          !Inside(X, Y, cols, rows) || !ValidBit(*b, p))
        continue;
      const uint32_t q = static_cast<uint32_t>(Y) * static_cast<uint32_t>(cols) +
                         static_cast<uint32_t>(X);
      if (!ValidBit(*a, q)) continue;
      if (coverFlags[p] == 0) {
        coverFlags[p] = 1;
        if (newCount != nullptr) ++*newCount;
      }
      if (count != nullptr) ++*count;
    }
  }
}

}  // extern "C"
