// The decisions of template update that need no matching: the split of a
// full finger, the working level, the added area and the replacement
// conditions 2 to 6.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/ZqTemplateUpdateRules.h"

namespace {

using zq_update::ChooseReplacement;
using zq_update::Replacement;
using zq_update::SlotFacts;

TEST(TemplateUpdateRulesTest, SplitIndexTruncatesTwoThirdsInSinglePrecision) {
  const struct {
    uint32_t max, K;
  } cases[] = {{96, 64}, {48, 32}, {3, 2}, {95, 63}, {16, 10}, {2, 1}, {1, 0}, {0, 0}};
  for (const auto &c : cases) EXPECT_EQ(zq_update::SplitIndex(c.max), c.K) << c.max;
}

TEST(TemplateUpdateRulesTest, WorkingLevelRisesOnlyForFullishFingersInTheFastModes) {
  const struct {
    uint8_t U, mode, adjust, raised;
    uint32_t n;
    uint8_t L;
  } cases[] = {
      {16, 1, 1, 21, 60, 16},  // the usual mode never rises
      {16, 4, 0, 21, 49, 17},  // adaptive level off
      {16, 4, 0, 21, 48, 16},  // fewer than 49
      {16, 5, 1, 21, 49, 17},  // adaptive level on, update level not raised
      {21, 5, 1, 21, 49, 21},  // ... raised: stays
      {16, 4, 2, 21, 49, 16},  // an adaptive switch other than 0 or 1
      {28, 4, 0, 28, 96, 28},  // no level above 28
      {16, 3, 0, 21, 96, 16},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(zq_update::WorkingLevel(c.U, c.mode, c.adjust, c.raised, c.n), c.L)
        << "U " << int(c.U) << " mode " << int(c.mode) << " adjust " << int(c.adjust) << " n " << c.n;
  }
}

TEST(TemplateUpdateRulesTest, AddedAreaRoundsHalfAwayFromZero) {
  EXPECT_EQ(zq_update::AddedArea(1, 0, 200), 1);      // 0.5
  EXPECT_EQ(zq_update::AddedArea(199, 0, 200), 100);  // 99.5
  EXPECT_EQ(zq_update::AddedArea(4700, 100, 9216), 50);
  EXPECT_EQ(zq_update::AddedArea(146, 100, 9216), 0);  // 0.499
  EXPECT_EQ(zq_update::AddedArea(147, 100, 9216), 1);  // 0.510
  EXPECT_EQ(zq_update::AddedArea(100, 100, 9216), 0);
  EXPECT_EQ(zq_update::AddedArea(50, 100, 9216), 0) << "more covered than valid";
  EXPECT_EQ(zq_update::AddedArea(50, 0, 0), 0);
}

// n slots that no condition would pick by themselves: large areas, no codes.
std::vector<SlotFacts> Slots(uint32_t n) {
  return std::vector<SlotFacts>(n, SlotFacts{60, 90, 0, 0, 0});
}

TEST(TemplateUpdateRulesTest, ConditionsTwoToSixInOrder) {
  struct Case {
    const char *what;
    void (*setup)(std::vector<SlotFacts> *s);
    uint32_t e;
    uint8_t sampleArea;
    int slot, condition;
  };
  const Case cases[] = {
      {"2: code 3 with the smaller area, lowest index on a tie",
       [](std::vector<SlotFacts> *s) {
         (*s)[5] = {20, 90, 0, 3, 0};
         (*s)[2] = {20, 90, 0, 3, 0};
         (*s)[1] = {40, 90, 0, 3, 0};
         (*s)[3] = {10, 90, 0, 2, 0};  // code 2: not condition 2
       },
       30, 50, 2, 2},
      {"2 needs extendArea below e: the rotating region takes it",
       [](std::vector<SlotFacts> *s) { (*s)[4] = {30, 90, 0, 3, 0}; }, 30, 50, 6, 6},
      {"2 only looks below K",
       [](std::vector<SlotFacts> *s) {
         for (size_t i = 6; i < s->size(); ++i) (*s)[i].extendArea = 100;
         (*s)[7] = {5, 90, 0, 3, 0};
       },
       30, 50, 7, 6},
      {"3: own code 3 against a front slot",
       [](std::vector<SlotFacts> *s) {
         (*s)[4] = {25, 90, 0, 0, 1};
         (*s)[1] = {28, 90, 0, 0, 1};
       },
       30, 50, 4, 3},
      {"4: e more than 2 above the smallest area",
       [](std::vector<SlotFacts> *s) { (*s)[3] = {27, 90, 0, 0, 0}; }, 30, 50, 3, 4},
      {"4 is not met at e = m + 2; 5 takes the smallest finger area",
       [](std::vector<SlotFacts> *s) {
         (*s)[3] = {28, 90, 0, 0, 0};
         (*s)[1] = {30, 40, 0, 0, 0};
         (*s)[0] = {31, 20, 0, 0, 0};  // extendArea above e
         (*s)[4] = {29, 45, 0, 0, 0};
       },
       30, 50, 1, 5},
      {"6: the rotating region's smallest unmarked area",
       [](std::vector<SlotFacts> *s) {
         (*s)[7] = {30, 90, 1, 0, 0};
         (*s)[8] = {40, 90, 0, 0, 0};
         (*s)[9] = {45, 90, 0, 0, 0};
       },
       30, 50, 8, 6},
      {"6 ignores areas of 100",
       [](std::vector<SlotFacts> *s) {
         for (size_t i = 6; i < s->size(); ++i) (*s)[i].extendArea = 100;
       },
       30, 50, -1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<SlotFacts> s = Slots(10);
    c.setup(&s);
    const Replacement r = ChooseReplacement(s.data(), 10, 6, c.e, c.sampleArea);
    EXPECT_EQ(r.slot, c.slot);
    EXPECT_EQ(r.condition, c.condition);
    EXPECT_FALSE(r.clearRotation);
  }
}

TEST(TemplateUpdateRulesTest, RotationVisitsEverySlotOnceBeforeStartingAgain) {
  // 48 slots, K 32: the rotating region is 32..47; the replaced slot's
  // area becomes the region's smallest each time.
  const uint32_t n = 48, K = zq_update::SplitIndex(48);
  std::vector<SlotFacts> s = Slots(n);
  std::vector<int> hits(n, 0);
  for (int round = 0; round < 16; ++round) {
    const Replacement r = ChooseReplacement(s.data(), n, K, 10, 50);
    ASSERT_EQ(r.condition, 6);
    EXPECT_EQ(r.clearRotation, false);
    ++hits[r.slot];
    s[r.slot].replacedFlg = 1;
    s[r.slot].extendArea = 1;
  }
  for (uint32_t i = 0; i < n; ++i) EXPECT_EQ(hits[i], i >= K ? 1 : 0) << i;
  const Replacement again = ChooseReplacement(s.data(), n, K, 10, 50);
  EXPECT_TRUE(again.clearRotation);
  EXPECT_EQ(again.slot, 32) << "all marks cleared: the smallest area, lowest index";
}

TEST(TemplateUpdateRulesTest, WithoutAFrontTheWholeFingerRotates) {
  std::vector<SlotFacts> s = Slots(1);
  Replacement r = ChooseReplacement(s.data(), 1, zq_update::SplitIndex(1), 10, 50);
  EXPECT_EQ(r.slot, 0);
  EXPECT_EQ(r.condition, 6);
  r = ChooseReplacement(s.data(), 0, 0, 10, 50);
  EXPECT_EQ(r.slot, -1);
  EXPECT_FALSE(r.clearRotation);
}

}  // namespace
