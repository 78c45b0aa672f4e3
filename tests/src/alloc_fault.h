// Makes the base allocator fail on demand. Link the test with
// `-Wl,--wrap=bq_malloc` (fpdev_alloc_fault in CMakeLists.txt) so that every
// allocation of the maker's libraries passes through here.
#ifndef TESTS_SRC_ALLOC_FAULT_H_
#define TESTS_SRC_ALLOC_FAULT_H_

namespace testing_support {

// The next `ok` allocations succeed, the ones after fail until
// StopAllocFailures. A negative `ok` never fails.
void FailAllocationsAfter(int ok);

// Every allocation succeeds again.
void StopAllocFailures();

// Allocations refused since the last FailAllocationsAfter.
int RefusedAllocations();

}  // namespace testing_support

#endif  // TESTS_SRC_ALLOC_FAULT_H_
