// The bin check: penalties on the inlier count and the recall pass flag
// from the agreement of the binarised images, in both forms.
#include <gtest/gtest.h>

#include <cmath>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqUniformSizeCheck.h"

namespace {

class UniformSizeCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();  // 96 x 96: area 9216
    ZqMachInfoResetForTest();
    gQuorvActionMode = QUORV_ACTION_IDLE;
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqMachInfoResetForTest();
    gQuorvActionMode = QUORV_ACTION_IDLE;
  }
};

// Counters: compared, four quarters, in frame.
struct Counters {
  int16_t c[6];
};

// Quarters equal (no spread, full coverage) unless given.
Counters Even(int16_t compared, int16_t inFrame) {
  const int16_t q = static_cast<int16_t>(compared / 4);
  return {{compared, q, q, q, q, inFrame}};
}

struct Case {
  const char *what;
  uint8_t enhance;
  uint32_t m;
  uint8_t recallEn;
  uint16_t uniformSize;
  Counters counters;
  uint32_t mOut;
  int16_t pass;
};

TEST_F(UniformSizeCheckTest, GeneralFormTable) {
  // In-frame levels at 9216 pixels: above 2764 idx 0, 3686 idx 1, ...,
  // 8294 idx 6; the compared count 99 or 1000 makes r = uniformSize / 100
  // or / 1001.
  const Case cases[] = {
      {"idx 0, r = 0.85 exactly: T1 not undercut", 0, 10, 1, 85, Even(99, 2000), 10, 1},
      {"idx 0, r = 0.84 below T1", 0, 10, 1, 84, Even(99, 2000), 10, 0},
      {"r = 0.8: 10 x 1.11 x 0.8 = 8.88 -> 8, below T1[0]", 0, 10, 1, 80, Even(99, 2000), 8, 0},
      {"r = 0.8 at idx 6: T1 0.73 passes", 0, 10, 1, 80, Even(99, 9000), 8, 1},
      {"r = 0.8 at idx 5 (in frame 7373)", 0, 10, 1, 80, Even(99, 7373), 8, 1},
      {"in frame 3686 (trunc of 0.4 x 9216) is still idx 0", 0, 10, 1, 83, Even(99, 3686), 10, 0},
      {"in frame 3687: idx 1, T1 0.82", 0, 10, 1, 83, Even(99, 3687), 10, 1},
      {"recallEn 0, r below T2: m = 0", 0, 20, 0, 77, Even(99, 2000), 0, 0},
      {"recallEn 0, rf below 0.6 at idx 7: m = 0", 0, 20, 0, 59, Even(99, 9216), 0, 0},
      {"recallEn 1, boosted to 1, both penalties: stays 1", 0, 3, 1, 55, Even(99, 2000), 1, 0},
      {"recallEn 1, boosted to 3, both penalties: 1", 0, 6, 1, 55, Even(99, 2000), 1, 0},
      {"recallEn 1, boosted to 6, both penalties: 4", 0, 10, 1, 55, Even(99, 2000), 4, 0},
      {"recallEn 1, only T2: one decrement", 0, 10, 1, 77, Even(99, 2000), 7, 0},
      {"m 4 ends the recall", 0, 4, 1, 90, Even(99, 2000), 4, 0},
      {"m 5 keeps it", 0, 5, 1, 90, Even(99, 2000), 5, 1},
      {"recallEn 0 never passes", 0, 10, 0, 90, Even(99, 2000), 10, 0},
      {"enhanced: rf = 0.8196 boosts 0.9875 x 9.213 -> 9", 1, 10, 1, 83, Even(99, 3687), 9, 1},
      {"not enhanced: 0.83 is no low ratio", 0, 10, 1, 83, Even(99, 3687), 10, 1},
      // Quarter checks only for a low ratio: spread limit trunc(1000 x
      // 0.085) = 85; coverage needs 4 x largest quarter >= 800.
      {"spread 84", 0, 10, 1, 801, {{1000, 200, 200, 200, 179, 9000}}, 8, 1},
      {"spread 88", 0, 10, 1, 801, {{1000, 200, 200, 200, 178, 9000}}, 8, 0},
      {"spread 88 with a high ratio", 0, 10, 1, 830, {{1000, 200, 200, 200, 178, 9000}}, 10, 1},
      {"largest quarter 199", 0, 10, 1, 801, {{1000, 199, 199, 199, 199, 9000}}, 8, 0},
      {"largest quarter 200", 0, 10, 1, 801, {{1000, 200, 199, 199, 199, 9000}}, 8, 1},
  };
  for (const Case &c : cases) {
    gSensorInfor.binImageEnhance = c.enhance;
    int16_t pass = -7;
    uint32_t m = 999;
    ASSERT_EQ(ZqUniformSizeCheck(c.m, c.recallEn, c.uniformSize, c.counters.c, &pass, &m), 0);
    EXPECT_EQ(m, c.mOut) << c.what;
    EXPECT_EQ(pass, c.pass) << c.what;
  }
}

struct Mode3Case {
  const char *what;
  uint32_t m;
  uint8_t recallEn;
  uint16_t uniformSize;
  Counters counters;
  uint32_t mOut;
  int16_t pass;
  int penalties;  // factors 0.6 on the area weight
};

TEST_F(UniformSizeCheckTest, Mode3FormTable) {
  // Compared 6000: idx 3 (T1 0.76, T2 0.70), weight 6000 / 9216 - 0.25.
  const float w = 6000.0f / 9216.0f - 0.25f;
  const Mode3Case cases[] = {
      {"r = 0.8: boosted to 8, nothing else", 10, 1, 4800, Even(6000, 0), 8, 1, 0},
      {"8 is the floor + 1", 9, 1, 5400, Even(6000, 0), 9, 1, 0},
      {"7 ends the recall", 7, 1, 5400, Even(6000, 0), 7, 0, 0},
      {"r = 0.75 below T1", 10, 1, 4500, Even(6000, 0), 7, 0, 1},
      {"recallEn 0, r below T2", 10, 0, 4000, Even(6000, 0), 0, 0, 2},
      {"recallEn 1, r = 0.5: 11, then three decrements", 20, 1, 3000, Even(6000, 0), 8, 0, 3},
      {"spread 520 above trunc(510): even with a high ratio", 10, 1, 5800,
       {{6000, 1500, 1500, 1500, 1370, 0}}, 9, 0, 1},
      {"spread 400", 10, 1, 5800, {{6000, 1500, 1500, 1500, 1400, 0}}, 10, 1, 0},
      {"largest quarter 1190: coverage", 10, 1, 5800, {{6000, 1190, 1190, 1190, 1190, 0}}, 10, 0, 1},
  };
  for (const Mode3Case &c : cases) {
    int16_t pass = -7;
    uint32_t m = 999;
    float s = -1;
    ASSERT_EQ(ZqUniformSizeCheckMode3(c.m, c.recallEn, c.uniformSize, c.counters.c, &pass, &m, &s), 0);
    EXPECT_EQ(m, c.mOut) << c.what;
    EXPECT_EQ(pass, c.pass) << c.what;
    float expected = w;
    for (int i = 0; i < c.penalties; ++i) expected *= 0.6f;
    EXPECT_FLOAT_EQ(s, expected) << c.what;
  }
}

TEST_F(UniformSizeCheckTest, Mode3WithoutComparedPixelsFiresNoRatioTest) {
  // uniformSize / 0 is infinity, 0 / 0 not a number: no comparison holds.
  for (uint16_t us : {0, 5}) {
    const Counters zero = {{0, 0, 0, 0, 0, 0}};
    int16_t pass = -7;
    uint32_t m = 0;
    float s = -1;
    ASSERT_EQ(ZqUniformSizeCheckMode3(10, 1, us, zero.c, &pass, &m, &s), 0);
    EXPECT_EQ(m, 10u) << us;
    EXPECT_EQ(pass, 1) << us;
    EXPECT_EQ(s, 0.0f) << us;  // 0 / area - 0.25 is below 1e-6
  }
  // The general form divides by compared + 1 instead: r = 0 boosts m to 0.
  const Counters zero = {{0, 0, 0, 0, 0, 0}};
  int16_t pass = -7;
  uint32_t m = 0;
  ASSERT_EQ(ZqUniformSizeCheck(10, 1, 0, zero.c, &pass, &m), 0);
  EXPECT_EQ(m, 0u);
  EXPECT_EQ(pass, 0);
}

TEST_F(UniformSizeCheckTest, NullArgumentsWriteNothing) {
  const Counters c = Even(99, 2000);
  int16_t pass = 5;
  uint32_t m = 55;
  float s = 3;
  EXPECT_EQ(ZqUniformSizeCheck(10, 1, 80, nullptr, &pass, &m), -1);
  EXPECT_EQ(ZqUniformSizeCheck(10, 1, 80, c.c, nullptr, &m), -1);
  EXPECT_EQ(ZqUniformSizeCheck(10, 1, 80, c.c, &pass, nullptr), -1);
  EXPECT_EQ(ZqUniformSizeCheckMode3(10, 1, 80, nullptr, &pass, &m, &s), -1);
  EXPECT_EQ(ZqUniformSizeCheckMode3(10, 1, 80, c.c, &pass, &m, nullptr), -1);
  EXPECT_EQ(pass, 5);
  EXPECT_EQ(m, 55u);
  EXPECT_EQ(s, 3.0f);
}

TEST_F(UniformSizeCheckTest, ReportFieldsOnlyInTheIdentifyFamily) {
  const Counters c = Even(99, 2000);
  for (uint32_t mode : {0u, 1u, 2u, 4u, 5u}) {
    for (int form = 0; form < 2; ++form) {
      ZqMachInfoResetForTest();
      gQuorvActionMode = mode;
      int16_t pass;
      uint32_t m;
      float s;
      if (form == 0) {
        ZqUniformSizeCheck(10, 1, 80, c.c, &pass, &m);
      } else {
        ZqUniformSizeCheckMode3(10, 1, 80, c.c, &pass, &m, &s);
      }
      const bool identify = mode == 2 || mode == 4 || mode == 5;
      const float r = form == 0 ? 80.0f / 100.0f : 80.0f / 99.0f;
      // The record is packed: read its fields by value.
      const float ration = gQuorvMachInfo.ration;
      const int32_t uniformSize = gQuorvMachInfo.uniformSize;
      const int32_t overlapsize = gQuorvMachInfo.overlapsize;
      const int32_t binScore = gQuorvMachInfo.binScore;
      EXPECT_EQ(ration, identify ? r : 0.0f) << mode << " form " << form;
      EXPECT_EQ(uniformSize, identify ? 80 : 0) << mode;
      EXPECT_EQ(overlapsize, identify ? 99 : 0) << mode;
      EXPECT_EQ(binScore, identify ? static_cast<int32_t>(m) : 0) << mode;
    }
  }
}

}  // namespace
