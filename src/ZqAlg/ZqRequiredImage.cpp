#include "src/ZqAlg/ZqRequiredImage.h"

#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/quorv_base/quorv_log.h"

extern "C" uint32_t ZqRequiredImageOverlapCount(const ST_FullHMatrix *H, int32_t cols, int32_t rows) {
  if (H == nullptr || cols <= 0 || rows <= 0) return 0;
  const float fc = static_cast<float>(cols), fr = static_cast<float>(rows);
  uint32_t c = 0;
  float rowX = H->a02, rowY = H->a12;
  for (int32_t y = 0; y < rows; ++y) {
    float x1 = rowX, y1 = rowY;
    for (int32_t x = 0; x < cols; ++x) {
      if (x1 >= 0.0f && x1 < fc && y1 >= 0.0f && y1 < fr) ++c;
      x1 += H->a00;
      y1 += H->a10;
    }
    rowX += H->a01;
    rowY += H->a11;
  }
  return c;
}

namespace {

// Matches sample with reference: the score, and the overlap count when they match.
int32_t Compare(const ST_SubTemplate *reference, const ST_SubTemplate *sample, uint32_t *count) {
  ST_FullHMatrix H{};
  const int32_t s = ZqVerifyTwoTemplate(sample, reference, &H, 0, 0);
  *count = s >= 1 ? ZqRequiredImageOverlapCount(&H, gSensorInfor.cols, gSensorInfor.rows) : 0;
  return s;
}

uint64_t SensorArea() {
  const int64_t a = static_cast<int64_t>(gSensorInfor.cols) * gSensorInfor.rows;
  return a > 0 ? static_cast<uint64_t>(a) : 0;
}

}  // namespace

extern "C" int ZqIsGetRequiredImage(const ST_SubTemplate *reference, const ST_SubTemplate *sample,
                                    uint8_t thr) {
  if (reference == nullptr || sample == nullptr) return -1;
  uint32_t c = 0;
  const int32_t s = Compare(reference, sample, &c);
  if (s < 1) {
    QUORV_LOG(QUORV_LOG_INFO, "%s..mach FAIL! matchNum = %d, ret = 2", __func__, s);
    return 2;
  }
  const uint64_t area = SensorArea();
  const int pct = area > 0 ? static_cast<int>(uint64_t{c} * 100u / area) : 0;
  if (uint64_t{c} * 100u < uint64_t{thr} * area) {
    QUORV_LOG(QUORV_LOG_INFO, "%s..matchNum = %d, matchArea(= %d) < thr(= %d), ret = 1", __func__, s,
              pct, thr);
    return 1;
  }
  QUORV_LOG(QUORV_LOG_INFO, "%s..matchNum = %d, matchArea(= %d) > thr(= %d), ret = 0", __func__, s,
            pct, thr);
  return 0;
}

extern "C" int ZqGetImageOverlap(const ST_SubTemplate *reference, const ST_SubTemplate *sample) {
  if (reference == nullptr || sample == nullptr) return -1;
  uint32_t c = 0;
  const int32_t s = Compare(reference, sample, &c);
  const uint64_t area = SensorArea();
  const int pct = area > 0 ? static_cast<int>(uint64_t{c} * 100u / area) : 0;
  QUORV_LOG(QUORV_LOG_INFO, "%s..matchNum = %d, matchArea = %d", __func__, s, pct);
  return pct;
}
