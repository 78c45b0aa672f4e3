// Texture repair: symmetric non-local means over integral images of
// squared guide differences.
#include "src/enhance/ZqTextureRepair.h"

#include "src/enhance/ZqBorderExtention.h"
#include "src/enhance/ZqEnhanceTrace.h"
#include "src/enhance/ZqIntegGraph.h"
#include "src/enhance/ZqMagicTables.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace {

constexpr uint32_t kSelfWeight = 3;

// One filter of the family, for patches of (2 patch + 1)^2 pixels. The
// weight index is 256 d / (pixels x 40^2), rounded; distances of two
// divisors or more weigh nothing.
int32_t Repair(const char *func, const uint16_t *data, const uint16_t *guide, int32_t rows,
               int32_t cols, int32_t radius, uint16_t *out, int32_t patch) {
  const uint32_t side = 2 * static_cast<uint32_t>(patch) + 1;
  const uint32_t divisor = side * side * 1600;
  const uint32_t maxDist = 2 * divisor - 1;

  const int64_t n = int64_t{rows} * cols;
  const int64_t ec = int64_t{cols} + 2 * patch;  // extended row length
  const int64_t en = (int64_t{rows} + 2 * patch) * ec;
  zq::ScratchStack scratch(zq::ScratchSource::kPool);
  uint16_t *d = scratch.Take<uint16_t>(en);
  uint16_t *g = scratch.Take<uint16_t>(en);
  uint32_t *wsum = scratch.Take<uint32_t>(n);
  uint32_t *ssum = scratch.Take<uint32_t>(n);
  uint32_t *sq = scratch.Take<uint32_t>(en);
  uint32_t *integ = scratch.Take<uint32_t>((int64_t{rows} + 2 * patch + 1) * (ec + 1));
  if (d == nullptr || g == nullptr || wsum == nullptr || ssum == nullptr || sq == nullptr ||
      integ == nullptr) {
    ZQ_LOG_FAIL(func, "buffer == NULL");
    return ZQ_ERR_ALLOC;
  }
  ZqBorderExtention(data, rows, cols, patch, patch, d);
  ZqBorderExtention(guide, rows, cols, patch, patch, g);

  for (int64_t i = 0; i < n; ++i) {
    wsum[i] = kSelfWeight;
    ssum[i] = kSelfWeight * data[i];
  }
  const int32_t inner = radius >> 1;
  for (int32_t di = 0; di <= radius; ++di) {
    for (int32_t dj = -radius; dj <= radius; ++dj) {
      // Each computed displacement also serves its opposite.
      if (di == 0 && dj <= 0) continue;
      if (di <= inner && dj >= -inner && dj <= inner) continue;
      // Pixels p with p and p + (di, dj) inside the image.
      const int64_t r0 = 0, r1 = int64_t{rows} - di;
      const int64_t c0 = dj < 0 ? -int64_t{dj} : 0;
      const int64_t c1 = dj < 0 ? int64_t{cols} : int64_t{cols} - dj;
      if (r1 <= r0 || c1 <= c0) continue;
      // Squared guide differences over that region grown by the patch
      // radius, in extended coordinates (row r of the region is row r of
      // the extended image once the grown margin is counted).
      const int64_t hr = r1 - r0 + 2 * patch, hc = c1 - c0 + 2 * patch;
      for (int64_t y = 0; y < hr; ++y) {
        const uint16_t *a = g + (r0 + y) * ec + c0;
        const uint16_t *b = a + di * ec + dj;
        uint32_t *row = sq + y * hc;
        for (int64_t x = 0; x < hc; ++x) {
          const uint32_t diff = a[x] > b[x] ? a[x] - b[x] : b[x] - a[x];
          row[x] = diff * diff;
        }
      }
      ZqGetIntegGraph_32u(sq, static_cast<int32_t>(hr), static_cast<int32_t>(hc), integ);
      const int64_t is = hc + 1;
      for (int64_t r = r0; r < r1; ++r) {
        const int64_t y = r - r0;
        const uint32_t *top = integ + y * is;
        const uint32_t *bottom = integ + (y + side) * is;
        for (int64_t c = c0; c < c1; ++c) {
          const int64_t x = c - c0;
          const uint32_t dist = bottom[x + side] - top[x + side] - bottom[x] + top[x];
          if (dist > maxDist) continue;
          const uint32_t w =
              static_cast<uint32_t>(g_MagicExp_Table[(dist * 256 + divisor / 2) / divisor]);
          if (w == 0) continue;
          const int64_t p = r * cols + c, q = p + int64_t{di} * cols + dj;
          wsum[p] += w;
          ssum[p] += w * data[q];
          wsum[q] += w;
          ssum[q] += w * data[p];
        }
      }
    }
  }
  for (int64_t i = 0; i < n; ++i) {
    const uint32_t w = wsum[i], s = ssum[i];
    uint32_t v = s;
    if (w > 65536)
      v = (s + w / 512) / (w / 256);
    else if (w != 0)
      v = (w / 2 + s * 256) / w;
    out[i] = static_cast<uint16_t>(v);
  }
  return ZQ_OK;
}

}  // namespace

extern "C" int32_t ZqTextureRepair_v2(const uint16_t *data, const uint16_t *guide, int32_t rows,
                                      int32_t cols, int32_t radius, uint16_t *out) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(data == NULL || guide == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1 || radius < 0, ZQ_ERR_PARAM);
  const int32_t ret = Repair(__func__, data, guide, rows, cols, radius, out, 5);
  if (ret == ZQ_OK) ZQ_TRACE_LEAVE();
  return ret;
}

extern "C" int32_t ZqTextureRepair(const uint16_t *data, const uint16_t *guide, int32_t rows,
                                   int32_t cols, int32_t radius, uint16_t *out) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(data == NULL || guide == NULL || out == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1 || radius < 0, ZQ_ERR_PARAM);
  const int32_t ret = Repair(__func__, data, guide, rows, cols, radius, out, 7);
  if (ret == ZQ_OK) ZQ_TRACE_LEAVE();
  return ret;
}
