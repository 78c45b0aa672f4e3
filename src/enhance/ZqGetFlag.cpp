// Flag masks; see ZqGetFlag.h.
#include "src/enhance/ZqGetFlag.h"

#include <string.h>

#include <algorithm>

#include "src/enhance/ZqMeanImage.h"
#include "src/image/ZqScratch.h"

namespace {

constexpr int kHistBins = 256;

// Sum of T over k - 3 .. k + 3 clipped to the histogram.
float WindowSum(const float *T, int k) {
  float s = 0.0f;
  for (int i = std::max(k - 3, 0); i <= std::min(k + 3, GETFLAG_BINS - 1); ++i) s += T[i];
  return s;
}

// The run rule: the first k of the walk whose window sum is not below d
// after more than five that were; -1 when there is none.
template <typename Step>
int FindValley(const float *T, int start, float d, Step step) {
  int run = 0;
  for (int k = start; k >= 0 && k < GETFLAG_BINS; k = step(k)) {
    if (WindowSum(T, k) < d) {
      ++run;
    } else if (run > 5) {
      return k;
    } else {
      run = 0;
    }
  }
  return -1;
}

float Sum(const float *T, int from, int to) {
  float s = 0.0f;
  for (int i = from; i <= to; ++i) s += T[i];
  return s;
}

// T from H (offset 5 for flagA, 0 for flagB), smoothed; returns the peak.
int TakeT(const float *H, int offset, float *T) {
  for (int k = 0; k < GETFLAG_BINS; ++k) T[k] = H[k + offset];
  GetFlagSmooth5(T, GETFLAG_BINS);
  return static_cast<int>(std::max_element(T, T + GETFLAG_BINS) - T);
}

// Sets mask pixels equal to `from` to 1 - from where keep(density of
// before) is false, the densities read from before.
template <typename Rule>
void CleanPass(const uint8_t *before, int32_t rows, int32_t cols, uint8_t from, Rule change,
               uint8_t *mask) {
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < cols; ++x) {
      const int64_t i = int64_t{y} * cols + x;
      if (before[i] == from && change(GetFlagWindowMean(before, rows, cols, y, x)))
        mask[i] = static_cast<uint8_t>(1 - from);
    }
}

}  // namespace

extern "C" float GetFlagWindowMean(const uint8_t *mask, int32_t rows, int32_t cols, int32_t y,
                                   int32_t x) {
  if (mask == nullptr) return 0.0f;
  const int32_t y0 = std::max(y - 2, 0), y1 = std::min(y + 2, rows - 1);
  const int32_t x0 = std::max(x - 2, 0), x1 = std::min(x + 2, cols - 1);
  if (y0 > y1 || x0 > x1) return 0.0f;
  int32_t sum = 0;
  for (int32_t r = y0; r <= y1; ++r)
    for (int32_t c = x0; c <= x1; ++c) sum += mask[int64_t{r} * cols + c];
  return static_cast<float>(sum) / static_cast<float>((y1 - y0 + 1) * (x1 - x0 + 1));
}

extern "C" void GetFlagHistogram(const uint8_t *s, int64_t n, int32_t range, float *hist) {
  for (int i = 0; i < kHistBins; ++i) hist[i] = 0.0f;
  const float scale = static_cast<float>(255.0 / (range + 0.000001));
  for (int64_t i = 0; i < n; ++i) {
    const int bin = static_cast<int>(static_cast<float>(s[i]) * scale);
    hist[std::clamp(bin, 0, kHistBins - 1)] += 1.0f;
  }
}

extern "C" void GetFlagSmooth5(float *hist, int32_t bins) {
  float prev[kHistBins];
  for (int pass = 0; pass < 3; ++pass) {
    memcpy(prev, hist, sizeof(float) * bins);
    for (int i = 0; i < bins; ++i) {
      const int from = std::max(i - 2, 0), to = std::min(i + 2, bins - 1);
      float s = 0.0f;
      for (int j = from; j <= to; ++j) s += prev[j];
      hist[i] = s / static_cast<float>(to - from + 1);
    }
  }
}

extern "C" int32_t GetFlagDarkEdge(const float *T, int32_t peak) {
  const float lo = Sum(T, 0, 74), hi = Sum(T, 75, GETFLAG_BINS - 1);
  int start = 10;
  float d = 70.0f;
  if (static_cast<double>(lo) > 0.8 * static_cast<double>(hi)) {
    start = 85;
    d = static_cast<float>(lo * 84 / (hi + 0.000001));
  }
  const int k = FindValley(T, start, d, [](int i) { return i + 1; });
  return k >= 0 && k <= peak && k <= 200 ? k + 5 : 5;
}

extern "C" int32_t GetFlagBrightThreshold(const float *T, int32_t peak, int32_t range) {
  const float lo = Sum(T, 0, 179), hi = Sum(T, 180, GETFLAG_BINS - 1);
  int start = 240;
  float d = 70.0f;
  if (static_cast<double>(hi) > 0.8 * static_cast<double>(lo)) {
    start = 170;
    d = static_cast<float>(lo * 84 / (hi + 0.000001));
  }
  const int k = FindValley(T, start, d, [](int i) { return i - 1; });
  if (k >= 0 && k >= peak && k >= 50) {
    const int32_t u = k > 235 ? 250 : k + 15;
    return static_cast<int32_t>(static_cast<float>(u * range) / 250.0f);
  }
  return static_cast<int32_t>(static_cast<float>(range * 250) / 255.0f);
}

extern "C" void GetFlagCleanA(uint8_t *mask, int32_t rows, int32_t cols, uint8_t *work) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  memcpy(work, mask, n);
  CleanPass(work, rows, cols, 0, [](float d) { return d >= 0.5f; }, mask);
  memcpy(work, mask, n);
  CleanPass(work, rows, cols, 1, [](float d) { return d < 0.4f; }, mask);
}

extern "C" void GetFlagCleanB(uint8_t *mask, int32_t rows, int32_t cols, uint8_t *work) {
  const size_t n = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  memcpy(work, mask, n);
  CleanPass(work, rows, cols, 1, [](float d) { return d <= 0.6f; }, mask);
  memcpy(work, mask, n);
  CleanPass(work, rows, cols, 0, [](float d) { return d > 0.5f; }, mask);
}

extern "C" int32_t ZqGetFlag(const uint8_t *image, int32_t rows, int32_t cols, uint8_t *flagA,
                             uint8_t *flagB) {
  if (image == nullptr || flagA == nullptr || flagB == nullptr || rows <= 0 || cols <= 0)
    return -1;
  const int64_t n = int64_t{rows} * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *s = scratch.Take<uint8_t>(n);
  uint8_t *before = scratch.Take<uint8_t>(n);
  if (s == nullptr || before == nullptr) return -2;
  if (ZqMeanImage(image, rows, cols, 1, s) != 0) return -2;

  const uint8_t minM = *std::min_element(s, s + n);
  for (int64_t i = 0; i < n; ++i) s[i] = static_cast<uint8_t>(s[i] - minM);
  const int32_t range = *std::max_element(s, s + n);

  float H[kHistBins], T[GETFLAG_BINS];
  GetFlagHistogram(s, n, range, H);
  GetFlagSmooth5(H, kHistBins);

  // flagA: not dark.
  int peak = TakeT(H, 5, T);
  const int32_t e = GetFlagDarkEdge(T, peak);
  const int32_t tA = static_cast<int32_t>(static_cast<float>(e * range) / 250.0f);
  for (int64_t i = 0; i < n; ++i) flagA[i] = s[i] >= tA;
  GetFlagCleanA(flagA, rows, cols, before);

  // flagB: not bright.
  peak = TakeT(H, 0, T);
  const int32_t tB = GetFlagBrightThreshold(T, peak, range);
  for (int64_t i = 0; i < n; ++i) flagB[i] = s[i] <= tB;
  GetFlagCleanB(flagB, rows, cols, before);
  return 0;
}
