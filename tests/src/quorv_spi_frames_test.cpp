// Raw SPI accessors: byte-exact frames, answer positions, results, and the
// behaviour with the host callbacks missing or failing.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fake_chip.h"
#include "src/Quorv_sensor/quorv_mcu_services.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_spi_frames.h"

namespace {

using testing_support::FakeChip;
using Bytes = std::vector<uint8_t>;

TEST(SpiFrames, WritesAreByteExact) {
  struct Case {
    const char *name;
    std::function<int()> call;
    std::vector<Bytes> writes;
  } cases[] = {
      {"sfr write", [] { return quorv_fp_sensor_write_sfr_register(0x12, 0x34); },
       {{0x09, 0xF6, 0x12, 0x34}}},
      {"sram write", [] { return quorv_fp_sensor_write_sram_register(0x1234, 0xABCD); },
       {{0x05, 0xFA, 0x12, 0x34, 0x00, 0x02, 0xAB, 0xCD}}},
      {"mailbox", [] { return quorv_fp_sensor_write_sram_infor(0x1F, 0x01); },
       {{0x05, 0xFA, 0x85, 0xC0, 0x00, 0x04, 0x10, 0xEF, 0x1F, 0x01}, {0x09, 0xF6, 0xA4, 0x01}}},
      {"spi reset", [] { return quorv_fp_spi_reset(); }, {{0x70}}},
      {"bulk", [] {
         const uint8_t raw[3] = {0xDE, 0xAD, 0x00};
         return quorv_fp_sensor_bulk_write(raw, 3);
       },
       {{0xDE, 0xAD, 0x00}}},
  };
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_ZQ4842);
    EXPECT_EQ(c.call(), 0) << c.name;
    EXPECT_EQ(chip.Writes(), c.writes) << c.name;
    EXPECT_TRUE(chip.Reads().empty()) << c.name;
  }
}

TEST(SpiFrames, MailboxRunsOnDoorbellAndStopsOnFailedWrite) {
  FakeChip chip(SENSOR_ZQ4842);
  EXPECT_EQ(quorv_fp_sensor_write_sram_infor(0x40, 0x07), 0);
  EXPECT_EQ(chip.mcu_reg[0x40], 0x07);
  EXPECT_EQ(chip.doorbells, 1);

  chip.ClearLog();
  chip.write_result = -7;
  EXPECT_EQ(quorv_fp_sensor_write_sram_infor(0x40, 0x09), -7);
  ASSERT_EQ(chip.Writes().size(), 1u);  // no doorbell after a failed mailbox write
  EXPECT_EQ(chip.doorbells, 1);

  chip.ClearLog();
  chip.write_result = 5;  // a positive failure is passed on as well
  EXPECT_EQ(quorv_fp_sensor_write_sram_infor(0x40, 0x09), 5);
  EXPECT_EQ(chip.Writes().size(), 1u);
}

TEST(SpiFrames, ReadsTakeTheirAnswerBytes) {
  FakeChip chip(SENSOR_ZQ4842);
  chip.sfr[0x5C] = 0x77;
  chip.sram[0x1234] = 0xBEEF;

  uint8_t sfr = 0;
  EXPECT_EQ(quorv_fp_sensor_read_sfr_register(0x5C, &sfr), 0);
  EXPECT_EQ(sfr, 0x77);
  uint8_t sfr5 = 0;
  EXPECT_EQ(quorv_fp_sensor_fw4848_sfr_read(0x5C, &sfr5), 0);
  EXPECT_EQ(sfr5, 0x77);
  uint16_t word = 0;
  EXPECT_EQ(quorv_fp_sensor_read_sram_register(0x1234, &word), 0);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(chip.Reads(), (std::vector<Bytes>{{0x08, 0xF7, 0x5C, 0x00},
                                              {0x08, 0xF7, 0x5C, 0x00, 0x00},
                                              {0x04, 0xFB, 0x12, 0x34, 0x00, 0x02, 0x00, 0x00}}));

  // A failed transfer passes its result on and leaves the output alone.
  chip.read_result = -5;
  sfr = sfr5 = 0xAA;
  word = 0xAAAA;
  EXPECT_EQ(quorv_fp_sensor_read_sfr_register(0x5C, &sfr), -5);
  EXPECT_EQ(quorv_fp_sensor_fw4848_sfr_read(0x5C, &sfr5), -5);
  EXPECT_EQ(quorv_fp_sensor_read_sram_register(0x1234, &word), -5);
  EXPECT_EQ(sfr, 0xAA);
  EXPECT_EQ(sfr5, 0xAA);
  EXPECT_EQ(word, 0xAAAA);
}

TEST(SpiFrames, MissingCallbacksSendNothing) {
  FakeChip chip(SENSOR_ZQ4842);
  InitFuncSpiWrite(nullptr);
  InitFuncSpiRead(nullptr);
  uint8_t b = 0xAA, b5 = 0xAA;
  uint16_t w = 0xAAAA;
  const uint8_t raw[1] = {1};
  EXPECT_EQ(quorv_fp_sensor_bulk_write(raw, 1), 0);
  EXPECT_EQ(quorv_fp_sensor_write_sfr_register(1, 2), 0);
  EXPECT_EQ(quorv_fp_sensor_write_sram_register(1, 2), 0);
  EXPECT_EQ(quorv_fp_sensor_write_sram_infor(1, 2), 0);
  EXPECT_EQ(quorv_fp_spi_reset(), 0);
  EXPECT_EQ(quorv_fp_sensor_read_sfr_register(1, &b), 0);
  EXPECT_EQ(quorv_fp_sensor_fw4848_sfr_read(1, &b5), -1);  // the five-byte form reports it
  EXPECT_EQ(quorv_fp_sensor_read_sram_register(1, &w), 0);
  EXPECT_EQ(b, 0xAA);
  EXPECT_EQ(b5, 0xAA);
  EXPECT_EQ(w, 0xAAAA);
  EXPECT_TRUE(chip.frames.empty());
}

TEST(RegisterWrappers, FoldNegativeResultsToMinusFour) {
  struct Case {
    int transfer_result;
    int expected;
  } cases[] = {{0, 0}, {3, 0}, {-1, -4}, {-203, -4}};
  for (const Case &c : cases) {
    FakeChip chip(SENSOR_ZQ4842);
    chip.write_result = c.transfer_result;
    chip.read_result = c.transfer_result;
    uint8_t b = 0;
    uint16_t w = 0;
    EXPECT_EQ(WriteSfrRegister(0xA4, 1), c.expected) << c.transfer_result;
    EXPECT_EQ(ReadSfrRegister(0xA4, &b), c.expected) << c.transfer_result;
    EXPECT_EQ(WriteSRamRegister(0x8000, 1), c.expected) << c.transfer_result;
    EXPECT_EQ(ReadSRamRegister(0x8000, &w), c.expected) << c.transfer_result;
    EXPECT_EQ(WriteInforRegiser(0x1F, 1), c.expected) << c.transfer_result;
  }
}

}  // namespace
