// FW4856 fixed-AGC switch, base correction and the two 8-bit filters.
// Expected images are worked out by hand from the correction's formulas on
// 2 x 2 frames: flattened sample = v + 0.5 for a flat base, then
// s = (x - min) x 1024 / (max - min) x 0.95 x 4 in single precision.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "fake_chip.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_fw4856_base.h"
#include "src/Quorv_sensor/quorv_fw4856_filters.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FakeChip;
using testing_support::LibLogCapture;
using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int>;

Bytes BigEndian(const Samples &s) {
  Bytes b;
  for (int v : s) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return b;
}

Samples FromBigEndian(const Bytes &b) {
  Samples s;
  for (size_t i = 0; i + 1 < b.size(); i += 2) s.push_back(b[i] << 8 | b[i + 1]);
  return s;
}

Bytes HostOrder(const Samples &s) {
  Bytes b(s.size() * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    int16_t v = static_cast<int16_t>(s[i]);
    std::memcpy(b.data() + 2 * i, &v, 2);
  }
  return b;
}

// Live chip registers 0x03..0x0C as the block read returns them.
struct Live {
  uint8_t agc1, agc2, agc3, agc4;
  int dac1, dac2;
};

class BaseCorrection : public ::testing::Test {
 protected:
  BaseCorrection() : chip_(7) { quorv_SetimageColsRows(2, 2); }
  ~BaseCorrection() override { SetFactordValue({0, 0, 0, 0, 0, 0, 0}); }

  void SetLive(const Live &l) {
    chip_.mcu_reg[0x03] = l.agc1;
    chip_.mcu_reg[0x04] = l.agc2;
    chip_.mcu_reg[0x05] = l.agc3;
    chip_.mcu_reg[0x06] = l.agc4;
    chip_.mcu_reg[0x07] = static_cast<uint8_t>(l.dac1 >> 8);
    chip_.mcu_reg[0x08] = static_cast<uint8_t>(l.dac1 & 0xFF);
    chip_.mcu_reg[0x09] = static_cast<uint8_t>(l.dac2 >> 8);
    chip_.mcu_reg[0x0A] = static_cast<uint8_t>(l.dac2 & 0xFF);
  }
  // Identity calibration and live gains (gain 1, DACs at 512, mv 0).
  void Identity(const Samples &base) {
    SetFactordValue({0, 0, 0, 0, 512, 512, 0});
    SetLive({0, 0, 0, 0, 512, 512});
    Bytes b = HostOrder(base);
    Set_base_value(b.data());
  }
  static Samples Correct(const Samples &image) {
    Bytes b = BigEndian(image);
    App_Quorv_Base_Process(b.data());
    return FromBigEndian(b);
  }

  FakeChip chip_;
};

TEST_F(BaseCorrection, FlatBaseStretchesTheSamples) {
  Identity({100, 100, 100, 100});
  // 100.5 is the minimum, 1124.5 the maximum; 0 stays below the minimum.
  EXPECT_EQ(Correct({0, 100, 1124, 601}), (Samples{0, 0, 3891, 1903}));
  EXPECT_EQ(gather_time, 1);
  EXPECT_EQ(g_regDac1, 512);
}

TEST_F(BaseCorrection, GainsAndOffsetsCancelOnAFlatBase) {
  // Base gain 4.5 x 2, live gain 2.0 x 4, live offsets 95 and 19.8, mv 10.
  SetFactordValue({1, 2, 1, 3, 600, 700, 10});
  SetLive({3, 1, 2, 1, 612, 532});
  Bytes b = HostOrder({1000, 1000, 1000, 1000});
  Set_base_value(b.data());
  EXPECT_EQ(Correct({0, 100, 1124, 601}), (Samples{0, 0, 3891, 1903}));
  EXPECT_EQ(g_reg_Agc1, 3);
  EXPECT_EQ(g_reg_Agc2, 1);
  EXPECT_EQ(g_reg_Agc3, 2);
  EXPECT_EQ(g_reg_Agc4, 1);
  EXPECT_EQ(g_regDac1, 612);
  EXPECT_EQ(g_regDac2, 532);
}

TEST_F(BaseCorrection, ResponseRelativeToTheFirstBasePixel) {
  // Pixel 1 responds twice as strongly: 300 flattens to 150.5.
  Identity({100, 200, 100, 100});
  EXPECT_EQ(Correct({100, 300, 0, 50}), (Samples{1945, 3891, 0, 0}));
}

TEST_F(BaseCorrection, StretchSaturatesAbove4092AndFloorsAtZero) {
  // Negative responses flatten to -1000..-1100; the zero sample then lies
  // far above the maximum.
  Identity({100, -100, -100, -100});
  EXPECT_EQ(Correct({0, 1000, 1100, 1050}), (Samples{4095, 3891, 0, 1945}));
}

TEST_F(BaseCorrection, SixteenBitSamplesAreDividedBy40First) {
  Identity({100, 100, 100, 100});
  quorv_set_imagebit(0);
  EXPECT_EQ(Correct({0, 4039, 44960, 24079}), (Samples{0, 0, 3891, 1903}));
}

TEST_F(BaseCorrection, NoRangeGivesZeros) {
  Identity({100, 100, 100, 100});
  EXPECT_EQ(Correct({0, 500, 500, 500}), (Samples{0, 0, 0, 0}));
}

TEST_F(BaseCorrection, RefusedCorrectionsRepackTheSamples) {
  const Samples image = {7, 100, 1124, 601};
  struct Case {
    std::string what;
    FactordValue calib;
    Live live;
    int16_t base0;
    uint8_t chip;
    std::string error;
  } cases[] = {
      {"first base response 0", {0, 0, 0, 0, 512, 512, 0}, {0, 0, 0, 0, 512, 512}, 0, 7,
       "data_VCX[0] == 0"},
      {"calibration agc2 past the table", {0, 4, 0, 0, 512, 512, 0}, {0, 0, 0, 0, 512, 512}, 100,
       7, "agc2 index 4 outside 0..3"},
      {"calibration agc3 negative", {0, 0, -1, 0, 512, 512, 0}, {0, 0, 0, 0, 512, 512}, 100, 7,
       "agc3 index -1 outside 0..3"},
      {"live agc2 past the table", {0, 0, 0, 0, 512, 512, 0}, {0, 4, 0, 0, 512, 512}, 100, 7,
       "agc2 index 4 outside 0..3"},
      {"live agc3 past the table", {0, 0, 0, 0, 512, 512, 0}, {0, 0, 200, 0, 512, 512}, 100, 7,
       "agc3 index 200 outside 0..3"},
      {"register read refused", {0, 0, 0, 0, 512, 512, 0}, {0, 0, 0, 0, 512, 512}, 100, 1,
       "register read failed, ret = -1"},
  };
  for (const Case &c : cases) {
    SetFactordValue(c.calib);
    SetLive(c.live);
    Bytes b = HostOrder({c.base0, 100, 100, 100});
    Set_base_value(b.data());
    quorv_set_icinfo(c.chip);
    LibLogCapture log;
    EXPECT_EQ(Correct(image), image) << c.what;
    bool found = false;
    for (const std::string &line : log.Lines()) {
      if (testing_support::IsLibErrorLine(line, "Get_hglass_image",
                                          "src/Quorv_sensor/quorv_fw4856_base.cpp", c.error)) {
        found = true;
      }
    }
    EXPECT_TRUE(found) << c.what;
    quorv_set_icinfo(7);
  }
  // In 16-bit mode a refused correction still divides by 40.
  Identity({0, 100, 100, 100});
  quorv_set_imagebit(0);
  EXPECT_EQ(Correct({4000, 80, 79, 0}), (Samples{100, 2, 1, 0}));
}

TEST_F(BaseCorrection, ImagesLargerThanTheBaseAreLeftAlone) {
  quorv_SetimageColsRows(200, 200);  // 40,000 pixels
  Bytes img(80000, 0x5A);
  App_Quorv_Base_Process(img.data());
  EXPECT_EQ(img, Bytes(80000, 0x5A));
  EXPECT_TRUE(chip_.frames.empty());
}

TEST_F(BaseCorrection, SetBaseValueCopiesTheImageSize) {
  quorv_SetimageColsRows(96, 112);
  data_base[96 * 112] = 1234;
  Samples s(96 * 112 + 1);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int>(i % 30000) - 15000;
  Bytes b = HostOrder(s);
  Set_base_value(b.data());
  EXPECT_EQ(data_base[0], -15000);
  EXPECT_EQ(data_base[96 * 112 - 1], (96 * 112 - 1) - 15000);
  EXPECT_EQ(data_base[96 * 112], 1234);
}

TEST(FixAgcSwitch, LowersAgc4ThenAgc3ThenAgc2) {
  struct Case {
    uint8_t enable, steps;
    FactordValue calib;
    std::vector<int> want;  // registers 0x03..0x0A, empty: not written
  } cases[] = {
      {1, 3, {2, 1, 1, 2, 0x1234, 0x0567, 0}, {2, 1, 0, 0, 0x12, 0x34, 0x05, 0x67}},
      {1, 10, {5, 1, 0, 0, 512, 512, 0}, {5, 0, 0, 0, 0x02, 0x00, 0x02, 0x00}},
      {1, 0, {7, 3, 3, 3, 0, 0, 0}, {7, 3, 3, 3, 0, 0, 0, 0}},
      {1, 255, {1, 3, 3, 3, 0, 0, 0}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {0, 5, {2, 1, 1, 2, 0, 0, 0}, {}},
  };
  for (const Case &c : cases) {
    FakeChip chip(7);
    chip.mcu_reg[0x02] = 0xEE;
    SetFactordValue(c.calib);
    Fix_agc_switch(c.enable, c.steps);
    EXPECT_EQ(chip.mcu_reg[0x02], c.enable);
    if (c.want.empty()) {
      EXPECT_EQ(chip.Writes().size(), 1u);
    } else {
      std::vector<int> got(chip.mcu_reg.begin() + 3, chip.mcu_reg.begin() + 11);
      EXPECT_EQ(got, c.want) << int(c.steps);
    }
    EXPECT_EQ(g_factord_t.agc4, c.calib.agc4);  // the record is not changed
  }
  SetFactordValue({0, 0, 0, 0, 0, 0, 0});
}

TEST(Fw4856Allocation, FailedArraysRepackTheImage) {
  FakeChip chip(7);
  quorv_SetimageColsRows(2, 2);
  SetFactordValue({0, 0, 0, 0, 512, 512, 0});
  const int32_t start = ZqGetMallocCnts();
  for (int ok : {0, 1, 2}) {
    LibLogCapture log;
    testing_support::FailAllocationsAfter(ok);
    Bytes b = BigEndian({7, 100, 1124, 601});
    App_Quorv_Base_Process(b.data());
    testing_support::StopAllocFailures();
    EXPECT_EQ(FromBigEndian(b), (Samples{7, 100, 1124, 601}));
    auto lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    bool found = false;
    for (const std::string &line : lines) {
      found = found || line.find("memory ZqAlloc error!") != std::string::npos;
    }
    EXPECT_TRUE(found) << ok;
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
  SetFactordValue({0, 0, 0, 0, 0, 0, 0});
}

TEST(GaussianFilter, InteriorOnly) {
  Bytes img = {16, 32, 48, 64,  //
               0,  160, 0, 80,  //
               16, 0,  16, 0};
  EXPECT_EQ(ZQ_GS_Filtering(img.data(), 4, 3), 1);
  EXPECT_EQ(img, (Bytes{16, 32, 48, 64, 0, 50, 44, 80, 16, 0, 16, 0}));
}

TEST(GaussianFilter, NarrowImagesAreUnchanged) {
  struct Case {
    int w, h;
  } cases[] = {{5, 2}, {2, 5}, {1, 1}};
  for (const Case &c : cases) {
    Bytes img(static_cast<size_t>(c.w * c.h));
    for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i * 37);
    Bytes before = img;
    EXPECT_EQ(ZQ_GS_Filtering(img.data(), c.w, c.h), 1);
    EXPECT_EQ(img, before);
  }
}

TEST(LocalEnhance, UniformImages) {
  // The 11 x 11 mean is 121 x v x 17 >> 11, one too high from v = 228 on:
  // 228 maps to 229, and 5 x (228 - 229) + 229 = 224.
  struct Case {
    uint8_t v, want;
  } cases[] = {{0, 0}, {100, 100}, {227, 227}, {228, 224}, {229, 225}};
  for (const Case &c : cases) {
    Bytes img(7 * 5, c.v);
    EXPECT_EQ(ZQLocEnhance(img.data(), 7, 5), 0);
    EXPECT_EQ(img, Bytes(7 * 5, c.want)) << int(c.v);
  }
}

TEST(LocalEnhance, StretchesAnEdge) {
  Bytes img(12 * 12);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 12; ++x) img[y * 12 + x] = x < 6 ? 90 : 110;
  }
  EXPECT_EQ(ZQLocEnhance(img.data(), 12, 12), 0);
  // Far from the edge the image is flat; across it the contrast grows to
  // the full range.
  for (int y = 0; y < 12; ++y) {
    EXPECT_EQ(img[y * 12 + 4], 0) << y;
    EXPECT_EQ(img[y * 12 + 7], 255) << y;
  }
}

TEST(Fw4856Filters, AllocationFailuresLeaveTheImage) {
  const int32_t start = ZqGetMallocCnts();
  for (int ok : {0, 1, 2, 3}) {
    Bytes img(12 * 12);
    for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i * 13);
    Bytes before = img;
    testing_support::FailAllocationsAfter(ok);
    int gs = ok == 0 ? ZQ_GS_Filtering(img.data(), 12, 12) : 0;
    testing_support::FailAllocationsAfter(ok);
    int le = ZQLocEnhance(img.data(), 12, 12);
    testing_support::StopAllocFailures();
    if (ok == 0) {
      EXPECT_EQ(gs, -1);
    }
    EXPECT_EQ(le, -1) << ok;
    EXPECT_EQ(img, before) << ok;
    EXPECT_EQ(ZqGetMallocCnts(), start);
  }
}

}  // namespace
