// Valid area; see ZqValidArea.h.
#include "src/enhance/ZqValidArea.h"

#include "src/image/ZqCommon.h"
#include "src/image/ZqConnectedArea.h"
#include "src/image/ZqMorphology.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {
constexpr int32_t kVarWindow = 9;
constexpr float kVarLimit = 81.0f;
constexpr int32_t kMinRegion = 600;
}  // namespace

extern "C" int32_t ZqSegmentByLocalVar_getValidArea(const uint8_t *image, int32_t rows,
                                                    int32_t cols, uint8_t *mask) {
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint16_t *pix = scratch.Take<uint16_t>(n);
  uint16_t *sq = scratch.Take<uint16_t>(n);
  int32_t ret = 0;
  if (pix == nullptr || sq == nullptr) {
    ret = -2;
    QUORV_LOGE("%s...memory1/memory2 malloc fail, ret = %d", __func__, ret);
    return ret;
  }
  for (int64_t i = 0; i < n; ++i) {
    pix[i] = image[i];
    sq[i] = static_cast<uint16_t>(image[i] * image[i]);
  }
  if (ZqBoxFilter_16u(pix, rows, cols, kVarWindow, pix, 1) != 0) {
    ret = -3;
    QUORV_LOGE("%s...ZqBoxFilter_16u 1 err, ret = %d", __func__, ret);
    return ret;
  }
  if (ZqBoxFilter_16u(sq, rows, cols, kVarWindow, sq, 1) != 0) {
    ret = -4;
    QUORV_LOGE("%s...ZqBoxFilter_16u 2 err, ret = %d", __func__, ret);
    return ret;
  }
  for (int64_t i = 0; i < n; ++i) {
    const float mean = static_cast<float>(pix[i]);
    const float var = static_cast<float>(sq[i]) - mean * mean;
    mask[i] = var > kVarLimit || image[i] < 128;
  }
  if (ZqErode(mask, rows, cols, 0, 11, 11, mask) != 0) {
    ret = -5;
    QUORV_LOGE("%s...ZqErode err, ret = %d", __func__, ret);
    return ret;
  }
  if (ZqDilate(mask, rows, cols, 0, 3, 3, mask) != 0) {
    ret = -6;
    QUORV_LOGE("%s...ZqDilate err, ret = %d", __func__, ret);
    return ret;
  }
  for (int64_t i = 0; i < n; ++i) mask[i] = mask[i] == 0;
  if (ZqGetConnectedArea(mask, rows, cols, kMinRegion, 1) != 0) {
    ret = -7;
    QUORV_LOGE("%s...ZqGetConnectedArea err, ret = %d", __func__, ret);
    return ret;
  }
  return 0;
}

extern "C" int32_t ZqValidArea(const uint8_t *image, int32_t rows, int32_t cols,
                               uint8_t *percent) {
  int32_t ret = 0;
  if (image == nullptr || percent == nullptr) {
    ret = -1;
    QUORV_LOGE("%s...src is null, ret = %d", __func__, ret);
    return ret;
  }
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *mask = rows > 0 && cols > 0 ? scratch.Take<uint8_t>(int64_t{rows} * cols) : nullptr;
  if (mask == nullptr) {
    ret = -2;
    QUORV_LOGE("%s...dst malloc fail, ret = %d", __func__, ret);
    return ret;
  }
  if (ZqSegmentByLocalVar_getValidArea(image, rows, cols, mask) != 0) {
    ret = -3;
    QUORV_LOGE("%s...ZqSegmentByLocalVar_getValidArea err, ret = %d", __func__, ret);
    return ret;
  }
  const int64_t n = int64_t{rows} * cols;
  int64_t b = 0;
  for (int64_t i = 0; i < n; ++i) b += mask[i] != 0 || image[i] > 250;
  *percent = static_cast<uint8_t>(100 - b * 100 / n);
  return 0;
}
