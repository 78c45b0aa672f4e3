// The fw4846 chip driver through its chip-registry record, against the fake
// chip: probe and init, power and device modes, events, finger status,
// liveness, ESD recovery and the configuration setters.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/bq_device.h"
#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846.h"
#include "chips/fw4846/fw4846_fdt.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"
#include "chips/fw4846/fw4846_test_util.h"
#include "support/stderr_capture.h"

namespace {

using fw4846_fake::Chip;
using fw4846_fake::Samples;
using fw4846_fake::VirtualClock;
using testing::HasSubstr;
using testing_support::StderrCapture;

class ChipTest : public testing::Test {
 protected:
  void SetUp() override {
    g_base_log_level = 6;
    g_chip_log_level = 6;
    fw4846_fake::FreshChip();
  }
  void TearDown() override {
    bq_device_unlink(&g_fw4846_device);
    bq_device_free();
  }
  // Registers, probes and initialises the driver on the fake chip.
  static void BringUp() {
    __fw4846_init__();
    ASSERT_EQ(bq_device_probe_chip(), 0);
    ASSERT_EQ(bq_device_init(nullptr, 0), 0);
  }
  VirtualClock clock_;
};

TEST_F(ChipTest, ProbeAndInitThroughTheRegistry) {
  EXPECT_EQ(g_fw4846_device.probed_id, 0x4845);
  EXPECT_EQ(g_fw4846_device.device_id, 0);
  BringUp();
  bq_device *dev = bq_device_current();
  ASSERT_EQ(dev, &g_fw4846_device);
  EXPECT_EQ(dev->probed_id, 0x4846);
  EXPECT_EQ(dev->device_id, 0x4846);
  EXPECT_EQ(dev->width, 64);
  EXPECT_EQ(dev->height, 80);
  const void *slots[] = {
      reinterpret_cast<void *>(dev->ESD_Handle),       reinterpret_cast<void *>(dev->init_chip),
      reinterpret_cast<void *>(dev->read_id),          reinterpret_cast<void *>(dev->reset),
      reinterpret_cast<void *>(dev->sfr_write_app),    reinterpret_cast<void *>(dev->sfr_read_app),
      reinterpret_cast<void *>(dev->sram_write_bulk),  reinterpret_cast<void *>(dev->sram_read_bulk),
      reinterpret_cast<void *>(dev->config_power_mode),
      reinterpret_cast<void *>(dev->config_device_mode),
      reinterpret_cast<void *>(dev->config_device_fdt),
      reinterpret_cast<void *>(dev->query_event_status),
      reinterpret_cast<void *>(dev->query_device_status),
      reinterpret_cast<void *>(dev->query_finger_status),
      reinterpret_cast<void *>(dev->query_fdt_finger),
      reinterpret_cast<void *>(dev->query_gesture_status),
      reinterpret_cast<void *>(dev->read_sensor_data), reinterpret_cast<void *>(dev->read_image),
      reinterpret_cast<void *>(dev->capture_image),
      reinterpret_cast<void *>(dev->Special_img_data_get),
      reinterpret_cast<void *>(dev->Get_Diff_Data),    reinterpret_cast<void *>(dev->sfr_rw_test),
      reinterpret_cast<void *>(dev->spi_test),
      reinterpret_cast<void *>(dev->Chip_Paramter_Init),
      reinterpret_cast<void *>(dev->check_alive),
  };
  for (size_t i = 0; i < std::size(slots); ++i) EXPECT_NE(slots[i], nullptr) << "slot " << i;
  EXPECT_EQ(dev->check_firmware, nullptr);

  // Calibrated and armed for a finger: FDT DAC 28 (crossing at 515), image
  // DAC 55 (crossing at 550), bases learnt from the chip.
  EXPECT_EQ(g_fw4846.fdt_dac, 28);
  EXPECT_EQ(g_fw4846.image_dac, 55);
  EXPECT_EQ(g_fw4846.fdt_down_base[0], 515);
  EXPECT_EQ(g_fw4846.image_base[100], 550 << 2);
  EXPECT_EQ(g_fw4846.dac_searched, 0);
  EXPECT_EQ(g_fw4846.fdt_dac_found, 0);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  EXPECT_EQ(Chip().sram[0x1881] & 0x83, 0x81);
  EXPECT_EQ(Chip().Dac(), 28);
}

TEST_F(ChipTest, ProbeIdAnswers) {
  struct Case {
    uint16_t chip_answers;
    uint16_t want;
    const char *log;
  };
  const Case cases[] = {
      {0x4845, 0x4846, "got device id fw4846 !!!."},
      {0x4846, 0, "got undesired device id 0x4846"},
      {0x0000, 0, "got undesired device id 0x0000"},
  };
  g_chip_log_level = 3;
  for (const Case &c : cases) {
    fw4846_fake::FreshChip();
    Chip().chip_id = c.chip_answers;
    Chip().Raise(0x0204);
    StderrCapture capture;
    EXPECT_EQ(fw4846_probe_id(), c.want);
    EXPECT_THAT(capture.Text(), HasSubstr(c.log));
    EXPECT_EQ(Chip().IntStatus(), 0);  // all interrupts cleared
    EXPECT_EQ(Chip().sfr_writes.front(), (std::pair<uint8_t, uint8_t>{0xC6, 1}));
  }
}

TEST_F(ChipTest, ProbeFailsOnAChipWithAnotherId) {
  Chip().chip_id = 0x1234;
  __fw4846_init__();
  EXPECT_EQ(bq_device_probe_chip(), -1);
  EXPECT_EQ(bq_device_current(), nullptr);
}

TEST_F(ChipTest, InitWithoutACurrentChip) {
  g_base_log_level = 5;
  StderrCapture capture;
  EXPECT_EQ(fw4846_init_chip(), -201);
  EXPECT_THAT(capture.Text(), HasSubstr("'Null pointer'."));
  EXPECT_TRUE(Chip().log.empty());
}

TEST_F(ChipTest, ResetSequence) {
  fw4846_reset_chip();
  EXPECT_THAT(Chip().commands, testing::ElementsAre(FW4846_CMD_OPEN, FW4846_CMD_SOFT_RESET));
  EXPECT_EQ(Chip().sfr_writes.back(), (std::pair<uint8_t, uint8_t>{0xC6, 1}));
}

TEST_F(ChipTest, DeviceModes) {
  struct Case {
    int mode;
    std::vector<int> commands_tail;
    int work_mode;
    int fdt_direction;
  };
  const Case cases[] = {
      {FW4846_MODE_SLEEP, {FW4846_CMD_IDLE, FW4846_CMD_SLEEP}, 0, -1},
      {FW4846_MODE_FDT_DOWN, {FW4846_CMD_FDT}, 1, 1},
      {FW4846_MODE_FDT_UP, {FW4846_CMD_FDT}, 2, 0},
      {FW4846_MODE_APK_TEST, {}, 0, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.mode);
    fw4846_fake::FreshChip();
    EXPECT_EQ(fw4846_config_device_mode(c.mode), 0);
    EXPECT_EQ(g_fw4846.device_mode, c.mode);
    EXPECT_EQ(g_fw4846.work_mode, c.work_mode);
    if (c.commands_tail.empty()) {
      EXPECT_TRUE(Chip().log.empty());
    } else {
      ASSERT_GE(Chip().commands.size(), c.commands_tail.size());
      EXPECT_TRUE(std::equal(c.commands_tail.begin(), c.commands_tail.end(),
                             Chip().commands.end() - c.commands_tail.size()));
    }
    if (c.fdt_direction >= 0) {
      EXPECT_EQ(g_fw4846.fdt_direction, c.fdt_direction);
    }
  }
}

TEST_F(ChipTest, UndefinedDeviceModeIsLoggedAndKept) {
  g_chip_log_level = 5;
  StderrCapture capture;
  EXPECT_EQ(fw4846_config_device_mode(4), 0);
  EXPECT_EQ(g_fw4846.device_mode, 4);
  EXPECT_THAT(capture.Text(), HasSubstr("]: switch to '4' unknown device mode."));
  EXPECT_TRUE(Chip().log.empty());
}

TEST_F(ChipTest, GestureModeSetsUpOnceAndFollowsTheFinger) {
  const uint16_t base[8] = {500, 500, 500, 500, 500, 500, 500, 500};
  fw4846_fdt_base_Min_Updata(base);
  Chip().fdt_model = [](int) { return Samples(8, 400); };  // a finger is on
  fw4846_config_device_mode(FW4846_MODE_GESTURE);
  EXPECT_EQ(Chip().manual_scans, 1);
  EXPECT_EQ(g_fw4846.fdt_direction, 0);  // waits for the lift
  EXPECT_EQ(Chip().sram[0x1881] >> 8, 4);  // at the gesture rate
  Chip().ClearLog();
  fw4846_config_device_mode(FW4846_MODE_GESTURE);
  EXPECT_EQ(Chip().manual_scans, 0);
  EXPECT_TRUE(Chip().log.empty());

  fw4846_fake::FreshChip();
  fw4846_fdt_base_Min_Updata(base);
  Chip().fdt_model = [](int) { return Samples(8, 500); };  // no finger
  fw4846_config_device_mode(FW4846_MODE_GESTURE);
  EXPECT_EQ(g_fw4846.fdt_direction, 1);
}

TEST_F(ChipTest, PowerModes) {
  struct Case {
    int mode;
    std::vector<int> commands;
  };
  const Case cases[] = {
      {FW4846_POWER_WAKEUP, {FW4846_CMD_OPEN, FW4846_CMD_CLOSE}},
      {FW4846_POWER_DEEP_SLEEP, {FW4846_CMD_OPEN, FW4846_CMD_CLOSE, FW4846_CMD_SLEEP}},
      {5, {}},
  };
  for (const Case &c : cases) {
    fw4846_fake::FreshChip();
    EXPECT_EQ(fw4846_config_power_mode(c.mode), 0);
    EXPECT_EQ(Chip().commands, c.commands) << c.mode;
  }
}

TEST_F(ChipTest, AutoSleepPowerModeRecalibrates) {
  Chip().Raise(FW4846_INT_RESET | FW4846_INT_IDLE);
  EXPECT_EQ(fw4846_config_power_mode(FW4846_POWER_AUTO_SLEEP), 0);
  EXPECT_EQ(g_fw4846.work_mode, 1);
  EXPECT_EQ(g_fw4846.fdt_down_base[0], 515);
  EXPECT_EQ(g_fw4846.image_dac, 55);
  EXPECT_EQ(Chip().IntStatus() & 0x201, 0);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
}

TEST_F(ChipTest, CheckAlive) {
  struct Case {
    const char *name;
    std::vector<uint16_t> ids;  // then 0 for ever
    int want;
    int id_reads;
    int idles;
  };
  const Case cases[] = {
      {"healthy", {0x4845}, 0, 1, 0},
      {"third read", {0, 0, 0x4845}, 0, 3, 0},
      {"recovers after one idle", {0, 0, 0, 0, 0x4845}, 0, 5, 1},
      {"dead", {}, -205, 6, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fw4846_fake::FreshChip();
    Chip().chip_id = 0;
    Chip().dead = c.want != 0;  // a dead chip answers nothing, not even its idle state
    Chip().id_script.assign(c.ids.begin(), c.ids.end());
    EXPECT_EQ(fw4846_check_alive(), c.want);
    EXPECT_EQ(Chip().SramReadCount(0x1A8B), c.id_reads);
    EXPECT_EQ(Chip().CommandCount(FW4846_CMD_OPEN), c.idles);  // one per fw4846_idle
    if (Chip().dead) {
      EXPECT_EQ(Chip().CommandCount(FW4846_CMD_IDLE), 3);
    }
  }
}

TEST_F(ChipTest, EventCodes) {
  struct Case {
    const char *name;
    uint16_t bits;
    int device_mode;
    Samples manual;  // FDT blocks of every manual scan
    int want;
  };
  const Samples no_finger(8, 515), finger(8, 400), inverse(8, 600);
  const Case cases[] = {
      {"reset and finger down", FW4846_INT_RESET | FW4846_INT_DOWN, 1, no_finger, 11},
      {"reset and finger down in test mode", FW4846_INT_RESET | FW4846_INT_DOWN, 7, no_finger, 2},
      {"ESD", FW4846_INT_ESD | FW4846_INT_UP, 1, no_finger, 11},
      {"inverse", FW4846_INT_INV | FW4846_INT_DOWN, 1, no_finger, 6},
      {"finger down", FW4846_INT_DOWN, 1, finger, 5},
      {"finger up confirmed", FW4846_INT_UP, 2, no_finger, 6},
      {"finger up not confirmed", FW4846_INT_UP, 2, finger, 0},
      {"data ready outside gestures", FW4846_INT_DATA, 1, no_finger, 0},
      {"nothing", 0, 1, no_finger, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fw4846_fake::FreshChip();
    BringUp();
    bq_device_unlink(&g_fw4846_device);
    Samples m = c.manual;
    Chip().fdt_model = [m](int) { return m; };
    g_fw4846.device_mode = c.device_mode;
    Chip().ClearLog();
    Chip().Raise(c.bits);
    EXPECT_EQ(fw4846_query_event_status(), c.want);
    EXPECT_EQ(Chip().IntStatus() & c.bits, 0);  // exactly those bits cleared
  }
}

TEST_F(ChipTest, EventSideEffects) {
  BringUp();
  // Finger down: the press settles, data ready is enabled.
  Chip().sram[0x1A83] = 0;
  Chip().fdt_model = [](int) { return Samples(8, 400); };
  Chip().Raise(FW4846_INT_DOWN);
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_FINGER_DOWN);
  EXPECT_EQ(Chip().sram[0x1A83] & 0x20, 0x20);

  // Up not confirmed: finger-up detection is armed again.
  g_fw4846.fdt_direction = 1;
  Chip().Raise(FW4846_INT_UP);
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_NONE);
  EXPECT_EQ(g_fw4846.fdt_direction, 0);

  // Nothing pending: detection restarts in the last direction.
  Chip().ClearLog();
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_NONE);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  EXPECT_EQ(Chip().sram[0x1881] & 0x1, 0);

  // An inverse event that the manual check confirms relearns both bases.
  Chip().fdt_model = [](int dac) { return Samples(8, static_cast<uint16_t>(dac >= 28 ? 700 : 400)); };
  Chip().ClearLog();
  Chip().Raise(FW4846_INT_INV);
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_FINGER_UP);
  EXPECT_GT(Chip().image_frames, 0);
  EXPECT_EQ(g_fw4846.fdt_direction, 1);
}

TEST_F(ChipTest, LostCommunication) {
  BringUp();
  // The chip answers again after one idle.
  Chip().id_script = {0x0000, 0x0000};
  Chip().Raise(FW4846_INT_DOWN);
  Chip().fdt_model = [](int) { return Samples(8, 400); };
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_FINGER_DOWN);

  // It never does: 10 retries with 20 ms waits, then 11.
  Chip().ClearLog();
  Chip().chip_id = 0x1111;
  uint64_t before = VirtualClock::SleptUs();
  EXPECT_EQ(fw4846_query_event_status(), FW4846_EVENT_ERROR);
  EXPECT_EQ(Chip().CommandCount(FW4846_CMD_OPEN), 10);
  EXPECT_GE(VirtualClock::SleptUs() - before, 10u * 20000u);
}

TEST_F(ChipTest, FingerStatusLatchesAPress) {
  const uint16_t base[8] = {500, 500, 500, 500, 500, 500, 500, 500};
  fw4846_fdt_base_Min_Updata(base);
  struct Step {
    Samples blocks;
    int want;
    int latched;
  };
  const Step steps[] = {
      {Samples(8, 500), -1, 0},  // nothing
      {Samples(8, 400), 2, 1},   // touch
      {Samples(8, 420), -1, 1},  // still on: not released
      {Samples(8, 500), 0, 0},   // lifted
  };
  for (const Step &s : steps) {
    Chip().fdt_script.push_back(s.blocks);
    EXPECT_EQ(fw4846_query_finger_status(), s.want);
    EXPECT_EQ(g_fw4846.finger_latched, s.latched);
    EXPECT_EQ(Chip().commands.back(), FW4846_CMD_IDLE);
  }
  Chip().fdt_script.push_back(Samples(8, 400));
  EXPECT_EQ(fw4846_query_fdt_finger(), 1);
  Chip().fdt_script.push_back(Samples(8, 500));
  EXPECT_EQ(fw4846_query_fdt_finger(), 0);
}

TEST_F(ChipTest, DiffData) {
  const uint16_t base[8] = {500, 500, 500, 500, 500, 500, 500, 500};
  struct Case {
    Samples raw;
    int16_t want;  // -1: output untouched
    bool relearns;
  };
  const Case cases[] = {
      {{490, 480, 470, 460, 0, 0, 0, 0}, 25, false},
      {{510, 520, 500, 500, 0, 0, 0, 0}, 0, false},  // negative mean gives 0
      {{560, 400, 400, 400, 0, 0, 0, 0}, -1, true},  // a block 60 above its base
  };
  for (const Case &c : cases) {
    fw4846_fake::FreshChip();
    fw4846_fdt_base_Min_Updata(base);
    Chip().fdt_script.push_back(c.raw);
    fw4846_fdt_manual_check(FW4846_FDT_DOWN);
    int scans = Chip().manual_scans;
    int16_t out = -1;
    EXPECT_EQ(fw4846_Get_Diff_Data(&out), 0);
    EXPECT_EQ(out, c.want);
    EXPECT_EQ(Chip().manual_scans > scans, c.relearns);
    if (c.relearns) {
      EXPECT_EQ(g_fw4846.fdt_diff[0], 0);
    }
    EXPECT_EQ(fw4846_Get_Diff_Data(nullptr), 0);
  }
}

TEST_F(ChipTest, SelfTests) {
  EXPECT_EQ(fw4846_sfr_rw_test(1), 0);   // 0x7F after reset
  EXPECT_EQ(fw4846_sfr_rw_test(0), 0);   // writes 0x3A and reads it back
  EXPECT_EQ(fw4846_sfr_rw_test(1), -1);  // no longer the reset value
  EXPECT_EQ(fw4846_spi_test(), 0);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  Chip().chip_id = 0x4444;
  EXPECT_EQ(fw4846_spi_test(), -5);
  Chip().dead = true;
  EXPECT_EQ(fw4846_sfr_rw_test(0), -1);
}

TEST_F(ChipTest, EsdHandleFindsAStuckChip) {
  BringUp();
  // A working chip's FDT values move between two scans.
  int n = 0;
  Chip().fdt_model = [&n](int) { return Samples(8, static_cast<uint16_t>(500 + (n++ % 2))); };
  EXPECT_EQ(fw4846_ESD_Handle(), 0);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_FDT);
  Chip().fdt_model = [](int) { return Samples(8, 503); };
  EXPECT_EQ(fw4846_ESD_Handle(), -1);
  Chip().fdt_model = [](int) { return Samples(8, 0); };  // zeros are not "stuck"
  EXPECT_EQ(fw4846_ESD_Handle(), 0);
}

TEST_F(ChipTest, ChipParameterInitReloadsTheWholeSetUp) {
  BringUp();
  Chip().ClearLog();
  fw4846_Chip_Paramter_Init();
  const std::vector<int> head = {FW4846_CMD_IDLE, FW4846_CMD_SLEEP, FW4846_CMD_OPEN};
  ASSERT_GE(Chip().commands.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), Chip().commands.begin()));
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  // Everything written again, not skipped by the caches.
  EXPECT_FALSE(Chip().Writes(0x1804).empty());   // image and FDT set-ups
  EXPECT_FALSE(Chip().Writes(0x1880).empty());   // the one-time FDT block
  EXPECT_EQ(Chip().LastWrite(0x1801), 0xFC80 | g_fw4846.fdt_dac);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_FDT);
  EXPECT_EQ(g_fw4846.img_mode_loaded, 1);
  EXPECT_EQ(g_fw4846.fdt_mode_loaded, 1);
}

TEST_F(ChipTest, ProcessFlagAndOtp) {
  struct Case {
    uint8_t reg;
    uint8_t want;
    int reads;
  };
  const Case cases[] = {{19 << 2, 0xAA, 1}, {0x03, 0, 1}, {0x80, 0x55, 10}};
  for (const Case &c : cases) {
    fw4846_fake::FreshChip();
    g_fw4846.process_flag = 0x55;
    Chip().process_reg = c.reg;
    fw4846_get_SMIC_IC_flag();
    EXPECT_EQ(g_fw4846.process_flag, c.want) << +c.reg;
    EXPECT_EQ(static_cast<int>(Chip().log.size()), c.reads);
  }
  Chip().otp[3] = 0xE7;
  Chip().otp[19] = 0x42;
  uint8_t freq = 0, version = 0;
  fw4846_Get_OTP_Info(&freq, &version);
  EXPECT_EQ(freq, 7);
  EXPECT_EQ(version, 2);
  fw4846_Get_OTP_Info(nullptr, nullptr);
}

TEST_F(ChipTest, SmicProcessUsesItsOwnFdtAddresses) {
  Chip().process_reg = 19 << 2;
  fw4846_get_SMIC_IC_flag();
  Chip().fdt_model = [](int) { return Samples(8, 432); };
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);
  EXPECT_EQ(Chip().Writes(0x00E0).size(), 1u);
  EXPECT_TRUE(Chip().Writes(0x00B0).empty());
  uint16_t raw[8] = {};
  fw4846_fdt_manual_start();
  fw4846_fdt_read_raw(raw);
  EXPECT_EQ(raw[0], 432);
  EXPECT_EQ(Chip().SramReadCount(0x00E8), 1);
}

TEST_F(ChipTest, ConfigurationSetters) {
  struct Case {
    const char *name;
    std::function<int(int)> set;
    std::function<int()> get;
    int good, bad;
  };
  auto &cfg = g_fw4846_cfg;
  const Case cases[] = {
      {"scan", [](int v) { return fw4846_set_cfg_scan(v); }, [&] { return cfg.scan; }, 127, 128},
      {"mode", [](int v) { return fw4846_set_cfg_mode(v); }, [&] { return cfg.mode; }, 3, 4},
      {"small_area", [](int v) { return fw4846_set_cfg_small_area(v); }, [&] { return cfg.small_area; }, 0, 2},
      {"fdt_rate", [](int v) { return fw4846_set_cfg_fdt_rate(v); }, [&] { return cfg.fdt_rate; }, 200, 201},
      {"gesture_rate", [](int v) { return fw4846_set_cfg_gesture_rate(v); }, [&] { return cfg.gesture_rate; }, 100, 201},
      {"down_blocks", [](int v) { return fw4846_set_cfg_down_blocks(v); }, [&] { return cfg.down_blocks; }, 8, 9},
      {"up_blocks", [](int v) { return fw4846_set_cfg_up_blocks(v); }, [&] { return cfg.up_blocks; }, 8, 9},
      {"base_frames", [](int v) { return fw4846_set_cfg_base_frames(v); }, [&] { return cfg.base_frames; }, 5, 6},
      {"shift", [](int v) { return fw4846_set_cfg_shift(v); }, [&] { return cfg.shift; }, 3, 4},
      {"integration", [](int v) { return fw4846_set_cfg_integration(v); }, [&] { return cfg.integration; }, 511, 512},
      {"nav_frames", [](int v) { return fw4846_set_cfg_nav_frames(v); }, [&] { return cfg.nav_frames; }, 100, 101},
      {"spare", [](int v) { return fw4846_set_cfg_spare(v); }, [&] { return cfg.spare; }, 20, 21},
      {"nav_travel", [](int v) { return fw4846_set_cfg_nav_travel(v); }, [&] { return cfg.nav_travel; }, 100, 101},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    fw4846_cfg_init();
    int before = c.get();
    EXPECT_EQ(c.set(c.bad), -1);
    EXPECT_EQ(c.get(), before);
    EXPECT_EQ(c.set(c.good), 0);
    EXPECT_EQ(c.get(), c.good);
  }
  EXPECT_EQ(fw4846_set_cfg_down_delta(255), 0);
  EXPECT_EQ(fw4846_set_cfg_up_delta(0), 0);
  EXPECT_EQ(fw4846_set_cfg_nav_threshold(7), 0);
  EXPECT_EQ(cfg.nav_threshold, 7);
}

TEST_F(ChipTest, DebugParametersAndHook) {
  const uint8_t bytes[5] = {30, 1, 2, 3, 4};
  EXPECT_EQ(fw4846_config_debug(bytes, 4), -200);
  EXPECT_EQ(g_fw4846.debug_marker, 0);
  EXPECT_EQ(fw4846_config_debug(bytes, 5), 0);
  EXPECT_EQ(g_fw4846.debug_param0, 30);
  EXPECT_THAT(g_fw4846.debug_params, testing::ElementsAre(1, 2, 3, 4));
  EXPECT_EQ(g_fw4846.debug_marker, 0xA55A);

  static int calls = 0;
  fw4846_set_init_hook([] { ++calls; });
  fw4846_set_init_hook(nullptr);  // ignored
  BringUp();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(fw4846_version_major(), 256);
  EXPECT_EQ(fw4846_version_minor(), 1833);
}

TEST_F(ChipTest, ReadImageLeavesItsHeader) {
  Chip().image_script.push_back(fw4846_fake::Flat(0x1234));
  std::vector<uint8_t> buf(8 + FW4846_FRAME_BYTES, 0xEE);
  EXPECT_EQ(fw4846_read_image(buf.data()), 0);
  EXPECT_EQ(buf[7], 0xEE);
  EXPECT_EQ(buf[8], 0x12);
  EXPECT_EQ(buf[8 + FW4846_FRAME_BYTES - 1], 0x34);
}

}  // namespace
