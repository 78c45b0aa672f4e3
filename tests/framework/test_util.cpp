#include "framework/test_util.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "base/bq_dump.h"
#include "framework/fpi_poll.h"

namespace framework_test {

namespace {

// Removes "MM-DD hh:mm:ss.mmm  pid  tid " from the head of a line.
std::string WithoutPrefix(const std::string &line) {
  const std::string shape = "00-00 00:00:00.000  ";
  if (line.size() <= shape.size()) return line;
  for (size_t i = 0; i < shape.size(); ++i) {
    bool digit = line[i] >= '0' && line[i] <= '9';
    if (shape[i] == '0' ? !digit : line[i] != shape[i]) return line;
  }
  size_t pid_end = line.find("  ", shape.size());
  if (pid_end == std::string::npos) return line;
  size_t tid_end = line.find(' ', pid_end + 2);
  if (tid_end == std::string::npos) return line;
  return line.substr(tid_end + 1);
}

}  // namespace

std::vector<std::string> DumpLogLines() {
  std::ifstream in(bq_dump_log_path());
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> lines;
  for (const std::string &line : SplitLines(text.str())) lines.push_back(WithoutPrefix(line));
  return lines;
}

namespace {
int64_t g_now_us = 0;
int g_fail_errno = 0;
}  // namespace

FakeClock::FakeClock(int64_t start_us) {
  g_now_us = start_us;
  g_fail_errno = 0;
  fpi_poll_set_clock(&FakeClock::Read);
}

FakeClock::~FakeClock() { fpi_poll_set_clock(nullptr); }

void FakeClock::SetUs(int64_t us) { g_now_us = us; }

void FakeClock::AdvanceMs(int64_t ms) { g_now_us += ms * 1000; }

void FakeClock::Fail(int err) { g_fail_errno = err; }

int FakeClock::Read(struct timespec *now) {
  if (g_fail_errno != 0) {
    errno = g_fail_errno;
    return -1;
  }
  now->tv_sec = g_now_us / 1000000;
  now->tv_nsec = (g_now_us % 1000000) * 1000;
  return 0;
}

}  // namespace framework_test
