// Finger detection of the fw4846 driver against the fake chip: the FDT
// register set-up, manual decisions, the FDT DAC search and base learning.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846_test_util.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_fdt.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"
#include "support/stderr_capture.h"

namespace {

using fw4846_fake::Chip;
using fw4846_fake::Samples;
using fw4846_fake::VirtualClock;
using testing::ElementsAre;

class FdtTest : public testing::Test {
 protected:
  void SetUp() override {
    fw4846_fake::Reset();
    g_base_log_level = 6;
    g_chip_log_level = 6;
    Configure(1);
  }
  // A fresh chip, the default configuration with the small-area switch
  // given, and the driver state as after a reset.
  void Configure(int small_area) {
    fw4846_cfg_init();
    g_fw4846_cfg.small_area = static_cast<uint8_t>(small_area);
    fw4846_fake::FreshChip();
  }
  static void SetBases(uint16_t v) {
    const uint16_t b[8] = {v, v, v, v, v, v, v, v};
    fw4846_fdt_base_Min_Updata(b);
  }
  // Queues `n` manual readings with every block at `value`.
  static void Queue(std::initializer_list<int> middles) {
    for (int m : middles) Chip().fdt_script.push_back(Samples(8, static_cast<uint16_t>(m)));
  }
  VirtualClock clock_;
};

TEST_F(FdtTest, DefaultsArmDownDetectionAt60HzWithAFourBlockTrigger) {
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);
  int r1881 = Chip().sram[0x1881];
  EXPECT_EQ(r1881 >> 8, 15);          // 1000 / 60 - 1
  EXPECT_EQ((r1881 >> 2) & 0x7, 3);   // 4 blocks
  EXPECT_EQ(r1881 & 0x1, 1);          // down
  EXPECT_EQ((r1881 >> 1) & 0x1, 0);   // automatic
  EXPECT_EQ((r1881 >> 7) & 0x1, 1);
  EXPECT_EQ(Chip().commands.back(), FW4846_CMD_FDT);
  EXPECT_EQ(Chip().LastWrite(0x1A84), 0x2F);
  EXPECT_EQ(g_fw4846.fdt_direction, 1);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_FDT);
}

TEST_F(FdtTest, ModeInitRegisterValues) {
  struct Case {
    int small_area;
    uint16_t r1800_bits;  // bits 14..1
    uint16_t r1808;
    uint16_t r1887_low;
    uint16_t block;       // first block register
    uint16_t level;
  };
  const Case cases[] = {
      {1, (0 << 10) | 1023, 0x0801, 5, 0x00C0, 1092},
      {0, (1 << 10) | 72, 0x0800 | 119, 2, 0x00C9, 1741},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.small_area);
    Configure(c.small_area);
    fw4846_fdt_mode_init();
    const auto &s = Chip().sram;
    int dac = c.small_area ? 27 : 56;
    EXPECT_EQ(s[0x1801], 0xFC80 | dac);
    EXPECT_EQ(s[0x180C], 0xFE00);  // 0x1801's bits 15..11, no search: 0x600
    EXPECT_EQ((s[0x1800] >> 1) & 0x3FFF, c.r1800_bits);
    EXPECT_EQ(s[0x1804], 0x27C8);  // mode 1
    EXPECT_EQ(s[0x1808], c.r1808);
    EXPECT_EQ(s[0x1887] & 0x7, c.r1887_low);
    EXPECT_EQ(s[0x1880], 45 << 8 | 50);
    EXPECT_EQ(s[0x1884] & 0x7, 3);
    EXPECT_EQ(s[0x180D] & 0x3FF, 900);
    EXPECT_EQ(s[c.block] & 0x1FFF, c.level);
    EXPECT_EQ(s[c.block + 1] & 0x3F, 4 << 3 | 1);
    EXPECT_EQ(s[c.block + 2] & 0xC0, 0xC0);
    if (!c.small_area) {
      EXPECT_EQ(s[0x00D2] & 0x1FFF, 1741);
    }
    EXPECT_EQ(s[0x1806] >> 7 & 0x7F, 19);
    EXPECT_EQ(s[0x1A83] & 0x8, 0x8);  // manual-done interrupt enabled
    // The block registers are written inside the 0x9A unlock.
    auto &w = Chip().sfr_writes;
    auto unlock = std::find(w.begin(), w.end(), std::pair<uint8_t, uint8_t>{0x9A, 0x5A});
    ASSERT_NE(unlock, w.end());
    EXPECT_EQ(*(unlock + 1), (std::pair<uint8_t, uint8_t>{0x9A, 0}));
  }
}

TEST_F(FdtTest, GestureModeUsesTheGestureRateAndItsOwnSetUp) {
  g_fw4846.device_mode = FW4846_MODE_GESTURE;
  fw4846_fdt_mode_init();
  EXPECT_EQ(Chip().sram[0x1881] >> 8, 4);  // 1000 / 200 - 1
  EXPECT_EQ((Chip().sram[0x1881] >> 2) & 0x7, 1);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_FDT_GESTURE);
}

TEST_F(FdtTest, LoadedSetUpIsNotWrittenAgain) {
  fw4846_fdt_mode_init();
  Chip().ClearLog();
  fw4846_fdt_mode_init();
  EXPECT_TRUE(Chip().sram_writes.empty());
  // A zero rate must not divide by zero once the set-up is reloaded.
  g_fw4846_cfg.fdt_rate = 0;
  g_fw4846.afe_config = FW4846_AFE_NONE;
  fw4846_fdt_mode_init();
  EXPECT_EQ(Chip().sram[0x1881] >> 8, 999 & 0xFF);
}

TEST_F(FdtTest, ManualCheckDecisions) {
  struct Case {
    const char *name;
    int direction;
    Samples raw;
    int want;
  };
  const Case cases[] = {
      {"all four touched", FW4846_FDT_DOWN, {440, 440, 440, 440}, FW4846_FDT_TOUCH},
      {"three touched", FW4846_FDT_DOWN, {440, 440, 440, 480}, FW4846_FDT_NONE},
      {"exactly the delta is not a touch", FW4846_FDT_DOWN, {450, 440, 440, 440}, FW4846_FDT_NONE},
      {"a block 51 above wins over touches", FW4846_FDT_DOWN, {440, 440, 440, 551}, FW4846_FDT_INVERSE},
      {"50 above is not inverse", FW4846_FDT_DOWN, {440, 440, 440, 550}, FW4846_FDT_NONE},
      {"all released", FW4846_FDT_UP, {460, 460, 460, 460}, FW4846_FDT_RELEASE},
      {"released needs raw + delta above the base", FW4846_FDT_UP, {455, 460, 460, 460}, FW4846_FDT_NONE},
      {"unknown direction", 5, {440, 440, 440, 440}, FW4846_FDT_NONE},
  };
  SetBases(500);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Samples raw = c.raw;
    raw.resize(8, 500);
    Chip().fdt_script.push_back(raw);
    EXPECT_EQ(fw4846_fdt_manual_check(c.direction), c.want);
    EXPECT_EQ(g_fw4846.fdt_diff[0], 500 - c.raw[0]);
  }
}

TEST_F(FdtTest, ManualStartPollsForItsInterrupt) {
  struct Case {
    bool raises;
    int polls;
    uint64_t paused_us;  // besides the commands' pauses
  };
  for (const Case c : {Case{true, 1, 0}, Case{false, 5, 5000}}) {
    SCOPED_TRACE(c.raises);
    fw4846_fdt_mode_init();
    Chip().manual_done_irq = c.raises;
    Chip().ClearLog();
    uint64_t before = VirtualClock::SleptUs();
    fw4846_fdt_manual_start();
    EXPECT_EQ(Chip().SramReadCount(0x1A82), c.polls);
    EXPECT_EQ(VirtualClock::SleptUs() - before, 2000 + c.paused_us);  // idle and FDT commands
    EXPECT_EQ(Chip().manual_scans, 1);
    EXPECT_EQ(Chip().sram[0x1881] & 0x2, 0x2);  // manual scan selected
  }
}

TEST_F(FdtTest, DacSearchCrossings) {
  struct Case {
    const char *name;
    std::vector<int> middles;
    int want_dac;
    int tries;
  };
  const Case cases[] = {
      {"500 then 530 keeps the new DAC", {500, 530}, 28, 2},
      {"530 then 500 returns to the previous DAC", {530, 500}, 27, 2},
      {"a long climb", {480, 490, 500, 510, 515}, 31, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Configure(1);
    for (int m : c.middles) Chip().fdt_script.push_back(Samples(8, static_cast<uint16_t>(m)));
    fw4846_fdt_AutoSDacUpdate();
    EXPECT_EQ(g_fw4846.fdt_dac, c.want_dac);
    EXPECT_EQ(Chip().manual_scans, c.tries);
    EXPECT_EQ(g_fw4846.dac_search_active, 0);
    EXPECT_EQ(g_fw4846.fdt_dac_found, 1);
    // The auto-DAC flag register showed the search while it ran.
    ASSERT_FALSE(Chip().Writes(0x180C).empty());
    EXPECT_EQ(Chip().Writes(0x180C).front() & 0x7FF, 0);
  }
}

TEST_F(FdtTest, DacSearchStaysWithinItsBounds) {
  struct Case {
    const char *name;
    int level;  // every block, whatever the DAC
    int want_dac;
    int tries;
  };
  const Case cases[] = {
      {"never bright enough", 100, 125, 125 - 27 + 1},
      {"never dark enough", 900, 1, 27},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Configure(1);
    int level = c.level;
    Chip().fdt_model = [level](int) { return Samples(8, static_cast<uint16_t>(level)); };
    g_chip_log_level = 5;
    testing_support::StderrCapture capture;
    fw4846_fdt_AutoSDacUpdate();
    EXPECT_EQ(g_fw4846.fdt_dac, c.want_dac);
    EXPECT_EQ(Chip().manual_scans, c.tries);
    EXPECT_THAT(capture.Text(), testing::HasSubstr("Got FDT DAC FAIL!!!"));
    for (uint16_t w : Chip().Writes(0x1801)) {
      EXPECT_GE(w & 0x7F, 1);
      EXPECT_LE(w & 0x7F, 125);
    }
  }
}

TEST_F(FdtTest, DacSearchGivesUpAfter128Tries) {
  // 512 and 511 in turn: the DAC swings by one and never crosses.
  Chip().fdt_model = [](int dac) { return Samples(8, static_cast<uint16_t>(dac % 2 ? 512 : 511)); };
  fw4846_fdt_AutoSDacUpdate();
  EXPECT_EQ(Chip().manual_scans, 128);
}

TEST_F(FdtTest, StableBaseLearning) {
  struct Case {
    const char *name;
    int samples;
    std::function<Samples(int)> model;
    int want_scans;      // manual scans, the DAC searches' included
    uint16_t want_base;
  };
  int jitter = 0;
  const Case cases[] = {
      // Default model: the search takes 2 scans at DAC 27 and 28 (515).
      {"steady readings stop after three", 10, nullptr, 2 + 3, 515},
      {"one sample per pass", 1, nullptr, 2 + 1, 515},
      {"restless readings use all samples",
       5,
       [&jitter](int dac) {
         jitter = (jitter + 1) % 2;
         return Samples(8, static_cast<uint16_t>(505 + (dac - 27) * 10 + jitter * 10));
       },
       -1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Configure(1);
    if (c.model) Chip().fdt_model = c.model;
    fw4846_fdt_base_Stable_Update(c.samples);
    if (c.want_scans >= 0) {
      EXPECT_EQ(Chip().manual_scans, c.want_scans);
      EXPECT_THAT(g_fw4846.fdt_down_base,
                  ElementsAre(c.want_base, c.want_base, c.want_base, c.want_base, 0, 0, 0, 0));
    } else {
      EXPECT_GE(Chip().manual_scans, 5);
    }
    EXPECT_EQ(g_fw4846.fdt_down_base_crc, fw4846_crc16(g_fw4846.fdt_down_base, 8));
    EXPECT_EQ(g_fw4846.fdt_up_base_crc, fw4846_crc16(g_fw4846.fdt_up_base, 8));
    EXPECT_EQ(fw4846_wrong_base_check() & 0x30, 0);
  }
}

TEST_F(FdtTest, BaseLearningRetriesOutOfRangeMinimaThreeTimes) {
  // A chip whose blocks read 800 whatever the DAC: the first search runs
  // down to DAC 1, the next two start there and stop at once; after three
  // passes the last minima are taken.
  Chip().fdt_model = [](int) { return Samples(8, 800); };
  fw4846_fdt_base_Stable_Update(1);
  EXPECT_EQ(Chip().manual_scans, (27 + 1) + (1 + 1) + (1 + 1));
  EXPECT_EQ(g_fw4846.fdt_dac, 1);
  EXPECT_EQ(g_fw4846.fdt_down_base[0], 800);
  EXPECT_EQ(fw4846_fdt_base_in_range(g_fw4846.fdt_down_base), -1);
}

TEST_F(FdtTest, UpConfirmNeedsThreeClearPasses) {
  SetBases(500);
  struct Case {
    const char *name;
    std::vector<Samples> scans;
    int want;
  };
  const Case cases[] = {
      {"three clean releases", {Samples(8, 500), Samples(8, 490), Samples(8, 510)}, 0},
      {"only two small differences", {Samples{500, 500, 440, 440, 0, 0, 0, 0}}, -1},
      {"second pass not released", {Samples(8, 500), Samples(8, 400)}, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Chip().fdt_script.assign(c.scans.begin(), c.scans.end());
    Chip().fdt_model = [](int) { return Samples(8, 500); };
    EXPECT_EQ(fw4846_fdt_up_confirm(), c.want);
  }
}

TEST_F(FdtTest, StableFunctionWaitsForThePressToSettle) {
  struct Case {
    const char *name;
    std::vector<int> means;  // mean difference of each manual check
    int scans;
  };
  const Case cases[] = {
      {"already pressed firmly", {250}, 1},
      {"raw above the base reads as a huge mean", {-10}, 1},
      {"over 200, then falling: stop", {10, 20, 30, 300, 25}, 5},
      {"a fall, rises, then over 200: the second setback stops", {10, 20, 5, 30, 40, 201, 35}, 6},
      {"steadily rising: at most 20 more checks", std::vector<int>(30, 50), 21},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Configure(1);
    SetBases(500);
    for (int m : c.means) Chip().fdt_script.push_back(Samples(8, static_cast<uint16_t>(500 - m)));
    fw4846_fdt_stable_function();
    EXPECT_EQ(Chip().manual_scans, c.scans);
  }
}

TEST_F(FdtTest, BaseUpdateRaisesTheBasesToTheRawValues) {
  const uint16_t base[8] = {500, 510, 520, 530, 0, 0, 0, 0};
  fw4846_fdt_base_Min_Updata(base);
  Chip().fdt_script.push_back(Samples{505, 505, 505, 505, 0, 0, 0, 0});
  fw4846_fdt_base_Update();
  EXPECT_THAT(g_fw4846.fdt_down_base, ElementsAre(505, 510, 520, 530, 0, 0, 0, 0));
  EXPECT_THAT(g_fw4846.fdt_up_base, ElementsAre(505, 510, 520, 530, 0, 0, 0, 0));
  EXPECT_EQ(g_fw4846.fdt_up_base_crc, fw4846_crc16(g_fw4846.fdt_up_base, 8));
}

TEST_F(FdtTest, WrongBaseCheckFindsCorruption) {
  SetBases(500);
  fw4846_crc16(g_fw4846.image_base, 256);
  g_fw4846.image_base_crc = fw4846_crc16(g_fw4846.image_base, 256);
  g_fw4846.image_middle = 0;
  EXPECT_EQ(fw4846_wrong_base_check(), 0);
  g_fw4846.fdt_down_base[2] = 800;  // a flipped word: out of range and a CRC error
  EXPECT_EQ(fw4846_wrong_base_check(), 0x01 | 0x10 | 0x100);
  SetBases(512);
  EXPECT_EQ(fw4846_wrong_base_check(), 0x04 | 0x08);
  g_fw4846.image_base[5] = 77;
  EXPECT_EQ(fw4846_wrong_base_check(), 0x04 | 0x08 | 0x200);

  // Image base middles against the stored middle (shift 2).
  SetBases(500);
  std::fill(std::begin(g_fw4846.image_base), std::end(g_fw4846.image_base), 600 << 2);
  std::fill(std::begin(g_fw4846.image_work_base), std::end(g_fw4846.image_work_base), 600 << 2);
  g_fw4846.image_base_crc = fw4846_crc16(g_fw4846.image_base, 256);
  g_fw4846.image_middle = 570;
  EXPECT_EQ(fw4846_wrong_base_check(), 0);
  g_fw4846.image_middle = 569;
  EXPECT_EQ(fw4846_wrong_base_check(), 0x40);
  g_fw4846.image_middle = 631;
  EXPECT_EQ(fw4846_wrong_base_check(), 0x80);
}

}  // namespace
