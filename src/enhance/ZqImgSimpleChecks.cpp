// Palm, dirt and physical-range checks; see ZqImgSimpleChecks.h.
#include "src/enhance/ZqImgSimpleChecks.h"

#include <math.h>

#include <algorithm>
#include <limits>

#include "src/image/ZqRankFilter.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

namespace {

constexpr int kBlock = 8;
constexpr uint8_t kMarked = 255;

// 255 where the median is below 220, else 0.
void DirtyDarkMark(const uint8_t *median, int64_t n, uint8_t *mark) {
  for (int64_t i = 0; i < n; ++i) mark[i] = median[i] < 220 ? kMarked : 0;
}

}  // namespace

extern "C" int32_t ZqPalmDetect(const uint8_t *image, uint16_t height, uint16_t width) {
  if (image == nullptr) return -1;
  const int64_t n = int64_t{width} * height;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *median = scratch.Take<uint8_t>(n);
  if (median == nullptr) return -2;
  if (ZqMedianFilter(image, width, height, 3, median) != 0) return -2;
  int64_t count = 0;
  for (int64_t i = 0; i < n; ++i) {
    const int d = int{image[i]} - int{median[i]};
    if (d != 0 && d >= -28 && d <= 32) ++count;
  }
  return 0.82 * static_cast<double>(n) > static_cast<double>(count) ? 0 : -3;
}

extern "C" int32_t ZqDirtyDetect(const uint8_t *image, uint16_t width, uint16_t height,
                                 int32_t areaLimit) {
  if (image == nullptr) return -1;
  const uint8_t low = static_cast<uint8_t>(areaLimit);
  const uint8_t limit = low <= 100 ? low : 80;
  const int64_t n = int64_t{width} * height;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *median = scratch.Take<uint8_t>(n);
  uint8_t *mark = scratch.Take<uint8_t>(n);
  if (median == nullptr || mark == nullptr) return -2;
  float *blockMeans = scratch.Take<float>((int64_t{width} / kBlock + 1) * (height / kBlock + 1));

  if (ZqMedianFilter(image, width, height, 1, median) != 0) return -2;
  DirtyDarkMark(median, n, mark);

  int64_t e = 0;
  float f = 0.0f;
  if (blockMeans != nullptr) {
    int64_t darkTotal = 0, blocks = 0;
    for (int64_t by = 0; by < height; by += kBlock) {
      const int64_t bh = std::min<int64_t>(kBlock, height - by);
      for (int64_t bx = 0; bx < width; bx += kBlock) {
        const int64_t bw = std::min<int64_t>(kBlock, width - bx);
        int64_t marked = 0, sum = 0;
        for (int64_t y = by; y < by + bh; ++y)
          for (int64_t x = bx; x < bx + bw; ++x) {
            marked += mark[y * width + x] != 0;
            sum += median[y * width + x];
          }
        const int64_t pixels = bh * bw;
        const bool dark = marked > pixels / 2;
        for (int64_t y = by; y < by + bh; ++y)
          std::fill(mark + y * width + bx, mark + y * width + bx + bw, dark ? kMarked : 0);
        if (!dark) continue;
        darkTotal += pixels;
        blockMeans[blocks++] = static_cast<float>(sum) / static_cast<float>(pixels);
      }
    }
    e = n > 0 ? darkTotal * 100 / n : 0;
    // The block means' mean; an empty set gives NaN, below and above nothing.
    int64_t truncatedSum = 0;
    for (int64_t i = 0; i < blocks; ++i) truncatedSum += static_cast<int64_t>(blockMeans[i]);
    f = blocks > 0 ? static_cast<float>(truncatedSum) / static_cast<float>(blocks)
                   : std::numeric_limits<float>::quiet_NaN();
  }
  if (static_cast<uint8_t>(e) < limit) return 1;

  double sum = 0.0, sumSq = 0.0;
  int64_t count = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (mark[i] == 0) continue;
    const double v = median[i];
    sum += v;
    sumSq += v * v;
    ++count;
  }
  float s = std::numeric_limits<float>::quiet_NaN();
  if (count > 0) {
    const double mean = sum / static_cast<double>(count);
    const double var = sumSq / static_cast<double>(count) - mean * mean;
    s = static_cast<float>(sqrt(std::max(var, 0.0)));
  }
  if (s < 27.0f || s > 100.0f) return 2;
  if (f < 80.0f) return 2;
  return 0;
}

extern "C" int32_t ZqImgPhysicsArea(const uint8_t *image, uint16_t width, uint16_t height) {
  if (image == nullptr) return -1;
  const uint64_t n = uint64_t{width} * height;
  if (n == 0) return 0;
  uint64_t inside = 0;
  for (uint64_t i = 0; i < n; ++i) inside += image[i] >= 11 && image[i] <= 243;
  return static_cast<int32_t>(100 * inside / n);
}
