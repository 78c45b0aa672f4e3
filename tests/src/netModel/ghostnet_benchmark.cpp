// One forward pass of the 40 x 40 no-finger network at a GhostNet shape of
// about half a million flops (stem 1->16, bottlenecks of 16, 24 and 32
// channels with SE squeezes of 4, a 128-32-16-2 head). Goal: 1 ms or less.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/cn_Ghostnet.h"
#include "src/netModel/cn_Ghostnet_chain.h"
#include "src/netModel/net_layer_runner.h"

namespace {

using net_test::ConvRow;
using net_test::Row;

void Append(std::vector<int16_t> *t, const Row &r) { t->insert(t->end(), r.begin(), r.end()); }

// Ghost module in -> half + half channels (primary 1x1, cheap 3x3 depth-wise).
void Ghost(std::vector<int16_t> *t, int in, int out) {
  Append(t, ConvRow(in, 1, 1, out / 2));
  Append(t, ConvRow(out / 2, 3, 3, out / 2, 1, 1, 1, 1, 1, 1, out / 2, 0));
}

void SE(std::vector<int16_t> *t, int c) {
  Append(t, net_test::AdaptiveRow(1, 1));
  Append(t, net_test::LinearRow(c, c / 4, 1));
  Append(t, net_test::LinearRow(c / 4, c, 1));
}

std::vector<int16_t> UsualTable() {
  std::vector<int16_t> t;
  Append(&t, ConvRow(1, 3, 3, 16, 2, 2, 1, 1, 1, 1, 1, 0));  // 20 x 20 x 16
  Ghost(&t, 16, 16);
  SE(&t, 16);
  Ghost(&t, 16, 16);
  int in = 16;
  for (int c : {24, 32}) {  // 10 x 10 x 24, then 5 x 5 x 32
    Ghost(&t, in, c);
    Append(&t, ConvRow(c, 3, 3, c, 2, 2, 1, 1, 1, 1, c, 0));
    SE(&t, c);
    Ghost(&t, c, c);
    in = c;
  }
  Append(&t, net_test::PoolRow(2, 2, 2, 2));  // 2 x 2 x 32
  Append(&t, net_test::LinearRow(128, 32, 1));
  Append(&t, net_test::LinearRow(32, 16, 1));
  Append(&t, net_test::LinearRow(16, 2, 1));
  return t;
}

void BM_Ghostnet504kflops40x40(benchmark::State &state) {
  const std::vector<int16_t> table = UsualTable();
  const int32_t len = static_cast<int32_t>(table.size());
  const int64_t count = zq_net::ChainWeightCount(zq_net::kOneStemChain, table.data(), len);
  if (count <= 0) std::abort();
  const std::vector<float> weights = net_test::Seeded(static_cast<size_t>(count), 3, -0.3f, 0.3f);
  ST_CnnLayInOut in, out;
  Zq_Zeros_ST_CnnLayInOut(&in);
  Zq_Zeros_ST_CnnLayInOut(&out);
  in.w = in.h = 40, in.c = 1;
  int32_t tmp = 0;
  if (Net_Ghostnet_504kflops_OutSize_Infer(&out, table.data(), len, &tmp, 0, in) != 0) std::abort();
  ZqNetPoolResetForTest();
  if (ZqNetInitMemroyPool(40 * 40 * 4 + 2 * 4 + tmp) != 0) std::abort();
  Zq_Zeros_ST_CnnLayInOut(&out);
  if (Zq_SafeAlloc_ST_CnnLayInOut(&in) != 0) std::abort();
  const std::vector<float> pixels = net_test::Seeded(1600, 4, 0.0f, 1.0f);
  std::copy(pixels.begin(), pixels.end(), in.data);
  if (Net_Ghostnet_504kflops_OutSize_Infer(&out, table.data(), len, &tmp, 1, in) != 0) std::abort();
  int32_t used = 0;
  for (auto _ : state) {
    if (Net_Ghostnet_504kflops_Infer(&out, table.data(), len, weights.data(), &used, in) != 0) {
      state.SkipWithError("run failed");
      break;
    }
    benchmark::DoNotOptimize(out.data[0]);
  }
  state.counters["weights"] = static_cast<double>(used);
  Zq_SafeFree_ST_CnnLayInOut(&out);
  Zq_SafeFree_ST_CnnLayInOut(&in);
  ZqNetPoolResetForTest();
}
BENCHMARK(BM_Ghostnet504kflops40x40)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
