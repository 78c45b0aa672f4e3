// Robust bounds and the 0..255 contrast stretch.
#include "src/enhance/ZqImageStrech255.h"

#include <math.h>

#include <algorithm>

namespace {

constexpr int kBins = 400;

}  // namespace

extern "C" void ZqGetBoundaryByHistInt(const int32_t *values, const uint8_t *mask, int32_t rows,
                                       int32_t cols, int32_t *high, int32_t *low) {
  if (values == nullptr || mask == nullptr || high == nullptr || low == nullptr || rows < 1 ||
      cols < 1)
    return;
  const int64_t n = int64_t{rows} * cols;
  int64_t count = 0, mn = 2147483392, mx = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    ++count;
    mn = std::min<int64_t>(mn, values[i]);
    mx = std::max<int64_t>(mx, values[i]);
  }
  const int64_t range = mx - mn;
  if (count == 0 || range < 1) {
    *high = *low = 0;
    return;
  }
  const int64_t t = count * range * 5 / 1000;
  int64_t bins[kBins + 1] = {};
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    const int64_t f = (values[i] - mn) * (kBins - 1);
    const int64_t b = f / range, q = f % range;
    bins[b] += range - q;
    bins[b + 1] += q;
  }
  const auto bound = [&](int64_t bin) {
    return static_cast<int32_t>(mn + (bin * range + 200) / (kBins - 1));
  };
  // Upwards: the top of the range when no bin passes.
  *low = static_cast<int32_t>(mn + range);
  int64_t w = 0;
  for (int i = 0; i < kBins; ++i) {
    const int64_t before = w;
    w += bins[i];
    if (w > t) {
      *low = bound(t - before < w - t ? i - 1 : i);
      break;
    }
  }
  // Downwards from the last bin; bin 0 is never visited.
  *high = static_cast<int32_t>(mn);
  w = 0;
  for (int k = kBins - 1; k >= 1; --k) {
    const int64_t before = w;
    w += bins[k];
    if (w > t) {
      *high = bound(t - before < w - t ? k - 1 : k);
      break;
    }
  }
}

extern "C" int32_t ZqImageStrech255(int32_t *values, const uint8_t *mask, int32_t rows,
                                    int32_t cols) {
  if (values == nullptr || mask == nullptr || rows < 1 || cols < 1) return -1;
  const int64_t n = int64_t{rows} * cols;
  int64_t mn = 16777216, mx = -16777216, count = 0, sum = 0;
  uint64_t sumSq = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (mask[i] == 0) continue;
    const int64_t v = values[i];
    mn = std::min(mn, v);
    mx = std::max(mx, v);
    ++count;
    sum += v;
    sumSq += static_cast<uint64_t>(v * v);
  }
  int32_t hh = 0, hl = 0;
  ZqGetBoundaryByHistInt(values, mask, rows, cols, &hh, &hl);
  int64_t sh = 0, sl = 0;
  if (count >= 101) {
    const int64_t mean = (sum + count / 2) / count;
    const int64_t q =
        static_cast<int64_t>(sumSq + static_cast<uint64_t>(count / 2)) / count -
        static_cast<int64_t>(static_cast<uint64_t>(mean) * static_cast<uint64_t>(mean));
    const int64_t s = q > 0 ? static_cast<int64_t>(sqrtl(static_cast<long double>(q))) : 1;
    sh = mean + 3 * s;
    sl = mean - 3 * s;
  }
  const int64_t lo = std::max<int64_t>({hl, mn, sl});
  const int64_t hi = std::min<int64_t>({hh, mx, sh});
  if (hi - lo <= 0) {
    for (int64_t i = 0; i < n; ++i) values[i] = 0;
    return -4;
  }
  const int64_t span = hi - lo;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t v = ((values[i] - lo) * 255 + span / 2) / span;
    values[i] = static_cast<int32_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return 0;
}
