// The nine networks on synthetic tables of their chain families: output,
// weight consumption, pool peak against the sizing, failures mid-run,
// table-length refusals and the sizing traces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/netModel/cn_Ghostnet.h"
#include "src/netModel/net_test_support.h"
#include "src/netModel/synth_net.h"

namespace {

using net_test::Contains;
using net_test::Family;
using net_test::Fill;
using net_test::HasLineMessage;
using net_test::PoolState;
using net_test::PoolTensor;
using net_test::ScopedNetPool;
using net_test::Seeded;
using net_test::SynthNet;
using testing_support::LibLogCapture;

using RunFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, const float *, int32_t *,
                          ST_CnnLayInOut);
using SizeFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, int32_t *, int32_t,
                           ST_CnnLayInOut);

struct NetCase {
  std::string stem;
  RunFn run;
  SizeFn size;
  Family family;
  int rows, cols;
  int table_len;
};

#define NET(stem, family, rows, cols, len) \
  NetCase { #stem, stem##_Infer, stem##_OutSize_Infer, Family::family, rows, cols, len }

const NetCase kNets[] = {
    NET(Net_Ghostnet_504kflops, kOneStem, 40, 40, 336),
    NET(Net_Ghostnet_504kflops_SiderFinger, kTwoStem, 120, 40, 348),
    NET(Net_Ghostnet_504kflops_4853fake, kTwoStem, 176, 32, 348),
    NET(Net_Ghostnet_504kflops_4854fake, kTwoStem, 144, 36, 348),
    NET(Net_Ghostnet_504kflops_fake, kTwoStem, 196, 40, 348),
    NET(Net_Ghostnet_504kflops_4845fake, kThreeStem, 80, 64, 360),
    NET(Net_Ghostnet_504kflops_4849fake, kThreeStem, 56, 56, 360),
    NET(Net_Ghostnet_504kflops_fake_4851, kThreeStem, 176, 36, 360),
    NET(Net_Ghostnet_228kflops_4843fake, kShortBody, 128, 80, 264),
};

// One sizing (alloc 1) and run of `net` in a fresh pool, as the front ends
// call them.
struct NetRun {
  int32_t size_code = 0, code = 0;
  int32_t tmp_bytes = -7, weights_used = -7;
  ST_CnnLayInOut out{};
  std::vector<float> values;
  int32_t in_bytes = 0, out_bytes = 0;
  int32_t peak = 0;            // pool high-water mark during sizing and run
  int32_t used_after_run = 0;  // pool use after the run, before releasing
  int32_t used_after_release = -1;
};

NetRun RunNet(const NetCase &c, const SynthNet &net, int32_t table_len = -1) {
  if (table_len < 0) table_len = static_cast<int32_t>(net.table.size());
  NetRun r;
  ScopedNetPool pool(1 << 24);
  ST_CnnLayInOut in = PoolTensor(c.cols, c.rows, 1, Seeded(c.rows * c.cols, 4, 0.0f, 1.0f));
  Zq_Zeros_ST_CnnLayInOut(&r.out);
  r.size_code = c.size(&r.out, net.table.data(), table_len, &r.tmp_bytes, 1, in);
  r.code = c.run(&r.out, net.table.data(), table_len, net.weights.data(), &r.weights_used, in);
  r.in_bytes = in.byte_len;
  r.out_bytes = r.out.byte_len;
  if (r.code == 0) r.values = net_test::Values(r.out);
  r.peak = PoolState().peak;
  r.used_after_run = PoolState().used;
  Zq_SafeFree_ST_CnnLayInOut(&r.out);
  Zq_SafeFree_ST_CnnLayInOut(&in);
  r.used_after_release = PoolState().used;
  return r;
}

TEST(Ghostnet, BiasOnlyNetsOutputTheBiasesAndPeakAtTheAnnouncedBytes) {
  for (const NetCase &c : kNets) {
    SCOPED_TRACE(c.stem);
    const SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kBiasOnly, {-0.75f, 1.25f});
    ASSERT_EQ(static_cast<int>(net.table.size()), c.table_len);
    LibLogCapture log;
    const NetRun r = RunNet(c, net);
    ASSERT_EQ(r.size_code, 0);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.values, (std::vector<float>{-0.75f, 1.25f}));
    EXPECT_EQ(r.weights_used, net.expected_total);
    EXPECT_TRUE(
        Contains(log.Messages(), c.stem + "_Infer, len = " + std::to_string(net.expected_total)));
    EXPECT_EQ(r.out_bytes, 2 * 4);
    EXPECT_EQ(r.peak, r.in_bytes + r.out_bytes + r.tmp_bytes);
    EXPECT_EQ(r.used_after_run, r.in_bytes + r.out_bytes);
    EXPECT_EQ(r.used_after_release, 0);
  }
}

TEST(Ghostnet, SeededNetsConsumeTheirWholeShareAndGiveTheSameOutputTwice) {
  for (const NetCase &c : kNets) {
    SCOPED_TRACE(c.stem);
    const SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
    const NetRun a = RunNet(c, net), b = RunNet(c, net);
    ASSERT_EQ(a.code, 0);
    EXPECT_EQ(a.weights_used, net.expected_total);
    EXPECT_EQ(a.peak, a.in_bytes + a.out_bytes + a.tmp_bytes);
    EXPECT_EQ(a.values, b.values);
    EXPECT_NE(a.values[0], a.values[1]);
  }
}

TEST(Ghostnet, FirstConvolutionOnTheWrongChannelsFailsAndReleasesTheWorkingBlock) {
  for (const NetCase &c : kNets) {
    SCOPED_TRACE(c.stem);
    SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
    net.table[0] = 2;
    LibLogCapture log;
    const NetRun r = RunNet(c, net);
    EXPECT_EQ(r.size_code, 0);  // the sizing does not compare channels
    EXPECT_EQ(r.code, -2);
    EXPECT_TRUE(HasLineMessage(log.Messages(), c.stem + "_Infer", "Net_Conv2d_Infer(),ret = -2;"));
    EXPECT_EQ(r.weights_used, -7);
    EXPECT_EQ(r.used_after_run, r.in_bytes + r.out_bytes);
  }
}

TEST(Ghostnet, FailureDeepInTheChainStillReleasesTheWorkingBlock) {
  // The middle convolution of the last bottleneck claims 5 input channels:
  // the sizing pass accepts it, the layer pass fails there with the
  // working block taken.
  for (const NetCase &c : kNets) {
    SCOPED_TRACE(c.stem);
    SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
    net.table[c.table_len - 144 + 24] = 5;
    LibLogCapture log;
    const NetRun r = RunNet(c, net);
    EXPECT_EQ(r.size_code, 0);
    EXPECT_EQ(r.code, -2);
    EXPECT_TRUE(HasLineMessage(log.Messages(), c.stem + "_Infer",
                               "Net_GhostBottleneck_v1_Infer(),ret = -2;"));
    EXPECT_EQ(r.weights_used, -7);
    EXPECT_GT(r.peak, r.in_bytes + r.out_bytes);
    EXPECT_EQ(r.used_after_run, r.in_bytes + r.out_bytes);
  }
}

TEST(Ghostnet, TableLengthOtherThanTheChainsIsRefusedBeforeAnythingRuns) {
  for (const NetCase &c : kNets) {
    SCOPED_TRACE(c.stem);
    SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
    for (int32_t len : {c.table_len - 12, c.table_len + 1}) {
      LibLogCapture log;
      const NetRun r = RunNet(c, net, len);
      EXPECT_EQ(r.size_code, -2);
      EXPECT_EQ(r.code, -2);
      EXPECT_EQ(r.weights_used, -7);
      EXPECT_EQ(r.peak, r.in_bytes);  // no output, no working block
      const std::string want = "table_len = " + std::to_string(len) + ", the net needs " +
                               std::to_string(c.table_len) + ",ret = -2;";
      EXPECT_TRUE(HasLineMessage(log.Messages(), c.stem + "_Infer", want));
      EXPECT_TRUE(HasLineMessage(log.Messages(), c.stem + "_OutSize_Infer", want));
    }
  }
}

TEST(Ghostnet, SizingAllocatesOnlyWhenAskedAndRefusesNullPointers) {
  const NetCase &c = kNets[0];
  const SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
  ScopedNetPool pool(1 << 20);
  ST_CnnLayInOut in;
  Zq_Zeros_ST_CnnLayInOut(&in);
  in.w = 40, in.h = 40, in.c = 1;
  ST_CnnLayInOut out;
  Zq_Zeros_ST_CnnLayInOut(&out);
  int32_t tmp = -7;
  ASSERT_EQ(c.size(&out, net.table.data(), c.table_len, &tmp, 0, in), 0);
  EXPECT_EQ(out.data, nullptr);
  EXPECT_EQ(out.c, 2);
  const int32_t announced = tmp;
  // An output that already has data: the allocation's -2 after the count.
  ST_CnnLayInOut held = PoolTensor(1, 1, 2);
  tmp = -7;
  EXPECT_EQ(c.size(&held, net.table.data(), c.table_len, &tmp, 1, in), -2);
  EXPECT_EQ(tmp, announced);
  Zq_SafeFree_ST_CnnLayInOut(&held);
  LibLogCapture log;
  EXPECT_EQ(c.size(&out, net.table.data(), c.table_len, nullptr, 0, in), -1);
  EXPECT_EQ(c.size(&out, nullptr, c.table_len, &tmp, 0, in), -1);
  EXPECT_EQ(c.size(nullptr, net.table.data(), c.table_len, &tmp, 0, in), -1);
  EXPECT_TRUE(
      HasLineMessage(log.Messages(), c.stem + "_OutSize_Infer", "input is erorr,ret = -1;"));
  int32_t used = -7;
  EXPECT_EQ(c.run(&out, nullptr, c.table_len, net.weights.data(), &used, in), -1);
  EXPECT_EQ(used, -7);
  EXPECT_EQ(PoolState().used, 0);
}

// Sizing trace lines "<n>.[<fn>][<line>]<rest>" of fn, as (n, rest).
std::vector<std::pair<int, std::string>> Trace(const std::vector<std::string> &messages,
                                               const std::string &fn) {
  std::vector<std::pair<int, std::string>> out;
  for (const std::string &m : messages) {
    const size_t dot = m.find(".[" + fn + "][");
    if (dot == std::string::npos || dot == 0) continue;
    const size_t close = m.find(']', dot + fn.size() + 3);
    out.emplace_back(std::stoi(m.substr(0, dot)), m.substr(close + 1));
  }
  return out;
}

TEST(Ghostnet, TracingNetsLogEverySizedStepAndTheTotal) {
  struct {
    const NetCase &net;
    int stems;
    bool ret_line;
  } cases[] = {{kNets[1], 2, false}, {kNets[7], 3, true}};
  for (const auto &t : cases) {
    const NetCase &c = t.net;
    SCOPED_TRACE(c.stem);
    const SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kSeeded);
    ST_CnnLayInOut in, out;
    Zq_Zeros_ST_CnnLayInOut(&in);
    Zq_Zeros_ST_CnnLayInOut(&out);
    in.w = static_cast<int16_t>(c.cols), in.h = static_cast<int16_t>(c.rows), in.c = 1;
    int32_t tmp = -7;
    LibLogCapture log;
    ASSERT_EQ(c.size(&out, net.table.data(), c.table_len, &tmp, 0, in), 0);
    const std::string fn = c.stem + "_OutSize_Infer";
    const auto lines = Trace(log.Messages(), fn);
    std::vector<std::string> names;
    for (int i = 0; i < t.stems; ++i) names.push_back("Net_Conv2d_OutSize_Infer");
    for (const char *n :
         {"Net_GhostBottleneck_OutSize_Infer", "Net_GhostBottleneck_v1_OutSize_Infer",
          "Net_GhostBottleneck_v1_OutSize_Infer", "Net_MaxPool2d_OutSize_Infer",
          "Net_Linear_OutSize_Infer", "Net_Linear_OutSize_Infer", "Net_Linear_OutSize_Infer"}) {
      names.push_back(n);
    }
    const size_t steps = names.size();
    ASSERT_EQ(lines.size(), steps + 1 + (t.ret_line ? 1 : 0));
    for (size_t i = 0; i < steps; ++i) {
      EXPECT_EQ(lines[i].first, static_cast<int>(i + 1));
      EXPECT_EQ(lines[i].second.rfind(names[i] + " buferSize = ", 0), 0u) << lines[i].second;
    }
    EXPECT_EQ(lines[steps].first, static_cast<int>(steps + 1));
    EXPECT_EQ(lines[steps].second.rfind("retBufSize = " + std::to_string(tmp) + ", ", 0), 0u);
    if (t.ret_line) {
      EXPECT_EQ(lines[steps + 1],
                std::make_pair(static_cast<int>(steps + 2), std::string("ret = 0")));
    }
    // The tracing nets clear the count before a refusal.
    tmp = -7;
    EXPECT_EQ(c.size(&out, net.table.data(), c.table_len + 1, &tmp, 0, in), -2);
    EXPECT_EQ(tmp, 0);
  }
}

}  // namespace
