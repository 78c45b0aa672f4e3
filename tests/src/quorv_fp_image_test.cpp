// Single-image capture: the MCU wait of GetFpImage, the FW4856 packed
// 12-bit path of GetFpImageSimple and the unpacking of packed samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fake_image_chip.h"
#include "src/Quorv_sensor/quorv_fp_image.h"
#include "src/Quorv_sensor/quorv_fw4856_base.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"

namespace {

using testing_support::FakeImageChip;
using testing_support::HexBytes;
using Bytes = std::vector<uint8_t>;

TEST(FastModeConvert, UnpacksGroupsOfSixBytes) {
  struct Case {
    uint32_t imagebit;
    Bytes in, want;
  } cases[] = {
      {2,
       {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0, 0, 0, 0},
       {0x0B, 0xCD, 0x0F, 0x12, 0x04, 0x56, 0x0A, 0xE3, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00,
        0x00}},
      {1, {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0, 0}, {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0, 0}},
      {0, {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0, 0}, {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0, 0}},
  };
  for (const Case &c : cases) {
    FakeImageChip chip(7);
    quorv_SetimageColsRows(static_cast<uint8_t>(c.in.size() / 4), 2);
    quorv_set_imagebit(c.imagebit);
    Bytes buf = c.in;
    AppFastModeDataConvent(buf.data());
    EXPECT_EQ(HexBytes(buf), HexBytes(c.want)) << c.imagebit;
  }
}

TEST(FastModeConvert, GeometryBeyondTheScratchBlockIsLeftAlone) {
  FakeImageChip chip(7);
  quorv_SetimageColsRows(160, 121);  // 19,360 pixels
  quorv_set_imagebit(2);
  Bytes buf(2 * 160 * 121, 0xA5);
  AppFastModeDataConvent(buf.data());
  EXPECT_EQ(buf, Bytes(2 * 160 * 121, 0xA5));
}

class SimpleRead : public ::testing::Test {
 protected:
  SimpleRead() : chip_(7) {
    quorv_SetimageColsRows(2, 2);
    quorv_set_imagebit(2);
  }
  ~SimpleRead() override {
    SetFW4856BaseEnable(0);
    SetFactordValue({0, 0, 0, 0, 0, 0, 0});
  }
  FakeImageChip chip_;
};

TEST_F(SimpleRead, SwitchOffConvertsTheBytesAsRead) {
  // Pairs 0x0000, 0x0FFC (4092), 0x0FFF and the cleared tail of the work
  // buffer: (4092 - v) >> 4 as a signed value.
  chip_.sram_image = {0x00, 0x00, 0x0F, 0xFC, 0x0F, 0xFF};
  Bytes img(4, 0x11);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), 0);
  EXPECT_EQ(img, (Bytes{255, 0, 255, 255}));
  ASSERT_EQ(chip_.Reads().size(), 1u);
  EXPECT_EQ(chip_.Reads()[0].size(), 6u + 8u);  // 3 bytes per 2 pixels
}

TEST_F(SimpleRead, SwitchOnUnpacksBeforeConverting) {
  // A base whose first response is 0 makes the correction return the
  // unpacked samples 0xBCD, 0xF12, 0x456, 0xAE3 unchanged.
  SetFW4856BaseEnable(1);
  SetFactordValue({0, 0, 0, 0, 512, 512, 0});
  Bytes base(8, 0);
  Set_base_value(base.data());
  chip_.sram_image = {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56};
  Bytes img(4);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), 0);
  EXPECT_EQ(img, (Bytes{(4092 - 0xBCD) >> 4, (4092 - 0xF12) >> 4, (4092 - 0x456) >> 4,
                        (4092 - 0xAE3) >> 4}));
}

TEST_F(SimpleRead, SwitchOnCorrectsAgainstTheBase) {
  // Samples 100, 1124, 601, 0 on a flat base stretch to 0, 3891, 1903, 0.
  SetFW4856BaseEnable(1);
  SetFactordValue({0, 0, 0, 0, 512, 512, 0});
  chip_.mcu_reg[0x07] = 0x02;
  chip_.mcu_reg[0x09] = 0x02;
  std::vector<int16_t> flat(4, 100);
  Set_base_value(reinterpret_cast<const uint8_t *>(flat.data()));
  chip_.sram_image = {0x00, 0x64, 0x04, 0x64, 0x02, 0x59};
  Bytes img(4);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), 0);
  EXPECT_EQ(img, (Bytes{255, (4092 - 3891) >> 4, (4092 - 1903) >> 4, 255}));
}

TEST_F(SimpleRead, ReadFailureStillConverts) {
  chip_.esd = {0, 0};
  quorv_SetimageColsRows(40, 40);  // 2,400 packed bytes: more than one chunk
  chip_.sram_image.assign(2400, 0);
  Bytes img(1600, 0x11);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), -3);
  EXPECT_EQ(img, Bytes(1600, 255));
}

TEST_F(SimpleRead, GeometryBeyondTheWorkBufferIsRefused) {
  quorv_SetimageColsRows(160, 121);
  Bytes img(160 * 121, 0x11);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), -1);
  EXPECT_TRUE(chip_.frames.empty());
  EXPECT_EQ(img, Bytes(160 * 121, 0x11));
}

TEST(SimpleReadOtherChips, ReadStraightIntoTheImage) {
  FakeImageChip chip(7);
  quorv_SetimageColsRows(2, 2);
  quorv_set_imagebit(1);
  chip.sram_image = {1, 2, 3, 4};
  Bytes img(4);
  EXPECT_EQ(GetFpImageSimple(img.data(), 0), 0);
  EXPECT_EQ(img, (Bytes{254, 253, 252, 251}));
}

TEST(GetFpImage, ScansWaitsAndReads) {
  struct Case {
    int busy_polls;  // status queries answered busy after the first
    int want;
    size_t sleeps;
    bool read;
  } cases[] = {
      {0, 0, 0, true},
      {3, 0, 3, true},
      {QUORV_SCAN_WAIT_POLLS, 0, QUORV_SCAN_WAIT_POLLS, true},
      {QUORV_SCAN_WAIT_POLLS + 1, -1, QUORV_SCAN_WAIT_POLLS, false},
  };
  for (const Case &c : cases) {
    FakeImageChip chip(1);
    quorv_SetimageColsRows(4, 4);
    chip.sram_image.assign(16, 0x0F);
    chip.mcu_ready = [&](int n) { return n == 1 || n > 1 + c.busy_polls; };
    Bytes img(16, 0);
    EXPECT_EQ(GetFpImage(img.data(), 0), c.want) << c.busy_polls;
    ASSERT_FALSE(chip.Writes().empty());
    EXPECT_EQ(HexBytes(chip.Writes()[0]), "11 EE 00 6C 00");
    EXPECT_EQ(chip.sleeps_us.size(), c.sleeps);
    EXPECT_EQ(chip.SleptUs(), 6u * c.sleeps);
    EXPECT_EQ(chip.Reads().size(), c.read ? 1u : 0u);
    EXPECT_EQ(img, Bytes(16, c.read ? 0xF0 : 0));
  }
}

TEST(GetFpImage, BusyMcuIsNotScanned) {
  FakeImageChip chip(1);
  chip.mcu_ready = [](int) { return false; };
  Bytes img(96 * 96, 0);
  EXPECT_EQ(GetFpImage(img.data(), 0), -1);
  EXPECT_TRUE(chip.frames.empty());
}

}  // namespace
