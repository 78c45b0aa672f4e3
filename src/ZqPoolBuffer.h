// One scratch block owned for a scope: taken from the pool pair
// (ZqSafeAllocInMemBlock) or the counted heap (ZqSafeAlloc) and handed back
// when the owner goes out of scope. Locals are destroyed in reverse order,
// which is the order the pool requires.
#ifndef SRC_ZQPOOLBUFFER_H_
#define SRC_ZQPOOLBUFFER_H_

#include <stdint.h>

#include "src/ZqMemoryManager.h"

namespace zq {

// Holds count zeroed elements of T, or nothing (get() == nullptr) when the
// byte size does not fit an int32 or the allocator refuses.
template <typename T>
class PoolBuffer {
 public:
  enum Source { kPool, kHeap };

  explicit PoolBuffer(int64_t count, Source source = kPool) : source_(source) {
    const int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    if (count < 0 || bytes > INT32_MAX) return;
    void *p = source == kPool ? ZqSafeAllocInMemBlock(static_cast<int32_t>(bytes))
                              : ZqSafeAlloc(static_cast<int32_t>(bytes));
    ptr_ = static_cast<T *>(p);
  }
  ~PoolBuffer() {
    if (ptr_ == nullptr) return;
    if (source_ == kPool)
      ZqSafeFreeInMemBlock(ptr_);
    else
      ZqSafeFree(ptr_);
  }
  PoolBuffer(const PoolBuffer &) = delete;
  PoolBuffer &operator=(const PoolBuffer &) = delete;

  T *get() const { return ptr_; }
  T &operator[](int64_t i) const { return ptr_[i]; }

 private:
  Source source_;
  T *ptr_ = nullptr;
};

}  // namespace zq

#endif  // SRC_ZQPOOLBUFFER_H_
