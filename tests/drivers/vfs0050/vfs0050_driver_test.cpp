// The VFS0050 driver end to end: the public fp_* operations on an emulated
// sensor reached through the real libusb, with the scripted minutiae
// stand-in deciding the enrolment stages.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drivers/vfs0050/vfs0050.h"
#include "drivers/vfs0050/vfs0050_proto.h"
#include "emul/testbed.h"
#include "fingers/synth_fingers.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "framework/fpi_xyt.h"
#include "support/minutiae_standin.h"
#include "support/stderr_capture.h"
#include "vfs0050_emul/vfs0050_model.h"

namespace {

using namespace std::chrono_literals;
using usb_emul::Event;
using usb_emul::LogEntry;
using vfs0050_emul::FingerEvent;
using vfs0050_emul::FingerInterrupt;
using vfs0050_emul::SteppedRecords;

// Short form of a transfer in the log: "OUT 01 125", "IN 81 2", "INT 83 5";
// a read that ended without data by the host's time-out or cancel reads
// "IN 82 none".
std::string Summary(const LogEntry &e) {
  const bool in = (e.endpoint & 0x80) != 0;
  std::string kind = e.event == Event::kInterrupt ? "INT" : in ? "IN" : "OUT";
  char ep[8];
  snprintf(ep, sizeof ep, "%02x", e.endpoint);
  std::string size = e.status == -ECONNRESET && e.data.empty() ? "none"
                                                                 : std::to_string(e.data.size());
  if (e.status != 0 && e.status != -ECONNRESET) size += " status " + std::to_string(e.status);
  return kind + " " + ep + " " + size;
}

std::vector<std::string> Transfers(const std::vector<LogEntry> &log) {
  std::vector<std::string> out;
  for (const LogEntry &e : log) {
    if (e.event == Event::kBulk || e.event == Event::kInterrupt) out.push_back(Summary(e));
  }
  return out;
}

// The OUT payloads of the log, in order.
std::vector<std::vector<uint8_t>> Sent(const std::vector<LogEntry> &log) {
  std::vector<std::vector<uint8_t>> out;
  for (const LogEntry &e : log) {
    if ((e.event == Event::kBulk || e.event == Event::kInterrupt) && !(e.endpoint & 0x80))
      out.push_back(e.data);
  }
  return out;
}

std::vector<uint8_t> Bytes(const uint8_t *data, size_t size) { return {data, data + size}; }

const std::vector<std::string> kClearSequence = {"OUT 01 1", "IN 81 2", "IN 82 none"};

// The control sequence of a packet followed by the set-up blob; `clear`
// adds the clear sequence at its end.
std::vector<std::string> ControlSequence(bool clear) {
  std::vector<std::string> s = {"OUT 01 125", "IN 81 2",   "OUT 01 985",
                                "IN 81 1106", "INT 83 5", "INT 83 none"};
  if (clear) s.insert(s.end(), kClearSequence.begin(), kClearSequence.end());
  return s;
}

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (auto &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct StageResult {
  bool done = false;
  int result = 0;
  int height = -1;
  fp_print_data *print = nullptr;
};

class Vfs0050Test : public testing::Test {
 protected:
  void SetUp() override {
    model_ = std::make_shared<vfs0050_emul::Vfs0050Model>();
    device_ = &bed_.AddDevice(vfs0050_emul::Vfs0050Desc(), model_);
    minutiae_standin::Reset();
    std::vector<minutiae_standin::Minutia> minutiae;
    for (int i = 0; i < 12; ++i) minutiae.push_back({10 + 5 * i, 20 + 7 * i, 30 * i});
    minutiae_standin::ScriptDetection(minutiae);
    fp_set_debug(4);
    ASSERT_EQ(fp_init(), 0);
    discovered_ = fp_discover_devs();
    ASSERT_NE(discovered_, nullptr);
    ASSERT_NE(discovered_[0], nullptr);
    ASSERT_EQ(discovered_[0]->drv, &vfs0050_driver.driver);
  }

  void TearDown() override {
    if (dev_ != nullptr) {
      bool closed = false;
      fp_async_dev_close(
          dev_, [](fp_dev *, void *data) { *static_cast<bool *>(data) = true; }, &closed);
      RunUntil([&] { return closed; });
    }
    fp_dscv_devs_free(discovered_);
    fp_exit();
  }

  // Polls events until `done` holds; fails the test after `limit`.
  void RunUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "timed out";
        return;
      }
      timeval tv = {0, 10000};
      fp_handle_events_timeout(&tv);
      if (between_polls_) between_polls_();
    }
  }

  // Opens the device asynchronously and waits for the open's end; returns
  // its status.
  int OpenAsync() {
    struct Opened {
      bool done = false;
      int status = 0;
      fp_dev *dev = nullptr;
    } opened;
    int r = fp_async_dev_open(
        discovered_[0],
        [](fp_dev *dev, int status, void *data) {
          auto *o = static_cast<Opened *>(data);
          o->done = true;
          o->status = status;
          o->dev = dev;
        },
        &opened);
    EXPECT_EQ(r, 0);
    if (r != 0) return r;
    RunUntil([&] { return opened.done; });
    dev_ = opened.dev;
    return opened.status;
  }

  static void StageCallback(fp_dev *, int result, fp_print_data *print, fp_img *img,
                            void *data) {
    auto *s = static_cast<StageResult *>(data);
    s->done = true;
    s->result = result;
    s->height = img != nullptr ? fp_img_get_height(img) : -1;
    if (img != nullptr) {
      EXPECT_EQ(fp_img_get_width(img), 100);
    }
    fp_img_free(img);
    s->print = print;
  }

  // Starts an enrolment and waits for its activation to end.
  void StartEnroll(StageResult *stage) {
    ASSERT_EQ(fp_async_enroll_start(dev_, StageCallback, stage), 0);
    RunUntil([&] { return dev_->state == DEV_STATE_ENROLLING || stage->done; });
  }

  // Stops the enrolment and waits for the stop's end.
  void StopEnroll() {
    bool stopped = false;
    ASSERT_EQ(fp_async_enroll_stop(
                  dev_, [](fp_dev *, void *data) { *static_cast<bool *>(data) = true; },
                  &stopped),
              0);
    RunUntil([&] { return stopped; });
  }

  // One enrolment stage of a swipe: the stage's result and image height.
  StageResult EnrollOne(FingerEvent event) {
    StageResult stage;
    if (OpenAsync() != 0) return stage;
    model_->AddEvent(std::move(event));
    StartEnroll(&stage);
    RunUntil([&] { return stage.done; });
    StopEnroll();
    return stage;
  }

  std::function<void()> between_polls_;  // run after each poll of RunUntil
  usb_emul::Testbed bed_;
  std::shared_ptr<vfs0050_emul::Vfs0050Model> model_;
  usb_emul::Device *device_ = nullptr;
  fp_dscv_dev **discovered_ = nullptr;
  fp_dev *dev_ = nullptr;
};

TEST_F(Vfs0050Test, OpenDrainsClearsAndSendsPacket0WithTheSetupBlob) {
  ASSERT_EQ(OpenAsync(), 0);
  EXPECT_TRUE(device_->Claimed(0));
  const std::vector<LogEntry> log = device_->Log();
  EXPECT_EQ(Transfers(log),
            Concat({{"IN 81 none", "IN 82 none", "INT 83 none"}, kClearSequence,
                    ControlSequence(true)}));
  const auto sent = Sent(log);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], std::vector<uint8_t>{0x04});
  EXPECT_EQ(sent[1], Bytes(vfs0050::kPacket0, 125));
  EXPECT_EQ(sent[1][0], 0x39);
  EXPECT_EQ(sent[1][1], 0x01);
  EXPECT_EQ(sent[2], Bytes(vfs0050::kSetup, 985));
  EXPECT_EQ(sent[3], std::vector<uint8_t>{0x04});
}

// A failure during the open is reported by the open, not hidden.
TEST_F(Vfs0050Test, OpenReportsAFailedWrite) {
  device_->Stall(0x01);
  testing_support::StderrCapture err;
  EXPECT_EQ(OpenAsync(), -EIO);
  EXPECT_NE(err.Text().find("USB write transfer: LIBUSB_TRANSFER_STALL"), std::string::npos);
  EXPECT_EQ(err.Text().find("unhandled action"), std::string::npos) << err.Text();
}

TEST_F(Vfs0050Test, OpenReportsAnUnexpectedSetupAnswer) {
  model_->SetSetupInterrupt({0x01, 0x02, 0x03, 0x04, 0x05});
  testing_support::StderrCapture err;
  EXPECT_EQ(OpenAsync(), -EIO);
  EXPECT_NE(err.Text().find("Unknown SUBSM2 state"), std::string::npos) << err.Text();
}

TEST_F(Vfs0050Test, OpenFailsWhenTheInterfaceCannotBeClaimed) {
  model_->RefuseClaim(true);
  testing_support::StderrCapture err;
  EXPECT_EQ(fp_async_dev_open(discovered_[0], [](fp_dev *, int, void *) { ADD_FAILURE(); },
                              nullptr),
            LIBUSB_ERROR_BUSY);
  EXPECT_NE(err.Text().find("could not claim interface 0"), std::string::npos) << err.Text();
}

// ---------------------------------------------------------------------------
// Swipes

struct SwipeCase {
  std::string name;
  std::function<FingerEvent()> event;
  int result;
  int min_height;  // -1: no image
  int max_height;
  std::string log;  // a line the capture logs, or empty
};

class Vfs0050SwipeTest : public Vfs0050Test, public testing::WithParamInterface<SwipeCase> {};

TEST_P(Vfs0050SwipeTest, OneStage) {
  const SwipeCase &c = GetParam();
  testing_support::StderrCapture err;
  StageResult stage = EnrollOne(c.event());
  ASSERT_TRUE(stage.done);
  EXPECT_EQ(stage.result, c.result);
  if (c.min_height < 0) {
    EXPECT_EQ(stage.height, -1);
  } else {
    EXPECT_GE(stage.height, c.min_height);
    EXPECT_LE(stage.height, c.max_height);
  }
  if (!c.log.empty()) {
    EXPECT_NE(err.Text().find(c.log), std::string::npos) << err.Text();
  }
}

FingerEvent Stepped(size_t lines, size_t step, size_t blank,
                    std::vector<uint8_t> interrupt = FingerInterrupt()) {
  return {std::move(interrupt), SteppedRecords(lines, step, blank)};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Vfs0050SwipeTest,
    testing::Values(
        // Every line's best match is the next one: 10 rows for each line but
        // the last.
        SwipeCase{"HundredLines", [] { return Stepped(100, 1, 7); }, FP_ENROLL_PASS, 990, 990,
                  ""},
        SwipeCase{"NinetyNineLines", [] { return Stepped(99, 1, 7); },
                  FP_ENROLL_RETRY_TOO_SHORT, -1, -1, ""},
        // Lines matching 20 lines later give half a row each: the first 3000
        // of 5000 lines make about 1500 rows (all of them would make 2500).
        SwipeCase{"LongSwipeCut", [] { return Stepped(5000, 20, 0); }, FP_ENROLL_PASS, 1490,
                  1560, ""},
        SwipeCase{"FingerAlreadyOn",
                  [] { return Stepped(100, 1, 0, {0x01, 0x00, 0x00, 0x00, 0x00}); },
                  FP_ENROLL_PASS, 990, 990, "Finger is already on the scanner"},
        SwipeCase{"OtherFingerMessage",
                  [] { return Stepped(99, 1, 0, {0x02, 0x04, 0x0a, 0x00, 0xf0}); },
                  FP_ENROLL_RETRY_TOO_SHORT, -1, -1, ""},
        SwipeCase{"ShortInterrupt",
                  [] { return FingerEvent{{0x02, 0x00, 0x0e, 0x00}, {}}; }, -EIO, -1, -1,
                  "Unknown interrupt size 4"},
        SwipeCase{"UnknownInterrupt",
                  [] { return FingerEvent{{0x02, 0x01, 0x0e, 0x00, 0xf0}, {}}; }, -EIO, -1, -1,
                  "Unknown interrupt '02:01:0e:00:f0'!"}),
    [](const testing::TestParamInfo<SwipeCase> &info) { return info.param.name; });

// A swipe of a synthetic finger, seen by the main row and by a second row 10
// master pixels further along: at resolution 10 the image has about one row
// per master pixel travelled.
TEST_F(Vfs0050Test, SyntheticSwipeIsAssembledToItsTravel) {
  const fingers::MasterFinger master = fingers::MakeMaster(fingers::PopulationFinger(7, 2));
  fingers::SwipeParams params;
  params.seed = 11;
  params.lines = 500;
  params.start = {128, 40};
  params.speed = 0.45;
  const fingers::Swipe main = fingers::RenderSwipe(master, params);
  params.start.y += 10;
  const fingers::Swipe ahead = fingers::RenderSwipe(master, params);
  const double travel = main.line_pos.back() - main.line_pos.front();

  StageResult stage = EnrollOne({FingerInterrupt(), vfs0050_emul::SwipeRecords(main, ahead)});
  ASSERT_TRUE(stage.done);
  EXPECT_EQ(stage.result, FP_ENROLL_PASS);
  EXPECT_NEAR(stage.height, travel, travel * 0.1) << "travel " << travel;
}

// Verification decides with the driver's Bozorth3 threshold of 24.
class Vfs0050VerifyTest : public Vfs0050Test, public testing::WithParamInterface<int> {};

TEST_P(Vfs0050VerifyTest, MatchesFromAScoreOf24) {
  const int score = GetParam();
  fp_print_data *enrolled = fpi_print_data_new_fields(20, 0, FP_PRINT_DATA_MINUTIAE);
  fp_print_data_item *item = fpi_print_data_item_new(XYT_RECORD_SIZE);
  xyt_record xyt{};
  xyt.count = 3;
  for (int i = 0; i < 3; ++i) {
    xyt.x[i] = 10 * i;
    xyt.y[i] = 5 * i;
    xyt.theta[i] = 30 * i;
  }
  fpi_xyt_to_bytes(&xyt, item->data);
  enrolled->prints = g_slist_append(enrolled->prints, item);
  minutiae_standin::ScriptScores({score});

  ASSERT_EQ(OpenAsync(), 0);
  model_->AddEvent(Stepped(150, 1, 0));
  struct Verified {
    bool done = false;
    int result = -1;
  } verified;
  ASSERT_EQ(fp_async_verify_start(
                dev_, enrolled,
                [](fp_dev *, int result, fp_img *img, void *data) {
                  auto *v = static_cast<Verified *>(data);
                  v->done = true;
                  v->result = result;
                  fp_img_free(img);
                },
                &verified),
            0);
  RunUntil([&] { return verified.done; });
  EXPECT_EQ(verified.result, score >= 24 ? FP_VERIFY_MATCH : FP_VERIFY_NO_MATCH);
  bool stopped = false;
  ASSERT_EQ(fp_async_verify_stop(
                dev_, [](fp_dev *, void *data) { *static_cast<bool *>(data) = true; }, &stopped),
            0);
  RunUntil([&] { return stopped; });
  fp_print_data_free(enrolled);
}

INSTANTIATE_TEST_SUITE_P(Scores, Vfs0050VerifyTest, testing::Values(23, 24));

// ---------------------------------------------------------------------------
// The capture cycle

TEST_F(Vfs0050Test, DeactivationWhileWaitingCancelsTheInterruptAndResendsPacket0) {
  ASSERT_EQ(OpenAsync(), 0);
  StageResult stage;
  StartEnroll(&stage);
  // Packet 1 has armed the sensor and the finger wait is pending.
  RunUntil([&] { return model_->IdleWaits() == 1; });
  device_->ClearLog();
  StopEnroll();
  EXPECT_FALSE(stage.done);
  const std::vector<LogEntry> log = device_->Log();
  EXPECT_EQ(Transfers(log), Concat({{"INT 83 none"}, kClearSequence, ControlSequence(true)}));
  const auto sent = Sent(log);
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[1], Bytes(vfs0050::kPacket0, 125));
  EXPECT_EQ(device_->PendingUrbs(), 0u);
}

TEST_F(Vfs0050Test, StopAfterAFailedCaptureCompletesAtOnce) {
  ASSERT_EQ(OpenAsync(), 0);
  model_->AddEvent({{0x02, 0x00, 0x0e, 0x00}, {}});
  StageResult stage;
  StartEnroll(&stage);
  RunUntil([&] { return stage.done; });
  EXPECT_EQ(stage.result, -EIO);
  device_->ClearLog();
  StopEnroll();
  EXPECT_TRUE(Transfers(device_->Log()).empty());
}

// Five swipes complete a synchronous enrolment; between two swipes the
// driver ends the capture with packets 2 and 3 and re-arms with packet 1.
TEST_F(Vfs0050Test, SynchronousEnrolmentCompletesItsStages) {
  fp_dev *dev = fp_dev_open(discovered_[0]);
  ASSERT_NE(dev, nullptr);
  dev_ = dev;
  for (int i = 0; i < 5; ++i) model_->AddEvent(Stepped(120 + 10 * i, 1, 5));
  std::vector<int> results, heights;
  fp_print_data *print = nullptr;
  for (int i = 0; i < 5; ++i) {
    fp_img *img = nullptr;
    results.push_back(fp_enroll_finger_img(dev, &print, &img));
    heights.push_back(img != nullptr ? fp_img_get_height(img) : -1);
    fp_img_free(img);
  }
  EXPECT_EQ(results, (std::vector<int>{FP_ENROLL_PASS, FP_ENROLL_PASS, FP_ENROLL_PASS,
                                        FP_ENROLL_PASS, FP_ENROLL_COMPLETE}));
  EXPECT_EQ(heights, (std::vector<int>{1190, 1290, 1390, 1490, 1590}));
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(g_slist_length(print->prints), 5u);
  EXPECT_EQ(print->driver_id, 20);
  fp_print_data_free(print);

  // Commands after the open and the first arming: each capture ends with
  // packet 2, packet 3 and the set-up blob, and packet 1 re-arms the sensor.
  const auto commands = model_->Commands();
  ASSERT_GE(commands.size(), 6u + 4u * 6u);
  auto packet = [](const uint8_t *p) { return Bytes(p, 125); };
  const std::vector<std::vector<uint8_t>> cycle = {
      packet(vfs0050::kPacket2), packet(vfs0050::kPacket3), Bytes(vfs0050::kSetup, 985),
      {0x04},                    packet(vfs0050::kPacket1), Bytes(vfs0050::kSetup, 985)};
  const std::vector<std::vector<uint8_t>> first_arm = {packet(vfs0050::kPacket1),
                                                       Bytes(vfs0050::kSetup, 985)};
  // Open: 04, packet 0, blob, 04; activation: 04, packet 0, blob, 04,
  // packet 1, blob.
  EXPECT_EQ(std::vector<std::vector<uint8_t>>(commands.begin() + 8, commands.begin() + 10),
            first_arm);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::vector<std::vector<uint8_t>>(commands.begin() + 10 + 6 * i,
                                                commands.begin() + 16 + 6 * i),
              cycle)
        << "cycle " << i;
  }
}

// The framework's time-outs on a virtual clock that moves only when a test
// moves it; USB transfers keep real time.
class Vfs0050VirtualClockTest : public Vfs0050Test {
 protected:
  void SetUp() override {
    timespec real;
    clock_gettime(CLOCK_MONOTONIC, &real);
    now_ns_ = static_cast<int64_t>(real.tv_sec) * 1000000000 + real.tv_nsec;
    fpi_poll_set_clock(VirtualNow);
    Vfs0050Test::SetUp();
  }
  void TearDown() override {
    between_polls_ = [] { Advance(10); };
    Vfs0050Test::TearDown();
    fpi_poll_set_clock(nullptr);
  }
  static void Advance(int64_t ms) { now_ns_ += ms * 1000000; }
  static int VirtualNow(timespec *now) {
    now->tv_sec = static_cast<time_t>(now_ns_ / 1000000000);
    now->tv_nsec = static_cast<long>(now_ns_ % 1000000000);
    return 0;
  }
  // Polls for `ms` of real time without moving the virtual clock.
  void PollReal(int ms) {
    between_polls_ = nullptr;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    RunUntil([&] { return std::chrono::steady_clock::now() > until; });
  }
  static inline int64_t now_ns_ = 0;
};

// After a capture the sensor is re-armed with packet 1 exactly 400 ms after
// the clear sequence has ended, not earlier.
TEST_F(Vfs0050VirtualClockTest, RearmWaitsFourHundredMilliseconds) {
  between_polls_ = [] { Advance(10); };
  ASSERT_EQ(OpenAsync(), 0);
  model_->AddEvent(Stepped(120, 1, 5));
  StageResult stage;
  StartEnroll(&stage);
  // Up to the clear command that follows packets 2 and 3 and the blob.
  // Commands: open 04, packet 0, blob, 04; activation 04, packet 0, blob, 04,
  // packet 1, blob; capture end packet 2, packet 3, blob, 04.
  RunUntil([&] { return model_->Commands().size() >= 14; });
  ASSERT_TRUE(stage.done);
  const auto commands = model_->Commands();
  ASSERT_EQ(commands.size(), 14u);
  ASSERT_EQ(commands[13], std::vector<uint8_t>{0x04});

  PollReal(150);  // the clear sequence ends; the virtual clock stands still
  EXPECT_EQ(model_->Commands().size(), 14u) << "re-armed with the clock standing";
  Advance(399);
  PollReal(60);
  EXPECT_EQ(model_->Commands().size(), 14u) << "re-armed before 400 ms";
  Advance(1);
  RunUntil([&] { return model_->Commands().size() >= 15; });
  ASSERT_GE(model_->Commands().size(), 15u);
  EXPECT_EQ(model_->Commands()[14], Bytes(vfs0050::kPacket1, 125));
  // The stop waits for the finger wait: the arming (packet 1 and the blob)
  // first runs to its end.
  between_polls_ = [] { Advance(10); };
  RunUntil([&] { return model_->Commands().size() >= 16; });
  PollReal(50);
  between_polls_ = [] { Advance(10); };
  StopEnroll();
}

// A stop that arrives while packet 1 re-arms the sensor is a deactivation:
// it completes once the machine is back at its start, and no second
// activation is reported.
TEST_F(Vfs0050VirtualClockTest, StopWhileRearmingCompletes) {
  between_polls_ = [] { Advance(10); };
  ASSERT_EQ(OpenAsync(), 0);
  model_->AddEvent(Stepped(120, 1, 5));
  StageResult stage;
  StartEnroll(&stage);
  RunUntil([&] { return model_->Commands().size() >= 14; });
  ASSERT_TRUE(stage.done);
  PollReal(150);
  Advance(400);
  between_polls_ = nullptr;
  RunUntil([&] { return model_->Commands().size() >= 15; });
  ASSERT_EQ(model_->Commands().size(), 15u) << "stopped after the arming";
  testing_support::StderrCapture err;
  between_polls_ = [] { Advance(10); };
  StopEnroll();
  EXPECT_EQ(dev_->state, DEV_STATE_INITIALIZED);
  EXPECT_EQ(err.Text().find("BUG"), std::string::npos) << err.Text();
}

}  // namespace
