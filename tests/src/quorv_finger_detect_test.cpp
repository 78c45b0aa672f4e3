// Finger detection and the MCU services: poll counts and pauses, results per
// chip family, what is sent and stored, and the exact log lines in both
// logging modes.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fake_chip.h"
#include "src/Quorv_sensor/quorv_finger_detect.h"
#include "src/Quorv_sensor/quorv_mcu_services.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "lib_log_capture.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::FakeChip;
using testing_support::IsLibErrorLine;
using testing_support::IsLibNoteLine;
using testing_support::StderrCapture;
using Bytes = std::vector<uint8_t>;

const Bytes kDoorbell = {0x09, 0xF6, 0xA4, 0x01};

// MCU ready on the first query (the check before the auto-sensor flag) and
// then from the k-th poll of the wait loop on (never when k is 0).
std::function<bool(int)> ReadyOnLoopPoll(int k) {
  return [k](int n) { return n == 1 || (k > 0 && n >= k + 1); };
}

TEST(DetectFinger, AutoSensorPollCounts) {
  struct Case {
    int ready_on_poll;  // 0: never
    bool finger;
    int expected;
    int status_queries;
    bool queried;  // the auto-sensor result was read
  } cases[] = {
      {1, true, QUORV_FINGER_ON, 2, true},
      {1, false, QUORV_FINGER_OFF, 2, true},
      {19, true, QUORV_FINGER_ON, 20, true},     // the last poll that counts
      {20, true, QUORV_FINGER_MCU_BUSY, 21, false},  // ready too late
      {0, true, QUORV_FINGER_MCU_BUSY, 21, false},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_ZQ4841);
    chip.finger = c.finger;
    chip.mcu_ready = ReadyOnLoopPoll(c.ready_on_poll);
    EXPECT_EQ(DetectFinger(), c.expected) << "ready on poll " << c.ready_on_poll;
    EXPECT_EQ(chip.status_queries, c.status_queries) << "ready on poll " << c.ready_on_poll;
    // 1 ms, 5 ms, then 1 ms after every poll that did not count.
    int busy_polls = c.queried ? c.ready_on_poll - 1 : 20;
    std::vector<uint32_t> sleeps = {1000, 5000};
    sleeps.insert(sleeps.end(), busy_polls, 1000);
    EXPECT_EQ(chip.sleeps_us, sleeps) << "ready on poll " << c.ready_on_poll;
    std::vector<Bytes> reads;
    if (c.queried) reads.push_back({0x10, 0xEF, 0x1D, 0x01, 0x00});
    EXPECT_EQ(chip.Writes(), (std::vector<Bytes>{{0x11, 0xEE, 0x1E, 0x01, 0x00, 0x00}}));
    EXPECT_EQ(chip.Reads(), reads) << "ready on poll " << c.ready_on_poll;
  }
}

TEST(DetectFinger, BusyAtTheStartSendsNothing) {
  for (uint8_t type : {1, 2, 3}) {
    FakeChip chip(type);
    chip.mcu_ready = [](int) { return false; };
    EXPECT_EQ(DetectFinger(), QUORV_FINGER_MCU_BUSY) << int(type);
    EXPECT_EQ(chip.status_queries, 1) << int(type);
    EXPECT_TRUE(chip.Writes().empty()) << int(type);
    EXPECT_EQ(chip.sleeps_us, std::vector<uint32_t>{1000}) << int(type);
  }
}

TEST(DetectFinger, MailboxFamilyAnswers) {
  struct Case {
    const char *name;
    std::function<void(FakeChip &)> setup;
    int expected;
  } cases[] = {
      {"finger", [](FakeChip &c) { c.finger = true; }, QUORV_FINGER_ON},
      {"no finger", [](FakeChip &) {}, QUORV_FINGER_OFF},
      {"answer 0xFF", [](FakeChip &c) { c.auto_sensor_answer = 0xFF; }, QUORV_FINGER_MCU_BUSY},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_ZQ4842);
    c.setup(chip);
    EXPECT_EQ(DetectFinger(), c.expected) << c.name;
    EXPECT_EQ(chip.status_queries, 2) << c.name;  // one check, one poll
    EXPECT_EQ(chip.Writes(),
              (std::vector<Bytes>{
                  {0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x1E, 0x01}, kDoorbell,
                  {0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x11, 0xEE, 0x1D, 0x01}, kDoorbell}))
        << c.name;
  }
  // A failed mailbox read: the status polls still answer, the query does not.
  FakeChip chip(SENSOR_ZQ4844);
  chip.finger = true;
  chip.status_word_override[0x10] = 0xA55A;
  chip.read_result = -1;
  EXPECT_EQ(DetectFinger(), QUORV_FINGER_MCU_BUSY);
}

TEST(DetectFinger, Fw4856InterruptFlagAndFingerStatus) {
  struct Case {
    const char *name;
    uint8_t int_flag;
    uint8_t finger_register;
    int expected;
    size_t reads;
  } cases[] = {
      {"force wake", 8, 1, QUORV_FINGER_FORCE_WAKE, 1},
      {"finger on", 0, 1, QUORV_FINGER_ON, 2},
      {"finger off", 4, 0, QUORV_FINGER_OFF, 2},
      {"odd status", 0, 0xA0, QUORV_FINGER_MCU_BUSY, 2},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_FW4856);
    chip.mcu_reg[0x3D] = c.int_flag;
    chip.finger_register = c.finger_register;
    EXPECT_EQ(DetectFinger(), c.expected) << c.name;
    std::vector<Bytes> reads = chip.Reads();
    ASSERT_EQ(reads.size(), c.reads) << c.name;
    EXPECT_EQ(reads[0], (Bytes{0x10, 0xEF, 0x3D, 0x00, 0x00, 0x00}));
    if (c.reads == 2) {
      EXPECT_EQ(reads[1], (Bytes{0x10, 0xEF, 0x1D, 0x00, 0x00, 0x00}));
    }
    EXPECT_TRUE(chip.sleeps_us.empty()) << c.name;
    EXPECT_EQ(chip.status_queries, 0) << c.name;
  }
}

TEST(DetectFinger, OtherTypesReturnAtOnce) {
  for (uint8_t type : {0, 4, 5, 6, 8, 9, 10, 11, 12, 13}) {
    FakeChip chip(type);
    chip.finger = false;
    EXPECT_EQ(DetectFinger(), QUORV_FINGER_ON) << int(type);
    EXPECT_TRUE(chip.frames.empty()) << int(type);
    EXPECT_TRUE(chip.sleeps_us.empty()) << int(type);
  }
}

TEST(DetectFingerFactory, PerFamily) {
  struct Case {
    const char *name;
    uint8_t type;
    std::function<void(FakeChip &)> setup;
    int expected;
    std::vector<Bytes> writes;
    size_t reads;
  } cases[] = {
      // The raw register reads 0 for a finger here, the opposite of DetectFinger.
      {"direct, register 0", 1, [](FakeChip &c) { c.finger_register = 0; }, QUORV_FINGER_ON,
       {{0x11, 0xEE, 0x00, 0x6E, 0x00, 0x00}}, 1},
      {"direct, register 1", 1, [](FakeChip &c) { c.finger_register = 1; }, QUORV_FINGER_OFF,
       {{0x11, 0xEE, 0x00, 0x6E, 0x00, 0x00}}, 1},
      {"fw4856 has no single scan", 7, [](FakeChip &c) { c.finger_register = 0; },
       QUORV_FINGER_ON, {}, 1},
      {"mailbox, finger", 2, [](FakeChip &c) { c.finger = true; }, QUORV_FINGER_ON,
       {{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x00, 0x6E}, kDoorbell}, 2},
      {"mailbox, no finger", 3, [](FakeChip &) {}, QUORV_FINGER_OFF,
       {{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x00, 0x6E}, kDoorbell}, 2},
      {"busy", 2, [](FakeChip &c) { c.mcu_ready = [](int) { return false; }; },
       QUORV_FINGER_MCU_BUSY, {}, 1},
      {"no MCU commands", 8, [](FakeChip &) {}, QUORV_FINGER_ON, {}, 0},
      {"unsupported", 13, [](FakeChip &) {}, QUORV_FINGER_MCU_BUSY, {}, 0},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    c.setup(chip);
    EXPECT_EQ(DetectFingerFactory(), c.expected) << c.name;
    EXPECT_EQ(chip.Writes(), c.writes) << c.name;
    EXPECT_EQ(chip.Reads().size(), c.reads) << c.name;
    bool scanned = c.expected != QUORV_FINGER_MCU_BUSY && c.type != 8;
    EXPECT_EQ(chip.sleeps_us, scanned ? std::vector<uint32_t>{5000} : std::vector<uint32_t>{})
        << c.name;
  }
}

TEST(SetImageBit, SendsByChipAndStores) {
  struct Case {
    uint8_t type;
    uint8_t bit;
    std::vector<Bytes> writes;
  } cases[] = {
      {3, 1, {{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x01, 0x01}, kDoorbell}},
      {2, 0, {{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x01, 0x00}, kDoorbell}},
      {1, 1, {{0x11, 0xEE, 0x01, 0x01, 0x00}}},
      {7, 0, {{0x11, 0xEE, 0x01, 0x00, 0x00}}},
      {7, 2, {{0x11, 0xEE, 0x01, 0x02, 0x00}}},  // fast mode
      {4, 2, {{0x11, 0xEE, 0x01, 0x00, 0x00}}},  // 10-bit, FW4847 only
      {12, 2, {}},
      {8, 2, {}},
      {1, 2, {}},
      {1, 3, {}},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    EXPECT_EQ(SetImageBit(c.bit), 0) << int(c.type) << " " << int(c.bit);
    EXPECT_EQ(chip.Writes(), c.writes) << int(c.type) << " " << int(c.bit);
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imagebit, c.bit);
  }
}

TEST(SetImageBit, BusyChangesNothingAndCommandFailureIsIgnored) {
  {
    FakeChip chip(SENSOR_ZQ4842);
    chip.mcu_ready = [](int) { return false; };
    EXPECT_EQ(SetImageBit(0), -1);
    EXPECT_TRUE(chip.Writes().empty());
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imagebit, 1u);
  }
  {
    FakeChip chip(SENSOR_ZQ4841);
    chip.write_result = -5;
    EXPECT_EQ(SetImageBit(0), 0);
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->imagebit, 0u);
  }
}

TEST(McuServices, BusyMcuGivesMinusOne) {
  struct Case {
    const char *name;
    std::function<int()> call;
  } cases[] = {
      {"GetImageBitStatus", [] { return GetImageBitStatus(); }},
      {"SetMcuStateCheckMode", [] { return SetMcuStateCheckMode(1); }},
      {"GetMcuStateCheckMode", [] { return GetMcuStateCheckMode(); }},
  };
  for (const Case &c : cases) {
    for (uint8_t type : {1, 2, 13}) {
      FakeChip chip(type);
      chip.mcu_ready = [](int) { return false; };
      EXPECT_EQ(c.call(), -1) << c.name << " type " << int(type);
      EXPECT_TRUE(chip.Writes().empty()) << c.name;
    }
  }
}

TEST(McuServices, ReadyMcu) {
  FakeChip chip(SENSOR_ZQ4842);
  EXPECT_EQ(SetMcuStateCheckMode(1), 0);
  EXPECT_EQ(chip.mcu_reg[0x1F], 1);
  EXPECT_EQ(GetMcuStateCheckMode(), 1);
  chip.status_word_override[0x00] = 0x0001;
  EXPECT_EQ(GetImageBitStatus(), 1);
  chip.read_result = -1;  // a failed mode read comes back as 255
  EXPECT_EQ(GetMcuStateCheckMode(), 255);
}

TEST(McuServices, SetMcuStateCheckModeIgnoresTheCommandResult) {
  FakeChip chip(SENSOR_ZQ4841);
  chip.write_result = -9;
  EXPECT_EQ(SetMcuStateCheckMode(1), 0);
  EXPECT_EQ(chip.Writes(), (std::vector<Bytes>{{0x11, 0xEE, 0x1F, 0x01, 0x00}}));
}

TEST(McuServices, InterruptModeIsStoredWhateverTheResult) {
  struct Case {
    uint8_t type;
    int expected;
  } cases[] = {{1, 0}, {2, 0}, {7, -1}, {8, 0}, {13, -1}};
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    EXPECT_EQ(SetMcuInterrupMode(6), c.expected) << int(c.type);
    EXPECT_EQ(quorv_get_ZqSpiObjHandle()->McuInterruptMode, 6u) << int(c.type);
  }
  FakeChip chip(SENSOR_ZQ4842);
  chip.status_word_override[0x20] = 0x0600;
  EXPECT_EQ(GetMcuInterruptMode(), 6);
  quorv_set_icinfo(13);
  EXPECT_EQ(GetMcuInterruptMode(), 255);
}

// --- Log lines. ---

std::vector<std::string> g_callback;

int Callback(const char *format, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, format);
  int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_callback.push_back(buf);
  return n;
}

class LogModes : public ::testing::Test {
 protected:
  void TearDown() override {
    g_debuginfo = 0;
    g_loglevel = 0;
    InitFuncSetLog(nullptr);
  }
};

TEST_F(LogModes, ModeOneWritesLinePrefixedNotesAndFullErrors) {
  FakeChip chip(SENSOR_ZQ4841);
  chip.finger = true;
  StderrCapture capture;
  g_debuginfo = 1;
  g_loglevel = 0;
  EXPECT_EQ(DetectFinger(), QUORV_FINGER_ON);
  chip.mcu_ready = [](int) { return false; };
  EXPECT_EQ(SetMcuStateCheckMode(1), -1);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(IsLibNoteLine(lines[0], "Finger detecting :enter")) << lines[0];
  EXPECT_TRUE(IsLibNoteLine(lines[1], "Finger detecting : Finger on")) << lines[1];
  EXPECT_TRUE(IsLibErrorLine(lines[2], "SetMcuStateCheckMode",
                             "src/Quorv_sensor/quorv_mcu_services.cpp",
                             "quorv set mcu state check mode  failed:"))
      << lines[2];
  EXPECT_EQ(lines[3], "");  // the message's own newline
}

TEST_F(LogModes, ModeOneThresholdFour) {
  FakeChip chip(SENSOR_ZQ4841);
  chip.finger = true;
  StderrCapture capture;
  g_debuginfo = 1;
  g_loglevel = 4;
  quorv_get_spi_instance();  // level-1 traces and a level-3 note
  quorv_set_icinfo(SENSOR_ZQ4841);
  DetectFinger();  // level-2 notes only
  EXPECT_EQ(capture.Text(), "");
  chip.mcu_ready = [](int) { return false; };
  SetImageBit(1);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(IsLibErrorLine(lines[0], "SetImageBit", "src/Quorv_sensor/quorv_mcu_services.cpp",
                             "SetImageBit...get mcu status Fail!"))
      << lines[0];
}

TEST_F(LogModes, ModeTwoPassesBareMessages) {
  FakeChip chip(SENSOR_FW4856);
  chip.mcu_reg[0x3D] = 8;
  StderrCapture capture;
  g_callback.clear();
  g_debuginfo = 2;
  g_loglevel = 0;
  EXPECT_EQ(DetectFinger(), QUORV_FINGER_FORCE_WAKE);  // nothing registered: dropped
  EXPECT_TRUE(g_callback.empty());
  InitFuncSetLog(Callback);
  EXPECT_EQ(DetectFinger(), QUORV_FINGER_FORCE_WAKE);
  EXPECT_EQ(SetMcuStateCheckMode(3), 0);
  chip.mcu_ready = [](int) { return false; };
  EXPECT_EQ(GetMcuStateCheckMode(), -1);
  EXPECT_EQ(g_callback, (std::vector<std::string>{"Finger detecting : force wake",
                                                  "quorv set mcu state check mode  3:\n",
                                                  "quorv get mcu state check mode  failed:\n"}));
  g_callback.clear();
  g_loglevel = 3;
  EXPECT_EQ(DetectFinger(), QUORV_FINGER_FORCE_WAKE);
  EXPECT_TRUE(g_callback.empty());
  EXPECT_EQ(capture.Text(), "");
}

}  // namespace
