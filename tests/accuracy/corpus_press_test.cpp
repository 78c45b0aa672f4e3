// The corpus writer's skin option.
#include <gtest/gtest.h>

#include "accuracy/corpus_press.h"

namespace {

TEST(CorpusPressTest, ParsesTheSkinMix) {
  struct Case {
    const char *text;
    bool ok;
    double dry = 0, dmin = 0, dmax = 0, wet = 0, wmin = 0, wmax = 0;
  };
  const Case cases[] = {
      {"dry=30,wet=25", true, 0.30, 0.2, 0.9, 0.25, 0.2, 0.9},
      {"dry=30:0.3-0.9,wet=25:0.15-0.5", true, 0.30, 0.3, 0.9, 0.25, 0.15, 0.5},
      {"wet=100:0.5-0.5", true, 0, 0.2, 0.9, 1.0, 0.5, 0.5},
      {"dry=0", true, 0, 0.2, 0.9, 0, 0.2, 0.9},
      {"dry=60,wet=50", false},          // more than every press
      {"dry=30:0.9-0.3", false},         // range backwards
      {"dry=30:0.3-1.5", false},         // beyond severe
      {"dry=30,dry=20", false},          // twice
      {"oily=10", false},                {"dry=30;wet=20", false},
      {"dry=30:0.3", false},             {"dry=", false},
      {"", false},                       {"dry=-5", false},
  };
  for (const Case &c : cases) {
    accuracy::CorpusSkin s;
    s.dry_share = -1;
    EXPECT_EQ(accuracy::ParseCorpusSkin(c.text, &s), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_EQ(s.dry_share, -1) << c.text;  // untouched
      continue;
    }
    EXPECT_DOUBLE_EQ(s.dry_share, c.dry) << c.text;
    EXPECT_DOUBLE_EQ(s.min_dryness, c.dmin) << c.text;
    EXPECT_DOUBLE_EQ(s.max_dryness, c.dmax) << c.text;
    EXPECT_DOUBLE_EQ(s.wet_share, c.wet) << c.text;
    EXPECT_DOUBLE_EQ(s.min_wetness, c.wmin) << c.text;
    EXPECT_DOUBLE_EQ(s.max_wetness, c.wmax) << c.text;
  }
}

}  // namespace
