// Device operations, the waiting loop and the stop request, against the
// scripted device library.
#include "plugin/community_ops.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "plugin/community_log.h"
#include "plugin/fake_fpdev.h"
#include "plugin/plugin_host.h"

namespace {

using plugin_test::Captured;
using plugin_test::ServiceHost;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A fresh fake library with `ids` as the discovered devices' driver ids.
fake_fpdev_script *Script(std::initializer_list<uint16_t> ids) {
  fake_fpdev_script *c = fake_fpdev_control();
  *c = fake_fpdev_script{};
  for (uint16_t id : ids) c->driver_ids[c->nr_devices++] = id;
  c->nr_enroll_stages = 12;
  return c;
}

// --- Discover, open, close, free ---------------------------------------------

TEST(DiscoverTest, CountsDevicesOfDriver35ThatOpen) {
  struct Case {
    const char *name;
    std::initializer_list<uint16_t> ids;
    int failing;  // index of a device whose open fails, -1 for none
    int count;
    const char *text;
  } cases[] = {
      {"none", {}, -1, 0, "No zq4842 fingerprint device detected\n"},
      {"other driver only", {9}, -1, 0, "No zq4842 fingerprint device detected\n"},
      {"one", {35}, -1, 1, "There is 1 zq4842 fingerprint device detected\n"},
      {"two among others", {9, 35, 35}, -1, 2, "There is 2 zq4842 fingerprint device detected\n"},
      {"one fails to open", {35, 35}, 0, 1, "There is 1 zq4842 fingerprint device detected\n"},
  };
  ServiceHost host;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    fake_fpdev_script *fake = Script(c.ids);
    if (c.failing >= 0) fake->open_fails[c.failing] = 1;
    int n = -1;
    std::string printed = Captured([&] { n = community_ops_discover(host.dev()); });
    EXPECT_EQ(n, c.count);
    EXPECT_NE(printed.find("Detect zq4842 device\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find(c.text), std::string::npos) << printed;
    // Discovery leaves nothing open and the library shut down.
    EXPECT_EQ(host.priv()->dev, nullptr);
    EXPECT_EQ(fake->close_calls, c.count);
    EXPECT_EQ(fake->init_calls, 1);
    EXPECT_EQ(fake->exit_calls, 1);
  }
}

TEST(DiscoverTest, NullListCountsAsEmpty) {
  ServiceHost host;
  fake_fpdev_script *fake = Script({});
  fake->discover_returns_null = 1;
  EXPECT_EQ(community_ops_discover(host.dev()), 0);
}

TEST(OpenTest, KeepsTheLastDeviceAndClosesTheEarlierOne) {
  ServiceHost host;
  fake_fpdev_script *fake = Script({35, 9, 35});
  fake->module_type = 2;
  ASSERT_EQ(community_ops_open(host.dev()), 0);
  community_dev_priv *priv = host.priv();
  EXPECT_EQ(priv->dev, fake_fpdev_handle(2));
  ASSERT_EQ(fake->close_calls, 1);
  EXPECT_EQ(fake->closed[0], fake_fpdev_handle(0));
  EXPECT_EQ(bio_get_dev_status(host.dev()), 0);
  EXPECT_EQ(bio_get_ops_result(host.dev()), OPS_OPEN_SUCCESS);
  EXPECT_EQ(priv->module_type, 2);
  EXPECT_EQ(priv->nr_enroll_stages, 12);
  EXPECT_EQ(priv->timeout_ms, 30000 - 4500);
  EXPECT_EQ(priv->poll_tv.tv_sec, 0);
  EXPECT_EQ(priv->poll_tv.tv_usec, 100000);
  EXPECT_EQ(priv->result, -1);
  EXPECT_EQ(priv->done, 1);

  community_ops_close(host.dev());
  EXPECT_EQ(priv->dev, nullptr);
  EXPECT_EQ(fake->close_calls, 2);
  EXPECT_EQ(fake->closed[1], fake_fpdev_handle(2));
  EXPECT_EQ(fake->exit_calls, 1);
  EXPECT_EQ(community_close_called, 1);
}

TEST(OpenTest, NoDeviceFailsWithStatus101AndShutsTheLibraryDown) {
  ServiceHost host;
  fake_fpdev_script *fake = Script({9});
  int r = 0;
  std::string printed = Captured([&] { r = community_ops_open(host.dev()); });
  EXPECT_EQ(r, -1);
  EXPECT_EQ(bio_get_dev_status(host.dev()), DEVS_OPEN_DOING);
  EXPECT_EQ(bio_get_notify_mid(host.dev()), 1106);
  EXPECT_STREQ(bio_get_notify_mid_mesg(host.dev()), "Device failed to open");
  // The relative 2001 at status 0 is stored by the service as 1.
  EXPECT_EQ(bio_get_ops_result(host.dev()), 1);
  EXPECT_NE(printed.find("Device failed to open\n"), std::string::npos) << printed;
  EXPECT_EQ(fake->exit_calls, 1);

  // A second attempt initialises the library afresh, never twice over.
  fake->driver_ids[0] = 35;
  EXPECT_EQ(community_ops_open(host.dev()), 0);
  EXPECT_EQ(fake->init_calls, 2);
  EXPECT_EQ(fake->init_while_initialised, 0);
}

TEST(OpenTest, DeviceThatFailsToOpenIsReported) {
  ServiceHost host;
  fake_fpdev_script *fake = Script({35});
  fake->open_fails[0] = 1;
  int r = 0;
  std::string printed = Captured([&] { r = community_ops_open(host.dev()); });
  EXPECT_EQ(r, -1);
  std::string expected = std::string("Could not open device (driver ") +
                         fake_fpdev_driver_name(35) + ")";
  EXPECT_NE(printed.find(expected), std::string::npos) << printed;
}

TEST(OpenTest, DisabledDeviceIsRefusedWithoutTouchingTheLibrary) {
  ServiceHost host("[zq4842]\nEnable=false\n");
  fake_fpdev_script *fake = Script({35});
  EXPECT_EQ(community_ops_open(host.dev()), -1);
  EXPECT_EQ(bio_get_dev_status(host.dev()), DEVS_COMM_DISABLE);
  EXPECT_EQ(fake->init_calls, 0);
  EXPECT_STREQ(bio_get_notify_mid_mesg(host.dev()), "Device is initializing");
}

TEST(FreeTest, ReleasesEverythingAndClearsThePrivatePointer) {
  ServiceHost host;
  fake_fpdev_script *fake = Script({35});
  ASSERT_EQ(community_ops_open(host.dev()), 0);
  community_ops_free(host.dev());
  EXPECT_EQ(host.dev()->dev_priv, nullptr);
  EXPECT_EQ(fake->close_calls, 1);
  EXPECT_EQ(fake->exit_calls, 1);
}

// --- Texts --------------------------------------------------------------------

TEST(MessageTest, CustomCodesHaveTextsOthersNone) {
  ServiceHost host;
  bio_dev *dev = host.dev();
  snprintf(host.priv()->message, sizeof host.priv()->message, "%s", "own text");
  const struct {
    int code;
    const char *text;
  } notify[] = {
      {1001, "Sample complete"},
      {1104, "Unable to generate feature data, enroll failure"},
      {1105, "Sample start, please press and lift your finger"},
      {1106, "own text"},
      {1107, nullptr},
      {1000, nullptr},
  };
  for (const auto &n : notify) {
    SCOPED_TRACE(n.code);
    bio_set_notify_abs_mid(dev, n.code);
    EXPECT_STREQ(community_ops_get_notify_mid_mesg(dev), n.text);
  }
  const struct {
    int code;
    const char *text;
  } results[] = {
      {2001, "Device is initializing"},
      {2002, "Chip communication failure"},
      {2003, "Up to the max finger count"},
      {2004, nullptr},
      {100, nullptr},
  };
  for (const auto &r : results) {
    SCOPED_TRACE(r.code);
    bio_set_ops_abs_result(dev, r.code);
    EXPECT_STREQ(community_ops_get_ops_result_mesg(dev), r.text);
  }
  bio_set_dev_status(dev, 201);
  EXPECT_EQ(community_ops_get_dev_status_mesg(dev), nullptr);
}

// --- Waiting --------------------------------------------------------------------

// An open device whose operation is about to wait.
class WaitTest : public ::testing::Test {
 protected:
  void Open(int service_timeout_ms) {
    bio_set_ops_timeout_ms(service_timeout_ms);
    fake_ = Script({35});
    fake_->sleep_in_poll = 1;
    ASSERT_EQ(community_ops_open(host_.dev()), 0);
    priv()->done = 0;
  }
  community_dev_priv *priv() { return host_.priv(); }

  ServiceHost host_;
  fake_fpdev_script *fake_ = nullptr;
};

TEST_F(WaitTest, DeadlineIsTheWholeSecondsOfTheServiceTimeoutLess4500) {
  const struct {
    int service_ms;
    int seconds;
  } cases[] = {{30000, 25}, {6400, 1}, {5500, 1}, {9499, 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.service_ms);
    Open(c.service_ms);
    struct timeval before;
    gettimeofday(&before, nullptr);
    community_internal_timeout_tv_update(host_.dev());
    int64_t before_us = static_cast<int64_t>(before.tv_sec) * 1000000 + before.tv_usec;
    int64_t deadline_us = priv()->deadline_sec * 1000000 + priv()->deadline_usec;
    EXPECT_GE(deadline_us - before_us, int64_t{c.seconds} * 1000000);
    EXPECT_LT(deadline_us - before_us, int64_t{c.seconds} * 1000000 + 50000);
    community_ops_close(host_.dev());
  }
}

TEST_F(WaitTest, TimesOutAtTheDeadlineWithFullLengthPolls) {
  Open(5500);  // one second
  // The library once reports a much shorter wait (a framework time-out was
  // due): later polls must still get the full 100 ms.
  fake_->shorten_first_usec = 1000;
  auto start = Clock::now();
  community_internal_interactive_waiting(host_.dev());
  double waited = SecondsSince(start);
  EXPECT_EQ(priv()->result, -2);
  EXPECT_EQ(priv()->done, 1);
  EXPECT_GE(waited, 1.0);
  EXPECT_LT(waited, 1.25);
  EXPECT_GE(fake_->poll_calls, 10);
  EXPECT_LE(fake_->poll_calls, 12);
  for (int i = 0; i < fake_->poll_calls; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(fake_->poll_usec_given[i], 100000);
  }
}

void FinishAtPoll4(int call, void *arg) {
  if (call != 4) return;
  auto *priv = static_cast<community_dev_priv *>(arg);
  priv->result = 7;
  priv->done = 1;
}

TEST_F(WaitTest, EndsOnCallbackOrPollError) {
  struct Case {
    const char *name;
    bool done_before;
    int fail_at;
    bool callback_at_4;
    int polls;
    int result;
  } cases[] = {
      {"already done", true, 0, false, 0, -1},
      {"poll error", false, 3, false, 3, -1},
      {"callback", false, 0, true, 4, 7},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Open(30000);
    fake_->sleep_in_poll = 0;
    fake_->fail_at_poll = c.fail_at;
    if (c.callback_at_4) {
      fake_->on_poll = FinishAtPoll4;
      fake_->on_poll_arg = priv();
    }
    priv()->done = c.done_before ? 1 : 0;
    community_internal_interactive_waiting(host_.dev());
    EXPECT_EQ(fake_->poll_calls, c.polls);
    EXPECT_EQ(priv()->result, c.result);
    EXPECT_EQ(priv()->done, 1);
    community_ops_close(host_.dev());
  }
}

TEST_F(WaitTest, IdentifyStopPollsUntilItsCallbackRan) {
  const struct {
    const char *name;
    int stop_result;
    int cb_after;
    int polls;
  } cases[] = {
      {"completes inside the stop", 0, 0, 0},
      {"completes on the third poll", 0, 3, 3},
      {"refused stop is not waited for", -95, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Open(30000);
    fake_->sleep_in_poll = 0;
    fake_->identify_stop_result = c.stop_result;
    fake_->stop_cb_after_polls = c.cb_after;
    EXPECT_EQ(community_internal_identify_stop(host_.dev()), 0);
    EXPECT_EQ(priv()->stop_done, 1);
    EXPECT_EQ(fake_->identify_stop_calls, 1);
    EXPECT_EQ(fake_->poll_calls, c.polls);
    community_ops_close(host_.dev());
  }
}

TEST_F(WaitTest, IdentifyStopEndsOnPollError) {
  Open(30000);
  fake_->sleep_in_poll = 0;
  fake_->stop_cb_after_polls = 100;
  fake_->fail_at_poll = 2;
  EXPECT_EQ(community_internal_identify_stop(host_.dev()), 0);
  EXPECT_EQ(fake_->poll_calls, 2);
  EXPECT_EQ(priv()->stop_done, 1);
}

// The enrolment stop returns at once; the library finishes it in the next
// poll, which belongs to whatever runs next.
TEST_F(WaitTest, EnrollStopDoesNotWait) {
  Open(30000);
  EXPECT_EQ(community_internal_enroll_stop(host_.dev()), 0);
  EXPECT_EQ(fake_->enroll_stop_calls, 1);
  EXPECT_EQ(fake_->poll_calls, 0);
  EXPECT_EQ(priv()->stop_done, 1);
  EXPECT_NE(fake_->pending[0].cb, nullptr);
}

// --- Stop request ---------------------------------------------------------------

TEST_F(WaitTest, StopFromSecondThreadEndsTheWait) {
  Open(30000);
  bio_set_dev_status(host_.dev(), DEVS_ENROLL_DOING);
  int status_after_wait = -1;
  std::thread operation([&] {
    community_internal_interactive_waiting(host_.dev());
    status_after_wait = bio_get_dev_status(host_.dev());
    bio_set_dev_status(host_.dev(), DEVS_COMM_IDLE);  // the operation ends
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  auto start = Clock::now();
  int r = community_ops_stop_by_user(host_.dev(), 3000);
  double took = SecondsSince(start);
  operation.join();
  EXPECT_EQ(r, 0);
  EXPECT_LT(took, 0.5);
  EXPECT_EQ(status_after_wait, DEVS_ENROLL_STOP_BY_USER);
  EXPECT_EQ(priv()->result, -3);
  EXPECT_EQ(bio_get_dev_status(host_.dev()), DEVS_COMM_IDLE);
}

TEST_F(WaitTest, StopRequestOutcomes) {
  struct Case {
    const char *name;
    int status;
    int close_first;
    int service_ms;
    int waiting_ms;
    int ret;
    int status_after;
    int result_after;
    double max_seconds;
  } cases[] = {
      {"idle device", 0, 0, 30000, 3000, 0, 0, -1, 0.05},
      {"busy, no time to wait", 301, 0, 30000, 0, -1, 301, -3, 0.05},
      {"busy, service time-out is the limit", 401, 0, 300, 5000, -1, 401, -3, 0.45},
      {"after close", 201, 1, 30000, 3000, 0, 202, -3, 0.05},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    Open(30000);
    if (c.close_first) community_ops_close(host_.dev());
    bio_set_ops_timeout_ms(c.service_ms);
    bio_set_dev_status(host_.dev(), c.status);
    priv()->result = -1;
    priv()->done = 0;
    auto start = Clock::now();
    EXPECT_EQ(community_ops_stop_by_user(host_.dev(), c.waiting_ms), c.ret);
    EXPECT_LT(SecondsSince(start), c.max_seconds);
    EXPECT_EQ(bio_get_dev_status(host_.dev()), c.status_after);
    EXPECT_EQ(priv()->result, c.result_after);
    EXPECT_EQ(priv()->done, c.result_after == -3 ? 1 : 0);
    bio_set_dev_status(host_.dev(), 0);
    if (!c.close_first) community_ops_close(host_.dev());
  }
}

TEST_F(WaitTest, UnansweredStopIsResentEvery200Ms) {
  Open(30000);
  bio_set_dev_status(host_.dev(), DEVS_VERIFY_DOING);
  int r = 0;
  std::string printed = Captured([&] { r = community_ops_stop_by_user(host_.dev(), 1000); });
  EXPECT_EQ(r, -1);
  int resent = 0;
  for (size_t at = printed.find("driver cancel timeout,resend"); at != std::string::npos;
       at = printed.find("driver cancel timeout,resend", at + 1))
    ++resent;
  EXPECT_EQ(resent, 5) << printed;
  EXPECT_EQ(bio_get_dev_status(host_.dev()), DEVS_VERIFY_DOING);
}

}  // namespace
