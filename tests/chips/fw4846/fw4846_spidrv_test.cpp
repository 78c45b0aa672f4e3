// SPI frames and AFE register operations of the fw4846 driver, checked byte
// by byte against what the fake chip received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"
#include "support/stderr_capture.h"

namespace {

using fw4846_fake::Chip;
using fw4846_fake::Samples;
using fw4846_fake::VirtualClock;
using testing::ElementsAre;
using testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

class SpiDrvTest : public testing::Test {
 protected:
  void SetUp() override {
    fw4846_fake::Reset();
    g_base_log_level = 6;
    g_chip_log_level = 6;
  }
  VirtualClock clock_;
};

TEST_F(SpiDrvTest, CommandRowsAndTheirPauses) {
  struct Case {
    int row;
    Bytes sent;
    uint64_t pause_us;
  };
  const Case cases[] = {
      {0, {0xC0, 0x3F, 0x00}, 1000},  {3, {0xC4, 0x3B, 0x00}, 1000},
      {5, {0xD8, 0x27, 0x00}, 1000},  {9, {0x5A, 0xA5, 0x00}, 1000},
      {10, {0xA5, 0x5A, 0x00}, 0},    {11, {0x70}, 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.row);
    Chip().ClearLog();
    uint64_t before = VirtualClock::SleptUs();
    EXPECT_EQ(fw4846_send_cmd(c.row), 0);
    ASSERT_EQ(Chip().log.size(), 1u);
    EXPECT_EQ(Chip().log[0].tx, c.sent);
    EXPECT_EQ(VirtualClock::SleptUs() - before, c.pause_us);
  }
}

TEST_F(SpiDrvTest, CommandRowsOutsideTheTableAreRefusedUnsent) {
  for (int row : {12, 200, -1}) {
    EXPECT_EQ(fw4846_send_cmd(row), -1) << row;
  }
  EXPECT_TRUE(Chip().log.empty());
  EXPECT_EQ(VirtualClock::SleptUs(), 0u);
}

TEST_F(SpiDrvTest, RegisterFramesOnTheWire) {
  Chip().sfr[0x33] = 0x5C;
  Chip().sram[0x1A8B] = 0;  // the id comes from chip_id
  Chip().sram[0x0123] = 0xBEEF;
  struct Case {
    const char *name;
    std::function<void()> call;
    Bytes tx;
    int rx_len;
  };
  uint8_t sfr_out = 0;
  const Case cases[] = {
      {"sfr write", [] { fw4846_sfr_write(0xC6, 1); }, {0x09, 0xF6, 0xC6, 0x01}, -1},
      {"sfr write app", [] { EXPECT_EQ(fw4846_sfr_write_app(0x9A, 0x5A), 0); },
       {0x09, 0xF6, 0x9A, 0x5A}, -1},
      {"sfr read", [] { EXPECT_EQ(fw4846_sfr_read(0x33), 0x5C); }, {0x08, 0xF7, 0x33, 0, 0}, 1},
      {"sfr read app",
       [&] {
         EXPECT_EQ(fw4846_sfr_read_app(0x33, &sfr_out), 0);
         EXPECT_EQ(sfr_out, 0x5C);
       },
       {0x08, 0xF7, 0x33, 0, 0}, 1},
      {"sram word write", [] { fw4846_sram_write(0x1881, 0x0F8E); },
       {0x05, 0xFA, 0x98, 0x81, 0x00, 0x01, 0x0F, 0x8E}, -1},
      {"sram word read of the chip id", [] { EXPECT_EQ(fw4846_read_chip_id(), 0x4845); },
       {0x04, 0xFB, 0x9A, 0x8B, 0x00, 0x01}, 6},
      {"sram word read, low address", [] { EXPECT_EQ(fw4846_sram_read(0x0123), 0xBEEF); },
       {0x04, 0xFB, 0x81, 0x23, 0x00, 0x01}, 6},
      {"interrupt clear all", [] { fw4846_clear_int(-1); },
       {0x05, 0xFA, 0x9A, 0x84, 0x00, 0x01, 0xFF, 0xFF}, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Chip().ClearLog();
    c.call();
    ASSERT_EQ(Chip().log.size(), 1u);
    EXPECT_EQ(Chip().log[0].tx, c.tx);
    EXPECT_EQ(Chip().log[0].rx_len, c.rx_len);
  }
}

TEST_F(SpiDrvTest, BulkFramesCarryWordCountsAndData) {
  const uint8_t data[6] = {0x01, 0xF4, 0x02, 0x00, 0x02, 0x0C};
  ASSERT_EQ(fw4846_sram_write_bulk(0x00B0, data, sizeof data), 0);
  EXPECT_THAT(Chip().log.back().tx,
              ElementsAre(0x05, 0xFA, 0x80, 0xB0, 0x00, 0x03, 0x01, 0xF4, 0x02, 0x00, 0x02, 0x0C));
  EXPECT_EQ(Chip().sram[0x00B0], 500);
  EXPECT_EQ(Chip().sram[0x00B2], 524);

  uint8_t back[6] = {};
  ASSERT_EQ(fw4846_sram_read_bulk(0x00B0, back, sizeof back), 0);
  EXPECT_THAT(Chip().log.back().tx, ElementsAre(0x04, 0xFB, 0x80, 0xB0, 0x00, 0x03));
  EXPECT_EQ(Chip().log.back().rx_len, 6);
  EXPECT_EQ(std::memcmp(back, data, sizeof data), 0);

  // The ECC form of a 10-byte read asks for 4 words and reads 8 bytes.
  uint8_t ecc[10];
  std::memset(ecc, 0xEE, sizeof ecc);
  ASSERT_EQ(fw4846_sram_read_bulk_withecc(0x00B0, ecc, sizeof ecc), 0);
  EXPECT_THAT(Chip().log.back().tx, ElementsAre(0x04, 0xFB, 0x80, 0xB0, 0x00, 0x04));
  EXPECT_EQ(Chip().log.back().rx_len, 8);
  EXPECT_EQ(ecc[8], 0xEE);  // nothing written past the answer
}

TEST_F(SpiDrvTest, BulkWriteOverTheFrameSizeIsRefused) {
  std::vector<uint8_t> data(1794, 0x11);
  EXPECT_EQ(fw4846_sram_write_bulk(0x0100, data.data(), 1794), -202);
  EXPECT_TRUE(Chip().log.empty());
  ASSERT_EQ(fw4846_sram_write_bulk(0x0100, data.data(), 1792), 0);
  ASSERT_EQ(Chip().log.size(), 1u);
  EXPECT_EQ(Chip().log[0].tx.size(), 6u + 1792u);
  EXPECT_EQ(Chip().log[0].tx[4] << 8 | Chip().log[0].tx[5], 896);
  EXPECT_EQ(Chip().sram[0x0100 + 895], 0x1111);
}

TEST_F(SpiDrvTest, BadArgumentsNeverReachTheWire) {
  uint8_t buf[4];
  EXPECT_EQ(fw4846_sram_write_bulk(0x0100, nullptr, 4), -201);
  EXPECT_EQ(fw4846_sram_read_bulk(0x0100, nullptr, 4), -201);
  EXPECT_EQ(fw4846_sram_read_bulk_withecc(0x0100, buf, 1), -200);
  EXPECT_EQ(fw4846_fifo_read(0x1A05, buf, -2), -200);
  EXPECT_EQ(fw4846_fifo_read_frames(nullptr, 1), -201);
  EXPECT_TRUE(Chip().log.empty());
}

TEST_F(SpiDrvTest, FailedTransfersAreReturnedAndLogged) {
  g_base_log_level = 5;
  Chip().fail_code = -5;
  Chip().sram[0x0200] = 0x1234;
  testing_support::StderrCapture capture;
  uint8_t out = 0x77;
  EXPECT_EQ(fw4846_sfr_read_app(0x80, &out), -5);
  EXPECT_EQ(fw4846_sfr_write_app(0x80, 1), -5);
  uint8_t buf[8];
  EXPECT_EQ(fw4846_sram_read_bulk(0x0200, buf, 8), -5);
  EXPECT_EQ(fw4846_sram_read(0x0200), 0);  // zero-filled answer
  std::string text = capture.Text();
  EXPECT_THAT(text, testing::HasSubstr("quorvanta:fw4846: error at fw4846_sfr_read_app["));
  EXPECT_THAT(text, testing::HasSubstr("]: 'I/O error'."));
  EXPECT_THAT(text, testing::HasSubstr("error at fw4846_sram_read_bulk["));
}

TEST_F(SpiDrvTest, FifoFramesAreReadOneFrameAtATime) {
  struct Case {
    int asked;
    int transfers;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{3, 3}, Case{9, 5}}) {
    SCOPED_TRACE(c.asked);
    fw4846_fake::Reset();
    for (int f = 0; f < 6; ++f) Chip().image_script.push_back(fw4846_fake::Flat(100 + f));
    fw4846_send_cmd(FW4846_CMD_IMAGE);
    Chip().ClearLog();
    std::vector<uint8_t> buf(6 * FW4846_FRAME_BYTES, 0xCD);
    EXPECT_EQ(fw4846_fifo_read_frames(buf.data(), c.asked), 0);
    ASSERT_EQ(static_cast<int>(Chip().log.size()), c.transfers);
    for (const auto &t : Chip().log) {
      EXPECT_THAT(t.tx, ElementsAre(0x06, 0xF9, 0x9A, 0x05, 0x14, 0x00));
      EXPECT_EQ(t.rx_len, FW4846_FRAME_BYTES);
    }
    for (int f = 0; f < c.transfers; ++f) {
      EXPECT_EQ(buf[f * FW4846_FRAME_BYTES + 1], 100 + f);
      EXPECT_EQ(buf[(f + 1) * FW4846_FRAME_BYTES - 1], 100 + f);
    }
    EXPECT_EQ(buf[c.transfers * FW4846_FRAME_BYTES], 0xCD);  // nothing beyond
  }
}

TEST_F(SpiDrvTest, OtpByteIsSelectedClockedAndRead) {
  Chip().otp[19] = 0x3C;
  EXPECT_EQ(fw4846_otp_read(19), 0x3C);
  EXPECT_THAT(Chip().sfr_writes,
              ElementsAre(std::pair<uint8_t, uint8_t>{0xF1, 19}, std::pair<uint8_t, uint8_t>{0xF4, 0xC0},
                          std::pair<uint8_t, uint8_t>{0xF4, 0xC1}, std::pair<uint8_t, uint8_t>{0xF4, 0xC0},
                          std::pair<uint8_t, uint8_t>{0xF4, 0xC0}));
}

TEST_F(SpiDrvTest, CrcIsCcittFalse) {
  EXPECT_EQ(fw4846_crc16("123456789", 9), 0x29B1);
  EXPECT_EQ(fw4846_crc16("", 0), 0xFFFF);
  const uint8_t zero[2] = {0, 0};
  EXPECT_EQ(fw4846_crc16(zero, 2), 0x1D0F);
  // Memory order: the words' bytes as they lie.
  const uint16_t words[2] = {0x3231, 0x3433};  // "1234" on a little-endian host
  EXPECT_EQ(fw4846_crc16(words, 4), fw4846_crc16("1234", 4));
}

TEST_F(SpiDrvTest, SetBitsReplacesTheRange) {
  struct Case {
    uint16_t word;
    int high, low;
    uint16_t field;
    uint16_t want;
  };
  const Case cases[] = {
      {0xFC80, 6, 0, 27, 0xFC9B},   {0xFFFF, 7, 4, 0, 0xFF0F},  {0x0000, 15, 8, 15, 0x0F00},
      {0x1234, 15, 0, 0xABCD, 0xABCD},
      {0x0000, 2, 0, 0x000F, 0x000F},  // a field wider than its range is not masked
  };
  for (const Case &c : cases) {
    EXPECT_EQ(fw4846_set_bits(c.word, c.high, c.low, c.field), c.want)
        << std::hex << c.word << " " << c.high << ".." << c.low;
    EXPECT_EQ(fw4846_set_bits_alt(c.field, c.high, c.low, c.word), c.want);
  }
}

TEST_F(SpiDrvTest, IdleSkipsTheIdleCommandOnAnIdleChip) {
  Chip().sfr[0x80] = 0x50;
  fw4846_idle();
  EXPECT_THAT(Chip().commands, ElementsAre(FW4846_CMD_OPEN, FW4846_CMD_CLOSE));
  Chip().ClearLog();
  Chip().sfr[0x80] = 0x54;
  fw4846_idle();
  EXPECT_THAT(Chip().commands, ElementsAre(FW4846_CMD_OPEN, FW4846_CMD_IDLE, FW4846_CMD_CLOSE));
}

TEST_F(SpiDrvTest, LevelsAndInterruptMaskBits) {
  fw4846_set_scaled_level(100);
  fw4846_set_scaled_level(500);
  fw4846_set_level_word(2000);
  fw4846_set_level_word(-3);
  using P = std::pair<uint8_t, uint8_t>;
  EXPECT_THAT(Chip().sfr_writes,
              ElementsAre(P{0x8E, 244}, P{0x8E, 253}, P{0x90, 0}, P{0x91, 0x07}, P{0x92, 0xD0},
                          P{0x90, 1}, P{0x90, 0}, P{0x91, 0x7F}, P{0x92, 0xFF}, P{0x90, 1}));

  Chip().sram[0x1A83] = 0x0001;
  fw4846_int_enable(5);
  fw4846_int_enable(3);
  fw4846_int_disable(0);
  EXPECT_EQ(fw4846_read_int_mask(), 0x0028);
  Chip().Raise(0x0222);
  fw4846_clear_int(0x0202);
  EXPECT_EQ(fw4846_read_int_status(), 0x0020);
}

TEST_F(SpiDrvTest, StateResetDefaultsFollowTheSmallAreaSwitch) {
  g_fw4846_cfg.small_area = 1;
  fw4846_state_reset();
  EXPECT_EQ(g_fw4846.fdt_dac, 27);
  EXPECT_EQ(g_fw4846.image_dac, 54);
  EXPECT_EQ(g_fw4846.image_middle, 512);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_NONE);
  EXPECT_EQ(g_fw4846.debug_param0, 19);
  EXPECT_THAT(g_fw4846.debug_params, ElementsAre(19, 7, 9, 17));
  g_fw4846_cfg.small_area = 0;
  fw4846_state_reset();
  EXPECT_EQ(g_fw4846.fdt_dac, 56);
}

}  // namespace
