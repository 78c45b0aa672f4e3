// Heap-failure injection for the image-foundation tests. A test binary that
// links alloc_failure.cpp must be linked with -Wl,--wrap=bq_malloc (see
// zq_alloc_failure_test() in tests/src/CMakeLists.txt); every ZqSafeAlloc
// then goes through the counter below.
#ifndef TESTS_SRC_ALLOC_FAILURE_H_
#define TESTS_SRC_ALLOC_FAILURE_H_

namespace testing_support {

// Lets the next `n` heap allocations succeed and refuses every later one,
// until the object goes out of scope.
class FailHeapAfter {
 public:
  explicit FailHeapAfter(int n);
  ~FailHeapAfter();
  FailHeapAfter(const FailHeapAfter &) = delete;
  FailHeapAfter &operator=(const FailHeapAfter &) = delete;
};

// Number of heap allocations made since the process started.
long HeapAllocations();

// Turns the pool on with `size` bytes for the object's lifetime, so that
// the pool-backed filters fail once their blocks no longer fit.
class SmallPool {
 public:
  explicit SmallPool(int size);
  ~SmallPool();
  SmallPool(const SmallPool &) = delete;
  SmallPool &operator=(const SmallPool &) = delete;
};

}  // namespace testing_support

#endif  // TESTS_SRC_ALLOC_FAILURE_H_
