// Runs one layer kernel the way the networks do: size and allocate the
// output from the pool, run, and report what the run borrowed from the pool.
#ifndef TESTS_SRC_NETMODEL_NET_LAYER_RUNNER_H_
#define TESTS_SRC_NETMODEL_NET_LAYER_RUNNER_H_

#include <array>
#include <cstdint>
#include <vector>

#include "src/netModel/ZqCnnNetStructDef.h"

namespace net_test {

using Row = std::array<int16_t, CNN_LAY_PARAM_LEN>;

// A Conv2d row.
Row ConvRow(int in_c, int kh, int kw, int out_c, int sh = 1, int sw = 1, int dh = 1, int dw = 1,
            int ph = 0, int pw = 0, int groups = 1, int bias = 0);
// A pooling row (ceil > 0: ceil mode).
Row PoolRow(int kh, int kw, int sh, int sw, int ph = 0, int pw = 0, int ceil = 0, int dh = 1,
            int dw = 1);
// A Linear row.
Row LinearRow(int in_features, int out_features, int bias);
// An AdaptiveAvgPool2d row.
Row AdaptiveRow(int out_h, int out_w);

using RunFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, const float *, int32_t *,
                          ST_CnnLayInOut);
using SizeFn = int32_t (*)(ST_CnnLayInOut *, const int16_t *, int32_t, int32_t *, int32_t,
                           ST_CnnLayInOut);

struct LayerRun {
  int32_t size_code = 0;  // sizing function's result
  int32_t code = 0;       // run function's result
  int w = 0, h = 0, c = 0;
  std::vector<float> out;    // the output's shape values
  int32_t weights_used = -7;
  int32_t tmp_bytes = -7;     // what the sizing function announced
  int32_t borrowed = 0;       // largest pool use of the run above its start
  bool pool_restored = false;  // the run left the pool as it found it
};

// In a fresh pool: input w x h x c holding `input`, output sized (alloc 1)
// by `size` unless in_place, where the output is the input's own record
// (its block made large enough for either shape); then `run` with an exact
// heap copy of `weights` (NULL when empty). Both get `row_len`: 12 for a
// layer's own row, 0 for the layers that have none.
LayerRun RunLayer(RunFn run, SizeFn size, const Row &row, const std::vector<float> &weights,
                  int w, int h, int c, const std::vector<float> &input, bool in_place = false,
                  int32_t row_len = 12);

// Seeded values uniform in [lo, hi).
std::vector<float> Seeded(size_t n, uint32_t seed, float lo = -1.0f, float hi = 1.0f);

}  // namespace net_test

#endif  // TESTS_SRC_NETMODEL_NET_LAYER_RUNNER_H_
