// The capture loop of the quorvanta driver on the emulated 0x4842 bridge:
// the finger poll's period, a capture that fails and a failed health check,
// each as the caller of fp_* sees it.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fpi_poll.h"
#include "quorvanta/driver_bench.h"
#include "support/minutiae_standin.h"
#include "support/sensorlib_standin.h"

namespace {

namespace standin = sensorlib_standin;
using bridge_emul::BridgeModel;
using quorvanta_test::DriverBench;
using quorvanta_test::Outcome;

constexpr uint8_t kPinRequest = 0x43;       // IN: the bridge's interrupt pin
constexpr uint8_t kRegisterRead = 0x3A;     // IN: one bridge register

// The framework's clock, standing still unless a test moves it.
int64_t g_now_ns = 0;
int StandingClock(timespec *now) {
  now->tv_sec = static_cast<time_t>(g_now_ns / 1000000000);
  now->tv_nsec = static_cast<long>(g_now_ns % 1000000000);
  return 0;
}

class BridgeLoopTest : public testing::Test {
 protected:
  void SetUp() override {
    standin::Reset();
    minutiae_standin::Reset();
    minutiae_standin::ScriptDetection({{10, 10, 90}, {20, 30, 180}, {40, 50, 270}});
    model_ = std::make_shared<BridgeModel>(bridge_emul::BridgeConfig{});
    bench_ = std::make_unique<DriverBench>(bridge_emul::BridgeDesc(0x4842), model_);
    ASSERT_TRUE(bench_->Open());
    timespec real;
    clock_gettime(CLOCK_MONOTONIC, &real);
    g_now_ns = static_cast<int64_t>(real.tv_sec) * 1000000000 + real.tv_nsec;
    fpi_poll_set_clock(StandingClock);
  }
  void TearDown() override {
    // Back on the real clock, pending time-outs fire at once.
    fpi_poll_set_clock(nullptr);
    bench_.reset();
  }
  static void Advance(int64_t ms) { g_now_ns += ms * 1000000; }

  // Control requests `request` in the transfer log.
  size_t Requests(uint8_t request) {
    size_t n = 0;
    for (const auto &e : bench_->device().Log())
      if (e.event == usb_emul::Event::kControl && e.setup.request == request) n++;
    return n;
  }

  void Press() { model_->Press(std::vector<uint8_t>(96 * 96, 120)); }

  std::shared_ptr<BridgeModel> model_;
  std::unique_ptr<DriverBench> bench_;
};

// Without a finger the pin is read once per 50 ms of the framework's clock.
TEST_F(BridgeLoopTest, FingerIsPolledEveryFiftyMilliseconds) {
  Outcome out;
  bench_->device().ClearLog();
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  bench_->RunFor(100);
  EXPECT_EQ(Requests(kPinRequest), 1u) << "the clock stands: one poll";
  Advance(49);
  bench_->RunFor(60);
  EXPECT_EQ(Requests(kPinRequest), 1u) << "polled again before 50 ms";
  Advance(1);
  EXPECT_TRUE(bench_->RunUntil([&] { return Requests(kPinRequest) == 2; }, 1000));
  Advance(50);
  EXPECT_TRUE(bench_->RunUntil([&] { return Requests(kPinRequest) == 3; }, 1000));
  EXPECT_TRUE(out.results.empty());
  fpi_poll_set_clock(nullptr);
  ASSERT_TRUE(bench_->StopEnroll(&out));
}

// A press whose image read fails: the bridge is reset by the health check,
// no image reaches the library, and the enrolment ends with the error.
TEST_F(BridgeLoopTest, FailedCaptureEndsTheActionWithItsError) {
  Outcome out;
  Press();
  model_->FailNextBulkIn();
  const unsigned resets = model_->Resets();
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  ASSERT_TRUE(bench_->RunUntil([&] { return !out.results.empty(); }, 3000));
  ASSERT_EQ(out.results.size(), 1u);
  EXPECT_LT(out.results[0], 0);
  EXPECT_GT(model_->Resets(), resets) << "no health check after the failed read";
  EXPECT_TRUE(standin::CallsStartingWith("quorv_EnrollByImage").empty());
  EXPECT_EQ(quorvanta_ctx->loop_running, 0);
  fpi_poll_set_clock(nullptr);
  ASSERT_TRUE(bench_->StopEnroll(&out));
}

// A finger query that fails runs the health check: when the bridge recovers
// the poll goes on, when it does not the enrolment ends with the error.
struct QueryCase {
  const char *name;
  uint8_t stalled;  // the request that fails from the start of the enrolment
  bool ends;
};
void PrintTo(const QueryCase &c, std::ostream *os) { *os << c.name; }

class FailedQueryTest : public BridgeLoopTest, public testing::WithParamInterface<QueryCase> {};

TEST_P(FailedQueryTest, RunsTheHealthCheck) {
  const QueryCase &c = GetParam();
  Outcome out;
  Press();  // the pin reads high: the query goes on to the MCU status
  const unsigned resets = model_->Resets();
  model_->StallRequest(c.stalled);
  ASSERT_EQ(bench_->StartEnroll(&out), 0);
  bench_->RunFor(150);
  EXPECT_GT(model_->Resets(), resets) << "no health check";
  if (c.ends) {
    ASSERT_TRUE(bench_->RunUntil([&] { return !out.results.empty(); }, 3000));
    ASSERT_EQ(out.results.size(), 1u);
    EXPECT_LT(out.results[0], 0);
    EXPECT_EQ(quorvanta_ctx->loop_running, 0);
  } else {
    EXPECT_TRUE(out.results.empty());
    EXPECT_EQ(quorvanta_ctx->loop_running, 1);
    const size_t polls = Requests(kPinRequest);
    Advance(50);
    EXPECT_TRUE(bench_->RunUntil([&] { return Requests(kPinRequest) > polls; }, 1000))
        << "the poll did not go on";
  }
  EXPECT_TRUE(standin::CallsStartingWith("quorv_EnrollByImage").empty());
  fpi_poll_set_clock(nullptr);
  ASSERT_TRUE(bench_->StopEnroll(&out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedQueryTest,
    testing::Values(
        // The pin cannot be read; the health check does not need it.
        QueryCase{"HealthCheckPasses", kPinRequest, false},
        // The MCU status cannot be read, and the health check needs registers.
        QueryCase{"HealthCheckFails", kRegisterRead, true}),
    [](const testing::TestParamInfo<QueryCase> &info) { return std::string(info.param.name); });

}  // namespace
