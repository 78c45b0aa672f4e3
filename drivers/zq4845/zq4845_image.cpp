#include "drivers/zq4845/zq4845_image.h"

#include <algorithm>
#include <cstring>

#include "base/bq_util.h"

namespace {

constexpr int kBins = 256;
// Bins kept after the first smoothing, and the head/tail boundary.
constexpr int kKept = 250;
constexpr int kHeadEnd = 200;
// Run of low positions that ends the walk.
constexpr int kMinRun = 5;
constexpr double kEpsilon = 0.000001;

// Sum of values[max(p - 2, 0) .. min(p + 2, limit)].
double WindowSum(const float *values, int p, int limit) {
  double s = 0;
  for (int i = std::max(p - 2, 0); i <= std::min(p + 2, limit); ++i) s += values[i];
  return s;
}

}  // namespace

extern "C" void zq4845_smooth5(float *v, unsigned count) {
  if (v == nullptr || count == 0) return;
  auto *in = static_cast<float *>(bq_malloc(count * sizeof(float)));
  if (in == nullptr) return;
  std::memcpy(in, v, count * sizeof(float));
  for (unsigned k = 0; k < count; ++k) {
    const unsigned lo = k >= 2 ? k - 2 : 0;
    const unsigned hi = std::min(count - 1, k + 2);
    float sum = 0;
    for (unsigned i = lo; i <= hi; ++i) sum += in[i];
    v[k] = sum / static_cast<float>(hi - lo + 1);
  }
  bq_free(in);
}

extern "C" void zq4845_normalize_contrast(const int16_t *samples, unsigned cols, unsigned rows,
                                          uint8_t *img) {
  if (samples == nullptr || img == nullptr) return;
  const size_t n = static_cast<size_t>(cols) * rows;
  if (n == 0) return;

  // Negated and shifted: v = max - sample, in int32 (the negation of -32768
  // does not fit an int16). m = 0, M = max - min.
  const int32_t top = *std::max_element(samples, samples + n);
  const int32_t bottom = *std::min_element(samples, samples + n);
  const int32_t big_m = top - bottom;
  auto value = [&](size_t k) { return top - static_cast<int32_t>(samples[k]); };

  float hist[kBins] = {};
  const double span = big_m + kEpsilon;
  for (size_t k = 0; k < n; ++k) {
    int bin = static_cast<int>(256.0 * value(k) / span);
    hist[std::min(bin, kBins - 1)] += 1.0f;
  }
  for (int i = 0; i < 3; ++i) zq4845_smooth5(hist, kBins);
  for (int i = 0; i < 2; ++i) zq4845_smooth5(hist, kKept);

  double head = 0;
  double tail = 0;
  for (int i = 0; i < kHeadEnd; ++i) head += hist[i];
  for (int i = kHeadEnd; i < kKept; ++i) tail += hist[i];

  int limit = kKept;
  double level = 75;
  int p = 240;
  if (tail > 0.8 * head) {
    limit = kHeadEnd;
    level = head * 100 / tail;
    p = 190;
  }
  int run = 0;
  for (;; --p) {
    if (p < 0) {
      p = limit;
      break;
    }
    const double s = WindowSum(hist, p, limit);
    if (level > s) {
      ++run;
      continue;
    }
    if (run > kMinRun) {
      if (p <= 49) p = kKept;
      break;
    }
    run = 0;
  }

  int t = p;
  if (limit == kKept) t = std::min(p + 30, kKept);
  const int32_t big_t = static_cast<int32_t>(static_cast<int64_t>(t) * big_m / kKept);
  const double range = big_t + kEpsilon;
  for (size_t k = 0; k < n; ++k) {
    const double q = 255.0 * value(k) / range;
    img[k] = q >= 255.0 ? 255 : static_cast<uint8_t>(q);
  }
}

extern "C" int zq4845_match_hook(int) { return 0; }

extern "C" int zq4845_reserved_stub(void) { return 0; }
