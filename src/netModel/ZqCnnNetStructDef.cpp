#include "src/netModel/ZqCnnNetStructDef.h"

#include <cmath>
#include <cstring>

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/cn_checks.h"

extern "C" int32_t Zq_Zeros_ST_CnnLayInOut(ST_CnnLayInOut *t) {
  if (t == nullptr) return -1;
  t->w = t->h = t->c = 0;
  t->byte_len = 0;
  t->data = nullptr;
  t->pool_slot = -1;
  return 0;
}

extern "C" int32_t Zq_SafeAlloc_ST_CnnLayInOut(ST_CnnLayInOut *t) {
  if (t == nullptr) return -1;
  // A tensor that holds a block keeps its record: rewriting its length would
  // make the block impossible to return.
  if (t->data != nullptr) return -2;
  t->byte_len = zq_net::ShapeBytes(*t);
  if (t->byte_len <= 0) {
    t->byte_len = 0;
    return -2;
  }
  int32_t slot = 0;
  void *block = ZqNetSafeAlloc(t->byte_len, &slot);
  if (block == nullptr) return -3;
  std::memset(block, 0, static_cast<size_t>(t->byte_len));
  t->data = static_cast<float *>(block);
  t->pool_slot = slot;
  return 0;
}

extern "C" int32_t ZqSafeAllocCnnInOut(ST_CnnLayInOut *t, int32_t n) {
  if (t == nullptr) return -1;
  if (n <= 0 || t->data != nullptr) return -2;
  t->byte_len = n;
  int32_t slot = 0;
  void *block = ZqNetSafeAlloc(n, &slot);
  if (block == nullptr) return -4;
  std::memset(block, 0, static_cast<size_t>(n));
  t->data = static_cast<float *>(block);
  t->pool_slot = slot;
  return 0;
}

extern "C" void Zq_SafeFree_ST_CnnLayInOut(ST_CnnLayInOut *t) {
  if (t == nullptr || t->data == nullptr) return;
  (void)ZqNetFreeAlloc(t->data, t->byte_len, t->pool_slot);
  t->w = t->h = t->c = 0;
  t->pool_slot = 0;
  t->byte_len = 0;
  t->data = nullptr;
}

extern "C" int32_t ZqCompute_InOutBuffers(const ST_CnnLayInOut *t) {
  if (t == nullptr || t->w < 0 || t->h < 0 || t->c < 0) return 0;
  int64_t bytes = zq_net::Bytes(t->w, t->h, t->c);
  return bytes > INT32_MAX ? -1 : static_cast<int32_t>(bytes);
}

extern "C" int32_t ZqInOutFindMax(float *score, ST_CnnLayInOut t) {
  if (score == nullptr || t.data == nullptr) return -1;
  const int64_t n = static_cast<int64_t>(t.w) * t.h * t.c;
  if (n <= 0 || n * 4 > t.byte_len) {
    *score = 0.0f;
    return -1;
  }
  float sum = 0.0f;
  float best = -10000000.0f;
  int32_t best_index = -1;
  float top = t.data[0];
  for (int64_t i = 0; i < n; ++i) {
    const float v = t.data[i];
    sum += expf(v);
    if (v > best) {
      best = v;
      best_index = static_cast<int32_t>(i);
    }
    if (v > top) top = v;
  }
  *score = 0.0f;
  if (std::isinf(sum)) {
    // Logits past about 88 overflow expf; the same ratio taken relative to
    // the largest logit stays finite.
    float shifted = 0.0f;
    for (int64_t i = 0; i < n; ++i) shifted += expf(t.data[i] - top);
    const float p = 1.0f - expf(t.data[0] - top) / shifted;
    if (std::isfinite(p)) *score = p;
  } else if (sum > 0.0f) {
    *score = 1.0f - expf(t.data[0]) / sum;
  }
  return best_index;
}
