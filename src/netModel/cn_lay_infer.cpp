#include "src/netModel/cn_lay_infer.h"

#include <cstring>

#include "src/netModel/cn_checks.h"
#include "src/quorv_base/quorv_log.h"

namespace {

using zq_net::HoldsShape;

// Geometry of one plane-to-plane window pass.
struct Walk {
  const float *in;  // input plane
  int32_t in_w;
  float *out;  // output plane
  int32_t out_w, out_h;
  int32_t stride_h, stride_w;
  int32_t step_h, step_w;  // spacing of the taps (dilation, or 1 for pooling)
  int32_t kernel_h, kernel_w;
};

// Checks that plane `in_k` of pad and plane `out_k` of dst exist and that
// every window of dst lies inside pad's plane; fills *walk.
bool Prepare(int32_t in_k, int32_t out_k, const ST_CnnLayInOut &pad, const ST_CnnLayInOut &dst,
             const ST_CnnLayParam &row, bool dilated, Walk *walk) {
  if (!HoldsShape(pad) || !HoldsShape(dst)) return false;
  if (in_k < 0 || in_k >= pad.c || out_k < 0 || out_k >= dst.c) return false;
  if (row.kernel_h < 1 || row.kernel_w < 1 || row.stride_h < 1 || row.stride_w < 1) return false;
  walk->step_h = dilated ? row.dilation_h : 1;
  walk->step_w = dilated ? row.dilation_w : 1;
  if (walk->step_h < 1 || walk->step_w < 1) return false;
  const int64_t last_row = static_cast<int64_t>(dst.h - 1) * row.stride_h +
                           static_cast<int64_t>(walk->step_h) * (row.kernel_h - 1);
  const int64_t last_col = static_cast<int64_t>(dst.w - 1) * row.stride_w +
                           static_cast<int64_t>(walk->step_w) * (row.kernel_w - 1);
  if (dst.w > 0 && dst.h > 0 && (last_row >= pad.h || last_col >= pad.w)) return false;
  walk->in = pad.data + static_cast<int64_t>(in_k) * pad.h * pad.w;
  walk->in_w = pad.w;
  walk->out = dst.data + static_cast<int64_t>(out_k) * dst.h * dst.w;
  walk->out_w = dst.w;
  walk->out_h = dst.h;
  walk->stride_h = row.stride_h;
  walk->stride_w = row.stride_w;
  walk->kernel_h = row.kernel_h;
  walk->kernel_w = row.kernel_w;
  return true;
}

// Convolution with a kernel shape known at compile time; the taps are
// summed in the same order as the general form.
template <int KH, int KW>
void ConvFixed(const Walk &wk, const float *kernel) {
  for (int32_t y = 0; y < wk.out_h; ++y) {
    for (int32_t x = 0; x < wk.out_w; ++x) {
      const float *origin = wk.in + static_cast<int64_t>(y) * wk.stride_h * wk.in_w +
                            static_cast<int64_t>(x) * wk.stride_w;
      float sum = 0.0f;
      for (int r = 0; r < KH; ++r) {
        const float *line = origin + static_cast<int64_t>(r) * wk.step_h * wk.in_w;
        for (int s = 0; s < KW; ++s) sum += line[s * wk.step_w] * kernel[r * KW + s];
      }
      wk.out[static_cast<int64_t>(y) * wk.out_w + x] = sum;
    }
  }
}

void ConvGeneral(const Walk &wk, const float *kernel) {
  for (int32_t y = 0; y < wk.out_h; ++y) {
    for (int32_t x = 0; x < wk.out_w; ++x) {
      const float *origin = wk.in + static_cast<int64_t>(y) * wk.stride_h * wk.in_w +
                            static_cast<int64_t>(x) * wk.stride_w;
      float sum = 0.0f;
      for (int32_t r = 0; r < wk.kernel_h; ++r) {
        const float *line = origin + static_cast<int64_t>(r) * wk.step_h * wk.in_w;
        for (int32_t s = 0; s < wk.kernel_w; ++s) {
          sum += line[static_cast<int64_t>(s) * wk.step_w] * kernel[r * wk.kernel_w + s];
        }
      }
      wk.out[static_cast<int64_t>(y) * wk.out_w + x] = sum;
    }
  }
}

// Runs `reduce(window origin)` for every output cell of the walk.
template <typename Reduce>
void EachWindow(const Walk &wk, Reduce reduce) {
  for (int32_t y = 0; y < wk.out_h; ++y) {
    for (int32_t x = 0; x < wk.out_w; ++x) {
      const float *origin = wk.in + static_cast<int64_t>(y) * wk.stride_h * wk.in_w +
                            static_cast<int64_t>(x) * wk.stride_w;
      wk.out[static_cast<int64_t>(y) * wk.out_w + x] = reduce(origin);
    }
  }
}

}  // namespace

extern "C" int32_t Infer_padding_layInout(int32_t pad_h, int32_t pad_w, ST_CnnLayInOut src,
                                          ST_CnnLayInOut dst) {
  if (src.data == nullptr || dst.data == nullptr) {
    QUORV_LOGE("%s... address = NULL\n", __func__);
    return -1;
  }
  if (src.w <= 0 || src.h <= 0 || dst.w <= 0 || dst.h <= 0 || src.c != dst.c ||
      pad_h < 0 || pad_w < 0 || src.w + static_cast<int64_t>(pad_w) > dst.w ||
      src.h + static_cast<int64_t>(pad_h) > dst.h || !HoldsShape(src) || !HoldsShape(dst)) {
    QUORV_LOGE("%s... param is error\n", __func__);
    return -2;
  }
  const int64_t src_plane = static_cast<int64_t>(src.w) * src.h;
  const int64_t dst_plane = static_cast<int64_t>(dst.w) * dst.h;
  for (int32_t k = 0; k < src.c; ++k) {
    for (int32_t y = 0; y < src.h; ++y) {
      std::memcpy(dst.data + k * dst_plane + static_cast<int64_t>(y + pad_h) * dst.w + pad_w,
                  src.data + k * src_plane + static_cast<int64_t>(y) * src.w,
                  static_cast<size_t>(src.w) * sizeof(float));
    }
  }
  return 0;
}

extern "C" int32_t Infer_conv2d_one_channel(int32_t ic, int32_t oc, const float *kernel,
                                            ST_CnnLayInOut pad, ST_CnnLayInOut dst,
                                            ST_CnnLayParam row) {
  if (kernel == nullptr || pad.data == nullptr || dst.data == nullptr) return -1;
  Walk wk;
  if (!Prepare(ic, oc, pad, dst, row, true, &wk)) return -2;
  const int kh = row.kernel_h, kw = row.kernel_w;
  if (kh == 1 && kw == 1) {
    ConvFixed<1, 1>(wk, kernel);
  } else if (kh == 3 && kw == 3) {
    ConvFixed<3, 3>(wk, kernel);
  } else if (kh == 5 && kw == 3) {
    ConvFixed<5, 3>(wk, kernel);
  } else if (kh == 3 && kw == 5) {
    ConvFixed<3, 5>(wk, kernel);
  } else if (kh == 7 && kw == 5) {
    ConvFixed<7, 5>(wk, kernel);
  } else {
    QUORV_LOGD("%d-%d;", kw, kh);
    ConvGeneral(wk, kernel);
  }
  return 0;
}

extern "C" int32_t Infer_maxpool2d_one_channel(int32_t k, ST_CnnLayInOut pad, ST_CnnLayInOut dst,
                                               ST_CnnLayParam row) {
  if (pad.data == nullptr || dst.data == nullptr) return -1;
  Walk wk;
  if (!Prepare(k, k, pad, dst, row, false, &wk)) return -2;
  EachWindow(wk, [&wk](const float *origin) {
    float best = -10000000.0f;
    for (int32_t r = 0; r < wk.kernel_h; ++r) {
      const float *line = origin + static_cast<int64_t>(r) * wk.in_w;
      for (int32_t s = 0; s < wk.kernel_w; ++s) {
        if (line[s] > best) best = line[s];
      }
    }
    return best;
  });
  return 0;
}

extern "C" int32_t Infer_AvgPool2d_one_channel(int32_t k, ST_CnnLayInOut pad, ST_CnnLayInOut dst,
                                               ST_CnnLayParam row) {
  if (pad.data == nullptr || dst.data == nullptr) return -1;
  Walk wk;
  if (!Prepare(k, k, pad, dst, row, false, &wk)) return -2;
  const float cells = static_cast<float>(wk.kernel_h * wk.kernel_w);
  EachWindow(wk, [&wk, cells](const float *origin) {
    float sum = 0.0f;
    for (int32_t r = 0; r < wk.kernel_h; ++r) {
      const float *line = origin + static_cast<int64_t>(r) * wk.in_w;
      for (int32_t s = 0; s < wk.kernel_w; ++s) sum += line[s];
    }
    return sum / cells;
  });
  return 0;
}
