#include "src/image/ZqImgProc.h"

#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqImgRow.h"

namespace {

// 2 x 2 means of integer pixels, summed wide and truncated towards zero.
template <typename T>
void Four2OneInt(const ST_Image *src, ST_Image *dst) {
  for (int i = 0; i < dst->height; ++i) {
    const T *a = ZqImgRow<T>(src, 2 * i);
    const T *b = ZqImgRow<T>(src, 2 * i + 1);
    T *out = ZqImgRow<T>(dst, i);
    for (int j = 0; j < dst->width; ++j) {
      int64_t sum = int64_t{a[2 * j]} + a[2 * j + 1] + b[2 * j] + b[2 * j + 1];
      out[j] = static_cast<T>(sum / 4);
    }
  }
}

// 2 x 2 means of floating-point pixels.
template <typename T>
void Four2OneReal(const ST_Image *src, ST_Image *dst) {
  for (int i = 0; i < dst->height; ++i) {
    const T *a = ZqImgRow<T>(src, 2 * i);
    const T *b = ZqImgRow<T>(src, 2 * i + 1);
    T *out = ZqImgRow<T>(dst, i);
    for (int j = 0; j < dst->width; ++j) {
      out[j] = static_cast<T>(0.25) * (a[2 * j] + a[2 * j + 1] + b[2 * j] + b[2 * j + 1]);
    }
  }
}

// Min-max stretch of any pixel type T to 0..255; a flat image gives 0.
template <typename T>
void StretchToU8(const ST_Image *src, ST_Image *dst) {
  if (src->width <= 0 || src->height <= 0) return;
  double lo = static_cast<double>(ZqImgRow<T>(src, 0)[0]);
  double hi = lo;
  for (int y = 0; y < src->height; ++y) {
    const T *in = ZqImgRow<T>(src, y);
    for (int x = 0; x < src->width; ++x) {
      double v = static_cast<double>(in[x]);
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
  }
  const double range = hi - lo;
  for (int y = 0; y < src->height; ++y) {
    const T *in = ZqImgRow<T>(src, y);
    uint8_t *out = ZqImgRow<uint8_t>(dst, y);
    for (int x = 0; x < src->width; ++x) {
      double v = range > 0.0 ? (static_cast<double>(in[x]) - lo) * 255.0 / range : 0.0;
      out[x] = !(v > 0.0) ? 0 : v >= 255.0 ? 255 : static_cast<uint8_t>(v);  // NaN gives 0
    }
  }
}

// A new 8-bit image of src's size, or NULL.
ST_Image *NewU8Like(const ST_Image *src) {
  ST_Size size = {src->height, src->width};
  return ZqCreateImage(&size, DEPTH_8U);
}

}  // namespace

extern "C" ST_Image *ZqFour2One(const ST_Image *src) {
  ZQ_CHECK(src == NULL, nullptr);
  ZQ_CHECK(src->imageData == NULL, nullptr);
  ZQ_CHECK((src->width % 2 != 0) || (src->height % 2 != 0), nullptr);
  ZQ_CHECK(src->depth == DEPTH_1U, nullptr);
  ST_Size size = {src->height / 2, src->width / 2};
  ST_Image *dst = ZqCreateImage(&size, src->depth);
  ZQ_CHECK(dst == NULL, nullptr);
  switch (static_cast<uint32_t>(src->depth)) {
    case DEPTH_8U: Four2OneInt<uint8_t>(src, dst); break;
    case static_cast<uint32_t>(DEPTH_8S): Four2OneInt<int8_t>(src, dst); break;
    case DEPTH_16U: Four2OneInt<uint16_t>(src, dst); break;
    case static_cast<uint32_t>(DEPTH_16S): Four2OneInt<int16_t>(src, dst); break;
    case static_cast<uint32_t>(DEPTH_32S): Four2OneInt<int32_t>(src, dst); break;
    case DEPTH_32F: Four2OneReal<float>(src, dst); break;
    case DEPTH_64F: Four2OneReal<double>(src, dst); break;
    default: break;  // ZqCreateImage accepted no other depth
  }
  return dst;
}

extern "C" ST_Image *ZqCovertImgforStore(const ST_Image *src) {
  ZQ_CHECK(src == NULL, nullptr);
  ZQ_CHECK(src->imageData == NULL, nullptr);
  ST_Image *dst = NewU8Like(src);
  ZQ_CHECK(dst == NULL, nullptr);
  switch (static_cast<uint32_t>(src->depth)) {
    case DEPTH_8U:
      for (int y = 0; y < src->height; ++y) {
        std::memcpy(ZqImgRow<uint8_t>(dst, y), ZqImgRow<uint8_t>(src, y),
                    static_cast<size_t>(src->width));
      }
      break;
    case DEPTH_16U: StretchToU8<uint16_t>(src, dst); break;
    case static_cast<uint32_t>(DEPTH_16S): StretchToU8<int16_t>(src, dst); break;
    case DEPTH_32F: StretchToU8<float>(src, dst); break;
    case static_cast<uint32_t>(DEPTH_32S): StretchToU8<int32_t>(src, dst); break;
    default: break;  // other depths stay 0
  }
  return dst;
}

extern "C" void ZqConvertScale(const ST_Image *srcImg, ST_Image *dstImg, float scale, float shift) {
  ZQ_CHECK_VOID((srcImg == NULL) || (dstImg == NULL) || (scale == 0));
  ZQ_CHECK_VOID(dstImg->width != srcImg->width);
  ZQ_CHECK_VOID(dstImg->height != srcImg->height);
  ZQ_CHECK_VOID((srcImg->imageData == NULL) || (dstImg->imageData == NULL));
  ZQ_CHECK_VOID((srcImg->depth != DEPTH_8U) || (dstImg->depth != DEPTH_32F));
  for (int y = srcImg->height - 1; y >= 0; --y) {
    const uint8_t *in = ZqImgRow<uint8_t>(srcImg, y);
    float *out = ZqImgRow<float>(dstImg, y);
    for (int x = 0; x < srcImg->width; ++x) out[x] = static_cast<float>(in[x]) * scale + shift;
  }
}

extern "C" void ZqFloatImage2U8(const ST_Image *srcImg, ST_Image **dstImg) {
  ZQ_CHECK_VOID((srcImg == NULL) || (dstImg == NULL));
  if (*dstImg == nullptr) {
    *dstImg = NewU8Like(srcImg);
    ZQ_CHECK_VOID(*dstImg == NULL);
  }
  const ST_Image *dst = *dstImg;
  if (dst->width != srcImg->width) {
    ZQ_LOG_FAIL("ZqFloatImage2U8", "...dstImg->width != srcImg->width");
    return;
  }
  if (dst->height != srcImg->height) {
    ZQ_LOG_FAIL("ZqFloatImage2U8", "...dstImg->height != srcImg->height");
    return;
  }
  if (srcImg->imageData == nullptr || dst->imageData == nullptr) {
    ZQ_LOG_FAIL("ZqFloatImage2U8", "...(srcImg->imageData == NULL) || (dstImg->imageData == NULL)");
    return;
  }
  ZQ_CHECK_VOID((srcImg->depth != DEPTH_32F) || ((*dstImg)->depth != DEPTH_8U));
  for (int y = srcImg->height - 1; y >= 0; --y) {
    const float *in = ZqImgRow<float>(srcImg, y);
    uint8_t *out = ZqImgRow<uint8_t>(dst, y);
    for (int x = 0; x < srcImg->width; ++x) {
      float v = in[x] * 255.0f;
      out[x] = !(v > 0.0f) ? 0 : v >= 255.0f ? 255 : static_cast<uint8_t>(v);
    }
  }
}

extern "C" int32_t ZqThreasholdImageU8(const ST_Image *src, ST_Image **dst, int32_t lo,
                                       int32_t hi, uint8_t flag) {
  ZQ_CHECK((src == NULL) || (dst == NULL), ZQ_ERR_PARAM);
  ZQ_CHECK(!ZqImgIs(src, DEPTH_8U), ZQ_ERR_PARAM);
  if (*dst == nullptr) {
    *dst = NewU8Like(src);
    ZQ_CHECK(*dst == NULL, ZQ_ERR_ALLOC);
  }
  ZQ_CHECK(((*dst)->width != src->width) || ((*dst)->height != src->height), ZQ_ERR_ALLOC);
  ZQ_CHECK(!ZqImgIs(*dst, DEPTH_8U), ZQ_ERR_ALLOC);
  const uint8_t inside = flag == 0 ? 255 : 0;
  const uint8_t outside = flag == 0 ? 0 : 255;
  for (int y = 0; y < src->height; ++y) {
    const uint8_t *in = ZqImgRow<uint8_t>(src, y);
    uint8_t *out = ZqImgRow<uint8_t>(*dst, y);
    for (int x = 0; x < src->width; ++x) out[x] = (lo <= in[x] && in[x] <= hi) ? inside : outside;
  }
  return ZQ_OK;
}
