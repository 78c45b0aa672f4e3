// The general binariser: Gaussian smoothing over an edge-repeating border,
// then an 11 x 11 local min-max normalisation, a bit where the normalised
// value exceeds one half.
#include <math.h>

#include "src/features/ZqBinImg.h"
#include "src/features/ZqBitValue.h"
#include "src/features/ZqMatchCheck.h"
#include "src/image/ZqCommon.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

// Smoothing kernel radius and normalisation window radius.
constexpr int32_t kGaussPad = 2;
constexpr int32_t kQuantPad = 5;

// Owns one work image; released when it goes out of scope.
class ImageHolder {
 public:
  ImageHolder() = default;
  ~ImageHolder() { ZqReleaseImage(&img_); }
  ImageHolder(const ImageHolder &) = delete;
  ImageHolder &operator=(const ImageHolder &) = delete;
  ST_Image *Get() const { return img_; }
  ST_Image **Addr() { return &img_; }

 private:
  ST_Image *img_ = nullptr;
};

// Index of padded position k (may be negative or >= n) in a side of n,
// mirrored with the edge repeated: -1 -> 0, -2 -> 1, n -> n-1, n+1 -> n-2.
inline int32_t MirrorRepeat(int32_t k, int32_t n) {
  if (k < 0) return -1 - k;
  if (k >= n) return 2 * n - 1 - k;
  return k;
}

template <typename T>
inline T *Row(const ST_Image *img, int32_t y) {
  return reinterpret_cast<T *>(img->imageData + static_cast<ptrdiff_t>(y) * img->rowBytes);
}

// The normalised five-tap Gaussian of sigma 0.8, outer to outer.
int ZqGenConvMask(float **pMask) {
  static const float kTaps[5] = {0.021929648f, 0.22851212f, 0.49911636f, 0.22851212f,
                                 0.021929648f};
  float *pTemp = static_cast<float *>(ZqSafeAlloc(5 * sizeof(float)));
  if (pTemp == NULL) {
    ZQ_LOG_FAIL(__func__, "pTemp == NULL");
    return -1;
  }
  for (int k = 0; k < 5; ++k) pTemp[k] = kTaps[k];
  *pMask = pTemp;
  return 0;
}

// Copies the pixels of src into a new image of (w + 2 pad) x (h + 2 pad) at
// (pad, pad) and mirrors the margins with the edge repeated: rows first,
// then columns over the full padded height. Needs pad <= w, h.
template <typename T>
int BoundFill(const char *func, const ST_Image *pSrc, int32_t pad, int32_t depth,
              ST_Image **out) {
  const int32_t w = pSrc->width, h = pSrc->height;
  const ST_Size size = {h + 2 * pad, w + 2 * pad};
  ST_Image *pRet = ZqCreateImage(&size, depth);
  if (pRet == NULL) {
    ZQ_LOG_FAIL_IN(func, func, depth == DEPTH_8U ? "NULL == pRet" : "pRet == NULL");
    return -1;
  }
  for (int32_t y = -pad; y < h + pad; ++y) {
    const T *s = Row<const T>(pSrc, MirrorRepeat(y, h));
    T *d = Row<T>(pRet, y + pad) + pad;
    for (int32_t x = 0; x < w; ++x) d[x] = s[x];
  }
  for (int32_t y = 0; y < h + 2 * pad; ++y) {
    T *d = Row<T>(pRet, y) + pad;
    for (int32_t x = 1; x <= pad; ++x) {
      d[-x] = d[MirrorRepeat(-x, w)];
      d[w - 1 + x] = d[MirrorRepeat(w - 1 + x, w)];
    }
  }
  *out = pRet;
  return 0;
}

int ZqImgBoundFill_8u(const ST_Image *pSrc, int32_t pad, ST_Image **out) {
  if (DEPTH_8U != pSrc->depth) {
    ZQ_LOG_FAIL(__func__, "DEPTH_8U != pSrc->depth");
    return -1;
  }
  return BoundFill<uint8_t>(__func__, pSrc, pad, DEPTH_8U, out);
}

int ZqImgBoundFill_32f(const ST_Image *pSrc, int32_t pad, ST_Image **out) {
  if (DEPTH_32F != pSrc->depth) {
    ZQ_LOG_FAIL(__func__, "DEPTH_32F != pSrc->depth");
    return -1;
  }
  return BoundFill<float>(__func__, pSrc, pad, DEPTH_32F, out);
}

// Horizontal then vertical pass of the kernel k over the padded 8-bit
// image p into a new w x h float image, in single precision, each sum in
// the order written.
int ZqGenConvImg(const ST_Image *p, const float *k, int32_t w, int32_t h, ST_Image **out) {
  const float k0 = k[0], k1 = k[1], k2 = k[2];
  ImageHolder g, t;
  const ST_Size gSize = {h, w};
  *g.Addr() = ZqCreateImage(&gSize, DEPTH_32F);
  if (g.Get() == NULL) {
    ZQ_LOG_FAIL(__func__, "pDstTemp == NULL");
    return -1;
  }
  const ST_Size tSize = {h + 2 * kGaussPad, w};
  *t.Addr() = ZqCreateImage(&tSize, DEPTH_32F);
  if (t.Get() == NULL) {
    ZQ_LOG_FAIL(__func__, "pSrcTemp == NULL");
    return -1;
  }
  for (int32_t y = 0; y < h + 2 * kGaussPad; ++y) {
    const uint8_t *s = Row<const uint8_t>(p, y);
    float *d = Row<float>(t.Get(), y);
    for (int32_t x = 0; x < w; ++x) {
      d[x] = k2 * static_cast<float>(s[x + 2]) + k0 * static_cast<float>(s[x] + s[x + 4]) +
             k1 * static_cast<float>(s[x + 3] + s[x + 1]);
    }
  }
  for (int32_t y = 0; y < h; ++y) {
    const float *r0 = Row<const float>(t.Get(), y);
    const float *r1 = Row<const float>(t.Get(), y + 1);
    const float *r2 = Row<const float>(t.Get(), y + 2);
    const float *r3 = Row<const float>(t.Get(), y + 3);
    const float *r4 = Row<const float>(t.Get(), y + 4);
    float *d = Row<float>(g.Get(), y);
    for (int32_t x = 0; x < w; ++x) {
      d[x] = k2 * r2[x] + k0 * (r4[x] + r0[x]) + k1 * (r1[x] + r3[x]);
    }
  }
  *out = g.Get();
  *g.Addr() = nullptr;
  return 0;
}

// Steps 2 to 4: the Gaussian-smoothed float image of src.
int ZqGaussImg(const ST_Image *src, ST_Image **out) {
  float *mask = nullptr;
  if (ZqGenConvMask(&mask) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqGenConvMask != 0");
    return -1;
  }
  ImageHolder padded;
  int ret = 0;
  if (ZqImgBoundFill_8u(src, kGaussPad, padded.Addr()) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqImgBoundFill_8u != 0");
    ret = -1;
  } else if (ZqGenConvImg(padded.Get(), mask, src->width, src->height, out) != 0) {
    ZQ_LOG_FAIL(__func__, "ZqGenConvImg != 0");
    ret = -1;
  }
  ZqSafeFree(mask);
  return ret;
}

// Replaces each pixel of the float image g by (g - min) / (max - min) over
// its (2 pad + 1)^2 window (mirrored with the edge repeated); where the
// window is flat the pixel is kept, or set to 0 with clearFlat.
int ZqQuantiImg(ST_Image *g, int32_t pad, bool clearFlat) {
  const int32_t kQuantWin = 2 * pad + 1;
  const int32_t w = g->width, h = g->height, pw = w + 2 * pad;
  ImageHolder padded;
  if (ZqImgBoundFill_32f(g, pad, padded.Addr()) != 0) {
    ZQ_LOG_FAIL_IN(__func__, "ZqQuantiImg", "ZqImgBoundFill_32f != 0");
    return -1;
  }
  float *pBuffMax = static_cast<float *>(ZqSafeAlloc(pw * static_cast<int32_t>(sizeof(float))));
  if (pBuffMax == NULL) {
    ZQ_LOG_FAIL_IN(__func__, "ZqQuantiImg", "pBuffMax == NULL");
    return -1;
  }
  float *pBuffMin = static_cast<float *>(ZqSafeAlloc(pw * static_cast<int32_t>(sizeof(float))));
  if (pBuffMin == NULL) {
    ZQ_LOG_FAIL_IN(__func__, "ZqQuantiImg", "pBuffMin == NULL");
    ZqSafeFree(pBuffMax);
    return -1;
  }
  for (int32_t y = 0; y < h; ++y) {
    // Column extremes over padded rows y .. y + 10.
    const float *first = Row<const float>(padded.Get(), y);
    for (int32_t c = 0; c < pw; ++c) pBuffMax[c] = pBuffMin[c] = first[c];
    for (int32_t r = 1; r < kQuantWin; ++r) {
      const float *row = Row<const float>(padded.Get(), y + r);
      for (int32_t c = 0; c < pw; ++c) {
        if (row[c] > pBuffMax[c]) {
          pBuffMax[c] = row[c];
        } else if (row[c] < pBuffMin[c]) {
          pBuffMin[c] = row[c];
        }
      }
    }
    float *out = Row<float>(g, y);
    float vmax = 0.0f, vmin = 0.0f;
    for (int32_t x = 0; x < w; ++x) {
      if (x == 0) {
        vmax = pBuffMax[0];
        vmin = pBuffMin[0];
        for (int32_t c = 1; c < kQuantWin; ++c) {
          if (pBuffMax[c] > vmax) vmax = pBuffMax[c];
          if (pBuffMin[c] < vmin) vmin = pBuffMin[c];
        }
      } else {
        const int32_t enter = x + kQuantWin - 1, leave = x - 1;
        if (pBuffMax[enter] > vmax) {
          vmax = pBuffMax[enter];
        } else if (!(vmax > pBuffMax[leave])) {
          vmax = pBuffMax[x];
          for (int32_t c = x + 1; c <= enter; ++c) {
            if (pBuffMax[c] > vmax) vmax = pBuffMax[c];
          }
        }
        if (pBuffMin[enter] < vmin) {
          vmin = pBuffMin[enter];
        } else if (!(vmin < pBuffMin[leave])) {
          vmin = pBuffMin[x];
          for (int32_t c = x + 1; c <= enter; ++c) {
            if (pBuffMin[c] < vmin) vmin = pBuffMin[c];
          }
        }
      }
      const float v = out[x];
      const float range = vmax - vmin;
      if (fabs(static_cast<double>(range)) > 1e-6) {
        out[x] = (v - vmin) / range;
      } else if (clearFlat) {
        out[x] = 0.0f;
      }
    }
  }
  ZqSafeFree(pBuffMin);
  ZqSafeFree(pBuffMax);
  return 0;
}

}  // namespace

int ZqGenBinImg(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount) {
  return ZqGenBinImgWindow(src, pBits, wordCount, kQuantPad, 0);
}

int ZqGenBinImgWindow(const ST_Image *src, uint64_t **pBits, uint16_t *wordCount,
                      int32_t quantPad, int clearFlat) {
  // Logged under the name of the general binariser, whose steps these are.
  static const char kName[] = "ZqGenBinImg";
  if (src == NULL || pBits == NULL || wordCount == NULL) {
    ZQ_LOG_FAIL(kName, "src == NULL || pBits == NULL || wordCount == NULL");
    return -1;
  }
  if (src->imageData == NULL || quantPad < 1) {
    ZQ_LOG_FAIL(kName, "src->imageData == NULL");
    return -1;
  }
  const int32_t w = src->width, h = src->height;
  // The mirrored borders need quantPad rows and columns; pixel indices are
  // 16-bit.
  if (w < quantPad || h < quantPad ||
      static_cast<int64_t>(w) * h > static_cast<int64_t>(ZQ_BINIMG_MAX_PIXELS)) {
    ZQ_LOG_FAIL(kName, "image size out of range");
    return -1;
  }
  const uint16_t words = ZqBinImgWordCount(static_cast<uint32_t>(w), static_cast<uint32_t>(h));
  *wordCount = words;

  uint64_t *pRet = *pBits;
  if (pRet == NULL) {
    pRet = static_cast<uint64_t *>(ZqSafeAlloc(words * 8));
    if (pRet == NULL) {
      ZQ_LOG_FAIL(kName, "pRet == NULL");
      return -1;
    }
  }
  // Releases an array allocated here when a step fails.
  auto fail = [&]() {
    if (pRet != *pBits) ZqSafeFree(pRet);
    return -1;
  };

  ImageHolder g;
  if (ZqGaussImg(src, g.Addr()) != 0) {
    ZQ_LOG_FAIL(kName, "ZqGaussImg != 0");
    return fail();
  }
  if (ZqQuantiImg(g.Get(), quantPad, clearFlat != 0) != 0) {
    ZQ_LOG_FAIL(kName, "ZqQuantiImg != 0");
    return fail();
  }
  for (int32_t y = 0; y < h; ++y) {
    const float *row = Row<const float>(g.Get(), y);
    for (int32_t x = 0; x < w; ++x) {
      const uint16_t index = static_cast<uint16_t>(y * w + x);
      if (ZqSetBitValue(pRet, index, words, row[x] > 0.5f ? 1 : 0) != 0) {
        ZQ_LOG_FAIL(kName, "ZqSetBitValue != 0");
        return fail();
      }
    }
  }
  *pBits = pRet;
  return 0;
}

int ZqReleaseBinImg(uint64_t **pBits) {
  if (pBits != NULL && *pBits != NULL) {
    ZqSafeFree(*pBits);
    *pBits = NULL;
  }
  return 0;
}
