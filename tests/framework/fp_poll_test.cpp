// Time-outs and event polling.
#include <glib.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "framework/fp_internal.h"
#include "framework/test_util.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::FakeClock;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

int64_t NowUs(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t Us(const timeval &tv) { return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec; }

// Records which time-outs fired, in order.
std::vector<std::string> g_fired;
void Record(void *data) { g_fired.push_back(static_cast<const char *>(data)); }

class Poll : public testing::Test {
 protected:
  void SetUp() override {
    fp_set_debug(0);
    g_fired.clear();
    ASSERT_EQ(fp_init(), 0);
  }
  void TearDown() override { fp_exit(); }

  // One polling call with a limit of `ms`.
  int Handle(int ms, timeval *used = nullptr) {
    timeval tv = {ms / 1000, (ms % 1000) * 1000};
    int r = fp_handle_events_timeout(&tv);
    if (used != nullptr) *used = tv;
    return r;
  }
};

TEST(TimeoutExpiry, MillisecondsCarryIntoSeconds) {
  struct Case {
    time_t sec;
    long nsec;
    unsigned ms;
    time_t want_sec;
    suseconds_t want_usec;
  } cases[] = {
      {10, 600000000, 1500, 12, 100000},  // 10.6 s + 1.5 s
      {0, 999999999, 1, 1, 999},          // 999999 + 1000 us
      {3, 999000000, 999, 4, 998000},
      {5, 0, 0, 5, 0},
      {7, 123456789, 2000, 9, 123456},    // nanoseconds truncate
      {0, 0, 999, 0, 999000},
  };
  for (const Case &c : cases) {
    timespec now = {c.sec, c.nsec};
    timeval expiry = fpi_timeout_expiry_after(&now, c.ms);
    EXPECT_EQ(expiry.tv_sec, c.want_sec) << c.sec << "." << c.nsec << " + " << c.ms;
    EXPECT_EQ(expiry.tv_usec, c.want_usec) << c.sec << "." << c.nsec << " + " << c.ms;
  }
}

TEST_F(Poll, AddUsesTheInjectedClock) {
  FakeClock clock(10600000);
  fpi_timeout *t = fpi_timeout_add(1500, Record, const_cast<char *>("t"));
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->expiry.tv_sec, 12);
  EXPECT_EQ(t->expiry.tv_usec, 100000);
  timeval next = {};
  EXPECT_EQ(fp_get_next_timeout(&next), 1);
  EXPECT_EQ(Us(next), 1500000);
}

TEST_F(Poll, UnreadableClock) {
  FakeClock clock;
  clock.Fail(EINVAL);
  fp_set_debug(4);
  StderrCapture err;
  EXPECT_EQ(fpi_timeout_add(10, Record, nullptr), nullptr);
  EXPECT_EQ(err.Lines(),
            Lines{"poll:error [fpi_timeout_add] failed to read monotonic clock, errno=22"});
  clock.Fail(0);
  ASSERT_NE(fpi_timeout_add(10, Record, const_cast<char *>("t")), nullptr);
  clock.Fail(EINVAL);
  // The clock error is returned before any USB wait.
  EXPECT_EQ(Handle(1000), -EINVAL);
  EXPECT_TRUE(g_fired.empty());
}

// Due time-outs run one per call, earliest first, without a USB wait: the
// limit stays as given and the call returns at once.
TEST_F(Poll, DueTimeoutsRunOnePerCallEarliestFirst) {
  FakeClock clock;
  fpi_timeout_add(30, Record, const_cast<char *>("30"));
  fpi_timeout_add(10, Record, const_cast<char *>("10"));
  fpi_timeout_add(20, Record, const_cast<char *>("20"));
  clock.AdvanceMs(100);
  std::vector<std::vector<std::string>> after_each;
  int64_t start = NowUs(CLOCK_MONOTONIC);
  for (int i = 0; i < 3; ++i) {
    timeval used;
    ASSERT_EQ(Handle(5000, &used), 0);
    EXPECT_EQ(Us(used), 5000000) << "a due time-out must not wait";
    after_each.push_back(g_fired);
  }
  EXPECT_LT(NowUs(CLOCK_MONOTONIC) - start, 1000000);
  EXPECT_EQ(after_each, (std::vector<std::vector<std::string>>{
                            {"10"}, {"10", "20"}, {"10", "20", "30"}}));
  timeval next;
  EXPECT_EQ(fp_get_next_timeout(&next), 0);
}

TEST_F(Poll, EqualExpiriesFireInReverseOrderOfAdding) {
  FakeClock clock;
  fpi_timeout_add(50, Record, const_cast<char *>("a"));
  fpi_timeout_add(50, Record, const_cast<char *>("b"));
  fpi_timeout_add(40, Record, const_cast<char *>("early"));
  fpi_timeout_add(50, Record, const_cast<char *>("c"));
  clock.AdvanceMs(50);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Handle(0), 0);
  EXPECT_EQ(g_fired, (Lines{"early", "c", "b", "a"}));
}

// The wait is shortened to the next time-out and written back; the
// time-out runs only once it is due.
TEST_F(Poll, WaitUsedIsWrittenBack) {
  FakeClock clock;
  fpi_timeout_add(30, Record, const_cast<char *>("t"));
  timeval used;
  ASSERT_EQ(Handle(100, &used), 0);
  EXPECT_EQ(Us(used), 30000);
  EXPECT_TRUE(g_fired.empty()) << "the virtual clock has not moved";
  clock.AdvanceMs(20);
  ASSERT_EQ(Handle(5, &used), 0);  // shorter than the 10 ms left
  EXPECT_EQ(Us(used), 5000);
  clock.AdvanceMs(10);
  ASSERT_EQ(Handle(100, &used), 0);
  EXPECT_EQ(g_fired, Lines{"t"});
}

// Real time: a 100 ms limit with a time-out due in 30 ms. The USB library may
// wake up early on a loaded machine, so the call is repeated until the
// time-out has run; it must never run early, and waiting must not spin.
TEST_F(Poll, WaitsUntilTheTimeoutThenRunsIt) {
  int64_t added = NowUs(CLOCK_MONOTONIC);
  fpi_timeout_add(30, Record, const_cast<char *>("t"));
  int64_t start = NowUs(CLOCK_MONOTONIC);
  int64_t cpu_start = NowUs(CLOCK_PROCESS_CPUTIME_ID);
  timeval used;
  ASSERT_EQ(Handle(100, &used), 0);
  // The wait written back is what was left of the 30 ms when the call began.
  // A loaded machine can hold the call up for a few milliseconds between
  // `start` and its own reading of the clock; 10 ms still tells the time-out's
  // remaining wait from the 100 ms limit or from what is left once it is due.
  EXPECT_LE(Us(used), 30000);
  EXPECT_GE(Us(used), 30000 - (start - added) - 10000);
  for (int i = 0; i < 10 && g_fired.empty(); ++i) ASSERT_EQ(Handle(100), 0);
  int64_t end = NowUs(CLOCK_MONOTONIC);
  // A spinning wait burns about as much CPU as wall time.
  EXPECT_LT(NowUs(CLOCK_PROCESS_CPUTIME_ID) - cpu_start, (end - start) / 2)
      << "waiting must not spin";
  EXPECT_EQ(g_fired, Lines{"t"});
  EXPECT_GE(end - added, 29000) << "ran before it was due";
  EXPECT_LT(end - start, 1000000);
}

// With nothing due the call sleeps in the USB library instead of spinning.
TEST_F(Poll, IdleWaitSleeps) {
  int64_t start = NowUs(CLOCK_MONOTONIC);
  int64_t cpu_start = NowUs(CLOCK_PROCESS_CPUTIME_ID);
  timeval used;
  ASSERT_EQ(Handle(150, &used), 0);
  EXPECT_GE(NowUs(CLOCK_MONOTONIC) - start, 140000);
  EXPECT_LT(NowUs(CLOCK_PROCESS_CPUTIME_ID) - cpu_start, 30000);
  EXPECT_EQ(Us(used), 150000);
}

// A callback that re-arms itself with 0 ms puts the new time-out at the
// head of the list; the one that ran must be the one removed.
int g_rearms = 0;
void Rearm(void *) {
  ++g_rearms;
  if (g_rearms < 5) fpi_timeout_add(0, Rearm, nullptr);
}

TEST_F(Poll, SelfRearmingCallback) {
  FakeClock clock;
  g_rearms = 0;
  fpi_timeout_add(100, Record, const_cast<char *>("later"));
  fpi_timeout_add(0, Rearm, nullptr);
  for (int i = 1; i <= 5; ++i) {
    ASSERT_EQ(Handle(0), 0);
    EXPECT_EQ(g_rearms, i) << "one run per call";
  }
  ASSERT_EQ(Handle(0), 0);
  EXPECT_EQ(g_rearms, 5);
  clock.AdvanceMs(100);
  ASSERT_EQ(Handle(0), 0);
  EXPECT_EQ(g_fired, Lines{"later"});
  timeval next;
  EXPECT_EQ(fp_get_next_timeout(&next), 0);
}

fpi_timeout *g_self = nullptr;
fpi_timeout *g_other = nullptr;
void CancelSelfAndOther(void *) {
  g_fired.push_back("canceller");
  fpi_timeout_cancel(g_other);
  fpi_timeout_cancel(g_self);  // outside the contract; must not free twice
}

TEST_F(Poll, CancelledTimeoutsNeverRun) {
  FakeClock clock;
  g_other = fpi_timeout_add(20, Record, const_cast<char *>("other"));
  g_self = fpi_timeout_add(10, CancelSelfAndOther, nullptr);
  fpi_timeout *dropped = fpi_timeout_add(5, Record, const_cast<char *>("dropped"));
  fpi_timeout_cancel(dropped);
  clock.AdvanceMs(50);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Handle(0), 0);
  EXPECT_EQ(g_fired, Lines{"canceller"});
}

TEST_F(Poll, NextTimeout) {
  timeval tv = {77, 77};
  EXPECT_EQ(fp_get_next_timeout(&tv), 0);
  EXPECT_EQ(tv.tv_sec, 77);
  EXPECT_EQ(tv.tv_usec, 77);

  FakeClock clock(1000000);
  fpi_timeout_add(2500, Record, nullptr);
  clock.AdvanceMs(1000);
  EXPECT_EQ(fp_get_next_timeout(&tv), 1);
  EXPECT_EQ(Us(tv), 1500000);
  clock.AdvanceMs(2000);
  EXPECT_EQ(fp_get_next_timeout(&tv), 1);
  EXPECT_EQ(Us(tv), 0);
}

TEST_F(Poll, PollDescriptorsOfTheUsbContext) {
  fp_pollfd *fds = nullptr;
  long n = fp_get_pollfds(&fds);
  const libusb_pollfd **usb = libusb_get_pollfds(fpi_usb_ctx);
  ASSERT_NE(usb, nullptr);
  long expected = 0;
  while (usb[expected] != nullptr) {
    ASSERT_LT(expected, n);
    EXPECT_EQ(fds[expected].fd, usb[expected]->fd);
    EXPECT_EQ(fds[expected].events, usb[expected]->events);
    ++expected;
  }
  EXPECT_EQ(n, expected);
  libusb_free_pollfds(usb);
  g_free(fds);
}

TEST(PollExit, DropsPendingTimeoutsWithoutRunningThem) {
  fp_set_debug(0);
  g_fired.clear();
  ASSERT_EQ(fp_init(), 0);
  fpi_timeout_add(0, Record, const_cast<char *>("t"));
  fp_exit();
  ASSERT_EQ(fp_init(), 0);
  timeval tv = {0, 0};
  ASSERT_EQ(fp_handle_events_timeout(&tv), 0);
  EXPECT_TRUE(g_fired.empty());
  timeval next;
  EXPECT_EQ(fp_get_next_timeout(&next), 0);
  fp_exit();
}

}  // namespace
