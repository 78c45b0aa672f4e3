// Helpers shared by the framework tests: output capture, a virtual
// monotonic clock and the dump log's lines.
#ifndef TESTS_FRAMEWORK_TEST_UTIL_H_
#define TESTS_FRAMEWORK_TEST_UTIL_H_

#include <time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/stderr_capture.h"

namespace framework_test {

// Standard-output capture and line splitting, shared with every test.
using testing_support::SplitLines;
using testing_support::StdoutCapture;

// The current dump log's lines, each with its time, process and thread
// prefix removed (so "D fp:debug [f] msg"); marker lines stay as written.
std::vector<std::string> DumpLogLines();

// A virtual monotonic clock for the framework's time-outs. Installed while
// alive; time moves only through Set/Advance.
class FakeClock {
 public:
  explicit FakeClock(int64_t start_us = 0);
  ~FakeClock();
  void SetUs(int64_t us);
  void AdvanceMs(int64_t ms);
  // Makes every read fail with errno `err` (0 restores success).
  void Fail(int err);

 private:
  static int Read(struct timespec *now);
};

}  // namespace framework_test

#endif  // TESTS_FRAMEWORK_TEST_UTIL_H_
