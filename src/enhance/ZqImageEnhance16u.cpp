// The 16-bit enhancement pipeline and its 8-bit blend.
#include "src/enhance/ZqImageEnhance16u.h"

#include <string.h>

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqLocalNormalize.h"
#include "src/enhance/ZqLogFilter.h"
#include "src/enhance/ZqNormalize.h"
#include "src/enhance/ZqOriRepair.h"
#include "src/enhance/ZqTextureRepair.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSmooth.h"

namespace {

constexpr int32_t kRepairRadius = 7;

// Integer part of 0.35 x enhanced + 0.65 x image, single precision.
uint16_t Blend(uint16_t enhanced, uint16_t image) {
  return static_cast<uint16_t>(
      static_cast<int32_t>(static_cast<float>(enhanced) * 0.35f + static_cast<float>(image) * 0.65f));
}

// The guided half-size round shared by both pipelines: out (full size,
// 0..255) from data and its local normalisation over `window`. Buffers:
// guide (full), data2 and guide2 and repaired (half). -4 / -5 as the
// pipelines report them.
int32_t HalfSizeRound(const char *func, const uint16_t *data, int32_t rows, int32_t cols,
                      int32_t window, uint16_t *guide, uint16_t *data2, uint16_t *guide2,
                      uint16_t *repaired, uint16_t *out) {
  if (ZqLocalNormalize(data, rows, cols, window, guide) != ZQ_OK) {
    ZQ_LOG_FAIL(func, "ZqLocalNormalize failed");
    return -4;
  }
  const int32_t r2 = rows >> 1, c2 = cols >> 1;
  ZqResize_16u(data, rows, cols, data2, r2, c2);
  ZqResize_16u(guide, rows, cols, guide2, r2, c2);
  if (ZqTextureRepair_v2(data2, guide2, r2, c2, kRepairRadius, repaired) != ZQ_OK) {
    ZQ_LOG_FAIL(func, "ZqTextureRepair_v2 failed");
    return -5;
  }
  ZqNormalize_16u(repaired, r2, c2, 0, 255, repaired);
  ZqResize_16u(repaired, r2, c2, out, rows, cols);
  return ZQ_OK;
}

// Working buffers of one pipeline call, released newest first.
struct Buffers {
  zq::ScratchStack scratch{zq::ScratchSource::kPool};
  uint16_t *a = nullptr, *b = nullptr, *a2 = nullptr, *b2 = nullptr, *full = nullptr,
           *half = nullptr;

  bool Take(int32_t rows, int32_t cols) {
    const int64_t n = int64_t{rows} * cols, quarter = n / 4;
    a = scratch.Take<uint16_t>(n);
    b = scratch.Take<uint16_t>(n);
    a2 = scratch.Take<uint16_t>(quarter);
    b2 = scratch.Take<uint16_t>(quarter);
    full = scratch.Take<uint16_t>(n);
    half = scratch.Take<uint16_t>(quarter);
    return a != nullptr && b != nullptr && a2 != nullptr && b2 != nullptr && full != nullptr &&
           half != nullptr;
  }
};

}  // namespace

extern "C" int32_t ZqImageEnhance_16u_v2(const uint16_t *src, int32_t rows, int32_t cols,
                                         uint16_t *dst) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || dst == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 4 || cols < 4, ZQ_ERR_PARAM);
  Buffers buf;
  ZQ_CHECK(!buf.Take(rows, cols), ZQ_ERR_ALLOC);
  const int64_t n = int64_t{rows} * cols;
  memcpy(buf.a, src, static_cast<size_t>(n) * sizeof(uint16_t));
  const int32_t ret = HalfSizeRound(__func__, buf.a, rows, cols, 9, buf.b, buf.a2, buf.b2,
                                    buf.half, buf.full);
  if (ret != ZQ_OK) return ret;
  ZqNormalize_16u(buf.full, rows, cols, 0, 255, dst);
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}

extern "C" int32_t ZqImageEnhance_16u(const uint16_t *src, int32_t rows, int32_t cols,
                                      uint16_t *dst) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(src == NULL || dst == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 4 || cols < 4, ZQ_ERR_PARAM);
  Buffers buf;
  ZQ_CHECK(!buf.Take(rows, cols), ZQ_ERR_ALLOC);
  const int64_t n = int64_t{rows} * cols;
  if (ZqLogFilter(src, rows, cols, 9, buf.a) != ZQ_OK) {
    ZQ_LOG_FAIL(__func__, "ZqLogFilter failed");
    return -3;
  }
  for (int pass = 0; pass < 2; ++pass) {
    const int32_t ret = HalfSizeRound(__func__, buf.a, rows, cols, 13, buf.b, buf.a2, buf.b2,
                                      buf.half, buf.full);
    if (ret != ZQ_OK) return ret;
    if (pass == 0) {
      (void)ZqOriRepair(buf.full, rows, cols, 3, 3, buf.full);  // best effort
      for (int64_t i = 0; i < n; ++i) buf.a[i] = Blend(buf.full[i], buf.a[i]);
    }
  }
  ZqNormalize_16u(buf.full, rows, cols, 0, 255, dst);
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}

extern "C" int32_t f4851_image_enhance(uint8_t *img, int32_t rows, int32_t cols) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(img == NULL, ZQ_ERR_PARAM);
  if (rows < 4 || cols < 4) {
    ZQ_LOG_FAIL(__func__, "rows < 4 || cols < 4");
    return -3;
  }
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint16_t *work = scratch.Take<uint16_t>(n);
  ZQ_CHECK(work == NULL, ZQ_ERR_ALLOC);
  for (int64_t i = 0; i < n; ++i) work[i] = img[i];
  if (ZqImageEnhance_16u_v2(work, rows, cols, work) != ZQ_OK) {
    ZQ_LOG_FAIL(__func__, "ZqImageEnhance_16u_v2 failed");
    return -3;
  }
  for (int64_t i = 0; i < n; ++i) img[i] = static_cast<uint8_t>(Blend(work[i], img[i]));
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
