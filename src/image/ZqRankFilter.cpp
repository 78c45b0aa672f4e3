#include "src/image/ZqRankFilter.h"

#include <algorithm>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqLanes.h"
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

// 3 x 3 median of each output row from a reflect-101 padded copy (pw =
// width + 2): each padded column's three pixels sorted, then the median of
// the largest minimum, the middle median and the smallest maximum of the
// three columns under the window.
void Median3x3(const uint8_t *padded, int64_t pw, int32_t width, int32_t height, uint8_t *lo,
               uint8_t *mid, uint8_t *hi, uint8_t *dst) {
  using zq::Max;
  using zq::Min;
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t *a = padded + int64_t{i} * pw;
    zq::ForLanes(pw, [&](int64_t x, auto kind) {
      using V = decltype(kind);
      V p = zq::LoadAs<V>(a + x), q = zq::LoadAs<V>(a + pw + x), r = zq::LoadAs<V>(a + 2 * pw + x);
      zq::SortPair(p, q);
      zq::SortPair(q, r);
      zq::SortPair(p, q);
      zq::StoreAs(lo + x, p);
      zq::StoreAs(mid + x, q);
      zq::StoreAs(hi + x, r);
    });
    uint8_t *out = dst + int64_t{i} * width;
    zq::ForLanes(width, [&](int64_t x, auto kind) {
      using V = decltype(kind);
      auto med3 = [](V u, V v, V w) { return Max(Min(u, v), Min(Max(u, v), w)); };
      const V l = Max(Max(zq::LoadAs<V>(lo + x), zq::LoadAs<V>(lo + x + 1)), zq::LoadAs<V>(lo + x + 2));
      const V h = Min(Min(zq::LoadAs<V>(hi + x), zq::LoadAs<V>(hi + x + 1)), zq::LoadAs<V>(hi + x + 2));
      const V m = med3(zq::LoadAs<V>(mid + x), zq::LoadAs<V>(mid + x + 1), zq::LoadAs<V>(mid + x + 2));
      zq::StoreAs(out + x, med3(l, m, h));
    });
  }
}

// 5 x 5 median from a reflect-101 padded copy (pw = width + 4). Each padded
// column's five pixels are sorted (sorted[k] holds rank k). Under a window
// the 5 x 5 ranks sorted again across the columns form a table sorted both
// ways, in which only 13 entries can be the median: the two largest of
// rank 0, the three largest of rank 1, the middle three of rank 2, the
// three smallest of rank 3 and the two smallest of rank 4. Six entries lie
// below them and six above, so the median is the 7th of those 13.
void Median5x5(const uint8_t *padded, int64_t pw, int32_t width, int32_t height,
               uint8_t *const sorted[5], uint8_t *dst) {
  using zq::Max;
  using zq::Min;
  using zq::SortPair;
  for (int32_t i = 0; i < height; ++i) {
    const uint8_t *a = padded + int64_t{i} * pw;
    zq::ForLanes(pw, [&](int64_t x, auto kind) {
      using V = decltype(kind);
      V v[5];
      for (int k = 0; k < 5; ++k) v[k] = zq::LoadAs<V>(a + k * pw + x);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); SortPair(v[1], v[3]);
      SortPair(v[1], v[2]); SortPair(v[0], v[4]); SortPair(v[2], v[4]); SortPair(v[1], v[2]);
      SortPair(v[3], v[4]);
      for (int k = 0; k < 5; ++k) zq::StoreAs(sorted[k] + x, v[k]);
    });
    uint8_t *out = dst + int64_t{i} * width;
    zq::ForLanes(width, [&](int64_t x, auto kind) {
      using V = decltype(kind);
      V c[13], v[5];
      auto load = [&](int k) {
        for (int j = 0; j < 5; ++j) v[j] = zq::LoadAs<V>(sorted[k] + x + j);
      };
      // Rank 0: the two largest.
      load(0);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); SortPair(v[1], v[3]);
      v[2] = Max(v[1], v[2]); v[4] = Max(v[0], v[4]); v[4] = Max(v[2], v[4]); SortPair(v[3], v[4]);
      c[0] = v[3], c[1] = v[4];
      // Rank 1: the three largest.
      load(1);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); SortPair(v[1], v[3]);
      SortPair(v[1], v[2]); v[4] = Max(v[0], v[4]); SortPair(v[2], v[4]); v[2] = Max(v[1], v[2]);
      SortPair(v[3], v[4]);
      c[2] = v[2], c[3] = v[3], c[4] = v[4];
      // Rank 2: the middle three.
      load(2);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); SortPair(v[1], v[3]);
      SortPair(v[1], v[2]); v[4] = Max(v[0], v[4]); SortPair(v[2], v[4]); SortPair(v[1], v[2]);
      v[3] = Min(v[3], v[4]);
      c[5] = v[1], c[6] = v[2], c[7] = v[3];
      // Rank 3: the three smallest.
      load(3);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); v[1] = Min(v[1], v[3]);
      SortPair(v[1], v[2]); SortPair(v[0], v[4]); v[2] = Min(v[2], v[4]); SortPair(v[1], v[2]);
      c[8] = v[0], c[9] = v[1], c[10] = v[2];
      // Rank 4: the two smallest.
      load(4);
      SortPair(v[0], v[1]); SortPair(v[2], v[3]); SortPair(v[0], v[2]); v[1] = Min(v[1], v[3]);
      SortPair(v[1], v[2]); SortPair(v[0], v[4]); v[2] = Min(v[2], v[4]); v[1] = Min(v[1], v[2]);
      c[11] = v[0], c[12] = v[1];
      // The 7th of 13: an odd-even merge network cut down to that output.
      SortPair(c[0], c[1]); SortPair(c[2], c[3]); SortPair(c[4], c[5]); SortPair(c[6], c[7]);
      SortPair(c[8], c[9]); SortPair(c[10], c[11]); SortPair(c[0], c[2]); SortPair(c[1], c[3]);
      SortPair(c[4], c[6]); SortPair(c[5], c[7]); SortPair(c[8], c[10]); SortPair(c[9], c[11]);
      SortPair(c[1], c[2]); SortPair(c[5], c[6]); SortPair(c[9], c[10]); SortPair(c[0], c[4]);
      SortPair(c[1], c[5]); SortPair(c[2], c[6]); c[3] = Min(c[3], c[7]); SortPair(c[8], c[12]);
      SortPair(c[2], c[4]); SortPair(c[3], c[5]); SortPair(c[10], c[12]); SortPair(c[1], c[2]);
      SortPair(c[3], c[4]); SortPair(c[5], c[6]); SortPair(c[9], c[10]); SortPair(c[11], c[12]);
      c[8] = Max(c[0], c[8]); c[9] = Max(c[1], c[9]); c[10] = Max(c[2], c[10]);
      c[3] = Min(c[3], c[11]); c[4] = Min(c[4], c[12]); c[8] = Max(c[4], c[8]);
      c[5] = Min(c[5], c[9]); c[6] = Min(c[6], c[10]); c[5] = Max(c[3], c[5]);
      c[6] = Min(c[6], c[8]); c[6] = Max(c[5], c[6]);
      zq::StoreAs(out + x, c[6]);
    });
  }
}

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
  if (padded == nullptr) return ZQ_ERR_ALLOC;
  if (r == 1 || r == 2) {
    // Small windows: sorting networks over sixteen pixels at a time.
    uint8_t *rank[5] = {};
    for (int32_t k = 0; k < win; ++k)
      if ((rank[k] = scratch.Take<uint8_t>(pw)) == nullptr) return ZQ_ERR_ALLOC;
    if (ImgFilledByMirror(src, height, width, r, padded) != ZQ_OK) return ZQ_ERR_STEP;
    if (r == 1) Median3x3(padded, pw, width, height, rank[0], rank[1], rank[2], dst);
    else Median5x5(padded, pw, width, height, rank, dst);
    return ZQ_OK;
  }
  RunningMedian *column = scratch.Take<RunningMedian>(1);  // window at the row start
  RunningMedian *slide = scratch.Take<RunningMedian>(1);   // window moving along the row
  if (column == nullptr || slide == nullptr) return ZQ_ERR_ALLOC;
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
