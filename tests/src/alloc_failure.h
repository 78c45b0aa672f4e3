// Scoped allocation failures for the image-foundation tests: the counted
// heap through alloc_fault.h (the binary is linked with fpdev_alloc_fault)
// and the pool, which the pool-backed filters use when it is switched on.
#ifndef TESTS_SRC_ALLOC_FAILURE_H_
#define TESTS_SRC_ALLOC_FAILURE_H_

#include "alloc_fault.h"
#include "src/image/ZqMemoryManager.h"

namespace testing_support {

// Lets the next `n` heap allocations succeed and refuses every later one,
// until the object goes out of scope.
class FailHeapAfter {
 public:
  explicit FailHeapAfter(int n) { FailAllocationsAfter(n); }
  ~FailHeapAfter() { StopAllocFailures(); }
  FailHeapAfter(const FailHeapAfter &) = delete;
  FailHeapAfter &operator=(const FailHeapAfter &) = delete;
};

// Turns the pool on with `size` bytes for the object's lifetime, so that
// the pool-backed filters fail once their blocks no longer fit.
class SmallPool {
 public:
  explicit SmallPool(int size) {
    ZqSetMemoryPoolEn(1);
    ZqInitMemBlock(size);
  }
  ~SmallPool() {
    ZqDestroyMemBlock();
    ZqSetMemoryPoolEn(0);
  }
  SmallPool(const SmallPool &) = delete;
  SmallPool &operator=(const SmallPool &) = delete;
};

}  // namespace testing_support

#endif  // TESTS_SRC_ALLOC_FAILURE_H_
