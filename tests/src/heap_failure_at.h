// Refuses one chosen heap allocation and every later one, and tells whether
// the code under test got that far. Builds on alloc_fault.h: link the test
// with fpdev_alloc_fault.
#ifndef TESTS_SRC_HEAP_FAILURE_AT_H_
#define TESTS_SRC_HEAP_FAILURE_AT_H_

#include "alloc_fault.h"

namespace testing_support {

// While alive, heap allocation nth (0 = the next one) and all after it fail.
class HeapFailureAt {
 public:
  explicit HeapFailureAt(int nth) { FailAllocationsAfter(nth); }
  ~HeapFailureAt() { StopAllocFailures(); }
  HeapFailureAt(const HeapFailureAt &) = delete;
  HeapFailureAt &operator=(const HeapFailureAt &) = delete;

  // True once allocation nth has been attempted (and refused).
  bool Fired() const { return RefusedAllocations() > 0; }
};

}  // namespace testing_support

#endif  // TESTS_SRC_HEAP_FAILURE_AT_H_
