// The 4847's SPI0 and IIC frames as the chip receives them, the same on the
// bridge (bus type 1) and on a direct full-duplex bus (bus type 2), the
// bridge's wire sequence of one read, and the bus-type dispatch.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bridge_emul/wire.h"
#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Frames = std::vector<Bytes>;
using bridge_emul::BulkIn;
using bridge_emul::BulkOut;
using bridge_emul::VendorIn;
using bridge_emul::VendorOut;

const Bytes kWake = {0xFF, 0x00, 0x00, 0x00};

struct FrameCase {
  std::string name;
  std::function<int()> op;
  Frames frames;  // as clocked into the chip, read fillers (0) included
};

std::vector<FrameCase> FrameCases() {
  static uint8_t sink[8];
  static const uint8_t kWord[4] = {0x01, 0x02, 0x03, 0x04};
  static const uint8_t kByte = 0x0A;
  return {
      {"command 0x55", [] { return SPI0_CMD_Set(0x55); }, {kWake, {0x55, 0, 0, 0}}},
      {"one-byte write", [] { return SPI0_Write(0x09, &kByte, 1); },
       {kWake, {0x09, 0x00, 0x00, 0x01, 0, 0, 0, 0x0A}}},
      {"two-byte read", [] { return SPI0_Read(0x6A, sink, 2); },
       {kWake, {0x6A, 0x80, 0x00, 0x02, 0, 0, 0, 0, 0}}},
      {"work mode 3", [] { return Factory_Workmdoe_Set(3); },
       {kWake, {0x94, 0x00, 0x00, 0x04, 0, 0, 0, 0x03, 0x00, 0x00, 0x03}}},
      {"DAC 0x7F", [] { return Factory_DAC_Set(0x7F); },
       {kWake, {0x94, 0x00, 0x00, 0x04, 0, 0, 0, 0x7F, 0x00, 0x00, 0x05}}},
      {"factory exit", [] { return Factory_Exit(); },
       {kWake, {0x94, 0x80, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}}},
      {"IIC mode", [] { return IIC_Mode_Set(0x55); }, {{0x70, 0x55, 0xAA}}},
      {"IIC SFR write", [] { return IIC_SFR_Write(0x0048, 0x0110); },
       {{0x70, 0x07, 0xF8, 0x00, 0x48, 0x00, 0x00, 0x01, 0x10, 0x00, 0x00}}},
      {"IIC SFR read", [] {
         uint16_t v = 0;
         return IIC_SFR_Read(0x1234, &v);
       },
       {{0x70, 0x06, 0xF9, 0x12, 0x34, 0x00, 0x00, 0x00, 0x00}}},
      {"IIC flash write, one word", [] { return IIC_FLASH_Write(0x2001, 0, kWord); },
       {{0x70, 0x05, 0xFA, 0x20, 0x01, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04}}},
      {"IIC flash read, two words", [] { return IIC_FLASH_Read(0x2040, 1, sink); },
       {{0x70, 0x04, 0xFB, 0x20, 0x40, 0x00, 0x01}, {0x71, 0, 0, 0, 0, 0, 0, 0, 0}}},
  };
}

TEST(Zq4847Frames, EachOperationSendsItsFramesOnEitherBus) {
  for (const FrameCase &c : FrameCases()) {
    {
      zq4847_test::DirectBus bus;
      EXPECT_EQ(c.op(), 0) << c.name << " (direct)";
      EXPECT_EQ(bus.chip().Frames(), c.frames) << c.name << " (direct)";
    }
  }
  zq4847_test::BridgeBus bus;
  for (const FrameCase &c : FrameCases()) {
    bus.chip().ClearFrames();
    EXPECT_EQ(c.op(), 0) << c.name << " (bridge)";
    EXPECT_EQ(bus.chip().Frames(), c.frames) << c.name << " (bridge)";
  }
}

TEST(Zq4847Frames, ReadsReturnTheChipsAnswerOnEitherBus) {
  auto check = [](const char *bus_name) {
    uint8_t status[ZQ4847_STATUS_SIZE] = {};
    ASSERT_EQ(SPI0_Read(ZQ4847_REG_STATUS, status, sizeof status), 0) << bus_name;
    EXPECT_EQ(status[19], 0x48) << bus_name;
    EXPECT_EQ(status[20], 0x47) << bus_name;
    EXPECT_EQ(status[4], 0x80) << bus_name << ": the DAC";
    EXPECT_EQ(Check_Chip_ID(), 0) << bus_name;

    const uint8_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(IIC_FLASH_Write(0x2000, 1, words), 0) << bus_name;
    uint8_t back[8] = {};
    ASSERT_EQ(IIC_FLASH_Read(0x2000, 1, back), 0) << bus_name;
    EXPECT_EQ(Bytes(back, back + 8), Bytes(words, words + 8)) << bus_name;

    ASSERT_EQ(IIC_SFR_Write(0x0007, 0x5A5A), 0) << bus_name;
    uint16_t value = 0;
    ASSERT_EQ(IIC_SFR_Read(0x0007, &value), 0) << bus_name;
    EXPECT_EQ(value, 0x5A5A) << bus_name;
  };
  {
    zq4847_test::DirectBus bus;
    check("direct");
  }
  zq4847_test::BridgeBus bus;
  check("bridge");
}

TEST(Zq4847Frames, ABridgeReadIsOneChipSelectWithAPauseBeforeTheReadTransfer) {
  zq4847_test::BridgeBus bus;
  bus.bench().clock().ClearSleeps();
  uint8_t word[2] = {};
  ASSERT_EQ(SPI0_Read(ZQ4847_REG_BOOT, word, 2), 0);
  using E = std::vector<usb_emul::LogEntry>;
  EXPECT_EQ(bridge_emul::Transfers(bus.bench().device().Log()),
            (E{VendorOut(0x79, 1, 1), VendorOut(0x79, 4, 3), BulkOut(kWake),
               VendorIn(0x3C, 0, 1, {0}), VendorOut(0x79, 1, 2),
               VendorOut(0x79, 1, 1), VendorOut(0x79, 7, 3),
               BulkOut({0x6A, 0x80, 0x00, 0x02, 0, 0, 0}), VendorIn(0x3C, 0, 1, {0}),
               VendorOut(0x79, 2, 4), BulkIn({0, 0}), VendorOut(0x79, 1, 2)}));
  EXPECT_EQ(bus.bench().clock().Sleeps(), (std::vector<unsigned>{1, 1000}))
      << "1 us after the wake-up, 1 ms between header and read";
}

TEST(Zq4847Frames, AnUnknownBusTypeFailsReadsWithoutATransfer) {
  for (int type : {0, 3, -1}) {
    zq4847_test::DirectBus bus({}, type);
    uint8_t buf[8] = {};
    uint16_t value = 0;
    EXPECT_EQ(SPI0_Read(ZQ4847_REG_STATUS, buf, 4), 1) << type;
    EXPECT_EQ(IIC_FLASH_Read(0x2000, 1, buf), 1) << type;
    EXPECT_EQ(IIC_SFR_Read(0x0004, &value), 1) << type;
    EXPECT_EQ(bus.Writes(), 0) << type;
    EXPECT_TRUE(bus.chip().Frames().empty()) << type;
  }
}

TEST(Zq4847Frames, AFailedTransferReleasesChipSelectAndReportsANonZeroStatus) {
  zq4847_test::DirectBus bus;
  bus.FailWrite(2);  // the wake-up passes, the command frame fails
  int r = SPI0_CMD_Set(0x55);
  EXPECT_NE(r, 0);
  EXPECT_EQ(r, -7 & 0xFF);
  EXPECT_EQ(bus.chip().Frames(), (Frames{kWake}))
      << "the failed frame never reached the chip, and the select was released";
  bus.FailWrite(0);
  EXPECT_EQ(IIC_Mode_Set(0x0A), 0);
  EXPECT_EQ(bus.chip().Frames().back(), (Bytes{0x70, 0x0A, 0xF5}));
}

TEST(Zq4847Frames, MissingSlotsAreReportedNotCalled) {
  zq4847_test::DirectBus bus;
  zq4847_factory_callbacks.spi_write = nullptr;
  EXPECT_EQ(IIC_Mode_Set(0x55), ZQ4847_MISSING_SPI_WRITE);
  zq4847_factory_callbacks.chip_select = nullptr;
  EXPECT_EQ(IIC_Mode_Set(0x55), ZQ4847_MISSING_CHIP_SELECT);
  EXPECT_TRUE(bus.chip().Frames().empty());
}

}  // namespace
