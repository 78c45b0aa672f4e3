#include "src/image/ZqImgResize.h"

#include <cmath>
#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"
#include "src/image/ZqMemoryManager.h"

namespace {

// Cubic weights of the two phases of a doubling: output 2k + 1 lies a
// quarter past sample k, output 2k three quarters past sample k - 1.
constexpr float kQuarter[4] = {-0.10546875f, 0.87890625f, 0.26171875f, -0.03515625f};
constexpr float kThreeQuarters[4] = {-0.03515625f, 0.26171875f, 0.87890625f, -0.10546875f};

// Gains that make up for the taps dropped at the ends of a line of three
// samples or more: outputs 0 and 2n - 1, 1 and 2n - 2, 2 and 2n - 3.
constexpr float kEndGain[3] = {1.2929f, 0.9046f, 0.966f};

// Taps of output o of a line of n samples doubled: up to four sample indices
// inside the line and their weights; returns how many.
int DoubleTaps(int o, int n, int idx[4], float w[4]) {
  const int k = o / 2;
  const int first = (o & 1) ? k - 1 : k - 2;
  const float *weights = (o & 1) ? kQuarter : kThreeQuarters;
  int count = 0;
  float used = 0.0f;
  for (int t = 0; t < 4; ++t) {
    int s = first + t;
    if (s < 0 || s >= n) continue;
    idx[count] = s;
    w[count] = weights[t];
    used += weights[t];
    ++count;
  }
  if (count == 4) return count;
  float gain;
  if (n >= 3) {
    int fromEnd = o < n ? o : 2 * n - 1 - o;  // 0, 1 or 2 here
    gain = kEndGain[fromEnd];
  } else {
    gain = 1.0f / used;  // too short for the fixed gains
  }
  for (int t = 0; t < count; ++t) w[t] *= gain;
  return count;
}

// Mode 0 on 8-bit images: nearest sample.
void ResizeNearest8u(const ST_Image *src, ST_Image *dst) {
  const float sw = static_cast<float>(src->width) / static_cast<float>(dst->width);
  const float sh = static_cast<float>(src->height) / static_cast<float>(dst->height);
  for (int i = 0; i < dst->height; ++i) {
    int sy = static_cast<int>(static_cast<float>(i) * sh);
    if (sy > src->height - 1) sy = src->height - 1;
    const uint8_t *in = ZqImgRow<uint8_t>(src, sy);
    uint8_t *out = ZqImgRow<uint8_t>(dst, i);
    for (int j = 0; j < dst->width; ++j) {
      int sx = static_cast<int>(static_cast<float>(j) * sw);
      if (sx > src->width - 1) sx = src->width - 1;
      out[j] = in[sx];
    }
  }
}

// Mode 0 on float images: every second pixel of every second row.
void Decimate32f(const ST_Image *src, ST_Image *dst) {
  for (int i = 0; i < dst->height; ++i) {
    const float *in = ZqImgRow<float>(src, 2 * i);
    float *out = ZqImgRow<float>(dst, i);
    for (int j = 0; j < dst->width; ++j) out[j] = in[2 * j];
  }
}

// Integer part of a source position: truncation for 8-bit, floor for float.
int PositionBase(float pos, bool isFloat) {
  return isFloat ? static_cast<int>(std::floor(pos)) : static_cast<int>(pos);
}

// Mode 2 with the tables made by ZqResize.
void ResizeCubic(const ST_Image *src, ST_Image *dst, const float *setA, const float *setB,
                 const float *rowPos, const float *colPos) {
  const bool isFloat = src->depth == DEPTH_32F;
  for (int i = 0; i < dst->height; ++i) {
    const int y = PositionBase(rowPos[i], isFloat);
    const float fy = rowPos[i] - static_cast<float>(y);
    const float *wy = std::fabs(fy) < 0.5f ? setA : setB;
    for (int j = 0; j < dst->width; ++j) {
      const int x = PositionBase(colPos[j], isFloat);
      const float fx = colPos[j] - static_cast<float>(x);
      const float *wx = std::fabs(fx) < 0.5f ? setA : setB;
      float sum = 0.0f, wsum = 0.0f;
      for (int a = 0; a < 4; ++a) {
        const int sy = y - 1 + a;
        if (sy < 0 || sy >= src->height) continue;
        for (int b = 0; b < 4; ++b) {
          const int sx = x - 1 + b;
          if (sx < 0 || sx >= src->width) continue;
          const float w = wy[a] * wx[b];
          const float v = isFloat ? ZqImgRow<float>(src, sy)[sx]
                                  : static_cast<float>(ZqImgRow<uint8_t>(src, sy)[sx]);
          sum += w * v;
          wsum += w;
        }
      }
      if (std::fabs(wsum) <= 1e-10f) continue;  // no usable tap: left as it is
      const float v = std::fabs(sum / wsum);
      if (isFloat) {
        ZqImgRow<float>(dst, i)[j] = v;
      } else {
        ZqImgRow<uint8_t>(dst, i)[j] = v >= 255.0f ? 255 : static_cast<uint8_t>(v);
      }
    }
  }
}

}  // namespace

extern "C" void ZqInterpolateCubic(float *coeffs, float x) {
  ZQ_CHECK_VOID(coeffs == NULL);
  const float A = -0.75f;
  const float y = 1.0f - x;
  coeffs[0] = A * x * y * y;
  coeffs[1] = x * x * (1.25f * x - 2.25f) + 1.0f;
  coeffs[2] = y * y * (1.25f * y - 2.25f) + 1.0f;
  coeffs[3] = 1.0f - coeffs[0] - coeffs[1] - coeffs[2];
}

extern "C" int32_t ZqResize(const ST_Image *srcImg, ST_Image *dstImg, int32_t mode) {
  ZQ_CHECK((srcImg == NULL) || (dstImg == NULL), ZQ_ERR_PARAM);
  if (srcImg->depth != DEPTH_8U && srcImg->depth != DEPTH_32F) {
    ZQ_LOG_FAIL("ZqResize", "srcImage depth not support!");
    return 2;
  }
  const int32_t widthDst = dstImg->width, heightDst = dstImg->height;
  const int32_t widthSrc = srcImg->width, heightSrc = srcImg->height;
  ZQ_CHECK((widthDst <= 0) || (heightDst <= 0), ZQ_ERR_PARAM);
  ZQ_CHECK((widthSrc <= 0) || (heightSrc <= 0), ZQ_ERR_PARAM);
  ZQ_CHECK(dstImg->depth != srcImg->depth, ZQ_ERR_PARAM);
  ZQ_CHECK((srcImg->imageData == NULL) || (dstImg->imageData == NULL), ZQ_ERR_PARAM);

  if (mode == 0) {
    if (srcImg->depth == DEPTH_8U) {
      ResizeNearest8u(srcImg, dstImg);
      return ZQ_OK;
    }
    ZQ_CHECK((2 * (int64_t{heightDst} - 1) >= heightSrc) || (2 * (int64_t{widthDst} - 1) >= widthSrc),
             ZQ_ERR_PARAM);
    Decimate32f(srcImg, dstImg);
    return ZQ_OK;
  }
  if (mode != 2) return ZQ_OK;

  float *arrayCoff1 = static_cast<float *>(ZqSafeAlloc(4 * sizeof(float)));
  float *arrayCoff2 = static_cast<float *>(ZqSafeAlloc(4 * sizeof(float)));
  // Column positions from the width ratio, then row positions from the
  // height ratio.
  float *arrayXY = nullptr;
  const int64_t positions = int64_t{widthDst} + heightDst;
  if (positions * static_cast<int64_t>(sizeof(float)) <= INT32_MAX) {
    arrayXY = static_cast<float *>(ZqSafeAlloc(static_cast<int32_t>(positions * sizeof(float))));
  }
  int32_t ret = ZQ_OK;
  if (arrayCoff1 == nullptr) {
    ZQ_LOG_FAIL("ZqResize", "arrayCoff1 == NULL");
    ret = ZQ_ERR_PARAM;
  } else if (arrayCoff2 == nullptr) {
    ZQ_LOG_FAIL("ZqResize", "arrayCoff2 == NULL");
    ret = ZQ_ERR_PARAM;
  } else if (arrayXY == nullptr) {
    ZQ_LOG_FAIL("ZqResize", "arrayXY == NULL");
    ret = ZQ_ERR_PARAM;
  } else {
    ZqInterpolateCubic(arrayCoff1, 0.25f);
    ZqInterpolateCubic(arrayCoff2, 0.75f);
    const float ratioW = static_cast<float>(widthSrc) / static_cast<float>(widthDst);
    const float ratioH = static_cast<float>(heightSrc) / static_cast<float>(heightDst);
    float *colPos = arrayXY;
    float *rowPos = arrayXY + widthDst;
    for (int32_t j = 0; j < widthDst; ++j) colPos[j] = (static_cast<float>(j) + 0.5f) * ratioW - 0.5f;
    for (int32_t i = 0; i < heightDst; ++i) rowPos[i] = (static_cast<float>(i) + 0.5f) * ratioH - 0.5f;
    ResizeCubic(srcImg, dstImg, arrayCoff1, arrayCoff2, rowPos, colPos);
  }
  ZqSafeFree(arrayXY);
  ZqSafeFree(arrayCoff2);
  ZqSafeFree(arrayCoff1);
  return ret;
}

extern "C" int32_t ZqDoubleImageByCubic(const ST_Image *src, ST_Image *dst) {
  ZQ_CHECK((src == NULL) || (dst == NULL), 0);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_32F) || !ZqImgIs(dst, DEPTH_32F), 0);
  ZQ_CHECK((src->width <= 0) || (src->height <= 0), 0);
  ZQ_CHECK((int64_t{dst->width} != 2 * int64_t{src->width}) ||
               (int64_t{dst->height} != 2 * int64_t{src->height}),
           0);
  const int w = src->width, h = src->height;
  ST_Size tmpSize = {h, 2 * w};
  ST_Image *tmp = ZqCreateImage(&tmpSize, DEPTH_32F);
  ZQ_CHECK(tmp == NULL, 0);

  // The taps of every output column, shared by all rows.
  int32_t *colTaps = static_cast<int32_t *>(ZqSafeAlloc(2 * w * 5 * static_cast<int32_t>(sizeof(int32_t))));
  float *colWeights = static_cast<float *>(ZqSafeAlloc(2 * w * 4 * static_cast<int32_t>(sizeof(float))));
  if (colTaps == nullptr || colWeights == nullptr) {
    ZqSafeFree(colWeights);
    ZqSafeFree(colTaps);
    ZqReleaseImage(&tmp);
    ZQ_LOG_FAIL("ZqDoubleImageByCubic", "(colTaps == NULL) || (colWeights == NULL)");
    return 0;
  }
  for (int o = 0; o < 2 * w; ++o) colTaps[5 * o] = DoubleTaps(o, w, colTaps + 5 * o + 1, colWeights + 4 * o);

  // Horizontal pass: each source row into a row of tmp.
  for (int y = 0; y < h; ++y) {
    const float *in = ZqImgRow<float>(src, y);
    float *out = ZqImgRow<float>(tmp, y);
    for (int o = 0; o < 2 * w; ++o) {
      const int32_t *taps = colTaps + 5 * o;
      const float *wt = colWeights + 4 * o;
      float v = 0.0f;
      for (int t = 0; t < taps[0]; ++t) v += wt[t] * in[taps[t + 1]];
      out[o] = v;
    }
  }
  ZqSafeFree(colWeights);
  ZqSafeFree(colTaps);

  int idx[4];
  float wt[4];
  // Vertical pass: each output row from up to four rows of tmp.
  for (int o = 0; o < 2 * h; ++o) {
    const int count = DoubleTaps(o, h, idx, wt);
    float *out = ZqImgRow<float>(dst, o);
    std::memset(out, 0, static_cast<size_t>(dst->rowBytes));
    for (int t = 0; t < count; ++t) {
      const float *in = ZqImgRow<float>(tmp, idx[t]);
      const float k = wt[t];
      for (int x = 0; x < 2 * w; ++x) out[x] += k * in[x];
    }
  }
  ZqReleaseImage(&tmp);
  return 1;
}
