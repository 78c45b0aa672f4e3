#include "src/ZqAlg/ZqPreFilters.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ImgAdaptHisteq.h"
#include "src/enhance/ZqBadPixelRepair.h"
#include "src/enhance/ZqDealCurveSurf.h"
#include "src/enhance/ZqGetFlag.h"
#include "src/enhance/ZqLocalQuati.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/image/ZqBorderFill.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqScratch.h"
#include "src/image/ZqSpatialFilter.h"
#include "src/image/ZqStretch.h"
#include "src/image/fft/ZqFft.h"

namespace {

// SPA smoothing of img (cols x rows) with radius 5, impact 0, strength 20.
bool SpaSmooth(uint8_t *img, int cols, int rows, int radius) {
  InitSPAImageSize(cols, rows);
  InitSPAMaskRadius(radius);
  InitSPAImpactFactors(0.0f);
  return ZqSpaSmooth(img, 20) == 1;
}

// Steps shared by the two stretches once t and the saturation mask exist:
// local equalisation and blur into dst. 0 or the stretch's error code.
int32_t EqualiseAndBlur(const char *func, const uint8_t *t, const uint8_t *mask, int rows,
                        int cols, uint8_t *dst) {
  int ret = curved_surface_img_localequalizehist_v2(t, mask, rows, cols, dst);
  if (ret != 0) return ret == ZQ_ERR_ALLOC ? ZQ_ERR_ALLOC : ZQ_ERR_PARAM;
  ret = ZqImgGaussianblur(dst, rows, cols, 3, nullptr, dst, -1.0f);
  if (ret != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "'%s' ZqImgGaussianblur() error, ret = %d", func, -5);
    return -5;
  }
  return ZQ_OK;
}

// f1 = box3(f1) - box5(f2); t = f1 stretched to 0..250. 0, -3 or -4.
int32_t BandPass(const char *func, float *f1, float *f2, int rows, int cols, uint8_t *t) {
  if (ZqImgBoxFilter(f1, rows, cols, 3, f1, 1) != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "'%s' ZqImgBoxFilter() error, ret = %d", func, -3);
    return -3;
  }
  if (ZqImgBoxFilter(f2, rows, cols, 5, f2, 1) != 0) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "'%s' ZqImgBoxFilter() error, ret = %d", func, -4);
    return -4;
  }
  const size_t n = static_cast<size_t>(rows) * cols;
  for (size_t i = 0; i < n; ++i) f1[i] -= f2[i];
  curved_surface_img_normalize_32f_2_8u(f1, rows, cols, t, 0.0f, 250.0f);
  return ZQ_OK;
}

// Clears every scratch block before the stack releases it.
struct Wiper {
  void *p[4];
  size_t bytes[4];
  ~Wiper() {
    for (int i = 0; i < 4; ++i)
      if (p[i] != nullptr) memset(p[i], 0, bytes[i]);
  }
};

template <typename Src, typename Fill, typename Finish>
int32_t Stretch(const char *func, const Src *src, int rows, int cols, uint8_t *dst, Fill fillMask,
                Finish finish) {
  if (src == nullptr || dst == nullptr || rows < 1 || cols < 1) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "'%s' input error, ret = -1", func);
    return ZQ_ERR_PARAM;
  }
  const size_t n = static_cast<size_t>(rows) * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  float *f1 = scratch.Take<float>(static_cast<int64_t>(n));
  float *f2 = scratch.Take<float>(static_cast<int64_t>(n));
  uint8_t *t = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  uint8_t *mask = scratch.Take<uint8_t>(static_cast<int64_t>(n));
  if (f1 == nullptr || f2 == nullptr || t == nullptr || mask == nullptr) {
    QUORV_LOG_IN(func, QUORV_LOG_ERROR, "'%s' malloc memory fail, ret = %d", func, ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  Wiper wipe{{f1, f2, t, mask}, {n * sizeof(float), n * sizeof(float), n, n}};
  for (size_t i = 0; i < n; ++i) f1[i] = f2[i] = static_cast<float>(src[i]);
  // The mask is taken before dst (which may be src) is written.
  if (!fillMask(src, n, t, mask)) return ZQ_ERR_ALLOC;
  int32_t ret = BandPass(func, f1, f2, rows, cols, t);
  if (ret != 0) return ret;
  ret = EqualiseAndBlur(func, t, mask, rows, cols, dst);
  if (ret != 0) return ret;
  finish(dst, n);
  for (size_t i = 0; i < n; ++i)
    if (mask[i]) dst[i] = 254;
  return ZQ_STRETCH_DONE;
}

}  // namespace

extern "C" {

int32_t ZqBadPixRepair(uint8_t *img, uint16_t cols, uint16_t rows) {
  if (img == nullptr || cols == 0 || rows == 0) {
    QUORV_LOGE("%s...input err, ret = %d", __func__, ZQ_ERR_PARAM);
    return ZQ_ERR_PARAM;
  }
  const int64_t n = static_cast<int64_t>(cols) * rows;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *mask = scratch.Take<uint8_t>(n);
  int32_t *integral = scratch.Take<int32_t>(n);
  int32_t *map = scratch.Take<int32_t>(n);
  uint8_t *newImg = scratch.Take<uint8_t>(n);
  if (mask == nullptr || integral == nullptr || map == nullptr || newImg == nullptr) {
    QUORV_LOGE("%s...malloc err, ret = %d", __func__, ZQ_ERR_ALLOC);
    return ZQ_ERR_ALLOC;
  }
  for (int64_t i = 0; i < n; ++i) mask[i] = img[i] == 255 ? 255 : 0;
  int32_t diameters[17];
  for (int i = 0; i < 16; ++i) diameters[i] = 3 + 2 * i;
  diameters[16] = 0;
  repair_image_method_1(img, mask, integral, map, newImg, diameters, 0.5f, rows, cols, 255, 255);
  return ZQ_OK;
}

int32_t ZqSpaFilter(uint8_t *img) {
  return SpaSmooth(img, gSensorInfor.cols, gSensorInfor.rows, 5) ? ZQ_OK : ZQ_ERR_PARAM;
}

int32_t ZqNonLinearStretch_U8(const uint8_t *src, int rows, int cols, uint8_t *dst) {
  return Stretch(
      __func__, src, rows, cols, dst,
      [](const uint8_t *s, size_t n, uint8_t *, uint8_t *mask) {
        for (size_t i = 0; i < n; ++i) mask[i] = s[i] > 250 ? 1 : 0;
        return true;
      },
      [](uint8_t *, size_t) {});
}

int32_t ZqNonLinearStretch(const uint16_t *raw, int rows, int cols, uint8_t *dst) {
  return Stretch(
      __func__, raw, rows, cols, dst,
      [rows, cols](const uint16_t *s, size_t n, uint8_t *t, uint8_t *mask) {
        // t serves as the scratch of the 8-bit view; BandPass rewrites it.
        curved_surface_img_normalize_16u_2_8u(s, rows, cols, 0, 255, t);
        for (size_t i = 0; i < n; ++i) mask[i] = t[i] <= 1 ? 1 : 0;
        return true;
      },
      [](uint8_t *d, size_t n) {
        for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(250u - d[i]);
      });
}

int32_t ZqRootFilter(const uint8_t *img, int a, int b, uint16_t window, uint8_t *dst) {
  if (img == nullptr || dst == nullptr || a < 1 || b < 1) return ZQ_ERR_PARAM;
  const int rows = b, cols = a;
  const int64_t n = static_cast<int64_t>(rows) * cols;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  float *f = scratch.Take<float>(n);
  ST_Complex32f *spectrum = scratch.Take<ST_Complex32f>(n);
  if (f == nullptr || spectrum == nullptr) return ZQ_ERR_ALLOC;
  if (ZqRemovePartDC_u8(img, rows, cols, window, f) != 0) return -3;
  if (ZqImgFFT_32f(f, rows, cols, spectrum) != 0) return -4;
  if (ZqRealImgIFFT_32f(spectrum, rows, cols, f) != 0) return -6;
  const auto mm = std::minmax_element(f, f + n);
  const float lo = *mm.first, hi = *mm.second;
  if (hi - lo <= 1e-5f) {
    memset(dst, 0, static_cast<size_t>(n));
    return ZQ_OK;
  }
  const float k = 254.0f / (hi - lo);
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(static_cast<int>(k * (f[i] - lo)));
  return ZQ_OK;
}

int32_t ZqImageSmooth(uint8_t *img, int a, int b, uint8_t *dst) {
  int32_t ret = ZQ_OK;
  if (img == nullptr || dst == nullptr || a < 1 || b < 1) {
    QUORV_LOGE("'%s' input error, ret = -1", __func__);
    return ZQ_ERR_PARAM;
  }
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *m = nullptr;
  // The smoothing works at the size given (a rows, b columns), not at the
  // configured sensor size as ZqSpaFilter does: an image smaller than the
  // sensor would be read past its end. At the sensor's size the two agree.
  if (!SpaSmooth(img, b, a, 5)) {
    ret = -2;
    QUORV_LOGE("'%s' ZqSpaFilter error, ret = %d", __func__, ret);
  } else if ((m = scratch.Take<uint8_t>(static_cast<int64_t>(a) * b)) == nullptr) {
    ret = -3;
    QUORV_LOGE("'%s' ZqSafeAlloc error, ret = %d", __func__, ret);
  } else if (ZqMeanImage(img, a, b, 1, m) != 0) {
    ret = -4;
    QUORV_LOGE("'%s' ZqMeanImage error, ret = %d", __func__, ret);
  } else if (ZqLocalQuati_u8(m, a, b, 7, dst) != 0) {
    ret = -5;
    QUORV_LOGE("'%s' ZqLocalQuati_u8 error, ret = %d", __func__, ret);
  }
  QUORV_LOGI("'%s' , ret = %d", __func__, ret);
  return ret;
}

int32_t ZqCoverArea(const uint8_t *img1, const uint8_t *img2, uint16_t rows, uint16_t cols,
                    uint16_t half, float thr) {
  QUORV_LOGV("%s...enter", __func__);
  if (img1 == nullptr || img2 == nullptr || half == 0 || rows == 0 || cols == 0) {
    QUORV_LOGE("%s...input = NULL", __func__);
    return ZQ_ERR_PARAM;
  }
  const int m = std::min(rows, cols);
  int h = 2 * half < m ? half : m / 2;
  if (m % 2 == 0) h -= 1;
  if (h < 0) h = 0;
  const int y0 = rows / 2 - h, x0 = cols / 2 - h, side = 2 * h + 1;
  int64_t sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  for (int y = y0; y < y0 + side; ++y)
    for (int x = x0; x < x0 + side; ++x) {
      const int64_t a = img1[static_cast<size_t>(y) * cols + x];
      const int64_t b = img2[static_cast<size_t>(y) * cols + x];
      sx += a;
      sy += b;
      sxx += a * a;
      syy += b * b;
      sxy += a * b;
    }
  const int64_t n = static_cast<int64_t>(side) * side;
  float k;
  if (n * syy == sy * sy) {
    k = 1.0f;
    QUORV_LOGV("%s...k1 = %f", __func__, static_cast<double>(k));
  } else if (n * sxx == sx * sx) {
    k = 0.0f;
    QUORV_LOGV("%s...k1 = %f", __func__, static_cast<double>(k));
  } else {
    const float fn = static_cast<float>(n);
    const float fx = static_cast<float>(sx), fy = static_cast<float>(sy);
    const float num = static_cast<float>(sxy) - fx * fy / fn;
    const float vx = static_cast<float>(sxx) - fx * fx / fn;
    const float vy = static_cast<float>(syy) - fy * fy / fn;
    k = num / sqrtf(vx * vy);
    QUORV_LOGV("%s...k2 = %f", __func__, static_cast<double>(k));
  }
  QUORV_LOGD("%s...k3 = %f, thr = %f", __func__, static_cast<double>(k), static_cast<double>(thr));
  return k > thr ? 1 : 0;
}

// Margin that makes a side a whole number of tiles with an even tile size.
static uint32_t HisteqMargin(uint32_t side, uint32_t tiles) {
  if (side % tiles == 0) return 0;
  uint32_t p = (side % tiles) / 2;
  if (((side + 2 * p) / tiles) % 2 == 1) p += tiles / 2;
  return p;
}

int32_t ZqImgAdaptHisteq(uint8_t *img, uint32_t width, uint32_t height, uint8_t lo, uint8_t hi,
                         uint32_t tilesX, float clip, uint32_t tilesY, uint32_t bins) {
  if (img == nullptr || width == 0 || height == 0 || width > UINT16_MAX || height > UINT16_MAX)
    return ZQ_ERR_PARAM;
  tilesX = std::max<uint32_t>(tilesX, 8);
  tilesY = std::max<uint32_t>(tilesY, 8);
  const uint32_t px = HisteqMargin(width, tilesX), py = HisteqMargin(height, tilesY);
  if (px == 0 && py == 0) {
    ImgAdaptHisteq(img, width, height, lo, hi, tilesX, clip, tilesY, bins);
    return ZQ_OK;
  }
  const uint32_t pw = width + 2 * px, ph = height + 2 * py;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  uint8_t *buf = scratch.Take<uint8_t>(static_cast<int64_t>(pw) * ph);
  if (buf == nullptr) return ZQ_ERR_ALLOC;
  if (ZqMirrorFill_u8(img, static_cast<int32_t>(height), static_cast<int32_t>(width),
                      static_cast<int32_t>(py), static_cast<int32_t>(px), buf) != 0)
    return ZQ_ERR_ALLOC;
  ImgAdaptHisteq(buf, pw, ph, lo, hi, tilesX, clip, tilesY, bins);
  for (uint32_t y = 0; y < height; ++y)
    memcpy(img + static_cast<size_t>(y) * width, buf + static_cast<size_t>(y + py) * pw + px,
           width);
  return ZQ_OK;
}

void ZqforUserSpa(uint8_t *img, uint16_t cols, uint16_t rows) {
  if (gSensorInfor.spaFilterEn != 1 || img == nullptr) return;
  const int sc = gSensorInfor.cols, sr = gSensorInfor.rows;
  // The scorer and the flags read and write the configured size: an image
  // of another pixel count is refused.
  if (sc < 1 || sr < 1 || sc > UINT16_MAX || sr > UINT16_MAX ||
      static_cast<int64_t>(cols) * rows != static_cast<int64_t>(sc) * sr) {
    QUORV_LOGE("%s...input err, ret = %d", __func__, ZQ_ERR_PARAM);
    return;
  }
  const uint8_t background = gSensorInfor.binImageEnhance == 1 ? 0 : 128;
  const int64_t n = static_cast<int64_t>(sc) * sr;
  zq::ScratchStack scratch(zq::ScratchSource::kHeap);
  // The valid map grows with the sensor (n / 8 + 1 bytes).
  uint8_t *map = scratch.Take<uint8_t>(n / 8 + 1);
  uint8_t *a = scratch.Take<uint8_t>(n);
  uint8_t *b = scratch.Take<uint8_t>(n);
  if (map == nullptr || a == nullptr || b == nullptr) return;
  uint8_t q[ZQ_QUALITY_BYTES] = {};
  ZqGetImageQualityInter(img, map, q);
  int64_t validCnt = 0;
  for (int64_t i = 0; i < n / 8 + 1; ++i) validCnt += __builtin_popcount(map[i]);
  if (ZqGetFlag(img, sr, sc, a, b) != 0) return;
  int64_t bCnt = 0, bothCnt = 0;
  for (int64_t i = 0; i < n; ++i) {
    bCnt += b[i] == 1;
    bothCnt += a[i] == 1 && b[i] == 1;
  }
  SpaSmooth(img, cols, rows, 5);
  const int64_t w = static_cast<int64_t>(n * 0.9), d = static_cast<int64_t>(n * 0.2);
  const int64_t diff = validCnt > bothCnt ? validCnt - bothCnt : bothCnt - validCnt;
  if ((validCnt >= w || bothCnt >= w) && diff <= d && bCnt < w) {
    for (int64_t i = 0; i < n; ++i)
      if (a[i] == 0 || b[i] == 0) img[i] = background;
  }
}

int32_t ZqNoiseFilter(uint8_t *src, uint8_t filter, int32_t a, int32_t b, uint8_t *dst,
                      float ratio) {
  return FFTFilter(src, filter, a, b, dst, ratio);
}

int32_t ZqDealCurveSurfData(const uint16_t *raw, int32_t rows, int32_t cols, uint8_t *dst) {
  return DealCurveSurfData(raw, rows, cols, dst);
}

int32_t Zq_MeanImage(const uint8_t *img, uint16_t a, uint16_t b, int32_t radius, uint8_t *dst) {
  return ZqMeanImage(img, a, b, radius, dst);
}

int32_t ZqMirrorFillU8(const uint8_t *img, int32_t rows, int32_t cols, int32_t top, int32_t left,
                       uint8_t *dst) {
  return ZqMirrorFill_u8(img, rows, cols, top, left, dst);
}

}  // extern "C"
