#include "src/image/ZqBoxMean.h"

#include <algorithm>

#include "src/image/ZqBorderFill.h"
#include "src/image/ZqBoxSums8u.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"

namespace {

using zq::ScratchSource;
using zq::ScratchStack;

// The padding fill that turns each pixel type into int32.
int32_t PadToInt(const int32_t *src, int32_t h, int32_t w, int32_t b, int32_t a, int32_t *dst) {
  return ZqMirrorFill_int(src, h, w, b, a, dst);
}
int32_t PadToInt(const uint8_t *src, int32_t h, int32_t w, int32_t b, int32_t a, int32_t *dst) {
  return ZqMirrorFill_int2(src, h, w, b, a, dst);
}
int32_t PadToInt(const uint16_t *src, int32_t h, int32_t w, int32_t b, int32_t a, int32_t *dst) {
  return ZqMirrorFillShort2Int(src, h, w, b, a, dst);
}

// The window sum as the pixel type sees it: signed for int32 images,
// unsigned for 8-bit and 16-bit ones.
float SumAsFloat(uint32_t s, const int32_t *) { return static_cast<float>(static_cast<int32_t>(s)); }
float SumAsFloat(uint32_t s, const uint8_t *) { return static_cast<float>(s); }
float SumAsFloat(uint32_t s, const uint16_t *) { return static_cast<float>(s); }

template <typename Pixel>
int32_t LimitTo(int32_t v) {
  if constexpr (sizeof(Pixel) == 4) {
    return v;
  } else {
    constexpr int32_t kMax = sizeof(Pixel) == 1 ? 255 : 65535;
    return std::clamp(v, 0, kMax);
  }
}

template <typename Pixel>
int32_t IntegralBox(const Pixel *src, int32_t width, int32_t height, int32_t a, int32_t b,
                    Pixel *dst) {
  if (src == nullptr || dst == nullptr || width < 1 || height < 1 || a < 0 || b < 0)
    return ZQ_ERR_PARAM;
  const int64_t pw = int64_t{width} + 2 * int64_t{a};
  const int64_t ph = int64_t{height} + 2 * int64_t{b};
  ScratchStack scratch(ScratchSource::kHeap);
  int32_t *padded = scratch.Take<int32_t>(pw * ph);
  int32_t *integral = scratch.Take<int32_t>((pw + 1) * (ph + 1));
  // These filters report a refused block as -1, like a bad argument.
  if (padded == nullptr || integral == nullptr || pw > INT32_MAX || ph > INT32_MAX)
    return ZQ_ERR_PARAM;
  PadToInt(src, height, width, b, a, padded);
  BaseImageIntergrater(padded, static_cast<int32_t>(pw), static_cast<int32_t>(ph), integral);
  const int64_t stride = pw + 1;
  auto at = [&](int64_t y, int64_t x) { return static_cast<uint32_t>(integral[y * stride + x]); };
  const float area = static_cast<float>((2 * int64_t{a} + 1) * (2 * int64_t{b} + 1));
  for (int32_t i = 0; i < height; ++i) {
    for (int32_t j = 0; j < width; ++j) {
      // Padded rows i..i + 2b and columns j..j + 2a.
      const int64_t y1 = i + 2 * int64_t{b}, x1 = j + 2 * int64_t{a};
      uint32_t s = at(y1 + 1, x1 + 1) + at(i, j) - at(i, x1 + 1) - at(y1 + 1, j);
      int32_t v = static_cast<int32_t>(SumAsFloat(s, src) / area + 0.5f);
      dst[int64_t{i} * width + j] = static_cast<Pixel>(LimitTo<Pixel>(v));
    }
  }
  return ZQ_OK;
}

}  // namespace

extern "C" void BaseImageIntergrater(const int32_t *src, int32_t width, int32_t height,
                                     int32_t *integral) {
  if (src == nullptr || integral == nullptr || width < 1 || height < 1) return;
  const int64_t stride = int64_t{width} + 1;
  for (int32_t i = 0; i < height; ++i) {
    uint32_t rowSum = 0;
    const int32_t *in = src + int64_t{i} * width;
    const int32_t *above = integral + int64_t{i} * stride;
    int32_t *out = integral + (int64_t{i} + 1) * stride;
    for (int32_t j = 0; j < width; ++j) {
      rowSum += static_cast<uint32_t>(in[j]);
      out[j + 1] = static_cast<int32_t>(rowSum + static_cast<uint32_t>(above[j + 1]));
    }
  }
}

extern "C" int32_t ZqIntBoxFilter(const int32_t *src, int32_t width, int32_t height, int32_t a,
                                  int32_t b, int32_t *dst) {
  return IntegralBox(src, width, height, a, b, dst);
}

extern "C" int32_t ZqBoxFilter_u8(const uint8_t *src, int32_t width, int32_t height, int32_t a,
                                  int32_t b, uint8_t *dst) {
  if (src == nullptr || dst == nullptr || width < 1 || height < 1 || a < 0 || b < 0)
    return ZQ_ERR_PARAM;
  const int64_t area = (2 * int64_t{a} + 1) * (2 * int64_t{b} + 1);
  if (area > zq::kBoxSums16MaxArea) return IntegralBox(src, width, height, a, b, dst);
  // Small windows: 16-bit window sums, the same float rounding four at a time.
  const float fa = static_cast<float>(area);
  const __m128 areaLanes = _mm_set1_ps(fa);
  const bool done = zq::BoxSums16(
      src, width, height, a, b, ZQ_BORDER_REFLECT, ScratchSource::kHeap,
      [&](int32_t i, const uint16_t *sums) {
        zq::FloatLanesToU8(
            sums, width,
            [&](__m128 s) {
              return _mm_cvttps_epi32(
                  _mm_add_ps(_mm_div_ps(s, areaLanes), _mm_set1_ps(0.5f)));
            },
            [&](float s) { return static_cast<int32_t>(s / fa + 0.5f); },
            dst + int64_t{i} * width);
      });
  return done ? ZQ_OK : ZQ_ERR_PARAM;  // a refused block reads as -1, like a bad argument
}

extern "C" int32_t ZqBoxFilter_u16(const uint16_t *src, int32_t width, int32_t height,
                                   int32_t a, int32_t b, uint16_t *dst) {
  return IntegralBox(src, width, height, a, b, dst);
}

extern "C" int32_t MeanImage(const uint8_t *src, uint16_t width, uint16_t height, uint16_t r,
                             uint8_t *dst) {
  if (src == nullptr || dst == nullptr) return ZQ_ERR_PARAM;
  if (width == 0 || height == 0) return ZQ_OK;
  // The padded size is computed in full width: no 16-bit wrap.
  const int64_t pw = int64_t{width} + 2 * int64_t{r};
  const int64_t ph = int64_t{height} + 2 * int64_t{r};
  const int32_t win = 2 * r + 1;
  const float inv = 1.0f / static_cast<float>(int64_t{win} * win);
  if (int64_t{win} * win <= zq::kBoxSums16MaxArea) {
    // Small windows: 16-bit window sums, the same float product four at a time.
    const bool done = zq::BoxSums16(
        src, width, height, r, r, ZQ_BORDER_REFLECT_101, ScratchSource::kHeap,
        [&](int32_t i, const uint16_t *sums) {
          zq::FloatLanesToU8(
              sums, width,
              [&](__m128 s) { return _mm_cvttps_epi32(_mm_mul_ps(s, _mm_set1_ps(inv))); },
              [&](float s) { return static_cast<int32_t>(s * inv); }, dst + int64_t{i} * width);
        });
    return done ? ZQ_OK : ZQ_ERR_ALLOC;
  }
  ScratchStack scratch(ScratchSource::kHeap);
  uint8_t *padded = scratch.Take<uint8_t>(pw * ph);
  if (padded == nullptr) return ZQ_ERR_ALLOC;
  if (ImgFilledByMirror(src, height, width, r, padded) != ZQ_OK) return ZQ_ERR_STEP;
  uint32_t *colSum = scratch.Take<uint32_t>(pw);
  if (colSum == nullptr) return ZQ_ERR_ALLOC;
  for (int32_t t = 0; t < win; ++t)
    for (int64_t x = 0; x < pw; ++x) colSum[x] += padded[t * pw + x];
  for (int32_t i = 0; i < height; ++i) {
    if (i > 0) {
      const uint8_t *enter = padded + (int64_t{i} + win - 1) * pw;
      const uint8_t *leave = padded + (int64_t{i} - 1) * pw;
      for (int64_t x = 0; x < pw; ++x) colSum[x] += enter[x] - uint32_t{leave[x]};
    }
    uint32_t s = 0;
    for (int32_t t = 0; t < win; ++t) s += colSum[t];
    uint8_t *out = dst + int64_t{i} * width;
    for (int32_t j = 0; j < width; ++j) {
      if (j > 0) s += colSum[j + win - 1] - colSum[j - 1];
      int32_t v = static_cast<int32_t>(static_cast<float>(s) * inv);
      out[j] = static_cast<uint8_t>(std::clamp(v, 0, 255));
    }
  }
  return ZQ_OK;
}
