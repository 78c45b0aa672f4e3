#include "support/stderr_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace testing_support {

namespace {

void FlushStdio() {
  std::fflush(stdout);
  std::fflush(stderr);
}

}  // namespace

FdCapture::FdCapture(int fd) : fd_(fd) {
  FlushStdio();
  FILE *tmp = std::tmpfile();
  if (tmp == nullptr) std::abort();
  file_fd_ = dup(fileno(tmp));
  std::fclose(tmp);
  saved_fd_ = dup(fd_);
  dup2(file_fd_, fd_);
}

FdCapture::~FdCapture() {
  FlushStdio();
  dup2(saved_fd_, fd_);
  close(saved_fd_);
  close(file_fd_);
}

std::string FdCapture::Text() {
  FlushStdio();
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

std::vector<std::string> FdCapture::Lines() { return SplitLines(Text()); }

std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
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
