#include "src/netModel/cn_BaseNet.h"

#include <cstring>

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/cn_checks.h"
#include "src/netModel/cn_lay_infer.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_net::Bytes;
using zq_net::Holds;
using zq_net::HoldsShape;
using zq_net::ReadRow;
using zq_net::SameShape;

// Logs a refusal that has no message of its own: "<fn>[<line>]...<what>,ret = <ret>;".
#define NET_FAIL(fn, what, ret)                                                           \
  QUORV_LOG_IN((fn), QUORV_LOG_ERROR, "%s[%05d]...%s,ret = %d;", (fn), __LINE__, (what), \
               (ret))

constexpr int16_t kInt16Max = 32767;

// Plane geometry of a convolution or pooling row over an input.
struct Geometry {
  int32_t wp, hp;          // padded plane (after the ceil-mode step)
  int32_t out_w, out_h;    // output plane
};

// One axis: padded length and output length; false when the row gives no
// output or the lengths do not fit an int16.
bool Axis(int32_t in, int32_t kernel, int32_t stride, int32_t dilation, int32_t pad,
          bool ceil_mode, int32_t *padded, int32_t *out) {
  if (in < 1 || kernel < 1 || stride < 1 || dilation < 1 || pad < 0) return false;
  int64_t p = in + 2 * static_cast<int64_t>(pad);
  const int64_t reach = static_cast<int64_t>(dilation) * (kernel - 1);
  // Ceil mode always adds what completes the last stride (a whole stride
  // when the walk fits exactly); the added cells stay 0.
  if (ceil_mode) p = p + stride - ((p - 1 - reach) % stride);
  const int64_t span = p - reach - 1;
  if (span < 0 || p > kInt16Max) return false;
  *padded = static_cast<int32_t>(p);
  *out = static_cast<int32_t>(span / stride + 1);
  return true;
}

bool PlaneGeometry(const ST_CnnLayParam &p, const ST_CnnLayInOut &in, bool ceil_mode,
                   Geometry *g) {
  if (in.c < 1) return false;
  return Axis(in.w, p.kernel_w, p.stride_w, p.dilation_w, p.pad_w, ceil_mode, &g->wp,
              &g->out_w) &&
         Axis(in.h, p.kernel_h, p.stride_h, p.dilation_h, p.pad_h, ceil_mode, &g->hp,
              &g->out_h);
}

void SetShape(ST_CnnLayInOut *t, int32_t w, int32_t h, int32_t c) {
  t->w = static_cast<int16_t>(w);
  t->h = static_cast<int16_t>(h);
  t->c = static_cast<int16_t>(c);
}

// Common end of every sizing function.
int32_t FinishSizing(ST_CnnLayInOut *out, int32_t *tmp_bytes, int64_t tmp, int32_t alloc) {
  *tmp_bytes = static_cast<int32_t>(tmp);
  return alloc != 0 ? Zq_SafeAlloc_ST_CnnLayInOut(out) : 0;
}

// Allocates *t with the given shape from the pool; returns its code.
int32_t AllocShaped(ST_CnnLayInOut *t, int32_t w, int32_t h, int32_t c) {
  Zq_Zeros_ST_CnnLayInOut(t);
  SetShape(t, w, h, c);
  return Zq_SafeAlloc_ST_CnnLayInOut(t);
}

// Max and average pooling share everything but the window reduction.
int32_t Pool2d(const char *fn, bool average, ST_CnnLayInOut *out, const int16_t *row,
               int32_t *weights_used, const ST_CnnLayInOut &in) {
  ST_CnnLayInOut padded;
  Zq_Zeros_ST_CnnLayInOut(&padded);
  if (out == nullptr || row == nullptr || weights_used == nullptr) {
    NET_FAIL(fn, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  Geometry g;
  if (!PlaneGeometry(p, in, p.bias > 0, &g)) {
    NET_FAIL(fn, "param is error", -2);
    return -2;
  }
  int32_t ret = AllocShaped(&padded, g.wp, g.hp, in.c);
  if (ret != 0) {
    QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "%s[%05d]...Zq_SafeAlloc_ST_CnnLayInOut(),ret = %d;\n", fn,
                 __LINE__, ret);
    return ret;
  }
  ret = Infer_padding_layInout(p.pad_h, p.pad_w, in, padded);
  if (ret != 0) {
    NET_FAIL(fn, "Infer_padding_layInout()", ret);
    Zq_SafeFree_ST_CnnLayInOut(&padded);
    return ret;
  }
  SetShape(out, g.out_w, g.out_h, in.c);
  if (!Holds(*out, Bytes(g.out_w, g.out_h, in.c))) {
    if (average) {
      QUORV_LOG_IN(fn, QUORV_LOG_ERROR, "***odrin output is error!\n");
    } else {
      NET_FAIL(fn, "output is error", -4);
    }
    Zq_SafeFree_ST_CnnLayInOut(&padded);
    return -4;
  }
  for (int32_t k = 0; k < in.c && ret == 0; ++k) {
    ret = average ? Infer_AvgPool2d_one_channel(k, padded, *out, p)
                  : Infer_maxpool2d_one_channel(k, padded, *out, p);
  }
  if (ret == 0) *weights_used = 0;
  Zq_SafeFree_ST_CnnLayInOut(&padded);
  return ret;
}

}  // namespace

extern "C" int32_t Net_Conv2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t /*row_len*/,
                                    const float *weights, int32_t *weights_used,
                                    ST_CnnLayInOut in) {
  ST_CnnLayInOut padded, acc;
  Zq_Zeros_ST_CnnLayInOut(&padded);
  Zq_Zeros_ST_CnnLayInOut(&acc);
  if (out == nullptr || in.data == nullptr || row == nullptr || weights == nullptr ||
      weights_used == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  if (p.in_channels != in.c) {
    NET_FAIL(__func__, "in_channels != input c", -2);
    return -2;
  }
  Geometry g;
  const int64_t kernel_count = static_cast<int64_t>(p.in_channels) * p.kernel_h * p.kernel_w *
                               p.out_channels / (p.groups > 0 ? p.groups : 1);
  const int64_t total = kernel_count + (p.bias != 0 ? p.out_channels : 0);
  if (p.groups < 1 || in.c % p.groups != 0 || p.out_channels < 1 ||
      !PlaneGeometry(p, in, false, &g) || total > INT32_MAX) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, g.out_w, g.out_h, p.out_channels);
  const int64_t need = Bytes(g.out_w, g.out_h, p.out_channels);
  if (!Holds(*out, need)) {
    QUORV_LOGE("*** output is error %d, %d!", static_cast<int32_t>(need), out->byte_len);
    return -5;
  }
  if (AllocShaped(&padded, g.wp, g.hp, in.c) != 0 || AllocShaped(&acc, g.out_w, g.out_h, 1) != 0) {
    NET_FAIL(__func__, "Zq_SafeAlloc_ST_CnnLayInOut()", -3);
    Zq_SafeFree_ST_CnnLayInOut(&acc);
    Zq_SafeFree_ST_CnnLayInOut(&padded);
    return -3;
  }
  int32_t ret = 0;
  if (Infer_padding_layInout(p.pad_h, p.pad_w, in, padded) != 0) {
    NET_FAIL(__func__, "Infer_padding_layInout()", -4);
    ret = -4;
  }
  if (ret == 0) {
    *weights_used = static_cast<int32_t>(total);
    const int64_t plane = static_cast<int64_t>(g.out_w) * g.out_h;
    const int32_t taps = p.kernel_h * p.kernel_w;
    const int32_t per_group = in.c / p.groups;
    const float *kernel = weights;
    const float *biases = weights + kernel_count;
    std::memset(out->data, 0, static_cast<size_t>(need));
    int32_t first = 0;
    for (int32_t o = 0; o < p.out_channels && ret == 0; ++o) {
      float *dst = out->data + o * plane;
      if (p.bias != 0) {
        for (int64_t e = 0; e < plane; ++e) dst[e] += biases[o];
      }
      for (int32_t i = first; i < first + per_group && ret == 0; ++i, kernel += taps) {
        ret = Infer_conv2d_one_channel(i, 0, kernel, padded, acc, p);
        for (int64_t e = 0; e < plane; ++e) {
          dst[e] += acc.data[e];
          acc.data[e] = 0.0f;
        }
      }
      first += per_group;
      if (first >= in.c) first = 0;
    }
    if (ret != 0) NET_FAIL(__func__, "Infer_conv2d_one_channel()", ret);
  }
  Zq_SafeFree_ST_CnnLayInOut(&acc);
  Zq_SafeFree_ST_CnnLayInOut(&padded);
  return ret;
}

extern "C" int32_t Net_Conv2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                            int32_t /*row_len*/, int32_t *tmp_bytes,
                                            int32_t alloc, ST_CnnLayInOut in) {
  if (out == nullptr || tmp_bytes == nullptr || row == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  Geometry g;
  if (p.out_channels < 1 || !PlaneGeometry(p, in, false, &g)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, g.out_w, g.out_h, p.out_channels);
  const int64_t tmp = Bytes(g.wp, g.hp, in.c) + Bytes(g.out_w, g.out_h, 1);
  if (tmp > INT32_MAX) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  return FinishSizing(out, tmp_bytes, tmp, alloc);
}

extern "C" int32_t Net_MaxPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t /*row_len*/,
                                       const float * /*weights*/, int32_t *weights_used,
                                       ST_CnnLayInOut in) {
  return Pool2d(__func__, false, out, row, weights_used, in);
}

extern "C" int32_t Net_MaxPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                               int32_t /*row_len*/, int32_t *tmp_bytes,
                                               int32_t alloc, ST_CnnLayInOut in) {
  if (out == nullptr || tmp_bytes == nullptr || row == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  Geometry g;
  if (!PlaneGeometry(p, in, p.bias > 0, &g) || Bytes(g.wp, g.hp, in.c) > INT32_MAX) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, g.out_w, g.out_h, in.c);
  return FinishSizing(out, tmp_bytes, Bytes(g.wp, g.hp, in.c), alloc);
}

extern "C" int32_t Net_AvgPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t /*row_len*/,
                                       const float * /*weights*/, int32_t *weights_used,
                                       ST_CnnLayInOut in) {
  return Pool2d(__func__, true, out, row, weights_used, in);
}

extern "C" int32_t Net_AvgPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                               int32_t row_len, int32_t *tmp_bytes,
                                               int32_t alloc, ST_CnnLayInOut in) {
  return Net_MaxPool2d_OutSize_Infer(out, row, row_len, tmp_bytes, alloc, in);
}

extern "C" int32_t Net_BatchNorm2d_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                         int32_t /*row_len*/, const float *weights,
                                         int32_t *weights_used, ST_CnnLayInOut in) {
  if (out == nullptr || in.data == nullptr || weights == nullptr || weights_used == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (out->data == nullptr || !HoldsShape(in)) {
    NET_FAIL(__func__, "output is error", -2);
    return -2;
  }
  const int64_t bytes = Bytes(in.w, in.h, in.c);
  if (!Holds(*out, bytes)) {
    NET_FAIL(__func__, "output is error", -4);
    return -4;
  }
  SetShape(out, in.w, in.h, in.c);
  const int32_t n = in.c;
  const int64_t plane = static_cast<int64_t>(in.w) * in.h;
  const float *m = weights, *s = weights + n, *b = weights + 2 * n;
  for (int32_t k = 0; k < n; ++k) {
    const float *x = in.data + k * plane;
    float *y = out->data + k * plane;
    for (int64_t e = 0; e < plane; ++e) y[e] = (x[e] - m[k]) * s[k] + b[k];
  }
  *weights_used = 3 * n;
  return 0;
}

extern "C" int32_t Net_BatchNorm2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                                 int32_t /*row_len*/, int32_t *tmp_bytes,
                                                 int32_t alloc, ST_CnnLayInOut in) {
  if (out == nullptr || tmp_bytes == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  SetShape(out, in.w, in.h, in.c);
  return FinishSizing(out, tmp_bytes, 0, alloc);
}

extern "C" int32_t Net_BatchNorm1d_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                         int32_t /*row_len*/, const float *weights,
                                         int32_t *weights_used, ST_CnnLayInOut in) {
  if (in.data == nullptr || out == nullptr || out->data == nullptr || weights == nullptr ||
      weights_used == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (in.w != 1 || in.h != 1 || !SameShape(*out, in) || !HoldsShape(in)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  const int32_t n = in.c;
  if (!Holds(*out, Bytes(1, 1, n))) {
    NET_FAIL(__func__, "output is error", -4);
    return -4;
  }
  const float *m = weights, *s = weights + n, *b = weights + 2 * n;
  for (int32_t i = 0; i < n; ++i) out->data[i] = (in.data[i] - m[i]) * s[i] + b[i];
  *weights_used = 3 * n;
  return 0;
}

extern "C" int32_t Net_BatchNorm1d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                 int32_t row_len, int32_t *tmp_bytes,
                                                 int32_t alloc, ST_CnnLayInOut in) {
  if ((row != nullptr && row_len != 0) || out == nullptr || tmp_bytes == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (in.w != 1 || in.h != 1) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, in.w, in.h, in.c);
  return FinishSizing(out, tmp_bytes, 0, alloc);
}

extern "C" int32_t Net_LeakyReLU_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                       int32_t /*row_len*/, const float * /*weights*/,
                                       int32_t *weights_used, ST_CnnLayInOut in) {
  if (out == nullptr || in.data == nullptr || weights_used == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (out->data == nullptr || !HoldsShape(in)) {
    NET_FAIL(__func__, "output is error", -2);
    return -2;
  }
  const int64_t count = static_cast<int64_t>(in.w) * in.h * in.c;
  if (!Holds(*out, count * 4)) {
    NET_FAIL(__func__, "output is error", -4);
    return -4;
  }
  SetShape(out, in.w, in.h, in.c);
  for (int64_t e = 0; e < count; ++e) {
    const float x = in.data[e];
    out->data[e] = x < 0.0f ? 0.01f * x : x;
  }
  *weights_used = 0;
  return 0;
}

extern "C" int32_t Net_LeakyReLU_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                               int32_t row_len, int32_t *tmp_bytes,
                                               int32_t alloc, ST_CnnLayInOut in) {
  if ((row != nullptr && row_len != 0) || out == nullptr || tmp_bytes == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  SetShape(out, in.w, in.h, in.c);
  return FinishSizing(out, tmp_bytes, 0, alloc);
}

extern "C" int32_t Net_Linear_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t /*row_len*/,
                                    const float *weights, int32_t *weights_used,
                                    ST_CnnLayInOut in) {
  ST_CnnLayInOut copy;
  Zq_Zeros_ST_CnnLayInOut(&copy);
  if (out == nullptr || in.data == nullptr || row == nullptr || weights == nullptr ||
      weights_used == nullptr) {
    QUORV_LOGE("%s :code %d", __func__, __LINE__);
    return -1;
  }
  if (out->data == nullptr) {
    QUORV_LOGE("*************odrin:\n");
    QUORV_LOGE("%s :code %d", __func__, __LINE__);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  if (!HoldsShape(in)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  ST_CnnLayInOut src = in;
  if (out->data == in.data) {
    int32_t ret = AllocShaped(&copy, in.w, in.h, in.c);
    if (ret != 0) {
      QUORV_LOGE("%s[%05d]...Zq_SafeAlloc_ST_CnnLayInOut() is error,ret = %d;", __func__,
                 __LINE__, ret);
      return ret;
    }
    std::memcpy(copy.data, in.data, static_cast<size_t>(copy.byte_len));
    src = copy;
  }
  SetShape(out, 1, 1, p.out_channels);
  const int64_t n = static_cast<int64_t>(src.w) * src.h * src.c;
  int32_t ret = 0;
  if (n != p.in_channels || p.out_channels < 1) {
    QUORV_LOGE("%s :code %d;%d,%d\n", __func__, __LINE__, static_cast<int32_t>(n),
               p.in_channels);
    ret = -2;
  } else if (!Holds(*out, Bytes(1, 1, p.out_channels))) {
    NET_FAIL(__func__, "output is error", -4);
    ret = -4;
  } else {
    const float *biases = weights + n * p.out_channels;
    for (int32_t j = 0; j < p.out_channels; ++j) {
      const float *w = weights + j * n;
      float sum = 0.0f;
      for (int64_t i = 0; i < n; ++i) sum += w[i] * src.data[i];
      if (p.bias != 0) sum += biases[j];
      out->data[j] = sum;
    }
    *weights_used = static_cast<int32_t>(n * p.out_channels + (p.bias != 0 ? p.out_channels : 0));
  }
  Zq_SafeFree_ST_CnnLayInOut(&copy);
  return ret;
}

extern "C" int32_t Net_Linear_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                            int32_t /*row_len*/, int32_t *tmp_bytes,
                                            int32_t alloc, ST_CnnLayInOut in) {
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  const int64_t n = static_cast<int64_t>(in.w) * in.h * in.c;
  SetShape(out, 1, 1, p.out_channels);
  if (n != p.in_channels || n < 1 || p.out_channels < 1) {
    QUORV_LOGE("%s :code %d;%d,%d\n", __func__, __LINE__, static_cast<int32_t>(n),
               p.in_channels);
    return -2;
  }
  return FinishSizing(out, tmp_bytes, n * 4, alloc);
}

namespace {

// Output plane of adaptive pooling; false when it is empty or larger than
// the input's plane.
bool AdaptiveFits(const ST_CnnLayParam &p, const ST_CnnLayInOut &in) {
  return in.c >= 1 && p.kernel_h >= 1 && p.kernel_w >= 1 && p.kernel_h <= in.h &&
         p.kernel_w <= in.w;
}

}  // namespace

extern "C" int32_t Net_AdaptiveAvgPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                               int32_t /*row_len*/, const float * /*weights*/,
                                               int32_t *weights_used, ST_CnnLayInOut in) {
  if (out == nullptr || in.data == nullptr || row == nullptr || out->data == nullptr ||
      weights_used == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  if (!AdaptiveFits(p, in) || !HoldsShape(in)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  ST_CnnLayInOut copy;
  int32_t ret = AllocShaped(&copy, in.w, in.h, in.c);
  if (ret != 0) {
    QUORV_LOGE("%s[%05d]...Zq_SafeAlloc_ST_CnnLayInOut(),ret = %d;", __func__, __LINE__, ret);
    return ret;
  }
  std::memcpy(copy.data, in.data, static_cast<size_t>(copy.byte_len));
  *weights_used = 0;
  const int32_t ow = p.kernel_w, oh = p.kernel_h;
  SetShape(out, ow, oh, in.c);
  if (!Holds(*out, Bytes(ow, oh, in.c))) {
    QUORV_LOGE("%s[%05d]...has error memory leak(),ret = %d;", __func__, __LINE__, -4);
    Zq_SafeFree_ST_CnnLayInOut(&copy);
    return -4;
  }
  const int32_t win_h = in.h - oh + 1, win_w = in.w - ow + 1;
  const float cells = static_cast<float>(win_h * win_w);
  const int64_t in_plane = static_cast<int64_t>(in.w) * in.h;
  const int64_t out_plane = static_cast<int64_t>(ow) * oh;
  for (int32_t k = 0; k < in.c; ++k) {
    const float *src = copy.data + k * in_plane;
    float *dst = out->data + k * out_plane;
    for (int32_t y = 0; y < oh; ++y) {
      for (int32_t x = 0; x < ow; ++x) {
        float sum = 0.0f;
        for (int32_t r = 0; r < win_h; ++r) {
          const float *line = src + static_cast<int64_t>(y + r) * in.w + x;
          for (int32_t s = 0; s < win_w; ++s) sum += line[s];
        }
        dst[y * ow + x] = sum / cells;
      }
    }
  }
  Zq_SafeFree_ST_CnnLayInOut(&copy);
  return 0;
}

extern "C" int32_t Net_AdaptiveAvgPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                       int32_t /*row_len*/, int32_t *tmp_bytes,
                                                       int32_t alloc, ST_CnnLayInOut in) {
  if (row == nullptr || out == nullptr || tmp_bytes == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  const ST_CnnLayParam p = ReadRow(row);
  if (!AdaptiveFits(p, in)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, p.kernel_w, p.kernel_h, in.c);
  return FinishSizing(out, tmp_bytes, Bytes(in.w, in.h, in.c), alloc);
}

extern "C" int32_t Net_My_cat_2_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                      int32_t /*row_len*/, const float * /*weights*/,
                                      int32_t *weights_used, ST_CnnLayInOut a, ST_CnnLayInOut b) {
  if (out == nullptr || out->data == nullptr || weights_used == nullptr || a.data == nullptr ||
      b.data == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (a.w != b.w || a.h != b.h || !HoldsShape(a) || !HoldsShape(b) ||
      a.c + b.c > kInt16Max) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  const int64_t a_bytes = Bytes(a.w, a.h, a.c), b_bytes = Bytes(b.w, b.h, b.c);
  if (!Holds(*out, a_bytes + b_bytes)) {
    NET_FAIL(__func__, "output is error", -4);
    return -4;
  }
  SetShape(out, a.w, a.h, a.c + b.c);
  // b first, so that out may share its block with either input.
  auto *bytes = reinterpret_cast<unsigned char *>(out->data);
  std::memmove(bytes + a_bytes, b.data, static_cast<size_t>(b_bytes));
  std::memmove(bytes, a.data, static_cast<size_t>(a_bytes));
  *weights_used = 0;
  return 0;
}

extern "C" int32_t Net_My_cat_2_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                              int32_t /*row_len*/, int32_t *tmp_bytes,
                                              int32_t alloc, ST_CnnLayInOut a, ST_CnnLayInOut b) {
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (a.w != b.w || a.h != b.h || a.c + b.c > kInt16Max) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, a.w, a.h, a.c + b.c);
  return FinishSizing(out, tmp_bytes, 0, alloc);
}

extern "C" int32_t Net_My_linear_mul_channel_Infer(ST_CnnLayInOut *out, const int16_t * /*row*/,
                                                   int32_t /*row_len*/,
                                                   const float * /*weights*/,
                                                   int32_t *weights_used, ST_CnnLayInOut x,
                                                   ST_CnnLayInOut s) {
  if (out == nullptr || out->data == nullptr || weights_used == nullptr || x.data == nullptr ||
      s.data == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (s.w != 1 || s.h != 1 || s.c != x.c || !SameShape(*out, x) || !HoldsShape(x) ||
      !HoldsShape(s)) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  if (!Holds(*out, Bytes(x.w, x.h, x.c))) {
    NET_FAIL(__func__, "output is error", -4);
    return -4;
  }
  const int64_t plane = static_cast<int64_t>(x.w) * x.h;
  for (int32_t k = 0; k < x.c; ++k) {
    const float gain = s.data[k];
    const float *src = x.data + k * plane;
    float *dst = out->data + k * plane;
    for (int64_t e = 0; e < plane; ++e) dst[e] = src[e] * gain;
  }
  *weights_used = 0;
  return 0;
}

extern "C" int32_t Net_My_linear_mul_channel_OutSize_Infer(ST_CnnLayInOut *out,
                                                           const int16_t *row,
                                                           int32_t /*row_len*/,
                                                           int32_t *tmp_bytes, int32_t alloc,
                                                           ST_CnnLayInOut x, ST_CnnLayInOut s) {
  if (row == nullptr || tmp_bytes == nullptr || out == nullptr) {
    NET_FAIL(__func__, "input is error", -1);
    return -1;
  }
  if (s.w != 1 || s.h != 1 || s.c != x.c) {
    NET_FAIL(__func__, "param is error", -2);
    return -2;
  }
  SetShape(out, x.w, x.h, x.c);
  return FinishSizing(out, tmp_bytes, 0, alloc);
}
