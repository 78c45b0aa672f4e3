// Makes one chosen system allocation of the algorithm libraries fail, so
// that tests can walk every allocation-failure path. The test binary must
// link with -Wl,--wrap=bq_malloc (fpdev_alloc_failure_test in
// tests/src/CMakeLists.txt does so).
#ifndef TESTS_SRC_ALLOC_FAILURE_H_
#define TESTS_SRC_ALLOC_FAILURE_H_

namespace testing_support {

// While alive, the nth call to bq_malloc (0 = the next one) returns NULL.
class AllocFailure {
 public:
  explicit AllocFailure(int nth);
  ~AllocFailure();
  AllocFailure(const AllocFailure &) = delete;
  AllocFailure &operator=(const AllocFailure &) = delete;

  // True once the chosen allocation has been refused.
  bool Fired() const;
};

}  // namespace testing_support

#endif  // TESTS_SRC_ALLOC_FAILURE_H_
