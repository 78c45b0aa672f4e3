// Image side of the fw4846 driver against the fake chip: the image set-up,
// the image DAC search, base update and capture on constructed frames.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/bq_log.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846_test_util.h"
#include "chips/fw4846/fw4846.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_image.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

using fw4846_fake::Chip;
using fw4846_fake::FreshChip;
using fw4846_fake::Flat;
using fw4846_fake::kW;
using fw4846_fake::Samples;
using fw4846_fake::VirtualClock;

constexpr int kN = 64 * 80;

class ImageTest : public testing::Test {
 protected:
  void SetUp() override {
    g_base_log_level = 6;
    g_chip_log_level = 6;
    fw4846_cfg_init();
    FreshChip();
  }
  // An image model answering `middle_at(dac) << shift` everywhere.
  static void MiddleByDac(std::function<int(int)> middle_at) {
    Chip().image_model = [middle_at](int dac) {
      return Flat(static_cast<uint16_t>(middle_at(dac) << g_fw4846_cfg.shift));
    };
  }
  VirtualClock clock_;
};

TEST_F(ImageTest, AverageMiddleIsTheMedianBinOfTheInnerColumns) {
  for (uint8_t shift = 0; shift <= 3; ++shift) {
    g_fw4846_cfg.shift = shift;
    EXPECT_EQ(Img_Get_Avg_Middle(Flat(static_cast<uint16_t>(512 << shift)).data()), 512) << +shift;
  }
  g_fw4846_cfg.shift = 2;
  Samples img = Flat(100 << 2);
  for (int r = 0; r < 80; ++r) img[r * kW] = img[r * kW + 63] = 60000;  // shield columns
  EXPECT_EQ(Img_Get_Avg_Middle(img.data()), 100);
  // The median bin is the first where the running sum exceeds half of the
  // 4960 inner pixels: with 2480 at 100 the sum only reaches 2480 there.
  struct Case {
    int above;  // inner pixels at 300, the rest at 100
    int want;
  };
  for (const Case &c : {Case{2479, 100}, Case{2480, 300}, Case{2481, 300}}) {
    img = Flat(100 << 2);
    for (int i = 0, set = 0; i < kN && set < c.above; ++i)
      if (i % kW != 0 && i % kW != 63) img[i] = 300 << 2, ++set;
    EXPECT_EQ(Img_Get_Avg_Middle(img.data()), c.want) << c.above << " at 300";
  }
  EXPECT_EQ(Img_Get_Avg_Middle(Flat(65535).data()), 1023);  // capped
}

// Dark is strictly below 125 << shift, bright strictly above 1003 << shift,
// counted in the inner columns 1 to 62 only: one pixel at the last inner
// place, both shield columns at the extremes.
TEST_F(ImageTest, ExtremesAreCountedStrictlyBeyondTheLimitsInTheInnerColumns) {
  struct Case {
    uint8_t shift;
    uint16_t value;
    int dark, bright;
  };
  const Case cases[] = {
      {2, 499, 1, 0}, {2, 500, 0, 0}, {2, 4012, 0, 0}, {2, 4013, 0, 1},
      {0, 124, 1, 0}, {0, 125, 0, 0}, {0, 1003, 0, 0}, {0, 1004, 0, 1},
  };
  for (const Case &c : cases) {
    g_fw4846_cfg.shift = c.shift;
    Samples img = Flat(600);
    for (int r = 0; r < 80; ++r) img[r * kW] = 0, img[r * kW + 63] = 65535;
    img[79 * kW + 62] = c.value;
    int dark = -1, bright = -1;
    fw4846_img_count_extremes(img.data(), &dark, &bright);
    EXPECT_EQ(dark, c.dark) << c.value << " shift " << +c.shift;
    EXPECT_EQ(bright, c.bright) << c.value << " shift " << +c.shift;
  }
}

TEST_F(ImageTest, ImageModeInitRegisters) {
  fw4846_img_mode_init(0);
  const auto &s = Chip().sram;
  EXPECT_EQ(s[0x1801], 0xFC80 | 54);
  EXPECT_EQ(s[0x1800], 20478);
  EXPECT_EQ(s[0x1804], 0x07C0 | 2 | 0x8 | 0x2000);  // shift 2
  EXPECT_EQ(s[0x1807], 1 | (139 << 5));
  EXPECT_EQ(s[0x1887], 2);
  EXPECT_EQ(s[0x1811] & 0x3FF, 510);
  EXPECT_EQ(s[0x1A83] & 0x60, 0x60);
  EXPECT_EQ(g_fw4846.afe_config, FW4846_AFE_IMAGE);
  EXPECT_EQ(g_fw4846.dac_loaded, 54);
  // Loaded: the next init only rewrites 0x1800.
  Chip().ClearLog();
  fw4846_img_mode_init(1);
  ASSERT_EQ(Chip().sram_writes.size(), 1u);
  EXPECT_EQ(Chip().sram_writes[0].first, 0x1800);
  EXPECT_EQ((s[0x1800] >> 1) & 0x3FFF, 4778);
}

TEST_F(ImageTest, DacSearchFromBelowEndsAtTheUpperDac) {
  MiddleByDac([](int dac) { return dac <= 54 ? 400 : 600; });
  fw4846_AutoSDacUpdate();
  EXPECT_EQ(g_fw4846.image_dac, 55);
  EXPECT_EQ(g_fw4846.image_middle, 600);
  EXPECT_THAT(Chip().image_frame_dacs, testing::ElementsAre(54, 55));
  EXPECT_EQ(g_fw4846.dac_searched, 1);

  // 512 is not above the middle, 513 is: the search crosses at 55.
  FreshChip();
  MiddleByDac([](int dac) { return dac <= 54 ? 512 : 513; });
  fw4846_AutoSDacUpdate();
  EXPECT_EQ(g_fw4846.image_dac, 55);
  EXPECT_EQ(g_fw4846.image_middle, 513);
  EXPECT_THAT(Chip().image_frame_dacs, testing::ElementsAre(54, 55));
}

TEST_F(ImageTest, DacSearchFromAboveReturnsToThePreviousDac) {
  MiddleByDac([](int dac) { return dac >= 54 ? 600 : 400; });
  fw4846_AutoSDacUpdate();
  EXPECT_EQ(g_fw4846.image_dac, 54);
  EXPECT_EQ(g_fw4846.image_middle, 600);
  // 54, 53, then one more frame back at 54 for the fine correction.
  EXPECT_THAT(Chip().image_frame_dacs, testing::ElementsAre(54, 53, 54));
}

TEST_F(ImageTest, DacSearchSteps) {
  struct Case {
    const char *name;
    int middle_at_54;
    int second_dac;
  };
  const Case cases[] = {
      {"far below: proportional step", 100, 54 + (512 - 100) / 150},
      {"dark: halfway to the high bound", 10, (54 + 127) / 2},
      {"bright: halfway to the low bound", 1010, 54 / 2},
      {"far above: proportional step", 990, 54 - (990 - 512) / 150},
      {"just above", 600, 53},
      // Below 20 is dark, above 1000 bright; 20 and 1000 take the
      // proportional step.
      {"19 is dark", 19, (54 + 127) / 2},
      {"20 is not", 20, 54 + (512 - 20) / 150},
      {"1001 is bright", 1001, 54 / 2},
      {"1000 is not", 1000, 54 - (1000 - 512) / 150},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FreshChip();
    int first = c.middle_at_54;
    MiddleByDac([first](int dac) { return dac == 54 ? first : 512; });
    fw4846_AutoSDacUpdate();
    ASSERT_GE(Chip().image_frame_dacs.size(), 2u);
    EXPECT_EQ(Chip().image_frame_dacs[1], c.second_dac);
  }
}

TEST_F(ImageTest, DacSearchGivesUpAfterThirtyFramesWithinBounds) {
  MiddleByDac([](int) { return 10; });  // always dark
  fw4846_AutoSDacUpdate();
  EXPECT_LE(Chip().image_frames, 30);
  EXPECT_EQ(g_fw4846.image_dac, 126);
  for (int dac : Chip().image_frame_dacs) EXPECT_LE(dac, 127);

  FreshChip();
  MiddleByDac([](int) { return 512; });  // creeps up one step a frame, never crossing
  fw4846_AutoSDacUpdate();
  EXPECT_EQ(Chip().image_frames, 30);
  EXPECT_EQ(g_fw4846.image_dac, 54 + 29);
}

TEST_F(ImageTest, BetterDacFromDarkAndBrightCounts) {
  // Dark pixels are below 125 << 2, bright ones above 1003 << 2.
  auto image = [](int dark, int bright) {
    Samples img = Flat(2000);
    for (int i = 0, k = 0; k < dark; ++i)
      if (i % kW != 0 && i % kW != 63) img[i] = 100, ++k;
    for (int i = kN - 1, k = 0; k < bright; --i)
      if (i % kW != 0 && i % kW != 63) img[i] = 4100, ++k;
    return img;
  };
  struct Case {
    const char *name;
    int dark, bright;
    Samples next;        // frame read after a step, if one is taken
    int want_dac;
    int frames;
  };
  const Case cases[] = {
      {"both good", 3, 3, {}, 54, 0},
      {"both bad", 30, 30, {}, 54, 0},
      {"exactly 20 dark is neither", 20, 5, {}, 54, 0},
      {"exactly 20 dark is not good beside too bright", 20, 25, {}, 54, 0},
      {"too dark, better after the step", 25, 0, image(0, 0), 55, 1},
      {"too dark, no better after the step", 25, 0, image(25, 0), 54, 1},
      {"too bright, better after the step", 0, 25, image(0, 2), 53, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FreshChip();
    g_fw4846.image_middle = 777;
    if (!c.next.empty()) Chip().image_script.push_back(c.next);
    Samples now = image(c.dark, c.bright);
    Img_Get_Better_DAC(now.data());
    EXPECT_EQ(g_fw4846.image_dac, c.want_dac);
    EXPECT_EQ(Chip().image_frames, c.frames);
    if (c.frames == 1) {
      EXPECT_EQ(Chip().image_frame_dacs[0], c.dark > 20 ? 55 : 53);
      EXPECT_EQ(g_fw4846.image_middle, c.want_dac == 54 ? 777 : 500);
    }
  }
}

TEST_F(ImageTest, BaseUpdateMergesRisesAndRejectsFakePoints) {
  auto at = [](int row, int col) { return row * kW + col; };
  // Stored base 1000 everywhere; the measured one rises in chosen places.
  std::fill(std::begin(g_fw4846.image_base), std::end(g_fw4846.image_base), 1000);
  Samples work = Flat(1000);
  work[at(10, 10)] = 1400;                     // lone spike: fake point
  for (int r = 30; r < 33; ++r)
    for (int c = 20; c < 23; ++c) work[at(r, c)] = 1400;  // a patch rises together
  work[at(0, 5)] = 1400;                       // row 0 takes it
  work[at(63, 5)] = 1400;                      // row 63 takes it
  work[at(40, 0)] = 1400;                      // column 0 takes it
  work[at(79, 5)] = 1400;                      // the last row has no row below
  work[at(79, 63)] = 1400;                     // nor a sample after it
  work[at(50, 50)] = 1250;                     // a rise up to 300
  work[at(60, 60)] = 900;                      // a fall is ignored
  Chip().image_script.push_back(work);
  fw4846_img_base_Update(0);
  const uint16_t *b = g_fw4846.image_base;
  EXPECT_EQ(b[at(10, 10)], 1000);
  EXPECT_EQ(b[at(30, 20)], 1400);
  EXPECT_EQ(b[at(31, 21)], 1400);
  EXPECT_EQ(b[at(32, 22)], 1400);
  EXPECT_EQ(b[at(0, 5)], 1400);
  EXPECT_EQ(b[at(63, 5)], 1400);
  EXPECT_EQ(b[at(40, 0)], 1400);
  EXPECT_EQ(b[at(79, 5)], 1400);
  EXPECT_EQ(b[at(79, 63)], 1400);
  EXPECT_EQ(b[at(50, 50)], 1250);
  EXPECT_EQ(b[at(60, 60)], 1000);
  EXPECT_EQ(g_fw4846.image_base_crc, fw4846_crc16(g_fw4846.image_base, 256));
}

TEST_F(ImageTest, BaseUpdateWithSearchTakesTheSumOfTheBaseFrames) {
  g_fw4846_cfg.base_frames = 3;
  MiddleByDac([](int dac) { return dac <= 54 ? 400 : 600; });
  fw4846_img_base_Update(1);
  EXPECT_EQ(g_fw4846.image_dac, 55);
  EXPECT_EQ(g_fw4846.image_base[100], 3 * (600 << 2));
  EXPECT_EQ(Chip().image_frames, 2 + 3);
}

TEST_F(ImageTest, FindMinMaxNormalises) {
  std::vector<int16_t> flat(kN, 321);
  EXPECT_EQ(fw4846_find_min_max(flat.data()), -1);
  EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](int16_t v) { return v == 255; }));

  // A ramp 0..639 over the rows: spread to about 0..250.
  std::vector<int16_t> ramp(kN);
  for (int i = 0; i < kN; ++i) ramp[i] = static_cast<int16_t>(500 + (i / kW) * 8);
  EXPECT_EQ(fw4846_find_min_max(ramp.data()), 0);
  EXPECT_EQ(ramp[0], 0);
  EXPECT_GE(ramp[kN - 1], 245);
  EXPECT_LE(ramp[kN - 1], 260);

  // A small range that is not dark: kept as it is after the offset.
  std::vector<int16_t> narrow(kN);
  for (int i = 0; i < kN; ++i) narrow[i] = static_cast<int16_t>(1000 + (i / kW % 2) * 150);
  EXPECT_EQ(fw4846_find_min_max(narrow.data()), 0);
  EXPECT_EQ(narrow[0], 0);
  EXPECT_EQ(narrow[kW], 150);
}

TEST_F(ImageTest, WhitePointRepairTouchesOnlyOutliers) {
  std::vector<int16_t> img(kN, 100);
  img[20 * kW + 20] = 400;  // a spike
  img[30 * kW + 1] = 400;   // outside the repaired area
  img[40 * kW + 30] = 130;  // within 50 of its neighbours
  fw4846_white_Point_Handle(img.data());
  EXPECT_EQ(img[20 * kW + 20], 100);
  EXPECT_EQ(img[30 * kW + 1], 400);
  EXPECT_EQ(img[40 * kW + 30], 130);
}

TEST_F(ImageTest, CaptureOnConstructedFrames) {
  // Base 3000; the finger lowers the raw value with a ridge every 4 rows.
  std::fill(std::begin(g_fw4846.image_base), std::end(g_fw4846.image_base), 3000);
  Samples raw = Flat(3000);
  for (int r = 0; r < 80; ++r)
    for (int c = 0; c < kW; ++c) raw[r * kW + c] = static_cast<uint16_t>(r % 4 < 2 ? 2000 : 2900);
  raw[5 * kW + 0] = 100;    // shield column replaced by column 1
  raw[5 * kW + 63] = 100;   // and by column 62
  Chip().image_script.push_back(raw);
  std::vector<uint8_t> out(kN + 16, 0xEE);
  EXPECT_EQ(fw4846_capture_image_op(out.data()), 0);
  EXPECT_EQ(out[kN], 0xEE);
  for (int r = 0; r < 80; ++r) {
    EXPECT_EQ(out[r * kW], out[r * kW + 1]) << r;
    EXPECT_EQ(out[r * kW + 63], out[r * kW + 62]) << r;
  }
  // Ridges (large difference, rows 0 and 1 of every 4) come out dark,
  // valleys light.
  EXPECT_LT(out[12 * kW + 30], 20);
  EXPECT_GT(out[10 * kW + 30], 235);
  EXPECT_EQ(Chip().CommandCount(FW4846_CMD_IMAGE), 1);
}

TEST_F(ImageTest, CaptureWithoutAFingerIsWhiteWorkAndZeroOutput) {
  std::fill(std::begin(g_fw4846.image_base), std::end(g_fw4846.image_base), 3000);
  Chip().image_script.push_back(Flat(3000));
  std::vector<uint8_t> out(kN, 0xEE);
  fw4846_capture_image(out.data());
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(ImageTest, SpecialFrameUsesTheOffsetDacAndLeavesNoStaleCache) {
  std::vector<uint8_t> buf(FW4846_FRAME_BYTES);
  EXPECT_EQ(fw4846_Special_img_data_get(buf.data(), 4), 0);
  EXPECT_THAT(Chip().image_frame_dacs, testing::ElementsAre(50));
  // The next ordinary scan runs at the image DAC again.
  fw4846_img_read_once(buf.data(), FW4846_FRAME_BYTES);
  EXPECT_EQ(Chip().image_frame_dacs.back(), 54);

  Chip().ClearLog();
  EXPECT_EQ(fw4846_Special_img_data_get(buf.data(), 54), 0);  // too large: no scan start
  EXPECT_EQ(Chip().CommandCount(FW4846_CMD_IMAGE), 0);
}

TEST_F(ImageTest, BaseGetWritesTheBaseAndItsTrailer) {
  for (int i = 0; i < kN; ++i) g_fw4846.image_base[i] = static_cast<uint16_t>(i);
  std::vector<uint8_t> buf(FW4846_BASE_GET_BYTES, 0x99);
  int length = 0;
  fw4846_img_base_get(buf.data(), &length);
  EXPECT_EQ(length, 10240);
  EXPECT_EQ(buf[0] | buf[1] << 8, 4000);
  EXPECT_EQ(buf[2 * 5119] | buf[2 * 5119 + 1] << 8, 5119 + 4000);
  EXPECT_THAT(std::vector<uint8_t>(buf.begin() + 10240, buf.end()),
              testing::ElementsAre(0xFA, 0x99, 0x99, 1, 0x00, 0x01, 0xA5, 0x01, 20, 0, 0));
}

TEST_F(ImageTest, WetFingerStateMachine) {
  struct Step {
    int result, wet;
    int flag;
  };
  const Step steps[] = {{1, 2, 0}, {1, 2, 0}, {1, 2, 1}, {0, 2, 1}, {0, 1, 0},
                        {1, 2, 0}, {1, 0, 0}, {1, 2, 0}, {1, 2, 0}, {1, 2, 1}};
  int n = 0;
  for (const Step &s : steps) {
    fw4846_Get_Wet_finger_Para(s.result, s.wet, 0, 0, 0);
    EXPECT_EQ(g_fw4846.wet_flag, s.flag) << "step " << n++;
  }
  std::vector<uint16_t> base(kN, 3000);
  int count = 1;
  fw4846_Wet_finger_Handle(&count, base.data());
  EXPECT_EQ(count, 3);
  EXPECT_EQ(base[7], 1000);
}

}  // namespace
