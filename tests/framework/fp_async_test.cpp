// Asynchronous operations on emulated devices of a scripted imaging driver:
// the device state table, started statuses, results without a callback,
// stops, the forced end and the ATC switch of the main driver.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/bq_util.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "framework/fpi_img.h"
#include "framework/scripted_imaging_driver.h"
#include "support/stderr_capture.h"

namespace {

using framework_test::Driver;
using framework_test::ImagingDeviceTest;
using framework_test::IsBugLine;
using framework_test::LinesStartingWith;
using testing_support::StderrCapture;
using Lines = std::vector<std::string>;

enum class Op { kEnroll, kVerify, kIdentify, kCapture };

const char *Name(Op op) {
  switch (op) {
    case Op::kEnroll:
      return "enroll";
    case Op::kVerify:
      return "verify";
    case Op::kIdentify:
      return "identify";
    case Op::kCapture:
      return "capture";
  }
  return "";
}

// What the application's callbacks received.
struct Received {
  std::vector<int> results;
  int stops = 0;
  int state_at_stop = -1;
};

void OnEnroll(fp_dev *, int result, fp_print_data *print, fp_img *img, void *data) {
  static_cast<Received *>(data)->results.push_back(result);
  EXPECT_EQ(print, nullptr);
  EXPECT_EQ(img, nullptr);
}
void OnImg(fp_dev *, int result, fp_img *img, void *data) {
  static_cast<Received *>(data)->results.push_back(result);
  EXPECT_EQ(img, nullptr);
}
void OnIdentify(fp_dev *, int result, size_t offset, fp_img *img, void *data) {
  static_cast<Received *>(data)->results.push_back(result);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(img, nullptr);
}
void OnStop(fp_dev *dev, void *data) {
  auto *r = static_cast<Received *>(data);
  ++r->stops;
  r->state_at_stop = dev->state;
}

int Start(fp_dev *dev, Op op, Received *r) {
  switch (op) {
    case Op::kEnroll:
      return fp_async_enroll_start(dev, r ? OnEnroll : nullptr, r);
    case Op::kVerify:
      return fp_async_verify_start(dev, nullptr, r ? OnImg : nullptr, r);
    case Op::kIdentify:
      return fp_async_identify_start(dev, nullptr, r ? OnIdentify : nullptr, r);
    case Op::kCapture:
      return fp_async_capture_start(dev, 0, r ? OnImg : nullptr, r);
  }
  return 0;
}

int Stop(fp_dev *dev, Op op, Received *r) {
  switch (op) {
    case Op::kEnroll:
      return fp_async_enroll_stop(dev, r ? OnStop : nullptr, r);
    case Op::kVerify:
      return fp_async_verify_stop(dev, r ? OnStop : nullptr, r);
    case Op::kIdentify:
      return fp_async_identify_stop(dev, r ? OnStop : nullptr, r);
    case Op::kCapture:
      return fp_async_capture_stop(dev, r ? OnStop : nullptr, r);
  }
  return 0;
}

using AsyncOps = ImagingDeviceTest;

TEST_F(AsyncOps, OpenAndCloseStates) {
  struct Seen {
    fp_dev *dev = nullptr;
    int status = 1;
    int state = -1;
    size_t listed = 99;
  } seen;
  auto on_open = [](fp_dev *dev, int status, void *data) {
    auto *s = static_cast<Seen *>(data);
    *s = {dev, status, dev->state, fpi_opened_dev_count()};
  };
  StderrCapture err;
  ASSERT_EQ(fp_async_dev_open(Discovered(), on_open, &seen), 0);
  ASSERT_EQ(seen.dev, nullptr) << "the open completes later";
  ASSERT_EQ(fpi_opened_dev_count(), 0u);
  Step();
  ASSERT_NE(seen.dev, nullptr);
  EXPECT_EQ(seen.status, 0);
  EXPECT_EQ(seen.state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(seen.listed, 1u) << "listed before the callback runs";
  EXPECT_EQ(Driver().events, (Lines{"open 90"})) << "the id row's driver data";
  EXPECT_EQ(seen.dev->nr_enroll_stages, 5);
  EXPECT_EQ(seen.dev->enroll_stage, -1);

  fp_dev *dev = seen.dev;
  Received closed;
  fp_async_dev_close(dev, OnStop, &closed);
  EXPECT_EQ(dev->state, DEV_STATE_DEINITIALIZING);
  EXPECT_EQ(fpi_opened_dev_count(), 0u);
  Step();
  EXPECT_EQ(closed.stops, 1);
  EXPECT_EQ(closed.state_at_stop, DEV_STATE_DEINITIALIZED);
  EXPECT_EQ(LinesStartingWith(err.Lines(), "async:"),
            (Lines{"async:debug [fp_async_dev_open] ",
                   "async:debug [fpi_drvcb_open_complete] status 0",
                   "async:debug [fp_async_dev_close] ",
                   "async:debug [fpi_drvcb_close_complete] "}));
}

TEST_F(AsyncOps, FailedOpens) {
  // Reported failure: error state, still listed so that it can be closed.
  Driver().open_status = -5;
  int status = 0;
  auto on_open = [](fp_dev *dev, int st, void *data) {
    *static_cast<int *>(data) = st;
    EXPECT_EQ(dev->state, DEV_STATE_ERROR);
  };
  ASSERT_EQ(fp_async_dev_open(Discovered(), on_open, &status), 0);
  Step();
  EXPECT_EQ(status, -5);
  EXPECT_EQ(fpi_opened_dev_count(), 1u);

  // Refused at once: returned, nothing listed, nothing pending.
  Driver().open_return = -19;
  StderrCapture err;
  EXPECT_EQ(fp_async_dev_open(Discovered(), on_open, &status), -19);
  EXPECT_EQ(fpi_opened_dev_count(), 1u);
  EXPECT_EQ(Driver().Pending(), 0u);
  EXPECT_EQ(LinesStartingWith(err.Lines(), "async:error"),
            (Lines{"async:error [fp_async_dev_open] device initialisation failed, driver=scripted"}));
}

TEST_F(AsyncOps, UsbOpenFailureAllocatesNothing) {
  bed_.Unplug(*emulated_[0]);
  StderrCapture err;
  int r = fp_async_dev_open(Discovered(), nullptr, nullptr);
  EXPECT_LT(r, 0);
  EXPECT_EQ(Driver().events, Lines{});
  EXPECT_EQ(LinesStartingWith(err.Lines(), "async:error"),
            (Lines{"async:error [fp_async_dev_open] usb_open failed, error " + std::to_string(r)}));
}

TEST_F(AsyncOps, ClosingADeviceNotListed) {
  fp_dev *dev = OpenAsync();
  ASSERT_TRUE(fpi_opened_dev_remove(dev));
  StderrCapture err;
  fp_async_dev_close(dev, nullptr, nullptr);
  Drain();
  char want[64];
  snprintf(want, sizeof want, "device %p not in opened list!", static_cast<void *>(dev));
  EXPECT_EQ(LinesStartingWith(err.Lines(), "async:error"),
            (Lines{std::string("async:error [fp_async_dev_close] ") + want}));
}

// One action through start, started, one result, stop and stopped.
struct StateRow {
  Op op;
  int activate_status;  // reported by the driver's activation
  int result;           // of the one press, when the action started
  int after_start, after_started, after_result, after_stop;
  std::vector<int> reported;  // what the action's callback received
  bool bug_at_stop;           // the stop finds an unexpected state
};

class StateTable : public ImagingDeviceTest, public testing::WithParamInterface<StateRow> {};

TEST_P(StateTable, Transitions) {
  const StateRow &row = GetParam();
  fp_dev *dev = OpenAsync();
  ASSERT_NE(dev, nullptr);
  Driver().activate_status = row.activate_status;
  Driver().QueueResult(row.result);

  Received got;
  ASSERT_EQ(Start(dev, row.op, &got), 0);
  EXPECT_EQ(dev->state, row.after_start);
  Step();  // activation completes
  EXPECT_EQ(dev->state, row.after_started);
  Drain();  // the press, when the action runs
  EXPECT_EQ(dev->state, row.after_result);
  EXPECT_EQ(got.results, row.reported);

  StderrCapture err;
  ASSERT_EQ(Stop(dev, row.op, &got), 0);
  EXPECT_EQ(dev->state, row.after_stop);
  EXPECT_EQ(got.stops, 0) << "the stop completes when the driver has deactivated";
  Drain();
  EXPECT_EQ(got.stops, 1);
  EXPECT_EQ(got.state_at_stop, DEV_STATE_INITIALIZED);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(ImgDev(dev)->action, IMG_ACTION_NONE);
  EXPECT_EQ(ImgDev(dev)->action_state, IMG_ACQUIRE_STATE_NONE);

  std::string head = std::string("async:error [fp_async_") + Name(row.op) + "_stop] ";
  Lines bugs;
  for (const std::string &line : err.Lines()) {
    if (IsBugLine(line, head, "fp_async.cpp")) bugs.push_back(line);
  }
  EXPECT_EQ(bugs.size(), row.bug_at_stop ? 1u : 0u) << testing::PrintToString(err.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Async, StateTable,
    testing::Values(
        StateRow{Op::kEnroll, 0, FP_ENROLL_PASS, 6, 7, 7, 8, {FP_ENROLL_PASS}, false},
        StateRow{Op::kEnroll, 0, FP_ENROLL_FAIL, 6, 7, 7, 8, {FP_ENROLL_FAIL}, false},
        StateRow{Op::kEnroll, 5, 0, 6, 1, 1, 8, {-5}, false},
        StateRow{Op::kEnroll, -71, 0, 6, 1, 1, 8, {-71}, false},
        StateRow{Op::kVerify, 0, FP_VERIFY_MATCH, 9, 10, 11, 12, {1}, false},
        StateRow{Op::kVerify, 0, FP_VERIFY_NO_MATCH, 9, 10, 11, 12, {0}, false},
        StateRow{Op::kVerify, 0, FP_VERIFY_RETRY, 9, 10, 10, 12, {100}, false},
        StateRow{Op::kVerify, 0, -22, 9, 10, 11, 12, {-22}, false},
        StateRow{Op::kVerify, 5, 0, 9, 1, 1, 12, {-5}, false},
        StateRow{Op::kIdentify, 0, FP_VERIFY_NO_MATCH, 13, 14, 15, 16, {0}, false},
        StateRow{Op::kIdentify, 0, FP_VERIFY_RETRY_CENTER_FINGER, 13, 14, 14, 16, {102}, false},
        StateRow{Op::kIdentify, 5, 0, 13, 1, 1, 16, {-5}, true},
        StateRow{Op::kCapture, 0, 0, 17, 18, 19, 20, {0}, false},
        StateRow{Op::kCapture, 0, 1, 17, 18, 18, 20, {1}, false},
        StateRow{Op::kCapture, 5, 0, 17, 1, 1, 20, {-5}, false}),
    [](const testing::TestParamInfo<StateRow> &info) {
      std::string n = std::string(Name(info.param.op)) + "Status" +
                      std::to_string(std::abs(info.param.activate_status)) + "Result" +
                      std::to_string(info.param.result);
      for (char &c : n) {
        if (c == '-') c = 'm';
      }
      return n + "_" + std::to_string(info.index);
    });

TEST_F(AsyncOps, PositiveStartedStatusIsAdjusted) {
  fp_dev *dev = OpenAsync();
  Driver().activate_status = 5;
  Received got;
  ASSERT_EQ(fp_async_enroll_start(dev, OnEnroll, &got), 0);
  StderrCapture err;
  Step();
  EXPECT_EQ(got.results, std::vector<int>{-5});
  EXPECT_EQ(dev->state, DEV_STATE_ERROR);
  EXPECT_EQ(LinesStartingWith(err.Lines(), "async:debug [fpi_drvcb_enroll_started]"),
            (Lines{"async:debug [fpi_drvcb_enroll_started] status 5",
                   "async:debug [fpi_drvcb_enroll_started] adjusted to -5"}));
}

TEST_F(AsyncOps, EnrollStartedSetsTheCaptureFlags) {
  fp_dev *dev = OpenAsync();
  for (int status : {0, -5}) {
    Driver().activate_status = status;
    g_resumed_from_sleep = 1;
    isNeedClearImgFirst = 0;
    ASSERT_EQ(fp_async_enroll_start(dev, nullptr, nullptr), 0);
    EXPECT_EQ(isNeedClearImgFirst, 0) << "not before the driver reports";
    Step();
    EXPECT_EQ(g_resumed_from_sleep, 0) << status;
    EXPECT_EQ(isNeedClearImgFirst, 1) << status;
    ASSERT_EQ(fp_async_enroll_stop(dev, nullptr, nullptr), 0);
    Drain();
  }
}

// Refused starts leave the error state and no callback: a late report is
// dropped.
TEST_F(AsyncOps, RefusedStartsDropLateReports) {
  struct Case {
    Op op;
    const char *error_line;
    const char *dropped_line;
  } cases[] = {
      {Op::kEnroll, "async:error [fp_async_enroll_start] failed to start enrollment",
       "async:debug [fpi_drvcb_enroll_stage_completed] ignoring enroll result as no callback is "
       "subscribed"},
      {Op::kVerify, "async:error [fp_async_verify_start] failed to start verification, error -16",
       "async:debug [fpi_drvcb_report_verify_result] ignoring verify result as no callback is "
       "subscribed"},
      {Op::kIdentify, "async:error [fp_async_identify_start] identify_start failed with error -16",
       "async:debug [fpi_drvcb_report_identify_result] ignoring identify result as no callback "
       "is subscribed"},
      {Op::kCapture, "async:error [fp_async_capture_start] failed to start capture, error -16",
       "async:debug [fpi_drvcb_report_capture_result] ignoring capture result as no callback is "
       "subscribed"},
  };
  fp_dev *dev = OpenAsync();
  Driver().activate_return = -16;
  for (const Case &c : cases) {
    SCOPED_TRACE(Name(c.op));
    Received got;
    StderrCapture err;
    EXPECT_EQ(Start(dev, c.op, &got), -16);
    EXPECT_EQ(dev->state, DEV_STATE_ERROR);
    Lines lines = err.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "fp:error [dev_activate] activation failed with error -16"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.error_line), lines.end());

    // The driver reports anyway, with an image (and a print for enrol).
    fp_img *img = fpi_img_new(64);
    switch (c.op) {
      case Op::kEnroll:
        dev->state = DEV_STATE_ENROLLING;
        fpi_drvcb_enroll_stage_completed(dev, 1, fpi_print_data_new(dev), img);
        break;
      case Op::kVerify:
        dev->state = DEV_STATE_VERIFYING;
        fpi_drvcb_report_verify_result(dev, 1, img);
        break;
      case Op::kIdentify:
        fpi_drvcb_report_identify_result(dev, 1, 0, img);
        break;
      case Op::kCapture:
        dev->state = DEV_STATE_CAPTURING;
        fpi_drvcb_report_capture_result(dev, 0, img);
        break;
    }
    lines = err.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.dropped_line), lines.end());
    EXPECT_TRUE(got.results.empty());
    dev->state = DEV_STATE_INITIALIZED;
  }
  // The dropped print and images were released (the sanitizer build checks).
}

TEST_F(AsyncOps, CompleteWithoutPrintBecomesFail) {
  fp_dev *dev = OpenAsync();
  Driver().QueueResult(FP_ENROLL_COMPLETE);
  std::vector<int> results;
  auto on_enroll = [](fp_dev *, int result, fp_print_data *print, fp_img *, void *data) {
    static_cast<std::vector<int> *>(data)->push_back(result);
    EXPECT_EQ(print, nullptr);
  };
  ASSERT_EQ(fp_async_enroll_start(dev, on_enroll, &results), 0);
  StderrCapture err;
  Drain();
  EXPECT_EQ(results, std::vector<int>{FP_ENROLL_FAIL});
  Lines lines = err.Lines();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "async:error [fpi_drvcb_enroll_stage_completed] BUG: complete but no data?"),
            lines.end());
}

TEST_F(AsyncOps, EnrollStartNeedsStages) {
  Driver().nr_enroll_stages = 0;
  fp_dev *dev = OpenAsync();
  StderrCapture err;
  EXPECT_EQ(fp_async_enroll_start(dev, nullptr, nullptr), -95);
  EXPECT_EQ(Driver().Count("activate 1"), 0);
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(err.Lines(), (Lines{"async:error [fp_async_enroll_start] driver scripted has 0 "
                                "enroll stages or no enroll func"}));
}

TEST_F(AsyncOps, IdentifyResultsAndTheIdentifyError) {
  struct Case {
    int result;
    int state;
    int identify_error;
  } cases[] = {
      {FP_VERIFY_RETRY, DEV_STATE_IDENTIFYING, 0},
      {FP_VERIFY_RETRY_REMOVE_FINGER, DEV_STATE_IDENTIFYING, 0},
      {FP_VERIFY_NO_MATCH, DEV_STATE_IDENTIFY_DONE, 0},
      {FP_VERIFY_MATCH, DEV_STATE_IDENTIFY_DONE, 0},
      {-4, DEV_STATE_IDENTIFY_DONE, 1},
      {-110, DEV_STATE_IDENTIFY_DONE, 1},
  };
  fp_dev *dev = OpenAsync();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.result);
    Driver().QueueResult(c.result);
    g_identify_error = 1 - c.identify_error;
    Received got;
    ASSERT_EQ(fp_async_identify_start(dev, nullptr, OnIdentify, &got), 0);
    Drain();
    EXPECT_EQ(g_identify_error, c.identify_error);
    EXPECT_EQ(got.results, std::vector<int>{c.result});
    EXPECT_EQ(dev->state, c.state);
    ASSERT_EQ(fp_async_identify_stop(dev, nullptr, nullptr), 0);
    Drain();
  }
}

TEST_F(AsyncOps, EnforceExitReportsInterruptedWithoutStopping) {
  struct Case {
    Op op;
    int state_after;
  } cases[] = {
      {Op::kEnroll, DEV_STATE_ENROLLING},
      {Op::kVerify, DEV_STATE_VERIFY_DONE},
      {Op::kIdentify, DEV_STATE_IDENTIFY_DONE},
      {Op::kCapture, DEV_STATE_CAPTURE_DONE},
  };
  fp_dev *dev = OpenAsync();
  for (const Case &c : cases) {
    SCOPED_TRACE(Name(c.op));
    Received got;
    ASSERT_EQ(Start(dev, c.op, &got), 0);
    Drain();
    g_identify_error = 0;
    fp_async_enforce_exit(dev);
    EXPECT_EQ(got.results, std::vector<int>{-4});
    EXPECT_EQ(dev->state, c.state_after);
    EXPECT_EQ(g_identify_error, c.op == Op::kIdentify ? 1 : 0);
    EXPECT_EQ(ImgDev(dev)->action_state, IMG_ACQUIRE_STATE_AWAIT_FINGER_ON)
        << "still waiting for a finger";
    EXPECT_EQ(Driver().Count("deactivate"), static_cast<int>(&c - cases));
    ASSERT_EQ(Stop(dev, c.op, &got), 0);
    Drain();
    EXPECT_EQ(got.stops, 1);
  }
}

TEST_F(AsyncOps, EnforceExitWithoutAnActionOnlyLogs) {
  fp_dev *dev = OpenAsync();
  StderrCapture err;
  fp_async_enforce_exit(dev);
  EXPECT_EQ(err.Lines(), (Lines{"async:debug [fp_async_enforce_exit] ",
                                "fp:debug [fpi_imgdev_session_error] error -4",
                                "fp:error [fpi_imgdev_session_error] unhandled action 0"}));
}

// A driver lacking an operation refuses its stop before anything changes.
TEST_F(AsyncOps, UnsupportedStopsLeaveTheDeviceAsItWas) {
  struct Case {
    Op op;
    int running_state;
  } cases[] = {
      {Op::kEnroll, DEV_STATE_ENROLLING},
      {Op::kVerify, DEV_STATE_VERIFYING},
      {Op::kIdentify, DEV_STATE_IDENTIFYING},
      {Op::kCapture, DEV_STATE_CAPTURING},
  };
  fp_dev *dev = OpenAsync();
  fp_driver *drv = &Driver().record.driver;
  auto keep = *drv;
  drv->enroll_start = nullptr;
  drv->verify_start = nullptr;
  drv->identify_start = nullptr;
  drv->capture_start = nullptr;
  for (const Case &c : cases) {
    SCOPED_TRACE(Name(c.op));
    dev->state = c.running_state;
    Received got;
    dev->enroll_stage_cb = OnEnroll;
    dev->verify_cb = OnImg;
    dev->identify_cb = OnIdentify;
    dev->capture_cb = OnImg;
    EXPECT_EQ(Stop(dev, c.op, &got), -95);
    EXPECT_EQ(dev->state, c.running_state);
    EXPECT_NE(dev->enroll_stage_cb, nullptr);
    EXPECT_NE(dev->verify_cb, nullptr);
    EXPECT_NE(dev->identify_cb, nullptr);
    EXPECT_NE(dev->capture_cb, nullptr);
    EXPECT_EQ(got.stops, 0);
  }
  *drv = keep;
  dev->state = DEV_STATE_INITIALIZED;
}

// ---------------------------------------------------------------------------
// The ATC switch of the main driver's module type 2.

struct AtcCall {
  fp_dev *dev;
  int on;
  bool operator==(const AtcCall &) const = default;
};
std::vector<AtcCall> g_atc_calls;
int RecordAtc(fp_dev *dev, uint8_t on) {
  g_atc_calls.push_back({dev, on});
  return -5;  // not examined
}

std::vector<unsigned> g_sleeps;
uint64_t NoClock() { return 0; }
int RecordSleep(unsigned us) {
  g_sleeps.push_back(us);
  return 0;
}
const bq_time_source kRecordingSleep = {NoClock, RecordSleep};

class MainDriverAtc : public ImagingDeviceTest {
 protected:
  MainDriverAtc() : ImagingDeviceTest(1, FPI_MAIN_DRIVER_ID) {}
  void SetUp() override {
    Driver().context = &ctx_;
    ImagingDeviceTest::SetUp();
    g_atc_calls.clear();
    g_sleeps.clear();
    fpi_set_atc_hook(RecordAtc);
    bq_set_time_source(&kRecordingSleep);
  }
  void TearDown() override {
    bq_set_time_source(nullptr);
    fpi_set_atc_hook(nullptr);
    ImagingDeviceTest::TearDown();
  }
  quorvanta_ctx_t ctx_{};
};

struct AtcRow {
  uint32_t module_type;
  uint16_t pid;
  uint8_t result_reported;
  std::vector<int> switched;  // ATC settings, in order, for either stop
};

class AtcTable : public MainDriverAtc, public testing::WithParamInterface<AtcRow> {};

TEST_P(AtcTable, EnrollAndIdentifyStops) {
  const AtcRow &row = GetParam();
  ctx_.module_type = row.module_type;
  ctx_.pid = row.pid;
  ctx_.result_reported = row.result_reported;
  fp_dev *dev = OpenAsync();
  for (Op op : {Op::kEnroll, Op::kIdentify}) {
    SCOPED_TRACE(Name(op));
    g_atc_calls.clear();
    g_sleeps.clear();
    ASSERT_EQ(Start(dev, op, nullptr), 0);
    Drain();
    StderrCapture err;
    ASSERT_EQ(Stop(dev, op, nullptr), 0);
    std::vector<int> switched;
    for (const AtcCall &call : g_atc_calls) {
      EXPECT_EQ(call.dev, dev);
      switched.push_back(call.on);
    }
    EXPECT_EQ(switched, row.switched);
    bool atc = row.module_type == 2;
    Lines lines = err.Lines();
    Lines need = LinesStartingWith(lines, "async:debug [atc_switch] need enable atc here,");
    EXPECT_EQ(need, atc ? Lines{}
                        : Lines{"async:debug [atc_switch] need enable atc here," +
                                std::to_string(row.module_type)});
    // Identification waits 20 ms on module type 2 before switching.
    std::vector<unsigned> want_sleeps;
    if (atc && op == Op::kIdentify) want_sleeps = {20000};
    EXPECT_EQ(g_sleeps, want_sleeps);
    Drain();
  }
}

INSTANTIATE_TEST_SUITE_P(Async, AtcTable,
                         testing::Values(AtcRow{2, 0x3b11, 0, {1}}, AtcRow{2, 0x3b11, 1, {1}},
                                         AtcRow{2, 0x3b15, 0, {0}}, AtcRow{2, 0x3b15, 1, {}},
                                         AtcRow{2, 0x3b16, 0, {0}}, AtcRow{2, 0x3b19, 1, {}},
                                         AtcRow{2, 0x3b1a, 0, {0}}, AtcRow{2, 0x4842, 1, {1}},
                                         AtcRow{1, 0x3b11, 0, {}}, AtcRow{0, 0x3b15, 0, {}},
                                         AtcRow{3, 0x3b11, 1, {}}));

TEST_F(MainDriverAtc, WithoutAHookNothingIsSwitched) {
  ctx_.module_type = 2;
  ctx_.pid = 0x3b11;
  fpi_set_atc_hook(nullptr);
  fp_dev *dev = OpenAsync();
  ASSERT_EQ(fp_async_enroll_start(dev, nullptr, nullptr), 0);
  Drain();
  ASSERT_EQ(fp_async_enroll_stop(dev, nullptr, nullptr), 0);
  Drain();
  EXPECT_EQ(dev->state, DEV_STATE_INITIALIZED);
  EXPECT_TRUE(g_atc_calls.empty());
}

// Another driver's context is never read as the main driver's: its context
// here is a single byte, so reading module_type would overrun it (caught by
// the sanitizer build), and nothing is switched or logged.
TEST_F(AsyncOps, OtherDriversAreLeftAlone) {
  auto *tiny = static_cast<uint8_t *>(std::malloc(1));
  *tiny = 2;
  Driver().context = tiny;
  g_atc_calls.clear();
  fpi_set_atc_hook(RecordAtc);
  fp_dev *dev = OpenAsync();
  for (Op op : {Op::kEnroll, Op::kIdentify}) {
    ASSERT_EQ(Start(dev, op, nullptr), 0);
    Drain();
    StderrCapture err;
    ASSERT_EQ(Stop(dev, op, nullptr), 0);
    EXPECT_TRUE(LinesStartingWith(err.Lines(), "async:debug [atc_switch]").empty());
    Drain();
  }
  EXPECT_TRUE(g_atc_calls.empty());
  fpi_set_atc_hook(nullptr);
  fp_dev_close(dev);
  std::free(tiny);
}

}  // namespace
