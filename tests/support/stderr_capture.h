// Captures what the code under test writes to a file descriptor.
#ifndef TESTS_SUPPORT_STDERR_CAPTURE_H_
#define TESTS_SUPPORT_STDERR_CAPTURE_H_

#include <string>
#include <vector>

namespace testing_support {

// Redirects file descriptor `fd` into a temporary file while alive; stdio
// buffers are flushed around every redirection and read.
class FdCapture {
 public:
  explicit FdCapture(int fd);
  ~FdCapture();
  FdCapture(const FdCapture &) = delete;
  FdCapture &operator=(const FdCapture &) = delete;

  // Everything written so far.
  std::string Text();
  // Everything written so far, split into lines without their newlines.
  std::vector<std::string> Lines();

 private:
  int fd_;
  int saved_fd_ = -1;
  int file_fd_ = -1;
};

// Captures standard error while alive.
class StderrCapture : public FdCapture {
 public:
  StderrCapture() : FdCapture(2) {}
};

// Captures standard output while alive.
class StdoutCapture : public FdCapture {
 public:
  StdoutCapture() : FdCapture(1) {}
};

// Splits text into lines without their newlines; a final newline ends the
// last line.
std::vector<std::string> SplitLines(const std::string &text);

}  // namespace testing_support

#endif  // TESTS_SUPPORT_STDERR_CAPTURE_H_
