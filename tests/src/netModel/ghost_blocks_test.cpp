// Ghost modules, SE layer and Ghost bottlenecks: branch order, the
// activations, the LeakyReLU gate, no shortcut, pool use against the
// sizing, and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/netModel/cn_GhostBottleneck.h"
#include "src/netModel/cn_GhostBottleneck_v1.h"
#include "src/netModel/cn_GhostModule.h"
#include "src/netModel/cn_GhostModule_v1.h"
#include "src/netModel/cn_SELayer.h"
#include "src/netModel/net_layer_runner.h"
#include "src/netModel/net_test_support.h"
#include "src/netModel/synth_net.h"

namespace {

using net_test::ConvRow;
using net_test::HasLineMessage;
using net_test::LayerRun;
using net_test::PoolState;
using net_test::PoolTensor;
using net_test::Row;
using net_test::RunFn;
using net_test::RunLayer;
using net_test::ScopedNetPool;
using net_test::Seeded;
using net_test::SizeFn;
using testing_support::LibLogCapture;

// Block rows are handed to RunLayer through a Row; longer rows go through
// this wrapper, which keeps the whole block row alive.
struct BlockCase {
  const char *name;
  RunFn run;
  SizeFn size;
  std::vector<int16_t> rows;
  int64_t share;
  int w, h, c;
};

LayerRun RunBlock(const BlockCase &b, const std::vector<float> &weights,
                  const std::vector<float> &input, bool in_place = false) {
  // RunLayer reads the row through row.data(): hand it the block row by
  // running through a thin adapter that swaps the row pointer.
  static const int16_t *block_row = nullptr;
  static RunFn block_run = nullptr;
  static SizeFn block_size = nullptr;
  block_row = b.rows.data();
  block_run = b.run;
  block_size = b.size;
  RunFn run = [](ST_CnnLayInOut *out, const int16_t *, int32_t len, const float *w, int32_t *used,
                 ST_CnnLayInOut in) { return block_run(out, block_row, len, w, used, in); };
  SizeFn size = [](ST_CnnLayInOut *out, const int16_t *, int32_t len, int32_t *tmp, int32_t alloc,
                   ST_CnnLayInOut in) { return block_size(out, block_row, len, tmp, alloc, in); };
  return RunLayer(run, size, Row{}, weights, b.w, b.h, b.c, input, in_place,
                  static_cast<int32_t>(b.rows.size()));
}

std::vector<float> Identity(int channels) {  // folded batch norm m 0, s 1, b 0
  std::vector<float> v(3 * channels, 0.0f);
  for (int k = 0; k < channels; ++k) v[channels + k] = 1.0f;
  return v;
}

void AppendTo(std::vector<float> *v, const std::vector<float> &more) {
  v->insert(v->end(), more.begin(), more.end());
}

TEST(GhostModule, PrimaryChannelsComeFirstAndOnlyTheActivatedFormScalesNegatives) {
  // Primary 1x1 convolution 1 -> 8 with kernels 1..8 (channel 0 negative),
  // cheap depth-wise 1x1 convolution 8 -> 8 with kernel 10 each.
  std::vector<int16_t> rows;
  for (const Row &r : {ConvRow(1, 1, 1, 8), ConvRow(8, 1, 1, 8, 1, 1, 1, 1, 0, 0, 8, 0)}) {
    rows.insert(rows.end(), r.begin(), r.end());
  }
  std::vector<float> weights = {-1, 2, 3, 4, 5, 6, 7, 8};
  AppendTo(&weights, Identity(8));
  AppendTo(&weights, std::vector<float>(8, 10.0f));
  AppendTo(&weights, Identity(8));
  struct {
    BlockCase block;
    float primary0, cheap0;  // values of channels 0 and 8
  } cases[] = {
      {{"with LeakyReLU", Net_GhostModule_Infer, Net_GhostModule_OutSize_Infer, rows, 64, 2, 2, 1},
       -0.01f,
       10 * -0.01f * 0.01f},
      {{"v1 without", Net_GhostModule_v1_Infer, Net_GhostModule_v1_OutSize_Infer, rows, 64, 2, 2,
        1},
       -1.0f,
       -10.0f},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.block.name);
    const LayerRun r = RunBlock(c.block, weights, std::vector<float>(4, 1.0f));
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.c, 16);
    EXPECT_EQ(r.weights_used, 64);
    for (int k = 1; k < 8; ++k) {
      EXPECT_FLOAT_EQ(r.out[k * 4], k + 1.0f) << "primary channel " << k;
      EXPECT_FLOAT_EQ(r.out[(8 + k) * 4], 10.0f * (k + 1)) << "cheap channel " << k;
    }
    EXPECT_FLOAT_EQ(r.out[0], c.primary0);
    EXPECT_FLOAT_EQ(r.out[8 * 4], c.cheap0);
  }
}

TEST(SELayer, GatesAreLeakyNotSquashed) {
  // Channel means 2.5 and 2; squeeze picks channel 0 (2.5); excite gives
  // gates 2.5*2 = 5 and 2.5*-4 = -10, the second leaking to -0.1.
  const std::vector<int16_t> rows = [] {
    std::vector<int16_t> t;
    for (const Row &r : {net_test::AdaptiveRow(1, 1), net_test::LinearRow(2, 1, 0),
                         net_test::LinearRow(1, 2, 0)}) {
      t.insert(t.end(), r.begin(), r.end());
    }
    return t;
  }();
  const BlockCase se{"se", Net_SELayer_Infer, Net_SELayer_OutSize_Infer, rows, 4, 2, 2, 2};
  const LayerRun r = RunBlock(se, {1, 0, 2, -4}, {1, 2, 3, 4, 2, 2, 2, 2});
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(r.weights_used, 4);
  const std::vector<float> want = {5, 10, 15, 20, -0.2f, -0.2f, -0.2f, -0.2f};
  ASSERT_EQ(r.out.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_FLOAT_EQ(r.out[i], want[i]) << i;
}

TEST(GhostBottleneck, OutputIsTheClosingModuleAloneWithoutShortcut) {
  // Closing module: all its kernels 0 and its batch-norm offsets 7, so any
  // trace of the input in the output would show.
  for (bool v1 : {false, true}) {
    SCOPED_TRACE(v1 ? "v1" : "plain");
    const std::vector<int16_t> rows =
        v1 ? net_test::BottleneckV1Rows(4) : net_test::BottleneckRows(4);
    const int64_t share = net_test::BottleneckShare(rows.data(), v1);
    const int64_t closing = net_test::GhostModuleShare(rows.data() + (v1 ? 72 : 60));
    std::vector<float> weights = Seeded(share, 3);
    for (int64_t i = share - closing; i < share; ++i) weights[i] = 0.0f;
    // Closing module: primary 4->2 (8 kernels), BN(2), cheap 2->2 dw (18), BN(2).
    for (int64_t at : {share - closing + 8 + 4, share - 2}) {
      weights[at] = weights[at + 1] = 7.0f;
    }
    const BlockCase b{"",
                      v1 ? Net_GhostBottleneck_v1_Infer : Net_GhostBottleneck_Infer,
                      v1 ? Net_GhostBottleneck_v1_OutSize_Infer : Net_GhostBottleneck_OutSize_Infer,
                      rows,
                      share,
                      6,
                      6,
                      4};
    const LayerRun r = RunBlock(b, weights, Seeded(6 * 6 * 4, 9, 1.0f, 2.0f));
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.c, 4);
    EXPECT_EQ(r.w, v1 ? 3 : 6);
    EXPECT_EQ(r.weights_used, share);
    for (float v : r.out) ASSERT_EQ(v, 7.0f);
  }
}

std::vector<BlockCase> AllBlocks() {
  const std::vector<int16_t> ghost = net_test::GhostModuleRows(3, 4, 2);
  const std::vector<int16_t> se = net_test::SERows(3, 2);
  const std::vector<int16_t> b = net_test::BottleneckRows(3);
  const std::vector<int16_t> b1 = net_test::BottleneckV1Rows(3);
  return {
      {"GhostModule", Net_GhostModule_Infer, Net_GhostModule_OutSize_Infer, ghost,
       net_test::GhostModuleShare(ghost.data()), 9, 7, 3},
      {"GhostModule_v1", Net_GhostModule_v1_Infer, Net_GhostModule_v1_OutSize_Infer, ghost,
       net_test::GhostModuleShare(ghost.data()), 9, 7, 3},
      {"SELayer", Net_SELayer_Infer, Net_SELayer_OutSize_Infer, se, net_test::SEShare(se.data()), 9,
       7, 3},
      {"GhostBottleneck", Net_GhostBottleneck_Infer, Net_GhostBottleneck_OutSize_Infer, b,
       net_test::BottleneckShare(b.data(), false), 9, 7, 3},
      {"GhostBottleneck_v1", Net_GhostBottleneck_v1_Infer, Net_GhostBottleneck_v1_OutSize_Infer, b1,
       net_test::BottleneckShare(b1.data(), true), 9, 7, 3},
  };
}

TEST(GhostBlocks, RunBorrowsExactlyWhatTheSizingAnnouncesAndConsumesItsShare) {
  for (const BlockCase &b : AllBlocks()) {
    SCOPED_TRACE(b.name);
    const std::vector<float> weights = Seeded(b.share, 5);
    const LayerRun r = RunBlock(b, weights, Seeded(b.w * b.h * b.c, 6));
    ASSERT_EQ(r.size_code, 0);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.weights_used, b.share);
    EXPECT_GT(r.tmp_bytes, 0);
    EXPECT_EQ(r.borrowed, r.tmp_bytes);
    EXPECT_TRUE(r.pool_restored);
  }
}

TEST(GhostBlocks, InPlaceRunMatchesSeparateBlocks) {
  for (const BlockCase &b : AllBlocks()) {
    SCOPED_TRACE(b.name);
    const std::vector<float> weights = Seeded(b.share, 11);
    const std::vector<float> input = Seeded(b.w * b.h * b.c, 12);
    const LayerRun apart = RunBlock(b, weights, input);
    const LayerRun shared = RunBlock(b, weights, input, true);
    ASSERT_EQ(apart.code, 0);
    ASSERT_EQ(shared.code, 0);
    EXPECT_EQ(shared.out, apart.out);
  }
}

TEST(GhostBlocks, SizingRefusesNullPointersWithoutWritingAShape) {
  for (const BlockCase &b : AllBlocks()) {
    SCOPED_TRACE(b.name);
    ST_CnnLayInOut in, out;
    Zq_Zeros_ST_CnnLayInOut(&in);
    Zq_Zeros_ST_CnnLayInOut(&out);
    in.w = 4, in.h = 4, in.c = 3;
    int32_t tmp = -7;
    const std::string fn = std::string("Net_") + b.name + "_OutSize_Infer";
    {
      LibLogCapture log;
      EXPECT_EQ(b.size(&out, b.rows.data(), 0, nullptr, 0, in), -1);
      EXPECT_TRUE(HasLineMessage(log.Messages(), fn, "input is erorr,ret = -1;"));
    }
    EXPECT_EQ(out.w + out.h + out.c, 0);
    EXPECT_EQ(b.size(&out, nullptr, 0, &tmp, 0, in), -1);
    EXPECT_EQ(b.size(nullptr, b.rows.data(), 0, &tmp, 0, in), -1);
    EXPECT_EQ(tmp, -7);
  }
}

TEST(GhostBottleneck, WorkingBlockRefusedByAFullPoolLeavesEverythingAsItWas) {
  const std::vector<int16_t> rows = net_test::BottleneckRows(3);
  const std::vector<float> weights = Seeded(net_test::BottleneckShare(rows.data(), false), 1);
  ScopedNetPool pool(2 * 6 * 6 * 4 * 4);  // input and output only
  ST_CnnLayInOut in = PoolTensor(6, 6, 3);
  ST_CnnLayInOut out;
  Zq_Zeros_ST_CnnLayInOut(&out);
  int32_t tmp = 0;
  ASSERT_EQ(Net_GhostBottleneck_OutSize_Infer(&out, rows.data(), 84, &tmp, 1, in), 0);
  const ZqNetPoolState before = PoolState();
  int32_t used = -7;
  LibLogCapture log;
  EXPECT_EQ(Net_GhostBottleneck_Infer(&out, rows.data(), 84, weights.data(), &used, in), -4);
  EXPECT_TRUE(HasLineMessage(log.Messages(), "Net_GhostBottleneck_Infer",
                             "ZqSafeAllocCnnInOut(),ret = -4;"));
  EXPECT_EQ(used, -7);
  EXPECT_EQ(PoolState().used, before.used);
  EXPECT_EQ(PoolState().count, before.count);
  Zq_SafeFree_ST_CnnLayInOut(&out);
  Zq_SafeFree_ST_CnnLayInOut(&in);
  EXPECT_EQ(PoolState().used, 0);
}

TEST(GhostBottleneck, FailingMiddleStepReturnsItsCodeAndGivesEverythingBack) {
  // The middle convolution claims 5 input channels: its sizing passes, its
  // run refuses with -2.
  std::vector<int16_t> rows = net_test::BottleneckV1Rows(3);
  rows[24] = 5;
  const std::vector<float> weights = Seeded(2000, 1);
  ScopedNetPool pool(1 << 20);
  ST_CnnLayInOut in = PoolTensor(6, 6, 3, Seeded(108, 2));
  ST_CnnLayInOut out;
  Zq_Zeros_ST_CnnLayInOut(&out);
  int32_t tmp = 0;
  ASSERT_EQ(Net_GhostBottleneck_v1_OutSize_Infer(&out, rows.data(), 96, &tmp, 1, in), 0);
  const ZqNetPoolState before = PoolState();
  int32_t used = -7;
  LibLogCapture log;
  EXPECT_EQ(Net_GhostBottleneck_v1_Infer(&out, rows.data(), 96, weights.data(), &used, in), -2);
  EXPECT_TRUE(HasLineMessage(log.Messages(), "Net_GhostBottleneck_v1_Infer",
                             "Net_Conv2d_Infer(),ret = -2;"));
  EXPECT_EQ(used, -7);
  EXPECT_EQ(PoolState().used, before.used);
  EXPECT_EQ(PoolState().count, before.count);
  Zq_SafeFree_ST_CnnLayInOut(&out);
  Zq_SafeFree_ST_CnnLayInOut(&in);
}

}  // namespace
