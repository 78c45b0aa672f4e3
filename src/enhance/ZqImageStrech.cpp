// Robust contrast bounds and the contrast stretch.
#include "src/enhance/ZqImageStrech.h"

#include <math.h>

#include <algorithm>

#include "src/enhance/ZqEnhanceTrace.h"
#include "src/image/ZqCommon.h"

namespace {

constexpr int kBins = 400;

// Count, minimum and maximum of the valid pixels (minimum and maximum 0
// when there is none).
struct ValidRange {
  int64_t count = 0;
  int64_t mn = 0;
  int64_t mx = 0;
};

ValidRange RangeOf(const int32_t *values, const uint8_t *mask, int64_t n) {
  ValidRange r;
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    if (r.count == 0 || values[i] < r.mn) r.mn = values[i];
    if (r.count == 0 || values[i] > r.mx) r.mx = values[i];
    ++r.count;
  }
  return r;
}

// Bin index of the first bin, walking `order`, whose cumulative weight
// exceeds t, stepped one bin down when t lies nearer the weight before it;
// -2 (no such bin) when none does.
template <typename Order>
int FindCut(const int64_t *bins, int64_t t, Order order) {
  int64_t w = 0;
  for (int j = 0;; ++j) {
    const int i = order(j);
    if (i < 0) return -2;
    const int64_t before = w;
    w += bins[i];
    if (w > t) return t - before < w - t ? i - 1 : i;
  }
}

}  // namespace

extern "C" void ZqGetBoundaryByHist(const int32_t *values, const uint8_t *mask, int32_t rows,
                                    int32_t cols, int32_t *high, int32_t *low) {
  ZQ_TRACE_ENTER();
  if (values == nullptr || mask == nullptr || high == nullptr || low == nullptr || rows < 1 ||
      cols < 1)
    return;
  const int64_t n = int64_t{rows} * cols;
  const ValidRange vr = RangeOf(values, mask, n);
  const int64_t range = vr.mx - vr.mn;
  if (range < 1) {
    *high = *low = static_cast<int32_t>(vr.mn);
    ZQ_TRACE_LEAVE();
    return;
  }
  const int64_t t = vr.count * range / 200;
  int64_t bins[kBins + 1] = {};
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    const int64_t f = (values[i] - vr.mn) * (kBins - 1);
    const int64_t b = f / range, q = f % range;
    bins[b] += range - q;
    bins[b + 1] += q;  // q is 0 for the maximum, whose bin is the last
  }
  const auto bound = [&](int bin) {
    if (bin == -2) return static_cast<int32_t>(vr.mn);
    return static_cast<int32_t>(vr.mn + (bin * range + 200) / (kBins - 1));
  };
  *low = bound(FindCut(bins, t, [](int j) { return j < kBins ? j : -1; }));
  // Downwards from the last bin; bin 0 is never visited.
  *high = bound(FindCut(bins, t, [](int j) { return j < kBins - 1 ? kBins - 1 - j : -1; }));
  ZQ_TRACE_LEAVE();
}

extern "C" void ZqGetBoundaryBySigma(const int32_t *values, const uint8_t *mask, int32_t rows,
                                     int32_t cols, int32_t *high, int32_t *low) {
  ZQ_TRACE_ENTER();
  if (values == nullptr || mask == nullptr || high == nullptr || low == nullptr || rows < 1 ||
      cols < 1)
    return;
  const int64_t n = int64_t{rows} * cols;
  int64_t count = 0, sum = 0;
  uint64_t sumSq = 0;  // wraps in 64 bits instead of overflowing
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    const int64_t v = values[i];
    ++count;
    sum += v;
    sumSq += static_cast<uint64_t>(v * v);
  }
  if (count < 101) {
    *high = *low = 0;
    ZQ_TRACE_LEAVE();
    return;
  }
  const int64_t mean = (sum + count / 2) / count;
  const int64_t q =
      static_cast<int64_t>(sumSq + static_cast<uint64_t>(count / 2)) / count -
      static_cast<int64_t>(static_cast<uint64_t>(mean) * static_cast<uint64_t>(mean));
  const int64_t s = q > 0 ? static_cast<int64_t>(sqrtf(static_cast<float>(q))) : 1;
  *high = static_cast<int32_t>(mean + 3 * s);
  *low = static_cast<int32_t>(mean - 3 * s);
  ZQ_TRACE_LEAVE();
}

extern "C" int32_t ZqImageStrech(int32_t *values, const uint8_t *mask, int32_t rows,
                                 int32_t cols, int32_t top) {
  ZQ_TRACE_ENTER();
  ZQ_CHECK(values == NULL || mask == NULL, ZQ_ERR_PARAM);
  ZQ_CHECK(rows < 1 || cols < 1, ZQ_ERR_PARAM);
  const int64_t n = int64_t{rows} * cols;
  const ValidRange vr = RangeOf(values, mask, n);
  int32_t hh = 0, hl = 0, sh = 0, sl = 0;
  ZqGetBoundaryByHist(values, mask, rows, cols, &hh, &hl);
  ZqGetBoundaryBySigma(values, mask, rows, cols, &sh, &sl);
  const int64_t lo = std::max<int64_t>({hl, sl, vr.mn});
  const int64_t hi = std::min<int64_t>({hh, sh, vr.mx});
  if (lo < hi) {
    // 64-bit products: pixels far outside the bounds (saturated ones) must
    // clamp, not wrap.
    const int64_t span = hi - lo;
    for (int64_t i = 0; i < n; ++i) {
      const int64_t v = ((values[i] - lo) * top + span / 2) / span;
      values[i] = static_cast<int32_t>(v < 0 ? 0 : (v > top ? top : v));
    }
  } else {
    for (int64_t i = 0; i < n; ++i) values[i] = 0;
  }
  ZQ_TRACE_LEAVE();
  return ZQ_OK;
}
