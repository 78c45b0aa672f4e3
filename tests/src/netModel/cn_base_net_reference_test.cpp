// Layer kernels against double-precision references written here, on small
// seeded tensors: values, output shapes, weights consumed, pool bytes
// borrowed (equal to what the sizing function announces) and in-place runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/net_layer_runner.h"
#include "src/netModel/net_test_support.h"

namespace {

using net_test::AdaptiveRow;
using net_test::ConvRow;
using net_test::LayerRun;
using net_test::LinearRow;
using net_test::PoolRow;
using net_test::Row;
using net_test::RunLayer;
using net_test::Seeded;

struct Ref {
  int w = 0, h = 0, c = 0;
  std::vector<double> v;
};

// Input value at (k, y, x) of a w x h plane stack, 0 outside the plane.
double At(const std::vector<float> &in, int w, int h, int k, int y, int x) {
  if (y < 0 || y >= h || x < 0 || x >= w) return 0.0;
  return in[(static_cast<size_t>(k) * h + y) * w + x];
}

void ExpectClose(const LayerRun &got, const Ref &ref) {
  ASSERT_EQ(got.code, 0);
  ASSERT_EQ(got.w, ref.w);
  ASSERT_EQ(got.h, ref.h);
  ASSERT_EQ(got.c, ref.c);
  ASSERT_EQ(got.out.size(), ref.v.size());
  for (size_t i = 0; i < ref.v.size(); ++i) {
    ASSERT_NEAR(got.out[i], ref.v[i], 1e-5 * std::max(1.0, std::fabs(ref.v[i]))) << "at " << i;
  }
}

// Convolution as the layer defines it: output channel o reads the input
// channels of group (o mod groups), kernel planes stored o by o.
Ref RefConv(const std::vector<float> &in, int w, int h, int c, const Row &r,
            const std::vector<float> &wt) {
  const int kh = r[1], kw = r[2], oc = r[3], sh = r[4], sw = r[5], dh = r[6], dw = r[7],
            ph = r[8], pw = r[9], groups = r[10], bias = r[11];
  Ref out;
  out.w = (w + 2 * pw - dw * (kw - 1) - 1) / sw + 1;
  out.h = (h + 2 * ph - dh * (kh - 1) - 1) / sh + 1;
  out.c = oc;
  const int g = c / groups;
  const size_t kernels = static_cast<size_t>(oc) * g * kh * kw;
  for (int o = 0; o < oc; ++o) {
    const int first = (o % groups) * g;
    for (int y = 0; y < out.h; ++y) {
      for (int x = 0; x < out.w; ++x) {
        double sum = bias ? wt[kernels + o] : 0.0;
        for (int j = 0; j < g; ++j) {
          const float *k = &wt[(static_cast<size_t>(o) * g + j) * kh * kw];
          for (int a = 0; a < kh; ++a) {
            for (int b = 0; b < kw; ++b) {
              sum += At(in, w, h, first + j, y * sh + a * dh - ph, x * sw + b * dw - pw) *
                     k[a * kw + b];
            }
          }
        }
        out.v.push_back(sum);
      }
    }
  }
  return out;
}

TEST(LayerReference, Conv2d) {
  struct Case {
    const char *what;
    int w, h, c;
    Row row;
  } cases[] = {
      {"3x3 pad 1, bias", 7, 6, 3, ConvRow(3, 3, 3, 4, 1, 1, 1, 1, 1, 1, 1, 1)},
      {"1x1, 2 groups", 9, 8, 4, ConvRow(4, 1, 1, 6, 1, 1, 1, 1, 0, 0, 2, 0)},
      {"5x3 depth-wise, stride 2", 11, 9, 4, ConvRow(4, 5, 3, 4, 2, 2, 1, 1, 2, 1, 4, 1)},
      {"3x5 column stride 2", 10, 12, 2, ConvRow(2, 3, 5, 3, 1, 2, 1, 1, 1, 2, 1, 1)},
      {"7x5", 12, 14, 2, ConvRow(2, 7, 5, 2, 1, 1, 1, 1, 3, 2, 1, 0)},
      {"2x4 general, row dilation 2", 10, 10, 3, ConvRow(3, 2, 4, 3, 2, 1, 2, 1, 1, 0, 1, 1)},
      {"3x3 dilated, 2 groups, 6 outputs", 8, 8, 4, ConvRow(4, 3, 3, 6, 2, 2, 2, 2, 2, 2, 2, 1)},
  };
  uint32_t seed = 1;
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    const Row &r = k.row;
    const int count = r[0] * r[1] * r[2] * r[3] / r[10] + (r[11] ? r[3] : 0);
    const std::vector<float> in = Seeded(static_cast<size_t>(k.w) * k.h * k.c, seed++);
    const std::vector<float> wt = Seeded(count, seed++);
    const Ref ref = RefConv(in, k.w, k.h, k.c, r, wt);
    const LayerRun got =
        RunLayer(Net_Conv2d_Infer, Net_Conv2d_OutSize_Infer, r, wt, k.w, k.h, k.c, in);
    ASSERT_EQ(got.size_code, 0);
    ExpectClose(got, ref);
    EXPECT_EQ(got.weights_used, count);
    EXPECT_EQ(got.borrowed, got.tmp_bytes);
    EXPECT_TRUE(got.pool_restored);
    // In place: the output overwrites the input's own block.
    const LayerRun same =
        RunLayer(Net_Conv2d_Infer, Net_Conv2d_OutSize_Infer, r, wt, k.w, k.h, k.c, in, true);
    EXPECT_EQ(same.out, got.out);
  }
}

Ref RefPool(const std::vector<float> &in, int w, int h, int c, const Row &r, bool average) {
  const int kh = r[1], kw = r[2], sh = r[4], sw = r[5], dh = r[6], dw = r[7], ph = r[8],
            pw = r[9];
  int wp = w + 2 * pw, hp = h + 2 * ph;
  if (r[11] > 0) {
    wp += sw - (wp - 1 - dw * (kw - 1)) % sw;
    hp += sh - (hp - 1 - dh * (kh - 1)) % sh;
  }
  Ref out;
  out.w = (wp - dw * (kw - 1) - 1) / sw + 1;
  out.h = (hp - dh * (kh - 1) - 1) / sh + 1;
  out.c = c;
  for (int k = 0; k < c; ++k) {
    for (int y = 0; y < out.h; ++y) {
      for (int x = 0; x < out.w; ++x) {
        double best = -1e7, sum = 0;
        for (int a = 0; a < kh; ++a) {
          for (int b = 0; b < kw; ++b) {
            const double v = At(in, w, h, k, y * sh + a - ph, x * sw + b - pw);
            best = std::max(best, v);
            sum += v;
          }
        }
        out.v.push_back(average ? sum / (kh * kw) : best);
      }
    }
  }
  return out;
}

TEST(LayerReference, MaxAndAveragePooling) {
  struct Case {
    const char *what;
    int w, h, c;
    Row row;
  } cases[] = {
      {"2x2 stride 2", 9, 7, 3, PoolRow(2, 2, 2, 2)},
      {"2x2 stride 2, ceil", 9, 7, 3, PoolRow(2, 2, 2, 2, 0, 0, 1)},
      {"3x3 stride 2 pad 1, ceil", 10, 10, 2, PoolRow(3, 3, 2, 2, 1, 1, 1)},
      {"3x2 steps 1,2 pad 1,0, dilation in the shape only", 8, 6, 2,
       PoolRow(3, 2, 1, 2, 1, 0, 0, 2, 2)},
  };
  uint32_t seed = 100;
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    // Negative inputs make the zero pad cells win some maxima.
    const std::vector<float> in = Seeded(static_cast<size_t>(k.w) * k.h * k.c, seed++, -2, 0.5);
    for (bool average : {false, true}) {
      SCOPED_TRACE(average ? "average" : "max");
      const LayerRun got = RunLayer(average ? Net_AvgPool2d_Infer : Net_MaxPool2d_Infer,
                                    average ? Net_AvgPool2d_OutSize_Infer
                                            : Net_MaxPool2d_OutSize_Infer,
                                    k.row, {}, k.w, k.h, k.c, in);
      ExpectClose(got, RefPool(in, k.w, k.h, k.c, k.row, average));
      EXPECT_EQ(got.weights_used, 0);
      EXPECT_EQ(got.borrowed, got.tmp_bytes);
      EXPECT_TRUE(got.pool_restored);
      const LayerRun same = RunLayer(average ? Net_AvgPool2d_Infer : Net_MaxPool2d_Infer,
                                     Net_MaxPool2d_OutSize_Infer, k.row, {}, k.w, k.h, k.c, in,
                                     true);
      EXPECT_EQ(same.out, got.out);
    }
  }
}

TEST(LayerReference, ElementWiseLayers) {
  const int w = 5, h = 4, c = 3, n = w * h * c;
  const std::vector<float> in = Seeded(n, 200, -3, 3);
  const std::vector<float> bn = Seeded(3 * c, 201, -2, 2);
  Ref norm{w, h, c, {}}, leaky{w, h, c, {}};
  for (int i = 0; i < n; ++i) {
    const int k = i / (w * h);
    norm.v.push_back((in[i] - static_cast<double>(bn[k])) * bn[c + k] + bn[2 * c + k]);
    leaky.v.push_back(in[i] < 0 ? 0.01 * in[i] : in[i]);
  }
  const Row none{};
  for (bool in_place : {false, true}) {
    SCOPED_TRACE(in_place ? "in place" : "separate blocks");
    LayerRun got = RunLayer(Net_BatchNorm2d_Infer, Net_BatchNorm2d_OutSize_Infer, none, bn, w, h,
                            c, in, in_place, 0);
    ExpectClose(got, norm);
    EXPECT_EQ(got.weights_used, 3 * c);
    EXPECT_EQ(got.borrowed, 0);
    got = RunLayer(Net_LeakyReLU_Infer, Net_LeakyReLU_OutSize_Infer, none, {}, w, h, c, in,
                   in_place, 0);
    ExpectClose(got, leaky);
    EXPECT_EQ(got.weights_used, 0);
  }

  // Over features: a 1 x 1 x N input.
  const std::vector<float> features = Seeded(6, 202, -3, 3);
  const std::vector<float> bn1 = Seeded(18, 203, -2, 2);
  Ref norm1{1, 1, 6, {}};
  for (int i = 0; i < 6; ++i) {
    norm1.v.push_back((features[i] - static_cast<double>(bn1[i])) * bn1[6 + i] + bn1[12 + i]);
  }
  const LayerRun got1 = RunLayer(Net_BatchNorm1d_Infer, Net_BatchNorm1d_OutSize_Infer, none, bn1,
                                 1, 1, 6, features, false, 0);
  ExpectClose(got1, norm1);
  EXPECT_EQ(got1.weights_used, 18);
}

TEST(LayerReference, Linear) {
  struct Case {
    const char *what;
    int w, h, c, out_features, bias;
  } cases[] = {{"3x2x4 flattened, bias", 3, 2, 4, 5, 1}, {"vector, no bias", 1, 1, 7, 3, 0}};
  uint32_t seed = 300;
  for (const Case &k : cases) {
    SCOPED_TRACE(k.what);
    const int n = k.w * k.h * k.c;
    const Row row = LinearRow(n, k.out_features, k.bias);
    const int count = n * k.out_features + (k.bias ? k.out_features : 0);
    const std::vector<float> in = Seeded(n, seed++);
    const std::vector<float> wt = Seeded(count, seed++);
    Ref ref{1, 1, k.out_features, {}};
    for (int j = 0; j < k.out_features; ++j) {
      double sum = k.bias ? wt[static_cast<size_t>(n) * k.out_features + j] : 0.0;
      for (int i = 0; i < n; ++i) sum += static_cast<double>(wt[j * n + i]) * in[i];
      ref.v.push_back(sum);
    }
    const LayerRun got =
        RunLayer(Net_Linear_Infer, Net_Linear_OutSize_Infer, row, wt, k.w, k.h, k.c, in);
    ExpectClose(got, ref);
    EXPECT_EQ(got.weights_used, count);
    EXPECT_EQ(got.borrowed, 0);  // separate blocks: no copy
    EXPECT_EQ(got.tmp_bytes, n * 4);
    // Sharing the input's block: computed from a copy, the same values.
    const LayerRun same =
        RunLayer(Net_Linear_Infer, Net_Linear_OutSize_Infer, row, wt, k.w, k.h, k.c, in, true);
    EXPECT_EQ(same.out, got.out);
    EXPECT_EQ(same.borrowed, n * 4);
    EXPECT_TRUE(same.pool_restored);
  }
}

TEST(LayerReference, AdaptiveAveragePooling) {
  struct Case {
    int w, h, c, out_h, out_w;
  } cases[] = {{7, 5, 3, 2, 3}, {6, 6, 2, 1, 1}, {4, 4, 1, 4, 4}};
  uint32_t seed = 400;
  for (const Case &k : cases) {
    SCOPED_TRACE(std::to_string(k.w) + "x" + std::to_string(k.h) + " to " +
                 std::to_string(k.out_w) + "x" + std::to_string(k.out_h));
    const std::vector<float> in = Seeded(static_cast<size_t>(k.w) * k.h * k.c, seed++);
    const int wh = k.h - k.out_h + 1, ww = k.w - k.out_w + 1;
    Ref ref{k.out_w, k.out_h, k.c, {}};
    for (int ch = 0; ch < k.c; ++ch) {
      for (int y = 0; y < k.out_h; ++y) {
        for (int x = 0; x < k.out_w; ++x) {
          double sum = 0;
          for (int a = 0; a < wh; ++a) {
            for (int b = 0; b < ww; ++b) sum += At(in, k.w, k.h, ch, y + a, x + b);
          }
          ref.v.push_back(sum / (wh * ww));
        }
      }
    }
    const Row row = AdaptiveRow(k.out_h, k.out_w);
    const LayerRun got = RunLayer(Net_AdaptiveAvgPool2d_Infer,
                                  Net_AdaptiveAvgPool2d_OutSize_Infer, row, {}, k.w, k.h, k.c, in);
    ExpectClose(got, ref);
    EXPECT_EQ(got.borrowed, got.tmp_bytes);
    EXPECT_TRUE(got.pool_restored);
    const LayerRun same = RunLayer(Net_AdaptiveAvgPool2d_Infer,
                                   Net_AdaptiveAvgPool2d_OutSize_Infer, row, {}, k.w, k.h, k.c,
                                   in, true);
    EXPECT_EQ(same.out, got.out);
  }
}

}  // namespace
