// The small-sensor binariser: 3 x 3 median, then a local threshold of the
// inverted image, so that a set bit is a pixel on the bright side.
#include <string.h>

#include "src/features/ZqBinImg.h"
#include "src/features/ZqBitValue.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqLocalStat.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqScratch.h"

int ZqGenBinImgForSamllSensor(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount) {
  ZQ_CHECK(src == NULL || pBits == NULL || wordCount == NULL, -1);
  ZQ_CHECK(src->imageData == NULL, -1);
  const int32_t w = src->width, h = src->height;
  // Pixels are counted in int16 here.
  if (w < 1 || h < 1 || w > UINT16_MAX || h > UINT16_MAX ||
      static_cast<int64_t>(w) * h > static_cast<int64_t>(ZQ_SMALL_BINIMG_MAX_PIXELS) ||
      src->rowBytes < w) {
    ZQ_LOG_FAIL(__func__, "image size out of range");
    return -1;
  }
  const int32_t n = w * h;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *packed = scratch.Take<uint8_t>(n);
  uint8_t *median = packed != nullptr ? scratch.Take<uint8_t>(n) : nullptr;
  uint8_t *thresh = median != nullptr ? scratch.Take<uint8_t>(n) : nullptr;
  if (thresh == nullptr) return -2;

  const uint16_t words = ZqBinImgWordCount(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  *wordCount = words;
  uint64_t *pRet = *pBits;
  if (pRet == NULL) {
    pRet = static_cast<uint64_t *>(ZqSafeAlloc(words * 8));
    if (pRet == NULL) {
      ZQ_LOG_FAIL("ZqGenBinImg", "pRet == NULL");
      return -2;
    }
  }
  auto fail = [&](int code) {
    if (pRet != *pBits) ZqSafeFree(pRet);
    return code;
  };

  for (int32_t y = 0; y < h; ++y) {
    memcpy(packed + y * w, src->imageData + static_cast<ptrdiff_t>(y) * src->rowBytes,
           static_cast<size_t>(w));
  }
  const uint16_t uw = static_cast<uint16_t>(w), uh = static_cast<uint16_t>(h);
  if (ZqMedianFilter(packed, uw, uh, 1, median) != 0) return fail(-3);
  if (ZqLocalThreshold(median, uw, uh, 1, 5, thresh, 0.1f) != 0) return fail(-3);

  memset(pRet, 0, static_cast<size_t>(words) * 8u);
  for (int32_t i = 0; i < n; ++i) {
    if (thresh[i] == 0) continue;
    if (ZqSetBitValue(pRet, static_cast<uint16_t>(i), words, 1) != 0) {
      ZQ_LOG_FAIL("ZqGenBinImg", "ZqSetBitValue != 0");
      return fail(-1);
    }
  }
  *pBits = pRet;
  return 0;
}
