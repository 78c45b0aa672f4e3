#include "src/netModel/net_layer_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/net_test_support.h"

namespace net_test {

Row ConvRow(int in_c, int kh, int kw, int out_c, int sh, int sw, int dh, int dw, int ph, int pw,
            int groups, int bias) {
  Row r;
  const int v[12] = {in_c, kh, kw, out_c, sh, sw, dh, dw, ph, pw, groups, bias};
  for (int i = 0; i < 12; ++i) r[i] = static_cast<int16_t>(v[i]);
  return r;
}

Row PoolRow(int kh, int kw, int sh, int sw, int ph, int pw, int ceil, int dh, int dw) {
  return ConvRow(0, kh, kw, 0, sh, sw, dh, dw, ph, pw, 0, ceil);
}

Row LinearRow(int in_features, int out_features, int bias) {
  return ConvRow(in_features, 0, 0, out_features, 0, 0, 0, 0, 0, 0, 0, bias);
}

Row AdaptiveRow(int out_h, int out_w) { return ConvRow(0, out_h, out_w, 0, 0, 0, 0, 0); }

LayerRun RunLayer(RunFn run, SizeFn size, const Row &row, const std::vector<float> &weights,
                  int w, int h, int c, const std::vector<float> &input, bool in_place,
                  int32_t row_len) {
  ScopedNetPool pool(1 << 22);
  LayerRun r;
  ST_CnnLayInOut in = PoolTensor(w, h, c, input);
  ST_CnnLayInOut out;
  Zq_Zeros_ST_CnnLayInOut(&out);
  ST_CnnLayInOut *target = &out;
  if (in_place) {
    // The working block holds either shape, as a network's would.
    ST_CnnLayInOut shape_only;
    Zq_Zeros_ST_CnnLayInOut(&shape_only);
    r.size_code = size(&shape_only, row.data(), row_len, &r.tmp_bytes, 0, in);
    Zq_SafeFree_ST_CnnLayInOut(&in);
    ST_CnnLayInOut work;
    Zq_Zeros_ST_CnnLayInOut(&work);
    const int32_t bytes = std::max(ZqCompute_InOutBuffers(&shape_only), w * h * c * 4);
    EXPECT_EQ(ZqSafeAllocCnnInOut(&work, bytes), 0);
    work.w = static_cast<int16_t>(w);
    work.h = static_cast<int16_t>(h);
    work.c = static_cast<int16_t>(c);
    std::copy(input.begin(), input.end(), work.data);
    in = work;
    out = work;
  } else {
    r.size_code = size(&out, row.data(), row_len, &r.tmp_bytes, 1, in);
  }
  std::unique_ptr<float[]> exact(weights.empty() ? nullptr : new float[weights.size()]);
  std::copy(weights.begin(), weights.end(), exact.get());
  const ZqNetPoolState before = PoolState();
  r.code = run(target, row.data(), row_len, exact.get(), &r.weights_used, in);
  const ZqNetPoolState after = PoolState();
  r.borrowed = after.peak - before.used;
  r.pool_restored = after.used == before.used && after.count == before.count;
  r.w = target->w;
  r.h = target->h;
  r.c = target->c;
  if (r.code == 0) r.out = Values(*target);
  return r;
}

std::vector<float> Seeded(size_t n, uint32_t seed, float lo, float hi) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(lo, hi);
  std::vector<float> v(n);
  for (float &x : v) x = d(rng);
  return v;
}

}  // namespace net_test
