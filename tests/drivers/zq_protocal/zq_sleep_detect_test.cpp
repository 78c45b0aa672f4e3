// The sleep detector with an injected wall clock and a 1 ms tick: a gap of
// 3 s or more (either way) gives exactly one resume, shorter ones none; one
// thread however often it is started, and none after it is stopped.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "framework/capture_flags.h"
#include "drivers/zq_protocal/zq_sleep_detect.h"

namespace {

std::atomic<int64_t> g_now{1000};
std::atomic<int> g_readings{0};

int64_t FakeWall() {
  const int64_t now = g_now.load();
  ++g_readings;  // counted after the value is taken
  return now;
}

size_t Threads() {
  size_t n = 0;
  DIR *d = opendir("/proc/self/task");
  while (dirent *e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

// Waits (real time, at most 2 s) until `done`.
template <typename Pred>
bool Eventually(Pred done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

class SleepDetector : public ::testing::TestWithParam<std::pair<int, unsigned>> {
 protected:
  void SetUp() override {
    const zq_sleep_clock clock = {FakeWall, 1000};
    zq_sleep_detect_set_clock(&clock);
    g_resumed_from_sleep = 0;
    isNeedClearImgFirst = 1;
  }
  void TearDown() override {
    zq_sleep_detect_stop();
    zq_sleep_detect_set_clock(nullptr);
  }
};

TEST_P(SleepDetector, AGapOfThreeSecondsOrMoreIsOneResume) {
  const auto [jump, resumes] = GetParam();
  ASSERT_EQ(create_sleep_thread(), 0);
  ASSERT_TRUE(Eventually([] { return g_readings.load() >= 3; })) << "the detector ticks";
  EXPECT_EQ(zq_sleep_detect_resumes(), 0u) << "a steady clock is no resume";

  g_now += jump;
  if (resumes > 0) {
    ASSERT_TRUE(Eventually([] { return zq_sleep_detect_resumes() > 0; }));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(zq_sleep_detect_resumes(), resumes) << "once per gap";
  EXPECT_EQ(g_resumed_from_sleep.load(), resumes > 0 ? 1 : 0);
  EXPECT_EQ(isNeedClearImgFirst.load(), resumes > 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Gaps, SleepDetector,
                         ::testing::Values(std::pair<int, unsigned>{2, 0},
                                           std::pair<int, unsigned>{3, 1},
                                           std::pair<int, unsigned>{60, 1},
                                           std::pair<int, unsigned>{-5, 1}),
                         [](const auto &info) {
                           int j = info.param.first;
                           return (j < 0 ? "Back" : "Forward") + std::to_string(j < 0 ? -j : j);
                         });

TEST(SleepDetectorThread, StartsOnceAndStopsCleanly) {
  const size_t before = Threads();
  ASSERT_EQ(create_sleep_thread(), 0);
  ASSERT_EQ(create_sleep_thread(), 0);
  EXPECT_EQ(isSleepThreadStarted.load(), 1);
  EXPECT_EQ(Threads(), before + 1);
  zq_sleep_detect_stop();
  EXPECT_EQ(isSleepThreadStarted.load(), 0);
  EXPECT_EQ(Threads(), before) << "the production tick is cut short by the stop";
  ASSERT_EQ(create_sleep_thread(), 0);
  EXPECT_EQ(Threads(), before + 1);
}

}  // namespace
