// Scratch blocks of the image filters: a small stack of blocks taken from
// the pool pair or the counted heap and handed back, newest first, when the
// stack goes out of scope (the order the pool requires).
#ifndef SRC_ZQSCRATCH_H_
#define SRC_ZQSCRATCH_H_

#include <stddef.h>
#include <stdint.h>

#include "src/image/ZqMemoryManager.h"

namespace zq {

// Where a ScratchStack takes its blocks.
enum class ScratchSource {
  kPool,  // ZqSafeAllocInMemBlock / ZqSafeFreeInMemBlock
  kHeap,  // ZqSafeAlloc / ZqSafeFree
};

// Holds up to kMax scratch blocks; releases them in reverse order.
class ScratchStack {
 public:
  static constexpr int kMax = 12;

  explicit ScratchStack(ScratchSource source) : source_(source) {}
  ~ScratchStack() { ReleaseAll(); }
  ScratchStack(const ScratchStack &) = delete;
  ScratchStack &operator=(const ScratchStack &) = delete;

  // A zeroed block of count elements of T, or nullptr when the byte size
  // does not fit an int32 or the allocator refuses.
  template <typename T>
  T *Take(int64_t count) {
    if (count < 0 || n_ == kMax) return nullptr;
    int64_t bytes = count * static_cast<int64_t>(sizeof(T));
    if (bytes > INT32_MAX) return nullptr;
    void *p = source_ == ScratchSource::kPool ? ZqSafeAllocInMemBlock(static_cast<int32_t>(bytes))
                                              : ZqSafeAlloc(static_cast<int32_t>(bytes));
    if (p == nullptr) return nullptr;
    blocks_[n_++] = p;
    return static_cast<T *>(p);
  }

  // Releases every block, newest first.
  void ReleaseAll() {
    while (n_ > 0) {
      void *p = blocks_[--n_];
      if (source_ == ScratchSource::kPool)
        ZqSafeFreeInMemBlock(p);
      else
        ZqSafeFree(p);
    }
  }

 private:
  ScratchSource source_;
  void *blocks_[kMax] = {};
  int n_ = 0;
};

}  // namespace zq

#endif  // SRC_ZQSCRATCH_H_
