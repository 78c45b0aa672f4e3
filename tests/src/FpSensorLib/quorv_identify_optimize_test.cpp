// The rescue rules of the live identification: which failures each level
// accepts, that every rule tests before it records the score, and how the
// three histories are written.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_live_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/ZqAlg/ZqSensorInfor.h"

namespace sensorlib_test {
namespace {

using Row = std::vector<int32_t>;

void SetRow(int32_t *row, const Row &v) {
  for (int i = 0; i < 5; ++i) row[i] = v[i];
}
Row GetRow(const int32_t *row) { return Row(row, row + 5); }

class OptimizeTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    Clear();
    saved_far_ = gSensorInfor.algVerifyFarLevel;
  }
  void TearDown() override {
    Clear();
    gSensorInfor.algVerifyFarLevel = saved_far_;
    SensorLibTest::TearDown();
  }
  static void Clear() {
    memset(fingerMachScores, 0, sizeof(fingerMachScores));
    memset(recentMachScores, 0, sizeof(recentMachScores));
    memset(successMachTimes, 0, sizeof(successMachTimes));
  }
  // Runs the level's rule on score s of finger f at quality q: the result,
  // and the finger written (0xee when none).
  static int Run(uint8_t level, int32_t s, int32_t f, uint8_t q, uint8_t *out) {
    quorv_SetOptimizeIdentifyLevel(level, g_quorvOptimizeIdentify.mean_score_thr,
                                   g_quorvOptimizeIdentify.quality_limit);
    uint8_t record[5] = {q, 80, 60, 10, 255};
    *out = 0xee;
    return quorv_OptimizeIdentifyResult(s, f, record, out);
  }
  uint8_t saved_far_ = 0;
};

TEST_F(OptimizeTest, RuleTable) {
  // Quality limit 70, mean-score threshold 5 (the defaults).
  struct Case {
    const char *name;
    uint8_t level;
    std::function<void()> history;
    int32_t s, f;
    uint8_t q;
    int expected;
  };
  const auto finger2 = [](Row r) { return [r] { SetRow(fingerMachScores[2], r); }; };
  const auto recent = [](Row r) { return [r] { SetRow(recentMachScores, r); }; };
  const Case cases[] = {
      {"rule 0 accepts score 4 with 3 positives", 1, finger2({9, 0, 9, 0, 9}), 4, 2, 69, 0},
      {"rule 0 wants more than 2 positives", 1, finger2({9, 0, 9, 0, 0}), 4, 2, 69, -1},
      {"rule 0 counts only the matched finger", 1, [] { SetRow(fingerMachScores[1], {9, 9, 9, 9, 9}); },
       4, 2, 10, -1},
      {"rule 0 wants a score above 3", 1, finger2({9, 9, 9, 9, 9}), 3, 2, 10, -1},
      {"rule 0 wants quality below the limit", 1, finger2({9, 9, 9, 9, 9}), 9, 2, 70, -1},
      {"rule 0 takes a negative score as large", 1, finger2({9, 9, 9, 0, 0}), -1, 2, 10, 0},
      {"rule 1 counts any finger's scores", 2, recent({1, 1, 1, 0, 0}), 4, 7, 10, 0},
      {"rule 1 wants more than 2 positives", 2, recent({1, 1, 0, 0, -3}), 4, 7, 10, -1},
      {"rule 2 mean reaches the threshold", 3, recent({5, 5, 5, 5, 5}), 4, 7, 10, 0},
      {"rule 2 mean truncates below it", 3, recent({5, 5, 5, 5, 4}), 4, 7, 10, -1},
      {"rule 3 mean of the finger", 4, finger2({25, 0, 0, 0, 0}), 4, 2, 10, 0},
      {"rule 3 mean below", 4, finger2({24, 0, 0, 0, 0}), 4, 2, 10, -1},
      {"rule 4 high quality takes rule 2 below 100", 5, recent({5, 5, 5, 5, 5}), 4, 7, 99, 0},
      {"rule 4 quality 100 never", 5, recent({5, 5, 5, 5, 5}), 4, 7, 100, -1},
      {"rule 4 low quality takes rule 0", 5, finger2({9, 9, 9, 0, 0}), 4, 2, 10, 0},
      {"rule 4 low quality ignores the recent mean", 5, recent({9, 9, 9, 9, 9}), 4, 2, 10, -1},
      {"rule 5 high quality takes rule 3", 6, finger2({25, 0, 0, 0, 0}), 4, 2, 80, 0},
      {"rule 5 low quality takes rule 1", 6, recent({1, 1, 1, 0, 0}), 4, 2, 10, 0},
      {"level 0 never", 0, recent({9, 9, 9, 9, 9}), 50, 2, 10, -1},
      {"level 8 never", 8, recent({9, 9, 9, 9, 9}), 50, 2, 10, -1},
      {"level 255 never", 255, recent({9, 9, 9, 9, 9}), 50, 2, 10, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    c.history();
    uint8_t out = 0;
    EXPECT_EQ(Run(c.level, c.s, c.f, c.q, &out), c.expected);
    EXPECT_EQ(out, c.expected == 0 ? static_cast<uint8_t>(c.f) : 0xee);
  }
}

TEST_F(OptimizeTest, ScoreIsRecordedAfterTheTest) {
  SetRow(fingerMachScores[2], {9, 0, 9, 0, 0});
  uint8_t out = 0;
  EXPECT_EQ(Run(1, 4, 2, 10, &out), -1);  // two positives: the 4 does not count yet
  EXPECT_EQ(GetRow(fingerMachScores[2]), (Row{4, 9, 0, 9, 0}));
  EXPECT_EQ(Run(1, 4, 2, 10, &out), 0);   // now it does
  EXPECT_EQ(out, 2);

  SetRow(recentMachScores, {1, 1, 0, 0, 0});
  EXPECT_EQ(Run(2, 4, 5, 10, &out), -1);
  EXPECT_EQ(GetRow(recentMachScores), (Row{4, 1, 1, 0, 0}));
  EXPECT_EQ(Run(2, 4, 5, 10, &out), 0);
}

TEST_F(OptimizeTest, FingerHistoryWrites) {
  SetRow(fingerMachScores[1], {1, 2, 3, 4, 5});
  SetRow(fingerMachScores[2], {6, 7, 8, 9, 10});
  uint8_t out = 0;
  // A score of finger 2 moves only its row.
  Run(1, 11, 2, 90, &out);
  EXPECT_EQ(GetRow(fingerMachScores[1]), (Row{1, 2, 3, 4, 5}));
  EXPECT_EQ(GetRow(fingerMachScores[2]), (Row{11, 6, 7, 8, 9}));
  // No finger: every row moves back, 0 in front.
  Run(4, 0, 255, 90, &out);
  EXPECT_EQ(GetRow(fingerMachScores[1]), (Row{0, 1, 2, 3, 4}));
  EXPECT_EQ(GetRow(fingerMachScores[2]), (Row{0, 11, 6, 7, 8}));
  EXPECT_EQ(GetRow(fingerMachScores[9]), (Row{0, 0, 0, 0, 0}));
  // The recent list takes every score, 0 too.
  SetRow(recentMachScores, {1, 2, 3, 4, 5});
  Run(3, 0, 255, 90, &out);
  EXPECT_EQ(GetRow(recentMachScores), (Row{0, 1, 2, 3, 4}));
  EXPECT_EQ(recentMachScores[5], 0);  // only five entries are used
}

TEST_F(OptimizeTest, Rule6FollowsTheVerifyLevelAndCountsSuccesses) {
  struct Case {
    uint8_t far_level;  // its match-score threshold in the comment
    int32_t s;
    int expected;
  };
  const Case cases[] = {
      {0, 50, -1},   // threshold 0: never
      {3, 255, -1},  // threshold 0: never
      {4, 0, 0},     // threshold 1: any score from 0
      {15, 7, 0},    // threshold 8: 7 is enough
      {15, 6, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.far_level);
    gSensorInfor.algVerifyFarLevel = c.far_level;
    uint8_t out = 0;
    EXPECT_EQ(Run(7, c.s, 1, 10, &out), c.expected);
  }
  Clear();
  gSensorInfor.algVerifyFarLevel = 15;
  uint8_t out = 0;
  for (int i = 0; i < 40; ++i) Run(7, 9, 6, 10, &out);
  EXPECT_EQ(successMachTimes[6], 30);
  Run(7, 0, 6, 10, &out);  // a zero score counts nothing
  Run(7, 9, 255, 10, &out);
  EXPECT_EQ(successMachTimes[6], 30);
  EXPECT_EQ(std::vector<int32_t>(successMachTimes, successMachTimes + 6), std::vector<int32_t>(6, 0));
}

TEST_F(OptimizeTest, MissingRecordOrOutputNeverAccepts) {
  quorv_SetOptimizeIdentifyLevel(1, 5, 70);
  SetRow(fingerMachScores[2], {9, 9, 9, 9, 9});
  uint8_t record[5] = {10, 80, 60, 10, 255};
  uint8_t out = 0;
  EXPECT_EQ(quorv_OptimizeIdentifyResult(9, 2, nullptr, &out), -1);
  EXPECT_EQ(quorv_OptimizeIdentifyResult(9, 2, record, nullptr), -1);
  EXPECT_EQ(GetRow(fingerMachScores[2]), (Row{9, 9, 9, 9, 9}));
}

}  // namespace
}  // namespace sensorlib_test
