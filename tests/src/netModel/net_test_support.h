// Helpers of the CNN classifier tests: a net memory pool for the test's
// lifetime, tensors filled from vectors, and the log lines of the classifiers.
#ifndef TESTS_SRC_NETMODEL_NET_TEST_SUPPORT_H_
#define TESTS_SRC_NETMODEL_NET_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/netModel/ZqNetMemoryManger.h"

namespace net_test {

// The pool's state now.
inline ZqNetPoolState PoolState() {
  ZqNetPoolState s;
  ZqNetPoolStateForTest(&s);
  return s;
}

// Creates a pool of `size` bytes and releases it when the object dies.
class ScopedNetPool {
 public:
  explicit ScopedNetPool(int32_t size) {
    ZqNetPoolResetForTest();
    EXPECT_EQ(ZqNetInitMemroyPool(size), 0);
  }
  ~ScopedNetPool() { ZqNetPoolResetForTest(); }
  ScopedNetPool(const ScopedNetPool &) = delete;
  ScopedNetPool &operator=(const ScopedNetPool &) = delete;
};

// A w x h x c tensor from the pool holding `values` (zeros when empty).
inline ST_CnnLayInOut PoolTensor(int w, int h, int c, const std::vector<float> &values = {}) {
  ST_CnnLayInOut t;
  Zq_Zeros_ST_CnnLayInOut(&t);
  t.w = static_cast<int16_t>(w);
  t.h = static_cast<int16_t>(h);
  t.c = static_cast<int16_t>(c);
  EXPECT_EQ(Zq_SafeAlloc_ST_CnnLayInOut(&t), 0);
  if (!values.empty() && t.data != nullptr) {
    EXPECT_EQ(values.size(), static_cast<size_t>(w) * h * c);
    std::memcpy(t.data, values.data(), values.size() * sizeof(float));
  }
  return t;
}

// A tensor record over an exactly sized heap array of `floats` floats, so
// that a write past it is caught by the address sanitizer.
struct HeapTensor {
  explicit HeapTensor(int floats) : block(new float[floats > 0 ? floats : 1]()) {
    Zq_Zeros_ST_CnnLayInOut(&t);
    t.data = block.get();
    t.byte_len = floats * 4;
  }
  std::unique_ptr<float[]> block;
  ST_CnnLayInOut t;
};

// The values of t's shape.
inline std::vector<float> Values(const ST_CnnLayInOut &t) {
  return std::vector<float>(t.data, t.data + static_cast<size_t>(t.w) * t.h * t.c);
}

// True when one of the messages is exactly `text`.
inline bool Contains(const std::vector<std::string> &messages, const std::string &text) {
  for (const std::string &m : messages) {
    if (m == text) return true;
  }
  return false;
}

// True when one message is "<func>[NNNNN]...<text>" (the classifiers' own
// "function and source line" form).
inline bool HasLineMessage(const std::vector<std::string> &messages, const std::string &func,
                           const std::string &text) {
  for (const std::string &m : messages) {
    if (m.rfind(func + "[", 0) != 0) continue;
    const std::string rest = m.substr(func.size());  // "[NNNNN]...text"
    if (rest.size() < 7 || rest[6] != ']') continue;
    bool digits = true;
    for (int i = 1; i < 6; ++i) digits = digits && rest[i] >= '0' && rest[i] <= '9';
    if (digits && rest.substr(7) == "..." + text) return true;
  }
  return false;
}

}  // namespace net_test

#endif  // TESTS_SRC_NETMODEL_NET_TEST_SUPPORT_H_
