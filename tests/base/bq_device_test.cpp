#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bq_device.h"
#include "base/bq_log.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;

// Scripted behaviour of up to three fake chips: the ids their read_id
// returns in turn (the last one repeats) and counts of what was called.
struct Script {
  std::vector<uint16_t> ids;
  int reads = 0;
  int resets = 0;
};
Script g_script[3];

template <int N>
uint16_t ReadId() {
  Script &s = g_script[N];
  uint16_t id = s.ids.empty() ? 0 : s.ids[std::min<size_t>(s.reads, s.ids.size() - 1)];
  ++s.reads;
  return id;
}
template <int N>
void Reset() {
  ++g_script[N].resets;
}

// Replaces the digits in every "[ <digits>]:" by '#' and every
// "[bq_device.cpp:<digits>]" by '@'.
std::string NormaliseLine(std::string l) {
  for (size_t open = l.find('['); open != std::string::npos; open = l.find('[', open + 1)) {
    size_t close = l.find(']', open);
    if (close == std::string::npos) break;
    std::string inside = l.substr(open + 1, close - open - 1);
    size_t digits = inside.find_first_of("0123456789");
    if (digits == std::string::npos ||
        inside.find_first_not_of("0123456789", digits) != std::string::npos)
      continue;
    std::string head = inside.substr(0, digits);
    if (head == "bq_device.cpp:") {
      l.replace(open, close - open + 1, "[@]");
    } else if (head.find_first_not_of(' ') == std::string::npos && l.compare(close, 2, "]:") == 0) {
      l.replace(open, close - open + 1, "[#]");
    }
  }
  return l;
}

std::vector<std::string> Normalised(const std::vector<std::string> &lines) {
  std::vector<std::string> out;
  for (const std::string &l : lines) out.push_back(NormaliseLine(l));
  return out;
}

class BqDeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    g_base_log_level = 3;
    for (Script &s : g_script) s = Script{};
  }
  void TearDown() override {
    for (bq_device &c : chips_) bq_device_unlink(&c);
    bq_device_free();
  }
  // A chip record with a reset and a scripted read_id, as slot N.
  template <int N>
  bq_device *Chip(std::vector<uint16_t> ids, bool with_reset = true, bool with_read = true) {
    g_script[N].ids = std::move(ids);
    bq_device &c = chips_[N];
    c = bq_device{};
    if (with_reset) c.reset = Reset<N>;
    if (with_read) c.read_id = ReadId<N>;
    return &c;
  }

  bq_device chips_[3] = {};
};

constexpr const char *kProbing = "quorvanta:device: [#]:auto probing fingerprint chip...";
std::string Retry(int n) {
  return "quorvanta:device: [#]:probe id failed, try again (" + std::to_string(n) + "/3)";
}
std::string Found(const char *id) {
  return std::string("quorvanta:device: [#]:fingerprint chip (id = ") + id + ") found.";
}

TEST_F(BqDeviceTest, ProbeSelectsTheFirstChipThatAnswers) {
  bq_device *chip = Chip<0>({0x1234, 0x4846});
  ASSERT_EQ(bq_device_register(chip), 0);
  StderrCapture capture;
  EXPECT_EQ(bq_device_probe_chip(), 0);
  EXPECT_EQ(bq_device_current(), chip);
  EXPECT_EQ(Normalised(capture.Lines()),
            (std::vector<std::string>{kProbing, Retry(1), Found("0x4846")}));
  EXPECT_EQ(g_script[0].reads, 2);
  EXPECT_EQ(g_script[0].resets, 2);  // before the first read and after the failed one
}

TEST_F(BqDeviceTest, ProbeAcceptsANonzeroWrongId) {
  bq_device *chip = Chip<0>({0x4845});
  ASSERT_EQ(bq_device_register(chip), 0);
  StderrCapture capture;
  EXPECT_EQ(bq_device_probe_chip(), 0);
  EXPECT_EQ(bq_device_current(), chip);
  EXPECT_EQ(Normalised(capture.Lines()),
            (std::vector<std::string>{kProbing, Retry(1), Retry(2), Retry(3), Found("0x4845")}));
  EXPECT_EQ(g_script[0].reads, 3);
  EXPECT_EQ(g_script[0].resets, 4);
}

TEST_F(BqDeviceTest, ProbeOverSeveralChips) {
  struct Case {
    const char *name;
    std::vector<uint16_t> ids0, ids1;
    bool reset0;
    uint16_t stored0;  // probed_id before the probe
    int rc;
    int selected;  // index of the current chip afterwards, -1 for none
    int reads0, reads1;
  } cases[] = {
      {"first reads zero, second answers", {0}, {0x4846}, true, 0, 0, 1, 3, 1},
      {"first accepted with a wrong id", {0x4845}, {0x4846}, true, 0, 0, 0, 3, 0},
      {"first without reset is skipped", {0x4846}, {0x4846}, false, 0x4846, 0, 1, 0, 1},
      {"nobody answers", {0}, {0}, true, 0, -1, -1, 3, 3},
  };
  for (const Case &c : cases) {
    SetUp();
    bq_device *a = Chip<0>(c.ids0, c.reset0);
    a->probed_id = c.stored0;
    bq_device *b = Chip<1>(c.ids1);
    ASSERT_EQ(bq_device_register(a), 0);
    ASSERT_EQ(bq_device_register(b), 0);
    StderrCapture capture;
    EXPECT_EQ(bq_device_probe_chip(), c.rc) << c.name;
    bq_device *want = c.selected < 0 ? nullptr : &chips_[c.selected];
    EXPECT_EQ(bq_device_current(), want) << c.name;
    EXPECT_EQ(g_script[0].reads, c.reads0) << c.name;
    EXPECT_EQ(g_script[1].reads, c.reads1) << c.name;
    TearDown();
  }
}

TEST_F(BqDeviceTest, ProbeFailures) {
  {
    StderrCapture capture;
    EXPECT_EQ(bq_device_probe_chip(), -205);
    EXPECT_EQ(Normalised(capture.Lines()),
              (std::vector<std::string>{
                  kProbing,
                  "quorvanta:device: error at bq_device_probe_chip[@]: no fingerprint chip is "
                  "registered.",
                  "quorvanta:device: error at bq_device_probe_chip[@]: 'Device not found'."}));
  }
  // A lone chip without a reset is judged by its stored id alone.
  bq_device *chip = Chip<0>({0x4846}, /*with_reset=*/false);
  ASSERT_EQ(bq_device_register(chip), 0);
  {
    StderrCapture capture;
    EXPECT_EQ(bq_device_probe_chip(), -1);
    EXPECT_EQ(Normalised(capture.Lines()),
              (std::vector<std::string>{
                  kProbing,
                  "quorvanta:device: error at bq_device_probe_chip[@]: failed to probe chip id.",
                  "quorvanta:device: error at bq_device_probe_chip[@]: 'Internal error'."}));
  }
  EXPECT_EQ(bq_device_current(), nullptr);
  EXPECT_EQ(g_script[0].reads, 0);
  chip->probed_id = 0x4845;
  StderrCapture capture;
  EXPECT_EQ(bq_device_probe_chip(), 0);
  EXPECT_EQ(bq_device_current(), chip);
}

TEST_F(BqDeviceTest, ProbeUsesTheStoredIdWithoutReadId) {
  bq_device *chip = Chip<0>({}, /*with_reset=*/true, /*with_read=*/false);
  chip->probed_id = 0x4846;
  ASSERT_EQ(bq_device_register(chip), 0);
  StderrCapture capture;
  EXPECT_EQ(bq_device_probe_chip(), 0);
  EXPECT_EQ(Normalised(capture.Lines()), (std::vector<std::string>{kProbing, Found("0x4846")}));
}

TEST_F(BqDeviceTest, RegisterRefusesNullAndKeepsTheListSound) {
  {
    StderrCapture capture;
    EXPECT_EQ(bq_device_register(nullptr), -201);
    EXPECT_EQ(Normalised(capture.Lines()),
              (std::vector<std::string>{
                  "quorvanta:device: error at bq_device_register[@]: 'Null pointer'."}));
  }
  // Registering a record twice leaves it in the list once: the probe visits
  // it once and ends.
  bq_device *chip = Chip<0>({0});
  ASSERT_EQ(bq_device_register(chip), 0);
  ASSERT_EQ(bq_device_register(chip), 0);
  StderrCapture capture;
  EXPECT_EQ(bq_device_probe_chip(), -1);
  EXPECT_EQ(g_script[0].reads, 3);

  // An unlinked record is no longer probed.
  bq_device *other = Chip<1>({0x4846});
  ASSERT_EQ(bq_device_register(other), 0);
  bq_device_unlink(chip);
  EXPECT_EQ(bq_device_probe_chip(), 0);
  EXPECT_EQ(bq_device_current(), other);
  EXPECT_EQ(g_script[0].reads, 3);
}

// What the fake init_chip and firmware check do.
struct InitScript {
  int firmware_rc = 0;
  int init_rc = 0;
  uint16_t width = 64, height = 80;
  void *seen_context = nullptr;
  int seen_option = 0;
  int init_calls = 0;
} g_init;

int FakeFirmware(void *context, int option) {
  g_init.seen_context = context;
  g_init.seen_option = option;
  return g_init.firmware_rc;
}

bq_device *g_init_chip_record = nullptr;

int FakeInitChip() {
  ++g_init.init_calls;
  g_init_chip_record->device_id = 0x4846;
  g_init_chip_record->width = g_init.width;
  g_init_chip_record->height = g_init.height;
  return g_init.init_rc;
}

TEST_F(BqDeviceTest, InitWithoutCurrentChip) {
  StderrCapture capture;
  EXPECT_EQ(bq_device_init(nullptr, 0), -201);
  EXPECT_EQ(Normalised(capture.Lines()),
            (std::vector<std::string>{
                "quorvanta:device: error at bq_device_init[@]: 'Null pointer'."}));
}

TEST_F(BqDeviceTest, InitChecksFirmwareChipAndResolution) {
  const std::string head = "quorvanta:device: error at bq_device_init[@]: ";
  const std::string fw = "quorvanta:device: [#]:checking for firmware...";
  const std::string initialising = "quorvanta:device: [#]:initializing the device...";
  struct Case {
    const char *name;
    bool firmware, init;
    int firmware_rc, init_rc;
    uint16_t width, height;
    int rc;
    std::vector<std::string> lines;
  } cases[] = {
      {"success", true, true, 0, 0, 64, 80, 0,
       {fw, initialising, "quorvanta:device: [#]:fingerprint device is successfully initialized.",
        "quorvanta:device: [#]:device id = 0x4846",
        "quorvanta:device: [#]:sensor resolution: 64 x 80"}},
      {"largest size, no firmware check", false, true, 0, 0, 255, 255, 0,
       {initialising, "quorvanta:device: [#]:fingerprint device is successfully initialized.",
        "quorvanta:device: [#]:device id = 0x4846",
        "quorvanta:device: [#]:sensor resolution: 255 x 255"}},
      {"firmware check fails", true, true, -5, 0, 64, 80, -5, {fw, head + "'I/O error'."}},
      {"no init_chip", true, false, 0, 0, 64, 80, -1,
       {fw, head + "the 'init_chip' interface hasn't been registered.",
        head + "'Internal error'."}},
      {"init_chip fails", false, true, 0, -16, 64, 80, -16,
       {initialising, head + "'Resource busy / Timeout'."}},
      {"width 256", false, true, 0, 0, 256, 80, -207,
       {initialising, head + "sensor resolution exceed 255x255.", head + "'Up to the limit'."}},
      {"height 256", false, true, 0, 0, 64, 256, -207,
       {initialising, head + "sensor resolution exceed 255x255.", head + "'Up to the limit'."}},
      {"height 0", false, true, 0, 0, 64, 0, -204,
       {initialising, head + "wrong resolution 64 x 0.", head + "'Wrong sensor dimension'."}},
      {"width 0", false, true, 0, 0, 0, 300, -204,
       {initialising, head + "wrong resolution 0 x 300.", head + "'Wrong sensor dimension'."}},
  };
  bq_device *chip = Chip<0>({0x4846});
  g_init_chip_record = chip;
  ASSERT_EQ(bq_device_register(chip), 0);
  {
    StderrCapture quiet;
    ASSERT_EQ(bq_device_probe_chip(), 0);
  }
  int context = 0;
  for (const Case &c : cases) {
    g_init = InitScript{};
    g_init.firmware_rc = c.firmware_rc;
    g_init.init_rc = c.init_rc;
    g_init.width = c.width;
    g_init.height = c.height;
    chip->check_firmware = c.firmware ? FakeFirmware : nullptr;
    chip->init_chip = c.init ? FakeInitChip : nullptr;
    StderrCapture capture;
    EXPECT_EQ(bq_device_init(&context, 7), c.rc) << c.name;
    EXPECT_EQ(Normalised(capture.Lines()), c.lines) << c.name;
    if (c.firmware) {
      EXPECT_EQ(g_init.seen_context, &context) << c.name;
      EXPECT_EQ(g_init.seen_option, 7) << c.name;
    }
    EXPECT_EQ(g_init.init_calls, c.init && c.firmware_rc == 0 ? 1 : 0) << c.name;
    EXPECT_EQ(bq_device_current(), chip) << c.name;  // stays current on failure too
  }
  EXPECT_EQ(bq_device_free(), 0);
  EXPECT_EQ(bq_device_current(), nullptr);
  EXPECT_EQ(bq_device_init(&context, 0), -201);
}

}  // namespace
