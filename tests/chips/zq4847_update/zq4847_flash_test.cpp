// Flash programming of the 4847 against the emulated chip: the boot-status
// polls, the CRC-16, the user-application download with its pages and CRC,
// and the boot-loader download with its block addresses and read-back.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"
#include "zq4847_update/zq4847_test_bus.h"

namespace {

using Bytes = std::vector<uint8_t>;
using bridge_emul::AppPage;
using bridge_emul::Chip4847Config;
using bridge_emul::FlashOp;
using zq4847_test::DirectBus;

Bytes Image(size_t n, uint8_t seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return b;
}

TEST(Zq4847Crc, GoldenVectors) {
  const uint8_t one_word[] = {0x80, 0x00};  // 0x8000 shifted 15 times, then once with 0x8408
  EXPECT_EQ(Calc_CRC16(one_word, 2), 0x8408);
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Calc_CRC16(digits, 8), 0x343C);
  EXPECT_EQ(Calc_CRC16(digits, 9), 0xC4E7) << "an odd last byte is a word with low byte 0";
  EXPECT_EQ(Calc_CRC16(digits, 0), 0);
}

TEST(Zq4847Crc, OddLengthNeverReadsPastTheEnd) {
  // The last byte sits at the end of its own allocation: ASan sees any overread.
  auto *data = new uint8_t[3]{0x12, 0x34, 0x80};
  const uint8_t padded[] = {0x12, 0x34, 0x80, 0x00};
  EXPECT_EQ(Calc_CRC16(data, 3), Calc_CRC16(padded, 4));
  delete[] data;
}

TEST(Zq4847BootStatus, WaitReadsOncePerStartedTenAndStopsAtAKnownWord) {
  struct Case {
    std::string name;
    bool ready;  // after the boot set-up, 0x6A reads 0xF0AA
    uint32_t count;
    uint16_t result;
    unsigned reads;
  } cases[] = {
      {"ready at once", true, 1000, 0xF0AA, 1},
      {"never a known word: 100 reads for 1000", false, 1000, 0, 100},
      {"15 is two started tens", false, 15, 0, 2},
      {"count 0 reads nothing", false, 0, 0, 0},
  };
  for (const Case &c : cases) {
    DirectBus bus;
    ASSERT_EQ(SPI0_CMD_Set(0x55), 0);
    if (c.ready) {
      const uint8_t v[3] = {0x0A, 0x0C, 0x00};
      ASSERT_EQ(SPI0_Write(0x09, &v[0], 1), 0);
      ASSERT_EQ(SPI0_Write(0x10, &v[1], 1), 0);
      ASSERT_EQ(SPI0_Write(0x61, &v[2], 1), 0);
    }
    const size_t sleeps_before = bus.SleepsMs().size();
    EXPECT_EQ(SPI0_Wait_Status(c.count), c.result) << c.name;
    EXPECT_EQ(bus.chip().BootStatusReads(), c.reads) << c.name;
    // 10 ms after each miss.
    const unsigned misses = c.result == 0xF0AA ? c.reads - 1 : c.reads;
    EXPECT_EQ(std::vector<int>(bus.SleepsMs().begin() + static_cast<long>(sleeps_before),
                               bus.SleepsMs().end()),
              std::vector<int>(misses, 10))
        << c.name;
    EXPECT_EQ(SPI0_Check_Status(0x1234, c.count), 1) << c.name;
  }
}

TEST(Zq4847UserApp, DownloadsPagesWithTheirAcknowledgementsAndChecksTheCrc) {
  zq4847_test::BridgeBus bus;
  const Bytes image = Image(600);  // two full pages and 88 bytes
  ASSERT_EQ(UserApp_Down(image.data(), static_cast<uint32_t>(image.size())), 0);
  EXPECT_EQ(bus.chip().AppPages(),
            (std::vector<AppPage>{{0, Bytes(image.begin(), image.begin() + 256)},
                                  {256, Bytes(image.begin() + 256, image.begin() + 512)},
                                  {512, Bytes(image.begin() + 512, image.end())}}));
  EXPECT_TRUE(bus.chip().AppStarted());
  // The length frame: 00 00 00 and 600 as 24 bits.
  bool length_sent = false;
  for (const Bytes &f : bus.chip().Frames())
    if (f == Bytes{0x65, 0x00, 0x00, 0x06, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x02, 0x58})
      length_sent = true;
  EXPECT_TRUE(length_sent);
}

TEST(Zq4847UserApp, EveryFailureIsReportedAndStopsTheDownload) {
  const Bytes image = Image(600);
  const uint16_t crc = Calc_CRC16(image.data(), 600);
  struct Case {
    std::string name;
    std::function<void(Chip4847Config &)> set;
    int result;
    size_t pages;
  } cases[] = {
      {"wrong boot id", [](Chip4847Config &c) { c.boot_id = 0x56A3; }, 1, 0},
      {"loader never ready", [](Chip4847Config &c) { c.ready_after_reads = 100; }, 2, 0},
      {"loader ready on the 100th read", [](Chip4847Config &c) { c.ready_after_reads = 99; }, 0,
       3},
      {"second page not acknowledged", [](Chip4847Config &c) { c.nak_page = 1; }, 3, 2},
      {"last, partial page not acknowledged", [](Chip4847Config &c) { c.nak_page = 2; }, 3, 3},
      {"device CRC differs",
       [crc](Chip4847Config &c) { c.crc_override = static_cast<uint16_t>(crc ^ 0x0101); }, 5, 3},
      {"device CRC high byte 0",
       [crc](Chip4847Config &c) { c.crc_override = static_cast<uint16_t>(crc & 0x00FF); }, 5, 3},
  };
  for (const Case &c : cases) {
    Chip4847Config config;
    c.set(config);
    DirectBus bus(config);
    EXPECT_EQ(UserApp_Down(image.data(), 600), c.result) << c.name;
    EXPECT_EQ(bus.chip().AppPages().size(), c.pages) << c.name;
    EXPECT_EQ(bus.chip().AppStarted(), c.result == 0) << c.name;
  }
}

TEST(Zq4847UserApp, AZeroCrcByteFailsEvenWhenTheImageHasIt) {
  // Find an image whose CRC has a zero byte; the chip reports it truthfully.
  Bytes image = Image(64);
  for (uint8_t v = 0; (Calc_CRC16(image.data(), 64) & 0xFF) != 0; ++v) image[0] = v;
  DirectBus bus;
  EXPECT_EQ(UserApp_Down(image.data(), 64), 5);
  EXPECT_FALSE(bus.chip().AppStarted());
}

TEST(Zq4847UserApp, AFailedPageWriteStopsWithAnError) {
  // Slot writes before the second page's data: command and boot id (4), the
  // three set-up writes (9), the ready poll (2), page 0 (8), the second
  // page's address (3) and its data write's wake-up and header (2).
  DirectBus bus;
  bus.FailWrite(29);
  const Bytes image = Image(600);
  EXPECT_EQ(UserApp_Down(image.data(), 600), 3);
  EXPECT_EQ(bus.chip().AppPages().size(), 1u);
  EXPECT_FALSE(bus.chip().AppStarted());
}

TEST(Zq4847UserApp, ImagesAreCheckedBeforeAnythingIsSent) {
  const Bytes image = Image(600);
  const uint16_t crc = Calc_CRC16(image.data(), 600);
  struct Case {
    std::string name;
    const uint8_t *data;
    uint32_t length;
    std::optional<uint16_t> stated_crc;
    int result;
  } cases[] = {
      {"no image", nullptr, 600, std::nullopt, 6},
      {"empty", image.data(), 0, std::nullopt, 6},
      {"odd length", image.data(), 599, std::nullopt, 6},
      {"beyond 4096 pages", image.data(), ZQ4847_APP_MAX + 2, std::nullopt, 6},
      {"stated CRC differs", image.data(), 600, static_cast<uint16_t>(crc + 1), 6},
      {"stated CRC agrees", image.data(), 600, crc, 0},
  };
  for (const Case &c : cases) {
    DirectBus bus;
    const int r = c.stated_crc ? zq4847_UserApp_Update(c.data, c.length, *c.stated_crc)
                               : UserApp_Down(c.data, c.length);
    EXPECT_EQ(r, c.result) << c.name;
    if (c.result != 0) {
      EXPECT_EQ(bus.Writes(), 0) << c.name;
    }
  }
}

TEST(Zq4847BootLoad, ThreeHundredBytesGoOutInThe32WordBlocksAndReadBackIn64) {
  zq4847_test::BridgeBus bus;
  const Bytes image = Image(300);  // 75 words
  ASSERT_EQ(BootLoad_Down(image.data(), 300), 0);
  EXPECT_EQ(bus.chip().FlashWrites(),
            (std::vector<FlashOp>{{0x2000, 31}, {0x2020, 31}, {0x2040, 31}, {0x2040, 10}}));
  EXPECT_EQ(bus.chip().FlashReads(),
            (std::vector<FlashOp>{{0x2000, 63}, {0x2040, 63}, {0x2040, 10}}));
  EXPECT_EQ(bus.chip().Flash(0x2000, 75), image);
  EXPECT_EQ(bus.chip().Flash(0x2000 + 75, 21), Bytes(84, 0)) << "the zero fill of the full block";
  EXPECT_EQ(bus.chip().SfrWrites(),
            (std::vector<std::pair<uint16_t, uint16_t>>{
                {0x04, 0xAA55}, {0x48, 0x0110}, {0x07, 0x5A5A}}));
  EXPECT_EQ(bus.chip().IicModes(), (Bytes{0x55, 0x0A}));
  EXPECT_EQ(bus.chip().HardwareResets(), 1u);
}

TEST(Zq4847BootLoad, ALargestImageIsProgrammedAndVerified) {
  DirectBus bus;
  const Bytes image = Image(ZQ4847_BOOT_MAX, 9);
  ASSERT_EQ(BootLoad_Down(image.data(), ZQ4847_BOOT_MAX), 0);
  EXPECT_EQ(bus.chip().Flash(0x2000, ZQ4847_BOOT_MAX / 4), image);
  EXPECT_EQ(bus.chip().FlashReads().back(), (FlashOp{0x2000 + 5056, 63}));
}

TEST(Zq4847BootLoad, AReadBackDifferenceFailsWithoutStartingTheLoader) {
  DirectBus bus;
  bus.chip().CorruptFlashRead(5);
  const Bytes image = Image(300);
  EXPECT_EQ(BootLoad_Down(image.data(), 300), 1);
  EXPECT_EQ(bus.chip().IicModes(), (Bytes{0x55})) << "no 0x0A: the loader is not started";
  EXPECT_EQ(bus.chip().SfrWrites().size(), 2u);
}

TEST(Zq4847BootLoad, AFailedBlockWriteStopsTheDownload) {
  DirectBus bus;
  bus.FailWrite(6);  // mode, two SFR writes, two blocks pass; the third block fails
  const Bytes image = Image(300);
  const int r = BootLoad_Down(image.data(), 300);
  EXPECT_NE(r, 0);
  EXPECT_EQ(bus.chip().FlashWrites().size(), 2u);
  EXPECT_TRUE(bus.chip().FlashReads().empty());
  EXPECT_EQ(bus.chip().IicModes(), (Bytes{0x55}));
}

TEST(Zq4847BootLoad, ImagesAndSlotsAreCheckedBeforeAnythingIsSent) {
  const Bytes image = Image(ZQ4847_BOOT_MAX + 4);
  const uint16_t crc = Calc_CRC16(image.data(), 300);
  struct Case {
    std::string name;
    const uint8_t *data;
    uint32_t length;
    std::optional<uint16_t> stated_crc;
    int result;
  } cases[] = {
      {"no image", nullptr, 300, std::nullopt, 6},
      {"empty", image.data(), 0, std::nullopt, 6},
      {"not whole words", image.data(), 302, std::nullopt, 6},
      {"beyond the read-back buffer", image.data(), ZQ4847_BOOT_MAX + 4, std::nullopt, 6},
      {"stated CRC differs", image.data(), 300, static_cast<uint16_t>(crc ^ 1), 6},
      {"stated CRC agrees", image.data(), 300, crc, 0},
  };
  for (const Case &c : cases) {
    DirectBus bus;
    const int r = c.stated_crc ? zq4847_BootLoad_Update(c.data, c.length, *c.stated_crc)
                               : BootLoad_Down(c.data, c.length);
    EXPECT_EQ(r, c.result) << c.name;
    if (c.result != 0) {
      EXPECT_EQ(bus.Writes(), 0) << c.name;
      EXPECT_EQ(bus.Resets(), 0) << c.name;
    }
  }
  DirectBus bus;
  zq4847_factory_callbacks.chip_select = nullptr;
  EXPECT_EQ(BootLoad_Down(image.data(), 300), ZQ4847_MISSING_CHIP_SELECT);
  EXPECT_EQ(bus.Writes(), 0);
  EXPECT_EQ(bus.Resets(), 0);
}

TEST(Zq4847BootLoad, OnlyOddCallsPauseAfterTheReset) {
  std::vector<size_t> first_pause;
  const Bytes image = Image(8);
  for (int call = 0; call < 3; ++call) {
    DirectBus bus;
    ASSERT_EQ(BootLoad_Down(image.data(), 8), 0);
    first_pause.push_back(bus.SleepsMs().size());
  }
  // Every other call sleeps once more (1 ms after the reset).
  EXPECT_EQ(first_pause[0] > first_pause[1] ? first_pause[0] - first_pause[1]
                                             : first_pause[1] - first_pause[0],
            1u);
  EXPECT_EQ(first_pause[2], first_pause[0]);
}

}  // namespace
