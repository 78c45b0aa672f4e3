// Small-sensor binarisation through the pre-threshold enhancement.
#include "src/features/ZqRepairGenBinImg.h"

#include <string.h>

#include "src/enhance/ZqGaussDirConvol.h"
#include "src/enhance/ZqPreThreshold.h"
#include "src/enhance/ZqStepClock.h"
#include "src/features/ZqBitValue.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqConvolve.h"
#include "src/image/ZqLocalStat.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqScratch.h"

namespace {

// Largest pixel count of this path (pixels are counted in int16).
constexpr int64_t kMaxPixels = 32767;

const float kSharpen3x3[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
const float kSmooth3x3[9] = {1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 0.5f,
                             1 / 16.0f, 1 / 16.0f, 1 / 16.0f, 1 / 16.0f};

bool Is8BitImage(const ST_Image *img) {
  return img != nullptr && img->imageData != nullptr && img->depth == DEPTH_8U &&
         img->width >= 1 && img->height >= 1 && img->rowBytes >= img->width;
}

// Copies the rows of img into packed (width x height bytes), or back.
void Unpack(const ST_Image *img, uint8_t *packed) {
  for (int32_t y = 0; y < img->height; ++y)
    memcpy(packed + int64_t{y} * img->width, img->imageData + int64_t{y} * img->rowBytes,
           static_cast<size_t>(img->width));
}
void Pack(const uint8_t *packed, ST_Image *img) {
  for (int32_t y = 0; y < img->height; ++y)
    memcpy(img->imageData + int64_t{y} * img->rowBytes, packed + int64_t{y} * img->width,
           static_cast<size_t>(img->width));
}

}  // namespace

extern "C" int32_t ZqHistBinSmall(const uint8_t *img, int32_t width, int32_t height,
                                  uint8_t *out) {
  if (img == nullptr || out == nullptr || width < 1 || height < 1) return -1;
  const int64_t n = int64_t{width} * height;
  int64_t h[256] = {};
  for (int64_t p = 0; p < n; ++p) ++h[img[p]];
  const int64_t b = (n + 10) / 20;
  int i = 0, j = 255;
  if (b > 0) {
    int64_t s = 0;
    for (i = 0; i < 256; ++i) {
      s += h[i];
      if (s >= b) break;
    }
    i += 1;  // the number of bins taken
    s = 0;
    int taken = 0;
    for (int k = 255; k >= 0; --k) {
      s += h[k];
      ++taken;
      if (s >= b) break;
    }
    j = 255 - taken;
  }
  int t = j;
  if (i <= j) {
    int64_t sum = 0, cnt = 0;
    for (int k = i; k <= j; ++k) {
      sum += k * h[k];
      cnt += h[k];
    }
    if (cnt > 0) t = static_cast<int>((sum * 256 / cnt + 128) >> 8);
  }
  for (int64_t p = 0; p < n; ++p) out[p] = img[p] >= t ? 0xFF : 0;
  return 0;
}

extern "C" int32_t ZqImPrepare(const ST_Image *src, ST_Image *dst) {
  if (!Is8BitImage(src) || !Is8BitImage(dst) || dst->width != src->width ||
      dst->height != src->height)
    return -1;
  const int32_t w = src->width, h = src->height;
  const int64_t n = int64_t{w} * h;
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint8_t *work = sc.Take<uint8_t>(n);
  uint16_t *u = sc.Take<uint16_t>(n);
  uint16_t *e = sc.Take<uint16_t>(n);
  if (work == nullptr || u == nullptr || e == nullptr) {
    if (dst != src) {
      for (int32_t y = 0; y < h; ++y)
        memcpy(dst->imageData + int64_t{y} * dst->rowBytes,
               src->imageData + int64_t{y} * src->rowBytes, static_cast<size_t>(w));
    }
    return -1;
  }
  Unpack(src, work);
  zq::StepClock clock;
  if (w <= 56 && h <= 56) {
    ZqConvole(work, w, h, kSharpen3x3, 3, 3, work);
    ZqConvole(work, w, h, kSmooth3x3, 3, 3, work);
  }
  ZQ_LOG_STEP_TIME(clock, "ZqConvole");
  for (int64_t i = 0; i < n; ++i) u[i] = work[i];
  if (ZqGaussDirConvol(u, w, h, 5, e, 1.2f, 0.1f) != 0) memcpy(e, u, static_cast<size_t>(n) * 2);
  if (clock.on()) clock.Lap();  // the oriented smoothing is not timed
  ZqPreThresholdProcess(u, h, w, e, nullptr);
  ZQ_LOG_STEP_TIME(clock, "ZqPreThresholdProcess");
  for (int64_t i = 0; i < n; ++i) work[i] = static_cast<uint8_t>(e[i] & 0xFF);
  Pack(work, dst);
  return 0;
}

extern "C" int32_t ZqRepairGenBinImgForSamllSensor(const ST_Image *img, uint64_t **words,
                                                   uint16_t *wordCount) {
  if (!Is8BitImage(img) || words == nullptr || wordCount == nullptr) return -1;
  const int32_t w = img->width, h = img->height;
  const int64_t n = int64_t{w} * h;
  if (n > kMaxPixels) {
    ZQ_LOG_FAIL(__func__, "width * height > 32767");
    return -1;
  }
  zq::ScratchStack sc(zq::ScratchSource::kHeap);
  uint8_t *a = sc.Take<uint8_t>(n);
  uint8_t *b = sc.Take<uint8_t>(n);
  uint8_t *q = sc.Take<uint8_t>(n);
  if (a == nullptr || b == nullptr || q == nullptr) return -2;
  const uint16_t count = static_cast<uint16_t>((n + 63) / 64);
  *wordCount = count;
  uint64_t *bits = *words;
  if (bits == nullptr) {
    bits = static_cast<uint64_t *>(ZqSafeAlloc(count * 8));
    if (bits == nullptr) {
      ZQ_LOG_FAIL("ZqGenBinImg", "pRet == NULL");
      return -2;
    }
  }
  const auto fail = [&](int32_t code) {
    if (bits != *words) ZqSafeFree(bits);
    return code;
  };
  const ST_Size size = {h, w};
  ST_Image *tmp = ZqCreateImage(&size, DEPTH_8U);
  if (tmp == nullptr) {
    ZQ_LOG_FAIL("ZqCreateImage", "tmp_u8 == NULL");
    return fail(-2);
  }
  ZqImPrepare(img, tmp);
  Unpack(tmp, a);
  ZqReleaseImage(&tmp);
  const uint16_t uw = static_cast<uint16_t>(w), uh = static_cast<uint16_t>(h);
  if (ZqMedianFilter(a, uw, uh, 1, b) != 0) return fail(-3);
  if (ZqLocalThreshold(b, uw, uh, 1, 5, q, 0.1f) != 0) return fail(-3);
  ZqHistBinSmall(a, w, h, b);
  memset(bits, 0, static_cast<size_t>(count) * 8);
  for (int64_t p = 0; p < n; ++p) {
    if (q[p] == 0 || b[p] == 0) continue;
    if (ZqSetBitValue(bits, static_cast<uint16_t>(p), count, 1) != 0) {
      ZQ_LOG_FAIL("ZqGenBinImg", "ZqSetBitValue != 0");
      return fail(-1);
    }
  }
  *words = bits;
  return 0;
}

extern "C" int32_t ZqRepairToGenBinImg(const ST_Image *img, uint64_t **words,
                                       uint16_t *wordCount) {
  if (!Is8BitImage(img) || words == nullptr || wordCount == nullptr) return -1;
  // The pixel index is 16-bit: larger images are refused rather than
  // binarised with a count taken modulo 65536.
  if (int64_t{img->width} * img->height > 65535) {
    ZQ_LOG_FAIL(__func__, "width * height > 65535");
    return -1;
  }
  const ST_Size size = {img->height, img->width};
  ST_Image *tmp = ZqCreateImage(&size, DEPTH_8U);
  if (tmp == nullptr) {
    ZQ_LOG_FAIL("ZqCreateImage", "tmp_u8 == NULL");
    return -2;
  }
  ZqImPrepare(img, tmp);
  const int32_t ret = ZqGenBinImgWindow(tmp, words, wordCount, 3, 1) == 0 ? 0 : -1;
  ZqReleaseImage(&tmp);
  return ret;
}
