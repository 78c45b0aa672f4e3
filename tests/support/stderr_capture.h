// Captures what the code under test writes to standard error.
#ifndef TESTS_SUPPORT_STDERR_CAPTURE_H_
#define TESTS_SUPPORT_STDERR_CAPTURE_H_

#include <string>
#include <vector>

namespace testing_support {

// Redirects file descriptor 2 into a temporary file while alive.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture &) = delete;
  StderrCapture &operator=(const StderrCapture &) = delete;

  // Everything written so far.
  std::string Text();
  // Everything written so far, split into lines without their newlines.
  std::vector<std::string> Lines();

 private:
  int saved_fd_ = -1;
  int file_fd_ = -1;
};

}  // namespace testing_support

#endif  // TESTS_SUPPORT_STDERR_CAPTURE_H_
