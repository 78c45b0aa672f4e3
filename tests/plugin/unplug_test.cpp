// The sensor unplugged while the service uses it. The service calls discover
// from its hot-plug thread whatever the operation thread is doing; the
// scripted library, like the real one, may be driven by one thread only and
// aborts on any use of a closed device.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "plugin/community_ops.h"
#include "plugin/fake_fpdev.h"
#include "plugin/operation_fixture.h"

namespace plugin_test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kUnpluggedText[] = "The fingerprint device was unplugged";

enum class Op { kEnroll, kVerify, kIdentify, kSearch };

const char *Name(Op op) {
  switch (op) {
    case Op::kEnroll: return "enroll";
    case Op::kVerify: return "verify";
    case Op::kIdentify: return "identify";
    case Op::kSearch: return "search";
  }
  return "?";
}

// How the unplugging reaches the plug-in.
struct Way {
  const char *name;
  int library_error;  // what the library reports to the running operation (0: nothing)
  bool hotplug;       // the service's hot-plug thread calls discover
  bool lingers = false;  // the sysfs entry stays; only the kernel's node answers no device
};

class UnplugTest : public OperationTest {
 protected:
  void SetUp() override {
    OperationTest::SetUp();
    if (IsSkipped()) return;
    StoreFeature(0, 0, "stored", StoredText("abc"));
    stored_ = StoredRows();
    poll_hook_ = nullptr;
    close_hook_ = nullptr;
    discovered_ = -1;
    fake_->on_poll = [](int call, void *arg) {
      auto *self = static_cast<UnplugTest *>(arg);
      if (self->poll_hook_) self->poll_hook_(call);
    };
    fake_->on_poll_arg = this;
    fake_->on_close = [](void *arg) {
      auto *self = static_cast<UnplugTest *>(arg);
      if (self->close_hook_) self->close_hook_();
    };
    fake_->on_close_arg = this;
  }
  // A fresh round for the next case of a table.
  void Again() {
    TearDown();
    SetUp();
  }

  // Runs `op` on this thread as the service's operation thread does.
  int Run(Op op) {
    switch (op) {
      case Op::kEnroll: return community_ops_enroll(dev(), ACTION_START, 0, 1, name_);
      case Op::kVerify: return community_ops_verify(dev(), ACTION_START, 0, 0);
      case Op::kIdentify: return community_ops_identify(dev(), ACTION_START, 0, 0, -1);
      case Op::kSearch: {
        feature_info *found = community_ops_search(dev(), ACTION_START, 0, 0, -1);
        int n = 0;
        for (feature_info *f = found; f != nullptr; f = f->next) ++n;
        bio_sto_free_feature_info_list(found);
        return n;
      }
    }
    return 0;
  }

  // The service's hot-plug thread calls discover; returns its count.
  int DiscoverOnHotplugThread() {
    int n = -1;
    std::thread hotplug([&] { n = community_ops_discover(dev()); });
    hotplug.join();
    return n;
  }

  // Unplugs the sensor from inside poll `at_poll` of the running operation:
  // sysfs loses it (with way.lingers only its node goes), the library
  // reports `way.library_error`, and with way.hotplug the service's hot-plug
  // thread runs discover while this thread is inside the library's poll.
  void UnplugAtPoll(int at_poll, const Way &way) {
    poll_hook_ = [this, at_poll, way](int call) {
      if (call != at_poll) return;
      unplugged_at_ = Clock::now();
      if (way.lingers)
        usb_.RemoveNode("1-2");
      else
        usb_.Unplug("1-2");
      fake_->unplugged = 1;
      fake_->unplug_error = way.library_error;
      if (way.hotplug) discovered_ = DiscoverOnHotplugThread();
    };
  }

  // The device was released once, by the plug-in, and nothing is left open.
  void ExpectReleasedOnce() {
    EXPECT_EQ(priv()->dev, nullptr);
    EXPECT_EQ(fake_->close_calls, 1);
    EXPECT_EQ(fake_->closed[0], fake_fpdev_handle(0));
    EXPECT_EQ(fake_->exit_calls, 1);
    EXPECT_EQ(fake_->close_of_closed, 0);
    EXPECT_EQ(fake_->exit_without_init, 0);
  }

  // The service's view after an operation ended by the unplug; no stored
  // feature touched.
  void ExpectUnpluggedOutcome(Op op) {
    const int result[] = {OPS_ENROLL_ERROR, OPS_VERIFY_ERROR, OPS_IDENTIFY_ERROR,
                          OPS_SEARCH_ERROR};
    EXPECT_EQ(bio_get_ops_result(dev()), result[static_cast<int>(op)]);
    EXPECT_EQ(bio_get_notify_mid(dev()), COMMUNITY_NOTIFY_MESSAGE);
    EXPECT_STREQ(bio_get_notify_mid_mesg(dev()), kUnpluggedText);
    EXPECT_EQ(bio_get_dev_status(dev()), DEVS_COMM_IDLE);
    EXPECT_EQ(StoredRows(), stored_);
  }

  // The service's round after the operation: close (nothing left to
  // release), then the re-plug with its discover, open, and a verify of the
  // stored finger.
  void ExpectWorksAfterReplug() {
    poll_hook_ = nullptr;
    close_hook_ = nullptr;
    int closes = fake_->close_calls, exits = fake_->exit_calls;
    community_ops_close(dev());
    EXPECT_EQ(fake_->close_calls, closes) << "close released the device again";
    EXPECT_EQ(fake_->exit_calls, exits) << "close shut the library down again";
    usb_.Plug("1-3", 0x3c5d, 0x4842);
    fake_->unplugged = 0;
    EXPECT_EQ(community_ops_discover(dev()), 1);
    ASSERT_EQ(community_ops_open(dev()), 0);
    Finger("abc");
    community_ops_verify(dev(), ACTION_START, 0, 0);
    EXPECT_EQ(bio_get_ops_result(dev()), OPS_VERIFY_MATCH);
    community_ops_close(dev());
    EXPECT_EQ(fake_->close_of_closed, 0);
    EXPECT_EQ(fake_->exit_without_init, 0);
    EXPECT_EQ(fake_->init_while_initialised, 0);
  }

  char name_[16] = "new-finger";
  std::vector<Row> stored_;
  std::function<void(int)> poll_hook_;
  std::function<void()> close_hook_;
  int discovered_ = -1;
  Clock::time_point unplugged_at_;
};

// The operation waits for a finger (the enrolment after two passes); the
// sensor goes at its third poll.
TEST_F(UnplugTest, DuringAnOperationItEndsPromptlyAndTheDeviceIsReleasedOnce) {
  const Way ways[] = {
      {"the library reports the failed transfers, then the hot-plug thread", -19, true},
      {"only the hot-plug thread tells (the library stays silent)", 0, true},
      {"only the library tells (the hot-plug event comes late)", -5, false},
      // The remove event, or the failed transfers, before the kernel has
      // taken the device's sysfs entry down.
      {"the library reports the failed transfers, the sysfs entry lingers", -19, true, true},
      {"only the hot-plug thread tells, the sysfs entry lingers", 0, true, true},
      {"only the library tells, the sysfs entry lingers", -5, false, true},
  };
  bool first = true;
  for (Op op : {Op::kEnroll, Op::kVerify, Op::kIdentify, Op::kSearch}) {
    for (const Way &way : ways) {
      SCOPED_TRACE(std::string(Name(op)) + ", " + way.name);
      if (!first) Again();
      first = false;
      if (IsSkipped()) return;
      fake_->nr_enroll_results = 2;
      fake_->enroll_results[0] = fake_->enroll_results[1] = 3;  // PASS, PASS, then nothing
      Finger("");  // no finger: the identification waits
      UnplugAtPoll(3, way);
      Run(op);
      double took = std::chrono::duration<double>(Clock::now() - unplugged_at_).count();
      EXPECT_LT(took, 1.0) << "the operation did not end promptly";
      if (way.hotplug) {
        EXPECT_EQ(discovered_, 0);
      }
      ExpectUnpluggedOutcome(op);
      ExpectReleasedOnce();
      ExpectWorksAfterReplug();
    }
  }
}

// During a session discover counts the sensors in sysfs that the kernel
// still answers for through their nodes; what cannot be asked counts.
TEST_F(UnplugTest, DiscoverDuringASessionCountsWhatTheKernelStillAnswersFor) {
  struct Case {
    const char *name;
    std::function<void(UsbDevices &)> change;
    int count;
  } cases[] = {
      {"the open sensor, plugged in", [](UsbDevices &) {}, 1},
      {"its sysfs entry lingers, its node is gone", [](UsbDevices &u) { u.RemoveNode("1-2"); },
       0},
      {"gone from sysfs", [](UsbDevices &u) { u.Unplug("1-2"); }, 0},
      {"a second sensor beside the lingering entry",
       [](UsbDevices &u) {
         u.RemoveNode("1-2");
         u.Plug("1-3", 0x3c5d, 0x4842);
       },
       1},
      {"a machine without USB nodes", [](UsbDevices &u) { u.RemoveNodes(); }, 1},
  };
  bool first = true;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    if (!first) Again();
    first = false;
    if (IsSkipped()) return;
    c.change(usb_);
    EXPECT_EQ(DiscoverOnHotplugThread(), c.count);
    if (c.count == 0) {
      EXPECT_NE(priv()->unplugged, 0) << "the session went on";
    }
    EXPECT_EQ(fake_->init_calls, 1) << "discover used the library during the session";
  }
}

// Unplugged between the service's open and its operation: the operation
// never touches the library and reports the unplug at once.
TEST_F(UnplugTest, BetweenOpenAndOperationNothingStarts) {
  bool first = true;
  for (Op op : {Op::kEnroll, Op::kVerify, Op::kIdentify, Op::kSearch}) {
    SCOPED_TRACE(Name(op));
    if (!first) Again();
    first = false;
    usb_.Unplug("1-2");
    fake_->unplugged = 1;
    EXPECT_EQ(DiscoverOnHotplugThread(), 0);
    Run(op);
    EXPECT_EQ(fake_->enroll_start_calls + fake_->identify_start_calls, 0);
    EXPECT_EQ(fake_->import_calls, 0);
    ExpectUnpluggedOutcome(op);
    ExpectReleasedOnce();
    ExpectWorksAfterReplug();
  }
}

// Unplugged while the device is closed (the service closes it after every
// operation): discover runs the library itself, and the next open fails.
TEST_F(UnplugTest, BetweenOperationsTheNextOpenFails) {
  community_ops_close(dev());
  usb_.Unplug("1-2");
  fake_->unplugged = 1;
  EXPECT_EQ(DiscoverOnHotplugThread(), 0);
  EXPECT_EQ(community_ops_open(dev()), -1);
  EXPECT_STREQ(bio_get_notify_mid_mesg(dev()), "Device failed to open");
  EXPECT_EQ(fake_->init_calls, 3);
  EXPECT_EQ(fake_->exit_calls, 3);
  EXPECT_EQ(StoredRows(), stored_);
  ExpectWorksAfterReplug();
}

// Another device plugged in during an operation raises discover too: the
// operation goes on undisturbed and the count comes from sysfs.
TEST_F(UnplugTest, HotplugOfAnotherDeviceLeavesTheOperationAlone) {
  usb_.Plug("1-5", 0x3c5d, 0x4841);
  usb_.Plug("1-6", 0x1d6b, 0x0002);  // not one of ours
  poll_hook_ = [this](int call) {
    if (call == 3) discovered_ = DiscoverOnHotplugThread();
  };
  EXPECT_EQ(Run(Op::kEnroll), 0);
  EXPECT_EQ(discovered_, 2);
  EXPECT_EQ(bio_get_ops_result(dev()), OPS_ENROLL_SUCCESS);
  EXPECT_EQ(StoredRows().size(), stored_.size() + 1);
  EXPECT_EQ(fake_->close_calls, 0);
  EXPECT_EQ(fake_->exit_calls, 0);
}

// A stop request from the service arriving while the operation thread tears
// the unplugged device down: the unplug stays the outcome, the stop request
// sees the operation end, and the device is still released once.
TEST_F(UnplugTest, StopRequestDuringTheTeardown) {
  fake_->nr_enroll_results = 1;
  fake_->enroll_results[0] = 3;
  UnplugAtPoll(3, {"hot-plug", -19, true});
  int stop_result = -2;
  Clock::time_point stop_started;
  double stop_took = -1;
  std::thread stopper;
  close_hook_ = [&] {
    stop_started = Clock::now();
    stopper = std::thread([&] {
      stop_result = community_ops_stop_by_user(dev(), 3000);
      stop_took = std::chrono::duration<double>(Clock::now() - stop_started).count();
    });
    // The teardown goes on while the stop request waits for it.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  };
  Run(Op::kEnroll);
  stopper.join();
  EXPECT_EQ(stop_result, 0);
  EXPECT_LT(stop_took, 1.0);
  ExpectUnpluggedOutcome(Op::kEnroll);
  ExpectReleasedOnce();
  ExpectWorksAfterReplug();
}

}  // namespace
}  // namespace plugin_test
