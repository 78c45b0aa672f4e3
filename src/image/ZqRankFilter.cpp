#include "src/image/ZqRankFilter.h"

#include <algorithm>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

using zq::ScratchSource;
using zq::ScratchStack;

extern "C" int32_t ZqGetMaxMin16(const uint16_t *src, int32_t rows, int32_t cols, int32_t r,
                                 uint16_t *minOut, uint16_t *maxOut) {
  if (src == nullptr || minOut == nullptr || maxOut == nullptr || rows < 1 || cols < 1 || r < 0)
    return ZQ_ERR_PARAM;
  const int64_t n = int64_t{rows} * cols;
  ScratchStack scratch(ScratchSource::kHeap);
  uint16_t *hmin = scratch.Take<uint16_t>(n);
  uint16_t *hmax = scratch.Take<uint16_t>(n);
  if (hmin == nullptr || hmax == nullptr) return ZQ_ERR_PARAM;
  for (int32_t i = 0; i < rows; ++i) {
    const uint16_t *in = src + int64_t{i} * cols;
    for (int32_t j = 0; j < cols; ++j) {
      int32_t lo = std::max(0, j - r), hi = static_cast<int32_t>(std::min<int64_t>(cols - 1, int64_t{j} + r));
      uint16_t mn = in[lo], mx = in[lo];
      for (int32_t t = lo + 1; t <= hi; ++t) {
        mn = std::min(mn, in[t]);
        mx = std::max(mx, in[t]);
      }
      hmin[int64_t{i} * cols + j] = mn;
      hmax[int64_t{i} * cols + j] = mx;
    }
  }
  for (int32_t i = 0; i < rows; ++i) {
    int32_t lo = std::max(0, i - r), hi = static_cast<int32_t>(std::min<int64_t>(rows - 1, int64_t{i} + r));
    for (int32_t j = 0; j < cols; ++j) {
      uint16_t mn = hmin[int64_t{lo} * cols + j], mx = hmax[int64_t{lo} * cols + j];
      for (int32_t t = lo + 1; t <= hi; ++t) {
        mn = std::min(mn, hmin[int64_t{t} * cols + j]);
        mx = std::max(mx, hmax[int64_t{t} * cols + j]);
      }
      minOut[int64_t{i} * cols + j] = mn;
      maxOut[int64_t{i} * cols + j] = mx;
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqBoxMinMaxFilter_u8(const uint8_t *src, int32_t width, int32_t height,
                                        int32_t rx, int32_t ry, uint8_t *maxOut,
                                        uint8_t *minOut) {
  if (src == nullptr || width < 1 || height < 1 || rx < 0 || ry < 0) return ZQ_ERR_PARAM;
  const int64_t pw = int64_t{width} + 2 * int64_t{rx};
  const int64_t ph = int64_t{height} + 2 * int64_t{ry};
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  if (padded == nullptr) return ZQ_ERR_PARAM;
  ZqMirrorFill_u8(src, height, width, ry, rx, padded);
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      uint8_t mn = 255, mx = 0;
      for (int64_t y = i; y <= i + 2 * int64_t{ry}; ++y)
        for (int64_t x = j; x <= j + 2 * int64_t{rx}; ++x) {
          uint8_t v = padded[y * pw + x];
          mn = std::min(mn, v);
          mx = std::max(mx, v);
        }
      if (maxOut != nullptr) maxOut[int64_t{i} * width + j] = mx;
      if (minOut != nullptr) minOut[int64_t{i} * width + j] = mn;
    }
  }
  return ZQ_OK;
}

extern "C" int32_t ZqShellSort(int32_t *values, int32_t n) {
  if (values == nullptr) return n > 0 ? ZQ_ERR_PARAM : ZQ_OK;
  for (int32_t gap = n / 2; gap > 0; gap /= 2)
    for (int32_t i = gap; i < n; ++i)
      for (int32_t j = i - gap; j >= 0 && values[j] > values[j + gap]; j -= gap)
        std::swap(values[j], values[j + gap]);
  return ZQ_OK;
}

extern "C" int32_t ZqMedianCrossFilter(const uint8_t *src, uint16_t width, int32_t height,
                                       uint8_t *dst) {
  // The opposite-neighbour rule needs two pixels in each direction.
  if (src == nullptr || dst == nullptr || width < 2 || height < 2) return ZQ_ERR_PARAM;
  const int64_t w = width;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t *row = src + y * w;
    const uint8_t *up = y > 0 ? row - w : row + w;
    const uint8_t *down = y < height - 1 ? row + w : row - w;
    for (int64_t x = 0; x < w; ++x) {
      int64_t left = x > 0 ? x - 1 : x + 1;
      int64_t right = x < w - 1 ? x + 1 : x - 1;
      int32_t v[5] = {row[x], up[x], down[x], row[left], row[right]};
      ZqShellSort(v, 5);
      dst[y * w + x] = static_cast<uint8_t>(v[2]);
    }
  }
  return ZQ_OK;
}

namespace {

// Running median of a window histogram: m is the median and below the
// number of window values under m.
struct RunningMedian {
  int32_t hist[256];
  int32_t m;
  int32_t below;
  int32_t rank;  // the median's rank, 1-based

  void Seek() {
    while (m > 0 && below >= rank) below -= hist[--m];
    while (below + hist[m] < rank) below += hist[m++];
  }
  void Add(uint8_t v) {
    ++hist[v];
    if (v < m) ++below;
  }
  void Remove(uint8_t v) {
    --hist[v];
    if (v < m) --below;
  }
};

}  // namespace

extern "C" int32_t ZqMedianFilter(const uint8_t *src, uint16_t width, uint16_t height,
                                  uint16_t r, uint8_t *dst) {
  if (src == nullptr || dst == nullptr) return ZQ_ERR_STEP;
  if (width == 0 || height == 0) return ZQ_OK;
  const int64_t pw = int64_t{width} + 2 * int64_t{r};
  const int64_t ph = int64_t{height} + 2 * int64_t{r};
  const int32_t win = 2 * r + 1;
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  RunningMedian *column = scratch.Take<RunningMedian>(1);  // window at the row start
  RunningMedian *slide = scratch.Take<RunningMedian>(1);   // window moving along the row
  if (padded == nullptr || column == nullptr || slide == nullptr) return ZQ_ERR_ALLOC;
  if (ImgFilledByMirror(src, height, width, r, padded) != ZQ_OK) return ZQ_ERR_STEP;
  column->rank = static_cast<int32_t>((int64_t{win} * win) / 2 + 1);
  for (int32_t y = 0; y < win; ++y)
    for (int32_t x = 0; x < win; ++x) column->Add(padded[y * pw + x]);
  column->Seek();
  for (int32_t i = 0; i < height; ++i) {
    if (i > 0) {
      const uint8_t *leave = padded + (int64_t{i} - 1) * pw;
      const uint8_t *enter = padded + (int64_t{i} + win - 1) * pw;
      for (int32_t x = 0; x < win; ++x) {
        column->Remove(leave[x]);
        column->Add(enter[x]);
      }
      column->Seek();
    }
    *slide = *column;
    uint8_t *out = dst + int64_t{i} * width;
    out[0] = static_cast<uint8_t>(slide->m);
    for (int32_t j = 1; j < width; ++j) {
      for (int32_t y = 0; y < win; ++y) {
        const uint8_t *row = padded + (int64_t{i} + y) * pw;
        slide->Remove(row[j - 1]);
        slide->Add(row[j + win - 1]);
      }
      slide->Seek();
      out[j] = static_cast<uint8_t>(slide->m);
    }
  }
  return ZQ_OK;
}
