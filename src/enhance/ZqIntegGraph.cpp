// Integral images with 32-bit wrapping sums.
#include "src/enhance/ZqIntegGraph.h"

#include "src/enhance/ZqEnhanceTrace.h"

namespace {

// Shared body: T is the element type, sums are taken in uint32 so that they
// wrap instead of overflowing.
template <typename T>
void IntegGraph(const T *src, int32_t rows, int32_t cols, T *integ) {
  const int64_t stride = int64_t{cols} + 1;
  for (int64_t c = 0; c < stride; ++c) integ[c] = 0;
  for (int64_t r = 0; r < rows; ++r) {
    const T *in = src + r * cols;
    const T *above = integ + r * stride;
    T *out = integ + (r + 1) * stride;
    uint32_t s = 0;
    out[0] = 0;
    for (int64_t c = 0; c < cols; ++c) {
      s += static_cast<uint32_t>(in[c]);
      out[c + 1] = static_cast<T>(static_cast<uint32_t>(above[c + 1]) + s);
    }
  }
}

}  // namespace

extern "C" void ZqGetIntegGraph_32u(const uint32_t *src, int32_t rows, int32_t cols,
                                    uint32_t *integ) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || integ == nullptr || rows < 1 || cols < 1) return;
  IntegGraph(src, rows, cols, integ);
  ZQ_TRACE_LEAVE();
}

extern "C" void ZqGetIntegGraph_32s(const int32_t *src, int32_t rows, int32_t cols,
                                    int32_t *integ) {
  ZQ_TRACE_ENTER();
  if (src == nullptr || integ == nullptr || rows < 1 || cols < 1) return;
  IntegGraph(src, rows, cols, integ);
  ZQ_TRACE_LEAVE();
}
