// Layer kernels on hand-computed tiny tensors, their refusals, and outputs
// that are too small for the result.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/netModel/cn_BaseNet.h"
#include "src/netModel/cn_lay_infer.h"
#include "src/netModel/net_layer_runner.h"
#include "src/netModel/net_test_support.h"

namespace {

using net_test::AdaptiveRow;
using net_test::Contains;
using net_test::ConvRow;
using net_test::HasLineMessage;
using net_test::HeapTensor;
using net_test::LayerRun;
using net_test::LinearRow;
using net_test::PoolRow;
using net_test::PoolState;
using net_test::PoolTensor;
using net_test::Row;
using net_test::RunLayer;
using net_test::ScopedNetPool;
using net_test::Values;
using testing_support::LibLogCapture;

std::vector<float> Filled(int n, float v) { return std::vector<float>(n, v); }

TEST(LayerByHand, ConvolutionGroupsPickTheirChannelsInTurn) {
  // Channel i of the input is 10^i everywhere; kernel planes 1..8.
  std::vector<float> in;
  for (float v : {1.0f, 10.0f, 100.0f, 1000.0f}) {
    for (int e = 0; e < 4; ++e) in.push_back(v);
  }
  const std::vector<float> kernels = {1, 2, 3, 4, 5, 6, 7, 8};
  const LayerRun r = RunLayer(Net_Conv2d_Infer, Net_Conv2d_OutSize_Infer,
                              ConvRow(4, 1, 1, 4, 1, 1, 1, 1, 0, 0, 2, 0), kernels, 2, 2, 4, in);
  ASSERT_EQ(r.code, 0);
  // Outputs 0 and 2 read inputs 0 and 1; outputs 1 and 3 read inputs 2 and 3.
  std::vector<float> want;
  for (float v : {1 * 1 + 2 * 10.0f, 3 * 100 + 4 * 1000.0f, 5 * 1 + 6 * 10.0f,
                  7 * 100 + 8 * 1000.0f}) {
    for (int e = 0; e < 4; ++e) want.push_back(v);
  }
  EXPECT_EQ(r.out, want);
  EXPECT_EQ(r.weights_used, 8);
}

TEST(LayerByHand, ConvolutionPaddingIsZero) {
  struct Case {
    const char *what;
    Row row;
    int w, h;
    std::vector<float> want;
  } cases[] = {
      {"pad 1 keeps the plane", ConvRow(1, 3, 3, 1, 1, 1, 1, 1, 1, 1), 4, 4,
       {4, 6, 6, 4, 6, 9, 9, 6, 6, 9, 9, 6, 4, 6, 6, 4}},
      {"pad 0 shrinks it by 2", ConvRow(1, 3, 3, 1), 2, 2, {9, 9, 9, 9}},
      {"bias added once", ConvRow(1, 3, 3, 1, 2, 2, 1, 1, 0, 0, 1, 1), 1, 1, {9.5f}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<float> w = Filled(9, 1.0f);
    if (c.row[11]) w.push_back(0.5f);
    const LayerRun r =
        RunLayer(Net_Conv2d_Infer, Net_Conv2d_OutSize_Infer, c.row, w, 4, 4, 1, Filled(16, 1));
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.w, c.w);
    EXPECT_EQ(r.h, c.h);
    EXPECT_EQ(r.out, c.want);
  }
}

TEST(LayerByHand, PoolingWidthsWithAndWithoutCeilMode) {
  struct Case {
    int in_w, ceil, out_w;
  } cases[] = {{40, 0, 20}, {40, 1, 21}, {41, 0, 20}, {41, 1, 21}, {3, 1, 2}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.in_w) + (c.ceil ? " ceil" : ""));
    for (bool average : {false, true}) {
      const LayerRun r = RunLayer(average ? Net_AvgPool2d_Infer : Net_MaxPool2d_Infer,
                                  Net_AvgPool2d_OutSize_Infer, PoolRow(2, 2, 2, 2, 0, 0, c.ceil),
                                  {}, c.in_w, 2, 1, Filled(c.in_w * 2, 4.0f));
      ASSERT_EQ(r.code, 0);
      EXPECT_EQ(r.w, c.out_w);
      EXPECT_EQ(r.h, c.ceil ? 2 : 1);
      // The last column of a ceil-mode walk sees added zero cells.
      const float last = r.out[c.out_w - 1];
      const bool padded_last = c.ceil && 2 * (c.out_w - 1) + 1 >= c.in_w;
      if (average) {
        EXPECT_EQ(last, padded_last ? (c.in_w % 2 ? 2.0f : 0.0f) : 4.0f);
      } else {
        EXPECT_EQ(last, padded_last && c.in_w % 2 == 0 ? 0.0f : 4.0f);
      }
    }
  }
}

TEST(LayerByHand, MaxPoolingStartsFromMinusTenMillion) {
  const LayerRun r = RunLayer(Net_MaxPool2d_Infer, Net_MaxPool2d_OutSize_Infer,
                              PoolRow(2, 2, 2, 2), {}, 2, 2, 1, Filled(4, -3e7f));
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::vector<float>{-10000000.0f});
}

TEST(LayerByHand, ElementWiseLayers) {
  const Row none{};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  LayerRun r = RunLayer(Net_LeakyReLU_Infer, Net_LeakyReLU_OutSize_Infer, none, {}, 4, 1, 1,
                        {-2.0f, 3.0f, 0.0f, nan}, false, 0);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.out[0], 0.01f * -2.0f);
  EXPECT_FLOAT_EQ(r.out[0], -0.02f);
  EXPECT_EQ(r.out[1], 3.0f);
  EXPECT_EQ(r.out[2], 0.0f);
  EXPECT_TRUE(std::isnan(r.out[3]));

  // (x - m) * s + b per channel; m, s, b one run of 2 each.
  r = RunLayer(Net_BatchNorm2d_Infer, Net_BatchNorm2d_OutSize_Infer, none,
               {1.0f, -1.0f, 0.5f, 2.0f, -1.0f, 0.25f}, 2, 1, 2, {3.0f, 5.0f, 0.0f, 1.0f}, false,
               0);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.out, (std::vector<float>{0.0f, 1.0f, 2.25f, 4.25f}));
  EXPECT_EQ(r.weights_used, 6);
}

TEST(LayerByHand, LinearFlattensItsInput) {
  std::vector<float> in(40);
  for (int i = 0; i < 40; ++i) in[i] = static_cast<float>(i);
  std::vector<float> w = Filled(80, 1.0f);
  for (int i = 40; i < 80; ++i) w[i] = (i % 2) ? 1.0f : 0.0f;  // second row: odd inputs only
  w.push_back(0.5f);
  w.push_back(-0.5f);
  LayerRun r =
      RunLayer(Net_Linear_Infer, Net_Linear_OutSize_Infer, LinearRow(40, 2, 1), w, 4, 5, 2, in);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.out, (std::vector<float>{780.5f, 399.5f}));
  EXPECT_EQ(r.weights_used, 82);

  ScopedNetPool pool(4096);
  ST_CnnLayInOut x = PoolTensor(4, 5, 2, in);
  HeapTensor out(2);
  int32_t used = -7;
  const Row row = LinearRow(39, 2, 1);
  LibLogCapture log;
  EXPECT_EQ(Net_Linear_Infer(&out.t, row.data(), 12, w.data(), &used, x), -2);
  EXPECT_EQ(out.t.w, 1);
  EXPECT_EQ(out.t.h, 1);
  EXPECT_EQ(out.t.c, 2);
  EXPECT_EQ(used, -7);
  const std::vector<std::string> m = log.Messages();
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(m[0].rfind("Net_Linear_Infer :code ", 0), 0u);
  EXPECT_NE(m[0].find(";40,39"), std::string::npos);
  int32_t tmp = 0;
  ST_CnnLayInOut shape;
  Zq_Zeros_ST_CnnLayInOut(&shape);
  EXPECT_EQ(Net_Linear_OutSize_Infer(&shape, row.data(), 12, &tmp, 1, x), -2);
  EXPECT_EQ(shape.data, nullptr);
}

TEST(LayerByHand, AdaptivePoolingSlidesAWindowOfInMinusOutPlusOne) {
  std::vector<float> in(36);
  for (int i = 0; i < 36; ++i) in[i] = static_cast<float>(i);  // (y, x) = 6y + x
  LayerRun r = RunLayer(Net_AdaptiveAvgPool2d_Infer, Net_AdaptiveAvgPool2d_OutSize_Infer,
                        AdaptiveRow(2, 2), {}, 6, 6, 1, in);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.out, (std::vector<float>{14, 15, 20, 21}));  // 5 x 5 windows
  r = RunLayer(Net_AdaptiveAvgPool2d_Infer, Net_AdaptiveAvgPool2d_OutSize_Infer,
               AdaptiveRow(1, 1), {}, 6, 6, 1, in);
  EXPECT_EQ(r.out, std::vector<float>{17.5f});
}

TEST(LayerByHand, ConcatenationAndChannelScaling) {
  ScopedNetPool pool(1 << 16);
  const Row none{};
  std::vector<float> av(800), bv(800);
  for (int i = 0; i < 800; ++i) {
    av[i] = static_cast<float>(i);
    bv[i] = -static_cast<float>(i);
  }
  ST_CnnLayInOut a = PoolTensor(10, 10, 8, av);
  ST_CnnLayInOut b = PoolTensor(10, 10, 8, bv);
  ST_CnnLayInOut out;
  Zq_Zeros_ST_CnnLayInOut(&out);
  int32_t tmp = -1, used = -1;
  ASSERT_EQ(Net_My_cat_2_OutSize_Infer(&out, none.data(), 0, &tmp, 1, a, b), 0);
  EXPECT_EQ(out.c, 16);
  EXPECT_EQ(tmp, 0);
  ASSERT_EQ(Net_My_cat_2_Infer(&out, none.data(), 0, nullptr, &used, a, b), 0);
  std::vector<float> want = av;
  want.insert(want.end(), bv.begin(), bv.end());
  EXPECT_EQ(Values(out), want);
  EXPECT_EQ(used, 0);

  ST_CnnLayInOut short_b = b;
  short_b.h = 9;
  EXPECT_EQ(Net_My_cat_2_OutSize_Infer(&out, none.data(), 0, &tmp, 0, a, short_b), -2);
  EXPECT_EQ(Net_My_cat_2_Infer(&out, none.data(), 0, nullptr, &used, a, short_b), -2);

  // Channel scaling: every element of channel k times gate k.
  ST_CnnLayInOut x = PoolTensor(2, 1, 2, {1, 2, 3, 4});
  ST_CnnLayInOut gates = PoolTensor(1, 1, 2, {10, -0.5f});
  ST_CnnLayInOut y;
  Zq_Zeros_ST_CnnLayInOut(&y);
  ASSERT_EQ(Net_My_linear_mul_channel_OutSize_Infer(&y, none.data(), 0, &tmp, 1, x, gates), 0);
  ASSERT_EQ(Net_My_linear_mul_channel_Infer(&y, none.data(), 0, nullptr, &used, x, gates), 0);
  EXPECT_EQ(Values(y), (std::vector<float>{10, 20, -1.5f, -2}));
  // In place over x.
  ASSERT_EQ(Net_My_linear_mul_channel_Infer(&x, none.data(), 0, nullptr, &used, x, gates), 0);
  EXPECT_EQ(Values(x), Values(y));
  ST_CnnLayInOut wrong = gates;
  wrong.c = 1;
  EXPECT_EQ(Net_My_linear_mul_channel_OutSize_Infer(&y, none.data(), 0, &tmp, 0, x, wrong), -2);
  EXPECT_EQ(Net_My_linear_mul_channel_Infer(&y, none.data(), 0, nullptr, &used, x, wrong), -2);
  wrong = gates;
  wrong.w = 2;
  wrong.c = 1;
  EXPECT_EQ(Net_My_linear_mul_channel_Infer(&y, none.data(), 0, nullptr, &used, x, wrong), -2);
}

TEST(LayerByHand, BatchNorm1dTakesOnlyVectors) {
  ScopedNetPool pool(4096);
  ST_CnnLayInOut in = PoolTensor(2, 1, 3, {1, 2, 3, 4, 5, 6});
  ST_CnnLayInOut out = PoolTensor(2, 1, 3, {9, 9, 9, 9, 9, 9});
  const std::vector<float> bn = Filled(9, 1.0f);
  int32_t used = -7, tmp = -7;
  EXPECT_EQ(Net_BatchNorm1d_Infer(&out, nullptr, 0, bn.data(), &used, in), -2);
  EXPECT_EQ(Values(out), Filled(6, 9));
  EXPECT_EQ(used, -7);
  EXPECT_EQ(Net_BatchNorm1d_OutSize_Infer(&out, nullptr, 0, &tmp, 0, in), -2);
  const Row row{};
  EXPECT_EQ(Net_BatchNorm1d_OutSize_Infer(&out, row.data(), 12, &tmp, 0, in), -1);
  EXPECT_EQ(Net_LeakyReLU_OutSize_Infer(&out, row.data(), 12, &tmp, 0, in), -1);
}

// Pooling of an input without data is a failure, not a plane of zeros.
TEST(LayerRefusals, PoolingOfAMissingInputFails) {
  for (bool average : {false, true}) {
    SCOPED_TRACE(average ? "average" : "max");
    ScopedNetPool pool(4096);
    ST_CnnLayInOut in;
    Zq_Zeros_ST_CnnLayInOut(&in);
    in.w = in.h = 4;
    in.c = 1;
    HeapTensor out(4);
    out.block[0] = 5.0f;
    int32_t used = -7;
    const Row row = PoolRow(2, 2, 2, 2);
    LibLogCapture log;
    EXPECT_EQ((average ? Net_AvgPool2d_Infer : Net_MaxPool2d_Infer)(&out.t, row.data(), 12,
                                                                      nullptr, &used, in),
              -1);
    EXPECT_EQ(out.block[0], 5.0f);
    EXPECT_EQ(used, -7);
    EXPECT_TRUE(Contains(log.Messages(), "Infer_padding_layInout... address = NULL"));
    EXPECT_EQ(PoolState().used, 0);
  }
}

// Every run function with an output block one float short of its result
// refuses without writing, and with an exact block fills it, under the
// address sanitizer's watch (the blocks are exact heap arrays).
TEST(LayerRefusals, OutputOneFloatShortIsRefused) {
  struct Case {
    const char *what;
    int floats;  // the result's size
    int32_t code;
    // Runs the layer into `out`, whose block holds `floats` floats.
    std::function<int32_t(ST_CnnLayInOut *)> run;
  };
  const std::vector<float> weights = Filled(64, 0.5f);
  int32_t used = 0;
  const Row conv = ConvRow(1, 3, 3, 2, 1, 1, 1, 1, 1, 1, 1, 1);
  const Row pool = PoolRow(2, 2, 2, 2);
  const Row linear = LinearRow(16, 3, 1);
  const Row adaptive = AdaptiveRow(2, 2);
  const Row none{};
  ScopedNetPool scoped(1 << 16);
  ST_CnnLayInOut x = PoolTensor(4, 4, 1, Filled(16, 2.0f));
  ST_CnnLayInOut x2 = PoolTensor(2, 2, 2, Filled(8, -2.0f));
  ST_CnnLayInOut v = PoolTensor(1, 1, 4, Filled(4, 1.0f));
  ST_CnnLayInOut g = PoolTensor(1, 1, 2, Filled(2, 3.0f));
  const Case cases[] = {
      {"Conv2d", 32, -5,
       [&](ST_CnnLayInOut *o) { return Net_Conv2d_Infer(o, conv.data(), 12, weights.data(), &used, x); }},
      {"MaxPool2d", 4, -4,
       [&](ST_CnnLayInOut *o) { return Net_MaxPool2d_Infer(o, pool.data(), 12, nullptr, &used, x); }},
      {"AvgPool2d", 4, -4,
       [&](ST_CnnLayInOut *o) { return Net_AvgPool2d_Infer(o, pool.data(), 12, nullptr, &used, x); }},
      {"BatchNorm2d", 8, -4,
       [&](ST_CnnLayInOut *o) { return Net_BatchNorm2d_Infer(o, none.data(), 0, weights.data(), &used, x2); }},
      {"BatchNorm1d", 4, -4,
       [&](ST_CnnLayInOut *o) {
         o->w = o->h = 1;
         o->c = 4;
         return Net_BatchNorm1d_Infer(o, none.data(), 0, weights.data(), &used, v);
       }},
      {"LeakyReLU", 8, -4,
       [&](ST_CnnLayInOut *o) { return Net_LeakyReLU_Infer(o, none.data(), 0, nullptr, &used, x2); }},
      {"Linear", 3, -4,
       [&](ST_CnnLayInOut *o) { return Net_Linear_Infer(o, linear.data(), 12, weights.data(), &used, x); }},
      {"AdaptiveAvgPool2d", 4, -4,
       [&](ST_CnnLayInOut *o) { return Net_AdaptiveAvgPool2d_Infer(o, adaptive.data(), 12, nullptr, &used, x); }},
      {"My_cat_2", 32, -4,
       [&](ST_CnnLayInOut *o) { return Net_My_cat_2_Infer(o, none.data(), 0, nullptr, &used, x, x); }},
      {"My_linear_mul_channel", 8, -4,
       [&](ST_CnnLayInOut *o) {
         o->w = o->h = 2;
         o->c = 2;
         return Net_My_linear_mul_channel_Infer(o, none.data(), 0, nullptr, &used, x2, g);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t pool_used = PoolState().used;
    HeapTensor exact(c.floats);
    EXPECT_EQ(c.run(&exact.t), 0);
    EXPECT_EQ(exact.t.w * exact.t.h * exact.t.c, c.floats);
    HeapTensor short_one(c.floats - 1);
    for (int i = 0; i < c.floats - 1; ++i) short_one.block[i] = 77.0f;
    {
      LibLogCapture log;
      EXPECT_EQ(c.run(&short_one.t), c.code);
    }
    for (int i = 0; i < c.floats - 1; ++i) ASSERT_EQ(short_one.block[i], 77.0f) << i;
    EXPECT_EQ(PoolState().used, pool_used);  // temporaries returned on the refusal too
  }
  HeapTensor out(31);
  LibLogCapture log;
  Net_Conv2d_Infer(&out.t, conv.data(), 12, weights.data(), &used, x);
  EXPECT_EQ(log.Messages(), std::vector<std::string>{"*** output is error 128, 124!"});
  HeapTensor avg(3);
  LibLogCapture avg_log;
  Net_AvgPool2d_Infer(&avg.t, pool.data(), 12, nullptr, &used, x);
  EXPECT_TRUE(Contains(avg_log.Messages(), "***odrin output is error!"));
}

// Rows that do not fit the input are refused before anything divides by
// zero or reads outside a plane.
TEST(LayerRefusals, RowsThatDoNotFitTheInput) {
  ScopedNetPool scoped(1 << 16);
  ST_CnnLayInOut x = PoolTensor(4, 4, 5, Filled(80, 1.0f));
  HeapTensor out(4096);
  const std::vector<float> weights = Filled(4096, 1.0f);
  int32_t used = -7, tmp = -7;
  struct Case {
    const char *what;
    Row row;
    int32_t run_code, size_code;
  } conv_cases[] = {
      {"in_channels differ", ConvRow(4, 3, 3, 2), -2, 0},
      {"groups 0", ConvRow(5, 3, 3, 2, 1, 1, 1, 1, 0, 0, 0, 0), -2, 0},
      {"groups not dividing the channels", ConvRow(5, 1, 1, 2, 1, 1, 1, 1, 0, 0, 2, 0), -2, 0},
      {"stride 0", ConvRow(5, 3, 3, 2, 0, 1), -2, -2},
      {"dilation 0", ConvRow(5, 3, 3, 2, 1, 1, 0, 1), -2, -2},
      {"kernel wider than the padded plane", ConvRow(5, 3, 7, 2), -2, -2},
      {"negative pad", ConvRow(5, 1, 1, 2, 1, 1, 1, 1, -1, 0), -2, -2},
  };
  for (const Case &c : conv_cases) {
    SCOPED_TRACE(c.what);
    LibLogCapture log;
    EXPECT_EQ(Net_Conv2d_Infer(&out.t, c.row.data(), 12, weights.data(), &used, x), c.run_code);
    ST_CnnLayInOut shape;
    Zq_Zeros_ST_CnnLayInOut(&shape);
    EXPECT_EQ(Net_Conv2d_OutSize_Infer(&shape, c.row.data(), 12, &tmp, 0, x), c.size_code);
    EXPECT_EQ(used, -7);
  }
  const Case pool_cases[] = {
      {"stride 0", PoolRow(2, 2, 0, 2), -2, -2},
      {"dilation 0", PoolRow(2, 2, 2, 2, 0, 0, 0, 0, 1), -2, -2},
      {"window taller than the plane", PoolRow(5, 2, 1, 1), -2, -2},
  };
  for (const Case &c : pool_cases) {
    SCOPED_TRACE(c.what);
    LibLogCapture log;
    EXPECT_EQ(Net_MaxPool2d_Infer(&out.t, c.row.data(), 12, nullptr, &used, x), c.run_code);
    ST_CnnLayInOut shape;
    Zq_Zeros_ST_CnnLayInOut(&shape);
    EXPECT_EQ(Net_MaxPool2d_OutSize_Infer(&shape, c.row.data(), 12, &tmp, 0, x), c.size_code);
  }
  for (const Row &row : {AdaptiveRow(5, 2), AdaptiveRow(2, 0)}) {
    LibLogCapture log;
    EXPECT_EQ(Net_AdaptiveAvgPool2d_Infer(&out.t, row.data(), 12, nullptr, &used, x), -2);
    ST_CnnLayInOut shape;
    Zq_Zeros_ST_CnnLayInOut(&shape);
    EXPECT_EQ(Net_AdaptiveAvgPool2d_OutSize_Infer(&shape, row.data(), 12, &tmp, 0, x), -2);
  }
  EXPECT_EQ(used, -7);
  EXPECT_EQ(PoolState().count, 1);
}

TEST(LayerRefusals, MissingPointers) {
  ScopedNetPool scoped(1 << 16);
  ST_CnnLayInOut x = PoolTensor(2, 2, 1, Filled(4, 1.0f));
  HeapTensor out(64);
  const std::vector<float> w = Filled(64, 1.0f);
  int32_t used = -7, tmp = -7;
  const Row conv = ConvRow(1, 1, 1, 1), pool = PoolRow(1, 1, 1, 1), lin = LinearRow(4, 1, 0);
  const Row ad = AdaptiveRow(1, 1), none{};
  ST_CnnLayInOut no_data = x;
  no_data.data = nullptr;
  ST_CnnLayInOut out_no_data = out.t;
  out_no_data.data = nullptr;
  LibLogCapture log;
  struct Case {
    const char *what;
    int32_t got, want;
  } cases[] = {
      {"conv: no out", Net_Conv2d_Infer(nullptr, conv.data(), 12, w.data(), &used, x), -1},
      {"conv: no row", Net_Conv2d_Infer(&out.t, nullptr, 12, w.data(), &used, x), -1},
      {"conv: no weights", Net_Conv2d_Infer(&out.t, conv.data(), 12, nullptr, &used, x), -1},
      {"conv: no count", Net_Conv2d_Infer(&out.t, conv.data(), 12, w.data(), nullptr, x), -1},
      {"conv: no input", Net_Conv2d_Infer(&out.t, conv.data(), 12, w.data(), &used, no_data), -1},
      {"max: no row", Net_MaxPool2d_Infer(&out.t, nullptr, 12, nullptr, &used, x), -1},
      {"max: no count", Net_MaxPool2d_Infer(&out.t, pool.data(), 12, nullptr, nullptr, x), -1},
      {"bn2d: no weights", Net_BatchNorm2d_Infer(&out.t, none.data(), 0, nullptr, &used, x), -1},
      {"bn2d: out without data", Net_BatchNorm2d_Infer(&out_no_data, none.data(), 0, w.data(), &used, x), -2},
      {"leaky: out without data", Net_LeakyReLU_Infer(&out_no_data, none.data(), 0, nullptr, &used, x), -2},
      {"leaky: no input", Net_LeakyReLU_Infer(&out.t, none.data(), 0, nullptr, &used, no_data), -1},
      {"linear: no row", Net_Linear_Infer(&out.t, nullptr, 12, w.data(), &used, x), -1},
      {"linear: out without data", Net_Linear_Infer(&out_no_data, lin.data(), 12, w.data(), &used, x), -1},
      {"adaptive: no row", Net_AdaptiveAvgPool2d_Infer(&out.t, nullptr, 12, nullptr, &used, x), -1},
      {"cat: no second input", Net_My_cat_2_Infer(&out.t, none.data(), 0, nullptr, &used, x, no_data), -1},
      {"mul: out without data", Net_My_linear_mul_channel_Infer(&out_no_data, none.data(), 0, nullptr, &used, x, x), -1},
      {"conv size: no tmp", Net_Conv2d_OutSize_Infer(&out.t, conv.data(), 12, nullptr, 0, x), -1},
      {"max size: no row", Net_MaxPool2d_OutSize_Infer(&out.t, nullptr, 12, &tmp, 0, x), -1},
      {"bn2d size: no out", Net_BatchNorm2d_OutSize_Infer(nullptr, none.data(), 0, &tmp, 0, x), -1},
      {"bn1d size: no out", Net_BatchNorm1d_OutSize_Infer(nullptr, nullptr, 0, &tmp, 0, x), -1},
      {"leaky size: no tmp", Net_LeakyReLU_OutSize_Infer(&out.t, nullptr, 0, nullptr, 0, x), -1},
      {"linear size: no row", Net_Linear_OutSize_Infer(&out.t, nullptr, 12, &tmp, 0, x), -1},
      {"adaptive size: no out", Net_AdaptiveAvgPool2d_OutSize_Infer(nullptr, ad.data(), 12, &tmp, 0, x), -1},
      {"cat size: no row", Net_My_cat_2_OutSize_Infer(&out.t, nullptr, 0, &tmp, 0, x, x), -1},
      {"mul size: no tmp", Net_My_linear_mul_channel_OutSize_Infer(&out.t, none.data(), 0, nullptr, 0, x, x), -1},
  };
  for (const Case &c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(used, -7);
  EXPECT_EQ(PoolState().count, 1);
}

TEST(PerChannelKernels, RefuseIndicesAndPlanesOutsideTheirTensors) {
  ScopedNetPool scoped(1 << 16);
  ST_CnnLayInOut src = PoolTensor(3, 3, 2, Filled(18, 1.0f));
  ST_CnnLayInOut dst = PoolTensor(4, 5, 2);
  LibLogCapture log;
  EXPECT_EQ(Infer_padding_layInout(1, 1, src, dst), 0);
  EXPECT_EQ(dst.data[0], 0.0f);
  EXPECT_EQ(dst.data[5], 1.0f);   // row 1, column 1
  EXPECT_EQ(Infer_padding_layInout(1, 2, src, dst), -2);  // 3 + 2 columns > 4
  EXPECT_EQ(Infer_padding_layInout(3, 0, src, dst), -2);  // 3 + 3 rows > 5
  EXPECT_EQ(Infer_padding_layInout(-1, 0, src, dst), -2);
  ST_CnnLayInOut one_channel = dst;
  one_channel.c = 1;
  EXPECT_EQ(Infer_padding_layInout(0, 0, src, one_channel), -2);
  EXPECT_TRUE(Contains(log.Messages(), "Infer_padding_layInout... param is error"));

  ST_CnnLayInOut q = PoolTensor(2, 2, 1);
  const float kernel[4] = {1, 1, 1, 1};
  ST_CnnLayParam p{};
  p.kernel_h = p.kernel_w = 2;
  p.stride_h = p.stride_w = 1;
  p.dilation_h = p.dilation_w = 1;
  EXPECT_EQ(Infer_conv2d_one_channel(1, 0, kernel, src, q, p), 0);
  EXPECT_EQ(Values(q), Filled(4, 4.0f));
  EXPECT_EQ(Infer_conv2d_one_channel(2, 0, kernel, src, q, p), -2);
  EXPECT_EQ(Infer_conv2d_one_channel(0, 1, kernel, src, q, p), -2);
  EXPECT_EQ(Infer_conv2d_one_channel(0, 0, nullptr, src, q, p), -1);
  EXPECT_EQ(Infer_maxpool2d_one_channel(1, src, q, p), -2);  // q has one plane
  p.dilation_w = 2;  // the windows now reach column 3 of a 3-wide plane
  EXPECT_EQ(Infer_conv2d_one_channel(0, 0, kernel, src, q, p), -2);
  p.kernel_w = 3;
  EXPECT_EQ(Infer_AvgPool2d_one_channel(0, src, q, p), -2);
}

}  // namespace
