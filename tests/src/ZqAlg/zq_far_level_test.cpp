// Far-level tables, raised levels and the adaptive far level.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"
#include "src/lib_log_capture.h"

namespace {

class FarLevelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
};

TEST_F(FarLevelTest, ScoreTablesFollowTheLevelTable) {
  // Runs of equal scores from the level table: {first level, last, score}.
  struct Run {
    int first, last, score;
  };
  const Run runs[] = {{0, 3, 0}, {4, 4, 1},   {5, 5, 2},   {6, 6, 3},
                      {7, 10, 4}, {11, 12, 5}, {13, 13, 6}, {14, 14, 7},
                      {15, 16, 8}};
  for (const Run &r : runs) {
    for (int l = r.first; l <= r.last; ++l) EXPECT_EQ(gMatchScores[l], r.score) << "level " << l;
  }
  for (int l = 17; l <= 28; ++l) EXPECT_EQ(gMatchScores[l], l - 8) << "level " << l;
  for (int l = 0; l <= 28; ++l) EXPECT_EQ(gUpdateScores[l], l <= 8 ? 0 : l - 8) << "level " << l;
}

TEST_F(FarLevelTest, RaisedLevels) {
  struct Case {
    int level, verifyRaised, updateRaised;
  };
  const Case cases[] = {
      {0, 11, 13},  {3, 11, 13},  {4, 13, 13},  {5, 14, 13},  {6, 15, 13},  {7, 17, 13},
      {8, 17, 13},  {10, 17, 15}, {11, 18, 16}, {12, 18, 17}, {13, 19, 18}, {14, 20, 19},
      {15, 21, 20}, {16, 21, 21}, {17, 22, 22}, {22, 27, 27}, {23, 28, 28},
      // No level reaches score + 5 from here: the strictest level.
      {24, 28, 28}, {28, 28, 28},
  };
  for (const Case &c : cases) {
    const uint8_t l = static_cast<uint8_t>(c.level);
    EXPECT_EQ(ZqRaisedFarLevel(gMatchScores, l), c.verifyRaised) << "level " << c.level;
    EXPECT_EQ(ZqRaisedFarLevel(gUpdateScores, l), c.updateRaised) << "level " << c.level;
  }
  // Out-of-table levels stay inside the table.
  EXPECT_EQ(ZqRaisedFarLevel(gMatchScores, 200), 28);
}

TEST_F(FarLevelTest, LoadDefaultsAreLevels15And16WithScore8) {
  EXPECT_EQ(ZqGetAlgFarLevel(), 15);
  EXPECT_EQ(gSensorInfor.updateFarLevel, 16);
  EXPECT_EQ(gMatchScores[gSensorInfor.algVerifyFarLevel], 8);
  EXPECT_EQ(gUpdateScores[gSensorInfor.updateFarLevel], 8);
  EXPECT_EQ(gAutoMatchLevel.raisedVerifyLevel, 21);
  EXPECT_EQ(gAutoMatchLevel.raisedUpdateLevel, 21);
  EXPECT_EQ(gAutoMatchLevel.recallEn, 1);
}

TEST_F(FarLevelTest, SettersConfigureLevelAndRaisedLevel) {
  gAutoMatchLevel.recallEn = 0;
  ZqSetAlgFarLevel(14);
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.cfgVerifyLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.baseVerifyLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.raisedVerifyLevel, 20);
  EXPECT_EQ(gAutoMatchLevel.recallEn, 1);

  gAutoMatchLevel.recallEn = 0;
  ZqSetUpdateTemplateFarLevel(16);
  EXPECT_EQ(gSensorInfor.updateFarLevel, 16);
  EXPECT_EQ(gAutoMatchLevel.cfgUpdateLevel, 16);
  EXPECT_EQ(gAutoMatchLevel.raisedUpdateLevel, 21);
  EXPECT_EQ(gAutoMatchLevel.recallEn, 0) << "the update setter leaves recall alone";

  ZqSetAlgFarLevel(0);
  EXPECT_EQ(gAutoMatchLevel.raisedVerifyLevel, 11);
}

TEST_F(FarLevelTest, LevelAboveTheTableIsRefused) {
  testing_support::LibLogCapture log;
  ZqSetAlgFarLevel(14);
  ZqSetUpdateTemplateFarLevel(16);
  ZqSetAlgFarLevel(29);
  ZqSetUpdateTemplateFarLevel(255);
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.cfgVerifyLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.raisedVerifyLevel, 20);
  EXPECT_EQ(gSensorInfor.updateFarLevel, 16);
  EXPECT_EQ(gAutoMatchLevel.raisedUpdateLevel, 21);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0], "ZqSetAlgFarLevel...level(= 29) > 28, refused");
  EXPECT_EQ(m[1], "ZqSetUpdateTemplateFarLevel...level(= 255) > 28, refused");
}

// The driver's configuration: verify 14, update 16, adaptive level on.
class AdaptiveLevelTest : public FarLevelTest {
 protected:
  void SetUp() override {
    FarLevelTest::SetUp();
    ZqSetAlgFarLevel(14);
    ZqSetUpdateTemplateFarLevel(16);
    ZqInitAutoMatchLevel();
  }
  void Fail(uint16_t best) { ZqUpdateAutoMatchLevel(-1, best); }
  void Succeed() { ZqUpdateAutoMatchLevel(0, 20); }
  void ExpectLevels(int verify, int update, int recall, const char *when) {
    EXPECT_EQ(gSensorInfor.algVerifyFarLevel, verify) << when;
    EXPECT_EQ(gSensorInfor.updateFarLevel, update) << when;
    EXPECT_EQ(gAutoMatchLevel.recallEn, recall) << when;
  }
};

TEST_F(AdaptiveLevelTest, SevenWeakFailuresRaiseAndOneSuccessRestores) {
  Succeed();
  for (int i = 1; i <= 6; ++i) {
    Fail(6);
    ExpectLevels(14, 16, 1, "within the failure run");
  }
  Fail(0);
  ExpectLevels(20, 21, 0, "after the seventh failure");
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 7);
  Fail(3);
  ExpectLevels(20, 21, 0, "the run rests once raised");
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 7);
  Succeed();
  ExpectLevels(14, 16, 1, "after one success");
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 0);
}

TEST_F(AdaptiveLevelTest, NearMissResetsTheRunAndRestores) {
  for (int i = 0; i < 7; ++i) Fail(5);
  ExpectLevels(20, 21, 0, "raised");
  Fail(7);
  ExpectLevels(14, 16, 1, "after a near miss");
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 0);
  // The run starts over: six more weak failures do not raise.
  for (int i = 0; i < 6; ++i) Fail(6);
  ExpectLevels(14, 16, 1, "six failures after the near miss");
  Fail(6);
  ExpectLevels(20, 21, 0, "seventh failure after the near miss");
}

TEST_F(AdaptiveLevelTest, FailureClearsTheUpdateRunAndLogsTheRun) {
  gAutoMatchLevel.continueSucessUpdateNum = 4;
  Fail(2);
  EXPECT_EQ(gAutoMatchLevel.continueSucessUpdateNum, 0);
  testing_support::LibLogCapture log;
  Fail(2);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0],
            "ZqUpdateAutoMatchLevel...continueSucessMatchNum= 0, continueFailMatchNum = 2, "
            "recallEn = 1");
  EXPECT_EQ(m[1], "ZqUpdateAutoMatchLevel...algVerifyFarLevel = 14, updateFarLevel = 16");
}

TEST_F(AdaptiveLevelTest, SuccessRunRestoresTheBaseLevelOnce) {
  ZqRaiseAutoMatchLevel(0);
  ExpectLevels(20, 16, 0, "raised by the identify flow");
  Succeed();  // first success: configured levels back, recall on
  ExpectLevels(14, 16, 1, "first success");
  ZqRaiseAutoMatchLevel(1);
  for (int i = 2; i <= 6; ++i) Succeed();
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 20) << "counting successes keeps the level";
  Succeed();  // the seventh: base level back
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 14);
  EXPECT_EQ(gAutoMatchLevel.continueSucessMatchNum, 7);
  ZqRaiseAutoMatchLevel(1);
  Succeed();
  EXPECT_EQ(gSensorInfor.algVerifyFarLevel, 20) << "the run rests at 7 and changes nothing";
  EXPECT_EQ(gAutoMatchLevel.continueSucessMatchNum, 7);
}

TEST_F(AdaptiveLevelTest, Mode4RaisesInSteps) {
  ZqSetAlgoMode(4);
  Fail(0);  // starts the run at 1
  struct Step {
    int failures, verify, update, recall;
  };
  // Counter after each failure: 2, 3, ...; thresholds above 4, 9 and 19.
  const Step steps[] = {{4, 14, 16, 1}, {5, 14, 21, 1}, {9, 14, 21, 1}, {10, 14, 21, 0},
                        {19, 14, 21, 0}, {20, 20, 21, 0}, {25, 20, 21, 0}};
  int count = 1;
  for (const Step &s : steps) {
    while (count < s.failures) {
      Fail(1);
      ++count;
    }
    ExpectLevels(s.verify, s.update, s.recall, ("counter " + std::to_string(count)).c_str());
    EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, count < 20 ? count : 20);
  }
}

TEST_F(AdaptiveLevelTest, NearMissLimitIs10OnlyForMode4WithType10) {
  struct Case {
    uint8_t mode;
    uint16_t type;
    uint16_t best;
    bool nearMiss;
  };
  const Case cases[] = {{4, 10, 10, false}, {4, 10, 11, true}, {4, 9, 7, true},
                        {1, 10, 7, true},   {1, 10, 6, false}};
  for (const Case &c : cases) {
    ZqSetAlgoMode(c.mode);
    ZqSensorTypeSet(c.type);
    ZqInitAutoMatchLevel();
    Fail(0);
    Fail(0);  // run of 2
    Fail(c.best);
    EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, c.nearMiss ? 0 : 3)
        << "mode " << int(c.mode) << ", type " << c.type << ", best " << c.best;
  }
}

TEST_F(AdaptiveLevelTest, OffMeansNothingMoves) {
  ZqSetAdjustMatchEn(0);
  for (int i = 0; i < 10; ++i) Fail(0);
  ZqRaiseAutoMatchLevel(0);
  ExpectLevels(14, 16, 1, "adjustMatchEn 0");
  EXPECT_EQ(gAutoMatchLevel.continueFailMatchNum, 0);
}

}  // namespace
