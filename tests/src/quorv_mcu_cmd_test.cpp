// MCU commands by chip family: byte-exact frames for the direct (1, 7) and
// mailbox (2, 3) families, no traffic for the chips without MCU commands,
// the unsupported codes, the answers of the status words, and the FW4856's
// own commands.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fake_chip.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_fw4856_cmd.h"
#include "src/quorv_fp_spi/quorv_mcu_cmd.h"

namespace {

using testing_support::FakeChip;
using Bytes = std::vector<uint8_t>;

const Bytes kDoorbell = {0x09, 0xF6, 0xA4, 0x01};

Bytes Mailbox(uint8_t reg, uint8_t value) {
  return {0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, reg, value};
}

// A write command and the frames it sends on each family.
struct WriteCase {
  const char *name;
  std::function<int()> call;
  Bytes direct;  // on types 1 and 7
  uint8_t reg, value;  // mailbox command on types 2 and 3
  int unsupported;  // result for codes 0 and 13 or more
};

const std::vector<WriteCase> &WriteCases() {
  static const std::vector<WriteCase> cases = {
      {"finger_detect_scan", [] { return quorv_fp_sensor_finger_detect_scan(); },
       {0x11, 0xEE, 0x00, 0x6B, 0x00, 0x00}, 0x00, 0x6B, -1},
      {"image_scan", [] { return quorv_fp_sensor_image_scan(); },
       {0x11, 0xEE, 0x00, 0x6C, 0x00}, 0x00, 0x6C, -1},
      {"autosensormode_flag", [] { return quorv_fp_sensor_set_autosensormode_flag(); },
       {0x11, 0xEE, 0x1E, 0x01, 0x00, 0x00}, 0x1E, 0x01, -1},
      {"setMcuStateCheckMode", [] { return int(quorv_fp_setMcuStateCheckMode(0x21)); },
       {0x11, 0xEE, 0x1F, 0x21, 0x00}, 0x1F, 0x21, 0xFF},
      {"setImage8Bit", [] { return quorv_setImage8Bit(); },
       {0x11, 0xEE, 0x01, 0x01, 0x00}, 0x01, 0x01, -1},
      {"setImage16Bit", [] { return quorv_setImage16Bit(); },
       {0x11, 0xEE, 0x01, 0x00, 0x00}, 0x01, 0x00, -1},
  };
  return cases;
}

TEST(McuCommands, WritesPerFamily) {
  for (const WriteCase &c : WriteCases()) {
    for (uint8_t type : {1, 7}) {
      FakeChip chip(type);
      EXPECT_EQ(c.call(), 0) << c.name << " type " << int(type);
      EXPECT_EQ(chip.Writes(), std::vector<Bytes>{c.direct}) << c.name << " type " << int(type);
      EXPECT_EQ(chip.mcu_reg[c.reg], c.value) << c.name;
    }
    for (uint8_t type : {2, 3}) {
      FakeChip chip(type);
      EXPECT_EQ(c.call(), 0) << c.name << " type " << int(type);
      EXPECT_EQ(chip.Writes(), (std::vector<Bytes>{Mailbox(c.reg, c.value), kDoorbell}))
          << c.name << " type " << int(type);
      EXPECT_EQ(chip.mcu_reg[c.reg], c.value) << c.name;
    }
    for (uint8_t type : {4, 5, 6, 8, 11, 12}) {
      FakeChip chip(type);
      EXPECT_EQ(c.call(), 0) << c.name << " type " << int(type);
      EXPECT_TRUE(chip.frames.empty()) << c.name << " type " << int(type);
    }
    for (uint8_t type : {0, 13, 15, 255}) {
      FakeChip chip(type);
      EXPECT_EQ(c.call(), c.unsupported) << c.name << " type " << int(type);
      EXPECT_TRUE(chip.frames.empty()) << c.name << " type " << int(type);
    }
  }
}

TEST(McuCommands, WriteResultIsTheTransfers) {
  for (const WriteCase &c : WriteCases()) {
    FakeChip chip(SENSOR_ZQ4841);
    chip.write_result = -5;
    int expected = c.unsupported == 0xFF ? 0xFB : -5;  // 8-bit result keeps the low byte
    EXPECT_EQ(c.call(), expected) << c.name;
  }
  FakeChip chip(SENSOR_ZQ4841);
  InitFuncSpiWrite(nullptr);
  for (const WriteCase &c : WriteCases()) EXPECT_EQ(c.call(), 0) << c.name;
}

TEST(McuCommands, CommandsThatSkipSomeTypes) {
  struct Case {
    const char *name;
    std::function<int()> call;
    uint8_t type;
    int expected;
    std::vector<Bytes> writes;
  } cases[] = {
      {"singel_scan on 1", [] { return quorv_fp_sensor_finger_singel_scan(); }, 1, 0,
       {{0x11, 0xEE, 0x00, 0x6E, 0x00, 0x00}}},
      {"singel_scan on 2", [] { return quorv_fp_sensor_finger_singel_scan(); }, 2, 0,
       {Mailbox(0x00, 0x6E), kDoorbell}},
      {"singel_scan on 7", [] { return quorv_fp_sensor_finger_singel_scan(); }, 7, -1, {}},
      {"SetInterruptMode on 1", [] { return quorv_fp_SetInterruptMode(3); }, 1, 0,
       {{0x11, 0xEE, 0x40, 0x03, 0x00}}},
      {"SetInterruptMode on 3", [] { return quorv_fp_SetInterruptMode(3); }, 3, 0,
       {Mailbox(0x40, 0x03), kDoorbell}},
      {"SetInterruptMode on 7", [] { return quorv_fp_SetInterruptMode(3); }, 7, -1, {}},
      {"SetInterruptMode on 13", [] { return quorv_fp_SetInterruptMode(3); }, 13, -1, {}},
      {"autosensormode_flag on 9", [] { return quorv_fp_sensor_set_autosensormode_flag(); }, 9,
       -1, {}},
      {"autosensormode_flag on 10", [] { return quorv_fp_sensor_set_autosensormode_flag(); }, 10,
       -1, {}},
      {"enable_autosensormode on 7", [] { return quorv_fp_sensor_enable_autosensormode(); }, 7,
       -1, {}},
      {"GetInterruptMode on 7", [] { return int(quorv_fp_GetInterruptMode()); }, 7, 0xFF, {}},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    EXPECT_EQ(c.call(), c.expected) << c.name;
    EXPECT_EQ(chip.Writes(), c.writes) << c.name;
    EXPECT_TRUE(chip.Reads().empty()) << c.name;
  }
}

TEST(McuStatus, PerFamily) {
  struct Case {
    const char *name;
    uint8_t type;
    std::function<void(FakeChip &)> setup;
    int expected;
    size_t reads;
  } cases[] = {
      {"mailbox A5 5A", 2, [](FakeChip &) {}, 0, 1},
      {"mailbox 5A A5", 2, [](FakeChip &c) { c.status_word_override[0x10] = 0x5AA5; }, 1, 1},
      {"mailbox busy", 3, [](FakeChip &c) { c.mcu_ready = [](int) { return false; }; }, 1, 1},
      {"mailbox ready despite a failed transfer", 3, [](FakeChip &c) { c.read_result = -1; }, 0,
       1},
      {"mailbox without SpiRead", 2, [](FakeChip &) { InitFuncSpiRead(nullptr); }, 1, 0},
      {"direct ready", 7, [](FakeChip &) {}, 0, 0},
      {"direct busy", 1, [](FakeChip &c) { c.mcu_ready = [](int) { return false; }; }, 1, 0},
      {"direct without callback", 7, [](FakeChip &) { InitFuncGetMcuStatus(nullptr); }, -1, 0},
      {"no MCU commands", 8, [](FakeChip &) {}, 0, 0},
      {"no MCU commands", 12, [](FakeChip &) {}, 0, 0},
      {"unsupported", 13, [](FakeChip &) {}, -1, 0},
      {"unsupported", 0, [](FakeChip &) {}, -1, 0},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    c.setup(chip);
    EXPECT_EQ(quorv_fp_mcu_status(), c.expected) << c.name << " type " << int(c.type);
    EXPECT_EQ(chip.Reads().size(), c.reads) << c.name;
    if (c.reads == 1) {
      EXPECT_EQ(chip.Reads()[0], (Bytes{0x04, 0xFB, 0x85, 0x10, 0x00, 0x00, 0x00, 0x00}));
    }
    EXPECT_TRUE(chip.Writes().empty()) << c.name;
  }
}

TEST(McuStatus, UnsupportedWithoutSpiInstance) {
  FakeChip chip(SENSOR_ZQ4842);
  quorv_destroy_spi_instance();
  EXPECT_EQ(quorv_fp_mcu_status(), -1);
  EXPECT_EQ(quorv_fp_sensor_image_scan(), -1);
  EXPECT_TRUE(chip.frames.empty());
}

// Reads of one value: the frame sent and the value returned on each family.
TEST(McuReads, AnswersPerFamily) {
  struct Case {
    const char *name;
    uint8_t type;
    std::function<void(FakeChip &)> setup;
    std::function<int()> call;
    int expected;
    Bytes frame;  // the one read sent (empty: none)
  };
  const Bytes kWord0E = {0x04, 0xFB, 0x85, 0x0E, 0x00, 0x00, 0x00, 0x00};
  const Bytes kWord0F = {0x04, 0xFB, 0x85, 0x0F, 0x00, 0x00, 0x00, 0x00};
  const Bytes kWord00 = {0x04, 0xFB, 0x85, 0x00, 0x00, 0x00, 0x00, 0x00};
  const Bytes kWord20 = {0x04, 0xFB, 0x85, 0x20, 0x00, 0x00, 0x00, 0x00};
  auto finger = [](FakeChip &c) { c.finger = true; };
  auto none = [](FakeChip &) {};
  auto fail = [](FakeChip &c) { c.read_result = -1; };
  auto no_read = [](FakeChip &) { InitFuncSpiRead(nullptr); };
  auto status = [] { return quorv_fp_sensor_get_finger_status(); };
  auto check = [] { return int(quorv_fp_getMcuStateCheckMode()); };
  auto bit = [] { return quorv_getImageState(); };
  auto irq = [] { return int(quorv_fp_GetInterruptMode()); };
  const Case cases[] = {
      // Finger status: the raw register on the direct family, inverted on the mailbox one.
      {"finger raw on", 1, finger, status, 1, {0x10, 0xEF, 0x1D, 0x00, 0x00, 0x00}},
      {"finger raw off", 7, none, status, 0, {0x10, 0xEF, 0x1D, 0x00, 0x00, 0x00}},
      {"finger word on", 2, finger, status, 0, kWord0E},
      {"finger word off", 3, none, status, 1, kWord0E},
      {"finger word, no SpiRead", 2, [](FakeChip &c) { c.finger = true; InitFuncSpiRead(nullptr); },
       status, 1, {}},
      {"finger none", 8, finger, status, 0, {}},
      {"finger unsupported", 14, finger, status, -1, {}},
      // State-check mode.
      {"check direct", 1, [](FakeChip &c) { c.mcu_reg[0x1F] = 0x42; }, check, 0x42,
       {0x10, 0xEF, 0x1F, 0x00, 0x00}},
      {"check word low byte", 2, [](FakeChip &c) { c.status_word_override[0x0F] = 0x0107; },
       check, 0x07, kWord0F},
      {"check word failed", 2, fail, check, 0xFF, kWord0F},
      {"check word no SpiRead", 3, no_read, check, 0, {}},
      {"check none", 6, none, check, 0, {}},
      {"check unsupported", 13, none, check, 0xFF, {}},
      // Image bit state.
      {"bit direct", 7, [](FakeChip &c) { c.mcu_reg[0x01] = 2; }, bit, 2,
       {0x10, 0xEF, 0x01, 0x00, 0x00}},
      {"bit word", 3, [](FakeChip &c) { c.status_word_override[0x00] = 0x0201; }, bit, 1, kWord00},
      {"bit word failed", 3, fail, bit, 0xFF, kWord00},
      {"bit word no SpiRead", 2, no_read, bit, 0, {}},
      {"bit none", 4, none, bit, 0, {}},
      {"bit unsupported", 0, none, bit, -1, {}},
      // Interrupt mode: high byte of the word on the mailbox family.
      {"irq direct", 1, [](FakeChip &c) { c.mcu_reg[0x40] = 9; }, irq, 9,
       {0x10, 0xEF, 0x40, 0x00, 0x00}},
      {"irq word high byte", 2, [](FakeChip &c) { c.status_word_override[0x20] = 0x3412; }, irq,
       0x34, kWord20},
      {"irq word failed", 2, fail, irq, 0xFF, kWord20},
      {"irq word no SpiRead", 3, no_read, irq, 0, {}},
      {"irq none", 11, none, irq, 0, {}},
      {"irq unsupported", 15, none, irq, 0xFF, {}},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    c.setup(chip);
    EXPECT_EQ(c.call(), c.expected) << c.name;
    std::vector<Bytes> reads = chip.Reads();
    if (c.frame.empty()) {
      EXPECT_TRUE(reads.empty()) << c.name;
    } else {
      EXPECT_EQ(reads, std::vector<Bytes>{c.frame}) << c.name;
    }
    EXPECT_TRUE(chip.Writes().empty()) << c.name;
  }
}

TEST(McuReads, DirectReadIsByteFourWhateverTheTransferReturned) {
  FakeChip chip(SENSOR_ZQ4841);
  chip.mcu_reg[0x1F] = 0x33;
  chip.read_result = -9;
  EXPECT_EQ(quorv_fp_getMcuStateCheckMode(), 0x33);
  InitFuncSpiRead(nullptr);
  EXPECT_EQ(quorv_fp_getMcuStateCheckMode(), 0);  // zeroed frame
}

TEST(AutoSensorQuery, MailboxFamilyFramesAndAnswers) {
  struct Case {
    const char *name;
    std::function<void(FakeChip &)> setup;
    int expected;
    size_t writes;
  } cases[] = {
      {"finger", [](FakeChip &c) { c.finger = true; }, 1, 2},
      {"no finger", [](FakeChip &) {}, 0, 2},
      {"odd answer", [](FakeChip &c) { c.auto_sensor_answer = 7; }, 7, 2},
      {"read fails", [](FakeChip &c) { c.finger = true; c.read_result = -1; }, 0xFF, 2},
      {"no SpiRead", [](FakeChip &c) { c.finger = true; InitFuncSpiRead(nullptr); }, 0xFF, 2},
      // A failed mailbox write sends no doorbell, so the chip never runs the query.
      {"write fails", [](FakeChip &c) { c.finger = true; c.write_result = -2; }, 0, 1},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_ZQ4842);
    c.setup(chip);
    EXPECT_EQ(quorv_fp_sensor_enable_autosensormode(), c.expected) << c.name;
    std::vector<Bytes> writes = chip.Writes();
    ASSERT_EQ(writes.size(), c.writes) << c.name;
    EXPECT_EQ(writes[0], (Bytes{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x11, 0xEE, 0x1D, 0x01}));
    if (c.writes == 2) {
      EXPECT_EQ(writes[1], kDoorbell);
    }
    EXPECT_EQ(chip.sleeps_us, std::vector<uint32_t>{1000}) << c.name;
    if (g_quorvHostCallbacks.SpiRead != nullptr) {
      EXPECT_EQ(chip.Reads(),
                (std::vector<Bytes>{{0x04, 0xFB, 0x85, 0xC0, 0x00, 0x00, 0x11}}))
          << c.name;
      // The read comes after the pause.
      EXPECT_TRUE(chip.frames.back().is_read) << c.name;
    }
  }
}

TEST(AutoSensorQuery, DirectFamilyReadsRegisterWithArgumentOne) {
  FakeChip chip(SENSOR_ZQ4841);
  chip.finger = true;
  EXPECT_EQ(quorv_fp_sensor_enable_autosensormode(), 1);
  EXPECT_EQ(chip.Reads(), (std::vector<Bytes>{{0x10, 0xEF, 0x1D, 0x01, 0x00}}));
  EXPECT_TRUE(chip.sleeps_us.empty());
}

TEST(ChipOnlyCommands, Fw4856Frames) {
  struct Case {
    const char *name;
    std::function<int()> call;
    int expected;
    std::vector<Bytes> writes;
  } cases[] = {
      {"setImagefast", [] { return quorv_setImagefast(); }, 0, {{0x11, 0xEE, 0x01, 0x02, 0x00}}},
      {"fix_mode on", [] { return quorv_fp_sensor_image_scan_fix_mode(1); }, 0,
       {{0x11, 0xEE, 0x02, 0x01, 0x00}}},
      {"fix_mode_set_value", [] { return quorv_fix_mode_set_value(1, 2, 3, 4, 0x0123, 0x0456); },
       0,
       {{0x11, 0xEE, 0x03, 0x01, 0x00},
        {0x11, 0xEE, 0x04, 0x02, 0x00},
        {0x11, 0xEE, 0x05, 0x03, 0x00},
        {0x11, 0xEE, 0x06, 0x04, 0x00},
        {0x11, 0xEE, 0x07, 0x01, 0x00},
        {0x11, 0xEE, 0x08, 0x23, 0x00},
        {0x11, 0xEE, 0x09, 0x04, 0x00},
        {0x11, 0xEE, 0x0A, 0x56, 0x00}}},
      {"Auto_Power_Sleep", [] { return quorv_fp_sensor_Auto_Power_Sleep(); }, 0,
       {{0x11, 0xEE, 0x1E, 0x06, 0x00}}},
      {"Key_Mode_Switch 5", [] { return quorv_fp_sensor_Key_Mode_Switch(5); }, 0,
       {{0x11, 0xEE, 0x00, 0x90, 0x00}}},
      {"Key_Mode_Switch 0", [] { return quorv_fp_sensor_Key_Mode_Switch(0); }, 0,
       {{0x11, 0xEE, 0x00, 0x00, 0x00}}},
      {"Stop_Enable", [] { return Set_Mcu_Stop_Enable(); }, 0, {{0x11, 0xEE, 0x00, 0x73, 0x00}}},
      {"Stop_Disable", [] { return Set_Mcu_Stop_Disable(); }, 0, {{0x70, 0x00, 0x00, 0x00, 0x00}}},
      {"Force_Wake_EN", [] { return quorv_fp_sensor_Set_Force_Wake_EN(1); }, 1,
       {{0x11, 0xEE, 0x46, 0x01, 0x00}}},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_FW4856);
    EXPECT_EQ(c.call(), c.expected) << c.name;
    EXPECT_EQ(chip.Writes(), c.writes) << c.name;
  }
  for (const Case &c : cases) {
    for (uint8_t type : {1, 2, 4, 8, 13}) {
      FakeChip chip(type);
      EXPECT_EQ(c.call(), -1) << c.name << " type " << int(type);
      EXPECT_TRUE(chip.frames.empty()) << c.name << " type " << int(type);
    }
  }
}

TEST(ChipOnlyCommands, Fw4856SendsAllEightFixedValuesAfterAFailure) {
  FakeChip chip(SENSOR_FW4856);
  chip.write_result = -3;
  EXPECT_EQ(quorv_fix_mode_set_value(1, 2, 3, 4, 5, 6), -3);
  EXPECT_EQ(chip.Writes().size(), 8u);
}

TEST(ChipOnlyCommands, Fw4856Reads) {
  FakeChip chip(SENSOR_FW4856);
  chip.mcu_reg[0x3D] = 8;
  chip.mcu_reg[0x00] = 0x21;
  chip.mcu_reg[0x3F] = 0x05;
  EXPECT_EQ(quorv_fp_Read_Int_Flag(), 8);
  EXPECT_EQ(quorv_fp_sensor_get_FW_Workstate(), 0x21);
  EXPECT_EQ(quorv_fp_sensor_get_Block_Num(), 0x05);
  EXPECT_EQ(chip.Reads(), (std::vector<Bytes>{{0x10, 0xEF, 0x3D, 0x00, 0x00, 0x00},
                                              {0x10, 0xEF, 0x00, 0x00, 0x00},
                                              {0x10, 0xEF, 0x3F, 0x00, 0x00}}));
}

TEST(ChipOnlyCommands, TenBitModeIsForTheFw4847Only) {
  {
    FakeChip chip(SENSOR_FW4847);
    EXPECT_EQ(quorv_setImage10Bit(), 0);
    EXPECT_EQ(chip.Writes(), (std::vector<Bytes>{{0x11, 0xEE, 0x01, 0x00, 0x00}}));
  }
  for (uint8_t type : {1, 2, 7, 12}) {
    FakeChip chip(type);
    EXPECT_EQ(quorv_setImage10Bit(), -1) << int(type);
    EXPECT_TRUE(chip.frames.empty());
  }
}

TEST(BlockRead, Fw4856ReadsConsecutiveRegisters) {
  FakeChip chip(SENSOR_FW4856);
  for (int r = 0; r < 256; ++r) chip.mcu_reg[r] = static_cast<uint8_t>(0x80 + r);
  uint8_t out[255] = {};
  EXPECT_EQ(quorv_fp_sensor_read_info(0x03, out, 10), 10);
  ASSERT_EQ(chip.Reads().size(), 1u);
  Bytes frame = chip.Reads()[0];
  ASSERT_EQ(frame.size(), 14u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 4), (Bytes{0x10, 0xEF, 0x03, 0x00}));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], 0x83 + i) << i;
  EXPECT_EQ(out[10], 0);

  // The longest block read fits its frame.
  EXPECT_EQ(quorv_fp_sensor_read_info(0x00, out, 255), 255);
  EXPECT_EQ(chip.Reads().back().size(), 259u);
  EXPECT_EQ(out[254], static_cast<uint8_t>(0x80 + 254));
}

TEST(BlockRead, FailuresLeaveTheOutputAlone) {
  struct Case {
    const char *name;
    uint8_t type;
    std::function<void(FakeChip &)> setup;
    uint8_t *out;
    int expected;
  };
  uint8_t out[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  const Case cases[] = {
      {"transfer fails", 7, [](FakeChip &c) { c.read_result = 6; }, out, 6},
      {"no SpiRead", 7, [](FakeChip &) { InitFuncSpiRead(nullptr); }, out, 0},
      {"other chip", 1, [](FakeChip &) {}, out, -1},
      {"no output", 7, [](FakeChip &) {}, nullptr, -1},
  };
  for (const Case &c : cases) {
    FakeChip chip(c.type);
    c.setup(chip);
    EXPECT_EQ(quorv_fp_sensor_read_info(0x03, c.out, 4), c.expected) << c.name;
    EXPECT_EQ(Bytes(out, out + 4), (Bytes{0xAA, 0xAA, 0xAA, 0xAA})) << c.name;
  }
}

}  // namespace
