#include "support/stderr_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace testing_support {

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  FILE *tmp = std::tmpfile();
  if (tmp == nullptr) std::abort();
  file_fd_ = dup(fileno(tmp));
  std::fclose(tmp);
  saved_fd_ = dup(2);
  dup2(file_fd_, 2);
}

StderrCapture::~StderrCapture() {
  std::fflush(stderr);
  dup2(saved_fd_, 2);
  close(saved_fd_);
  close(file_fd_);
}

std::string StderrCapture::Text() {
  std::fflush(stderr);
  std::string out;
  char buf[4096];
  off_t pos = 0;
  ssize_t n;
  while ((n = pread(file_fd_, buf, sizeof buf, pos)) > 0) {
    out.append(buf, static_cast<size_t>(n));
    pos += n;
  }
  return out;
}

std::vector<std::string> StderrCapture::Lines() {
  std::vector<std::string> lines;
  std::string text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

}  // namespace testing_support
