// Factory operations of the 4847 against the emulated chip: the slot check,
// the work-mode wait, raw frames, the DAC and the chip-reset check.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zq4847_test::DirectBus;

TEST(Zq4847Factory, CheckCallBackFunNamesTheFirstMissingSlot) {
  DirectBus bus;
  const zq4847_callbacks_t all = zq4847_factory_callbacks;
  struct Case {
    std::string name;
    void (*clear)(zq4847_callbacks_t &);
    int expected;
  } cases[] = {
      {"all set", [](zq4847_callbacks_t &) {}, 0},
      {"bus type and spare are not examined",
       [](zq4847_callbacks_t &c) { c.bus_type = nullptr; c.spare = nullptr; }, 0},
      {"reset only", [](zq4847_callbacks_t &c) { c.sensor_reset = nullptr; }, 2},
      {"all empty", [](zq4847_callbacks_t &c) { c = {}; }, 2},
      {"chip select", [](zq4847_callbacks_t &c) { c.chip_select = nullptr; }, 4},
      {"SPI write before SPI read",
       [](zq4847_callbacks_t &c) { c.spi_write = nullptr; c.spi_read = nullptr; }, 5},
      {"SPI read", [](zq4847_callbacks_t &c) { c.spi_read = nullptr; }, 6},
      {"us sleep", [](zq4847_callbacks_t &c) { c.usleep = nullptr; }, 7},
      {"ms sleep", [](zq4847_callbacks_t &c) { c.msleep = nullptr; }, 8},
  };
  for (const Case &c : cases) {
    zq4847_factory_callbacks = all;
    c.clear(zq4847_factory_callbacks);
    EXPECT_EQ(Check_CallBack_Fun(), c.expected) << c.name;
  }
  zq4847_factory_callbacks = all;
}

TEST(Zq4847Factory, WorkmodeWaitRepeatsUntilTheStatusShowsModePlusTwo) {
  struct Case {
    unsigned ignored;  // mode writes the chip drops first
    int result;
    unsigned status_reads;
  } cases[] = {
      {0, 0, 1},
      {5, 0, 6},
      {202, 0, 203},
      {UINT_MAX, 1, 203},  // gives up after 202 repetitions, and says so
  };
  for (const Case &c : cases) {
    bridge_emul::Chip4847Config config;
    config.mode_writes_ignored = c.ignored;
    DirectBus bus(config);
    EXPECT_EQ(Factory_Workmode_Wait(1), c.result) << c.ignored;
    EXPECT_EQ(bus.chip().StatusReads(), c.status_reads) << c.ignored;
    // 1 ms inside each mode write and 1 ms before each repetition.
    EXPECT_EQ(bus.SleepsMs(), std::vector<int>(2 * c.status_reads - 1, 1)) << c.ignored;
    if (c.result == 0) {
      EXPECT_EQ(bus.chip().WorkMode(), 3) << c.ignored;
    }
  }
}

TEST(Zq4847Factory, EnterReadsTheStatusThenSetsModeZeroAndExitLeaves) {
  DirectBus bus;
  ASSERT_EQ(Factory_Workmdoe_Set(17), 0);
  EXPECT_EQ(Factory_Status_Check(), 1);
  ASSERT_EQ(Factory_Enter(), 0);
  EXPECT_EQ(bus.chip().StatusReads(), 2u);
  EXPECT_EQ(bus.chip().WorkMode(), 0);
  EXPECT_EQ(Factory_Status_Check(), 0);
  ASSERT_EQ(Factory_Exit(), 0);
  EXPECT_EQ(bus.chip().FactoryExits(), 1u);
}

TEST(Zq4847Factory, DacSetAndGet) {
  DirectBus bus;
  EXPECT_EQ(Factory_DAC_Get(), 0x80);
  ASSERT_EQ(Factory_DAC_Set(0x7F), 0);
  EXPECT_EQ(Factory_DAC_Get(), 0x7F);
  EXPECT_EQ(bus.chip().WorkMode(), 0) << "a DAC write is not a work mode";
  bus.FailWrite(2);  // the read frame after the wake-up
  EXPECT_EQ(Factory_DAC_Get(), 0) << "a failed read";
}

TEST(Zq4847Factory, RawDataReadTakesTheHalvesInModesOneAndSeventeen) {
  DirectBus bus;
  // 8 samples: the first 8 bytes come in mode 1, the next 8 in mode 17.
  bus.chip().SetRawFrames([](unsigned frame, uint8_t dac) {
    std::vector<uint16_t> s;
    for (uint16_t i = 0; i < 16; ++i) s.push_back(static_cast<uint16_t>(frame << 12 | dac << 4 | i));
    return s;
  });
  Bytes buf(32, 0xEE);
  ASSERT_EQ(Factory_RawData_Read(buf.data(), 32), 0);
  Bytes expected;
  for (uint16_t i = 0; i < 16; ++i) {
    uint16_t s = static_cast<uint16_t>(0x80 << 4 | i);
    expected.push_back(static_cast<uint8_t>(s >> 8));
    expected.push_back(static_cast<uint8_t>(s));
  }
  EXPECT_EQ(buf, expected);
  EXPECT_EQ(bus.chip().WorkMode(), 17);
  EXPECT_EQ(bus.chip().RawFramesTaken(), 1u);
  EXPECT_EQ(bus.SleepsMs(), (std::vector<int>{1, 10, 100, 10, 1, 10}))
      << "1 ms inside each factory write";

  ASSERT_EQ(Factory_RawData_Read(buf.data(), 32), 0);
  EXPECT_EQ(buf[0] >> 4, 1) << "the next frame";
}

TEST(Zq4847Factory, RawDataReadStopsAtTheFirstFailingStep) {
  // Writes: mode 1 is wake-up, header, data (1-3); the status read is
  // wake-up, frame (4-5).
  struct Case {
    const char *name;
    int failing_write;
    bool fails;
    unsigned frames_taken;
  } cases[] = {
      {"a failed wake-up is only logged", 4, false, 1},
      {"the status read fails", 5, true, 0},
  };
  for (const Case &c : cases) {
    DirectBus bus;
    bus.chip().SetRawFrames([](unsigned, uint8_t) { return std::vector<uint16_t>(16, 0x0123); });
    bus.FailWrite(c.failing_write);
    Bytes buf(32, 0);
    EXPECT_EQ(Factory_RawData_Read(buf.data(), 32) != 0, c.fails) << c.name;
    EXPECT_EQ(bus.chip().RawFramesTaken(), c.frames_taken) << c.name;
    if (c.fails) {
      EXPECT_EQ(bus.chip().WorkMode(), 1) << c.name << ": mode 17 never set";
    }
  }
}

TEST(Zq4847Factory, ResetTestNeedsAnEchoWithinTenAttemptsAndAResetThatClears) {
  struct Case {
    std::string name;
    unsigned echo_from;
    bool reset_clears;
    int result;
    int writes_of_pattern;
    int resets;
  } cases[] = {
      {"echo at once", 1, true, 0, 1, 1},
      {"echo on the 10th attempt", 10, true, 0, 10, 1},
      {"echo on the 11th attempt does not count", 11, true, 2, 11, 0},
      {"never an echo", 0, true, 2, 11, 0},
      {"the reset leaves the pattern", 1, false, 3, 1, 1},
  };
  for (const Case &c : cases) {
    bridge_emul::Chip4847Config config;
    config.echo_from_write = c.echo_from;
    config.reset_clears_scratch = c.reset_clears;
    DirectBus bus(config);
    EXPECT_EQ(Reset_Test(), c.result) << c.name;
    int pattern_writes = 0;
    for (const Bytes &f : bus.chip().Frames())
      if (f == Bytes{0x91, 0x00, 0x00, 0x02, 0, 0, 0, 0x55, 0xAA}) ++pattern_writes;
    EXPECT_EQ(pattern_writes, c.writes_of_pattern) << c.name;
    EXPECT_EQ(bus.Resets(), c.resets) << c.name;
    if (c.resets == 1) {
      EXPECT_EQ(bus.SleepsMs().back(), 50) << c.name << ": 50 ms after the reset";
    }
  }
}

TEST(Zq4847Factory, OnTheBridgeTheResetIsRequest0x40AndModeThreeRaisesThePin) {
  zq4847_test::BridgeBus bus;
  EXPECT_EQ(Reset_Test(), 0);
  EXPECT_EQ(bus.chip().HardwareResets(), 1u);
  auto pin = [] {
    bool high = false;
    EXPECT_EQ(zq_interface_base_QuerySensorPinStatus(&high), 0);
    return high;
  };
  ASSERT_EQ(Factory_Workmode_Wait(1), 0);
  EXPECT_TRUE(pin());
  ASSERT_EQ(Factory_Workmode_Wait(0), 0);
  EXPECT_FALSE(pin());
}

}  // namespace
