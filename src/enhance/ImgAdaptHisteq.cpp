// Contrast-limited adaptive histogram equalisation; see ImgAdaptHisteq.h.
#include "src/enhance/ImgAdaptHisteq.h"

#include <math.h>
#include <stddef.h>

#include <algorithm>
#include <array>

#include "src/image/ZqMemoryManager.h"

namespace {

constexpr uint32_t kMaxBins = 256;

// Rounds half away from zero (roundf) to int32.
inline int32_t RoundHalfAway(float v) { return static_cast<int32_t>(roundf(v)); }

// Grey level -> histogram bin. Where the bins cover the grey range at least
// once, (v - lo) x floor(bins / range); with fewer bins than grey levels
// that factor would be 0 and fold every level into bin 0, so the levels
// are shared out proportionally instead (the same bins wherever
// bins / range is whole).
void MakeBinLut(uint8_t lo, uint8_t hi, uint32_t bins, std::array<uint8_t, 256> *lut) {
  lut->fill(0);
  const uint32_t range = static_cast<uint32_t>(hi) - lo + 1;
  for (uint32_t v = lo; v <= hi; ++v) {
    const uint32_t k = v - lo;
    (*lut)[v] = static_cast<uint8_t>(bins >= range ? k * (bins / range) : k * bins / range);
  }
}

// Bins 1 .. bins - 2 become the rounded mean of the three bins around them
// in the unsmoothed histogram; the end bins keep their counts.
void SmoothHistogram(int32_t *hist, uint32_t bins) {
  if (bins < 3) return;
  std::array<int32_t, kMaxBins> copy;
  std::copy(hist, hist + bins, copy.begin());
  for (uint32_t b = 1; b + 1 < bins; ++b) {
    const int64_t sum = static_cast<int64_t>(copy[b - 1]) + copy[b] + copy[b + 1];
    hist[b] = RoundHalfAway(static_cast<float>(sum) * 0.33333334f);
  }
}

// Clipped histogram -> grey mapping: running sum x (hi - lo) / n + lo,
// rounded, at most hi.
void MakeMapping(int32_t *hist, uint32_t bins, uint8_t lo, uint8_t hi, uint32_t n) {
  const float scale = static_cast<float>(hi - lo) / static_cast<float>(n);
  int64_t sum = 0;
  for (uint32_t b = 0; b < bins; ++b) {
    sum += hist[b];
    const int32_t v = RoundHalfAway(static_cast<float>(sum) * scale + static_cast<float>(lo));
    hist[b] = std::min<int32_t>(v, hi);
  }
}

// Blends the four tile mappings over one sub-block of X x Y pixels whose
// top-left pixel is `first` (row length `stride`).
void InterpolateBlock(uint8_t *first, uint32_t stride, const int32_t *ul, const int32_t *ur,
                      const int32_t *ll, const int32_t *lr, uint32_t X, uint32_t Y,
                      const std::array<uint8_t, 256> &lut) {
  const float area = static_cast<float>(static_cast<uint64_t>(X) * Y);
  for (uint32_t y = 0; y < Y; ++y) {
    uint8_t *row = first + static_cast<size_t>(y) * stride;
    for (uint32_t x = 0; x < X; ++x) {
      const uint8_t g = lut[row[x]];
      const int64_t top = static_cast<int64_t>(X - x) * ul[g] + static_cast<int64_t>(x) * ur[g];
      const int64_t bottom = static_cast<int64_t>(X - x) * ll[g] + static_cast<int64_t>(x) * lr[g];
      const int64_t num = static_cast<int64_t>(Y - y) * top + static_cast<int64_t>(y) * bottom;
      row[x] = static_cast<uint8_t>(RoundHalfAway(static_cast<float>(num) / area));
    }
  }
}

// Side of sub-block i of count + 1 along a side cut into count tiles of
// `tile` pixels: half tiles at both ends, the last one taking the odd pixel
// of an odd tile side so that the image is covered.
uint32_t SubBlockSide(uint32_t i, uint32_t count, uint32_t tile) {
  if (i == 0) return tile / 2;
  if (i == count) return tile - tile / 2;
  return tile;
}

}  // namespace

namespace zq {

void AdaptHisteqClip(int32_t *hist, int32_t bins, int32_t clipCount) {
  int64_t excess = 0;
  for (int32_t b = 0; b < bins; ++b) {
    if (hist[b] > clipCount) excess += hist[b] - clipCount;
  }
  const int64_t incr = excess / bins;
  const int64_t upper = clipCount - incr;
  for (int32_t b = 0; b < bins; ++b) {
    if (hist[b] > clipCount) {
      hist[b] = clipCount;
    } else if (hist[b] > upper) {
      excess -= clipCount - hist[b];
      hist[b] = clipCount;
    } else {
      hist[b] += static_cast<int32_t>(incr);
      excess -= incr;
    }
  }
  while (excess > 0) {
    const int64_t before = excess;
    for (int32_t start = 0; start < bins && excess > 0; ++start) {
      const int64_t step = std::max<int64_t>(bins / excess, 1);
      for (int64_t b = start; b < bins && excess > 0; b += step) {
        if (hist[b] < clipCount) {
          ++hist[b];
          --excess;
        }
      }
    }
    if (excess == before) {
      // Every bin is full (the smoothing raised the total above
      // bins x clipCount): spread the rest evenly rather than loop forever.
      const int64_t share = excess / bins, odd = excess % bins;
      for (int32_t b = 0; b < bins; ++b) {
        hist[b] += static_cast<int32_t>(share + (b < odd ? 1 : 0));
      }
      excess = 0;
    }
  }
}

}  // namespace zq

extern "C" int32_t ImgAdaptHisteq(uint8_t *image, uint32_t width, uint32_t height, uint8_t lo,
                                  uint8_t hi, uint32_t tilesX, float clip, uint32_t tilesY,
                                  uint32_t bins) {
  if (image == nullptr || width < 1 || height < 1 || width > 65535 || height > 65535) return -1;
  if (tilesX <= 1 || tilesY <= 1 || width % tilesX != 0 || height % tilesY != 0) return -1;
  if (!(clip >= 0.0f && clip < 1.0f) || lo > hi || bins > kMaxBins) return -1;
  if (bins == 0) bins = kMaxBins;

  const uint64_t mapBytes = static_cast<uint64_t>(tilesX) * tilesY * bins * sizeof(int32_t);
  if (mapBytes > static_cast<uint64_t>(INT32_MAX)) return -2;
  int32_t *maps = static_cast<int32_t *>(ZqSafeAlloc(static_cast<int32_t>(mapBytes)));
  if (maps == nullptr) return -2;

  const uint32_t tw = width / tilesX, th = height / tilesY;
  const uint32_t n = tw * th;
  const uint32_t m = (n + bins - 1) / bins;
  const int32_t clipCount =
      static_cast<int32_t>(m) + RoundHalfAway(static_cast<float>(n - m) * clip);

  std::array<uint8_t, 256> lut;
  MakeBinLut(lo, hi, bins, &lut);

  for (uint32_t ty = 0; ty < tilesY; ++ty) {
    for (uint32_t tx = 0; tx < tilesX; ++tx) {
      int32_t *hist = maps + (static_cast<size_t>(ty) * tilesX + tx) * bins;
      for (uint32_t y = 0; y < th; ++y) {
        const uint8_t *row = image + (static_cast<size_t>(ty) * th + y) * width + tx * tw;
        for (uint32_t x = 0; x < tw; ++x) ++hist[lut[row[x]]];
      }
      SmoothHistogram(hist, bins);
      zq::AdaptHisteqClip(hist, static_cast<int32_t>(bins), clipCount);
      MakeMapping(hist, bins, lo, hi, n);
    }
  }

  auto mapOf = [&](uint32_t ty, uint32_t tx) {
    return maps + (static_cast<size_t>(ty) * tilesX + tx) * bins;
  };
  uint32_t top = 0;
  for (uint32_t i = 0; i <= tilesY; ++i) {
    const uint32_t Y = SubBlockSide(i, tilesY, th);
    const uint32_t yU = i == 0 ? 0 : i - 1, yD = std::min(i, tilesY - 1);
    uint32_t left = 0;
    for (uint32_t j = 0; j <= tilesX; ++j) {
      const uint32_t X = SubBlockSide(j, tilesX, tw);
      const uint32_t xL = j == 0 ? 0 : j - 1, xR = std::min(j, tilesX - 1);
      if (X > 0 && Y > 0) {
        InterpolateBlock(image + static_cast<size_t>(top) * width + left, width, mapOf(yU, xL),
                         mapOf(yU, xR), mapOf(yD, xL), mapOf(yD, xR), X, Y, lut);
      }
      left += X;
    }
    top += Y;
  }
  ZqSafeFree(maps);
  return 0;
}
