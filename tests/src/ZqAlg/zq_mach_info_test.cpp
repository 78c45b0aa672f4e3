// Match results: the report record, the kept values with their getters and
// clearers, and the text report.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/features/ZqAlgMode.h"

namespace {

class MachInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    ZqMachInfoResetForTest();
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    ZqMachInfoResetForTest();
  }
  static std::string Report() {
    int32_t len = -1;
    const char *text = SaveMachInfo(&len);
    EXPECT_EQ(text, gMachInfoBuf);
    EXPECT_EQ(len, static_cast<int32_t>(std::strlen(gMachInfoBuf)));
    EXPECT_EQ(GetMachInfoLenght(), len);
    return std::string(gMachInfoBuf, static_cast<size_t>(len));
  }
};

const char kClearedReport[] =
    "matchRet = -2\n"
    "area = 0, quality = 0, cond = 0\n"
    "maxNum = 0, minNum = 0, all = 0\n"
    "fingerId = 255, matchIndex = 255, matchExtra = 0, sampleExtendArea = 0, updataMode = 0, "
    "updateIndex = 255\n"
    "buffEnTotalCnt = 0, buffEnMatchCnt = 0, buffEnUpdateCnt = 0, updateIndex = 255\n"
    "subTempNum = 0\n"
    "subTempIndex = \n"
    "continueSucessUpdateNum = 0, continueSucessMatchNum = 0\n"
    "ransacScore = 0, binScore = 0, recallScore = 0, recallEn = 0, matchScoreThr = 0\n"
    "uniformSizeMaxValue = 0, uniformSizeMinValue = 0, minMaxRatio = 0.000000\n"
    "uniformSize = 0, overlapSize = 0, ration = 0.000000\n"
    "H_matrix = 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, "
    "0.000000, 0.000000, 0.000000, \n";

TEST_F(MachInfoTest, ClearedReportText) {
  gQuorvMachInfo.ransacScore = 9;
  maxNum = 4;
  SetVerifyRet(0);
  ClearMachInfo();
  EXPECT_EQ(Report(), kClearedReport);
  EXPECT_EQ(SaveMachInfo(nullptr), nullptr);
}

TEST_F(MachInfoTest, FullReportText) {
  ST_QuorvMachInfo &m = gQuorvMachInfo;
  ClearMachInfo();
  SetVerifyRet(0);
  m.area = 88;
  m.quality = 71;
  m.cond = 40;
  maxNum = 120;
  minNum = 95;
  m.fingerId = 2;
  m.matchIndex = 17;
  m.sampleExtendArea = 6;
  m.updataMode = 3;
  m.updateIndex = 30;
  m.buffEnTotalCnt = 5;
  m.buffEnMatchCnt = 2;
  m.buffEnUpdateCnt = 2;
  m.buffUpdateIndex[0] = 4;
  m.buffUpdateIndex[1] = 9;
  m.subTempNum = 3;
  const uint8_t idx[3] = {17, 0, 5};
  const int32_t hits[3] = {6, 2, 0};
  for (int i = 0; i < 3; ++i) {
    m.subTempIndex[i] = idx[i];
    m.subTempScore[i] = hits[i];
  }
  gAutoMatchLevel.continueSucessUpdateNum = 1;
  gAutoMatchLevel.continueSucessMatchNum = 4;
  m.ransacScore = 15;
  m.binScore = 14;
  m.recallScore = 16;
  m.recallEn = 1;
  m.matchScoreThr = 7;
  m.uniformSizeMaxValue = 300;
  m.uniformSizeMinValue = 12;
  m.minMaxRatio = 0.25f;
  m.uniformSize = 410;
  m.overlapsize = 5000;
  m.ration = 0.0819836f;
  const float h[10] = {1.0f, -0.5f, 12.25f, 0.5f, 1.0f, -3.5f, 0.0f, 0.0f, 1.0f, 0.125f};
  std::memcpy(&m.H_matrix, h, sizeof h);

  EXPECT_EQ(Report(),
            "matchRet = 0\n"
            "area = 88, quality = 71, cond = 40\n"
            "maxNum = 120, minNum = 95, all = 215\n"
            "fingerId = 2, matchIndex = 17, matchExtra = 0, sampleExtendArea = 6, "
            "updataMode = 3, updateIndex = 30\n"
            "buffEnTotalCnt = 5, buffEnMatchCnt = 2, buffEnUpdateCnt = 2, updateIndex = 4, 9, \n"
            "subTempNum = 3\n"
            "subTempIndex = 17-6, 0-2, 5-0, \n"
            "continueSucessUpdateNum = 1, continueSucessMatchNum = 4\n"
            "ransacScore = 15, binScore = 14, recallScore = 16, recallEn = 1, matchScoreThr = 7\n"
            "uniformSizeMaxValue = 300, uniformSizeMinValue = 12, minMaxRatio = 0.250000\n"
            "uniformSize = 410, overlapSize = 5000, ration = 0.081984\n"
            "H_matrix = 1.000000, -0.500000, 12.250000, 0.500000, 1.000000, -3.500000, "
            "0.000000, 0.000000, 1.000000, 0.125000, \n");

  // Without the adaptive level the counters line goes.
  ZqSetAdjustMatchEn(0);
  EXPECT_EQ(Report().find("continueSucess"), std::string::npos);
}

TEST_F(MachInfoTest, FingerLineNamesTheMatchThatExists) {
  struct Case {
    int32_t fingerId, matchIndex, extraFingerId, extraIndex;
    const char *head;
  };
  const Case cases[] = {
      {255, 255, 3, 12, "fingerId = 3, matchIndex = 12, matchExtra = 1,"},
      {255, 255, 3, 63, "fingerId = 3, matchIndex = 63, matchExtra = 1,"},
      {255, 255, 3, 64, "fingerId = 255, matchIndex = 255, matchExtra = 0,"},
      {255, 255, 10, 12, "fingerId = 255, matchIndex = 255, matchExtra = 0,"},
      {255, 255, 255, 255, "fingerId = 255, matchIndex = 255, matchExtra = 0,"},
      // Signed comparisons: a negative extra slot counts as a match.
      {255, 255, 0, -1, "fingerId = 0, matchIndex = -1, matchExtra = 1,"},
      {1, 4, 3, 12, "fingerId = 1, matchIndex = 4, matchExtra = 0,"},
      {1, 255, 3, 12, "fingerId = 3, matchIndex = 12, matchExtra = 1,"},
  };
  for (const Case &c : cases) {
    ClearMachInfo();
    gQuorvMachInfo.fingerId = c.fingerId;
    gQuorvMachInfo.matchIndex = c.matchIndex;
    gQuorvMachInfo.extraFingerId = c.extraFingerId;
    gQuorvMachInfo.extraIndex = c.extraIndex;
    const std::string r = Report();
    EXPECT_NE(r.find(std::string("\n") + c.head), std::string::npos)
        << c.fingerId << " " << c.matchIndex << " " << c.extraFingerId << " " << c.extraIndex
        << "\n" << r;
  }
}

TEST_F(MachInfoTest, OversizedCountsAndExtremeValuesStayInsideTheBuffer) {
  ClearMachInfo();
  ST_QuorvMachInfo &m = gQuorvMachInfo;
  m.subTempNum = 255;  // more than the 96 listed entries
  m.buffEnUpdateCnt = 200;
  for (int i = 0; i < 96; ++i) {
    m.subTempIndex[i] = 95;
    m.subTempScore[i] = std::numeric_limits<int32_t>::min();
  }
  for (uint8_t &u : m.buffUpdateIndex) u = 7;
  m.extraQuality = 0xEE;  // right after the update list
  m.minMaxRatio = -std::numeric_limits<float>::max();
  m.ration = std::numeric_limits<float>::max();
  float h[10];
  for (float &v : h) v = -std::numeric_limits<float>::max();
  std::memcpy(&m.H_matrix, h, sizeof h);
  std::memset(gMachInfoBuf, 'X', sizeof gMachInfoBuf);

  int32_t len = 0;
  ASSERT_NE(SaveMachInfo(&len), nullptr);
  ASSERT_LT(len, ZQ_MACH_INFO_BUF_SIZE);
  EXPECT_EQ(gMachInfoBuf[len], '\0');
  const std::string r(gMachInfoBuf, static_cast<size_t>(len));
  // Only the 16 kept update indexes and the 96 listed sub-templates print.
  EXPECT_NE(r.find("updateIndex = 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, \n"),
            std::string::npos);
  EXPECT_EQ(r.find("238"), std::string::npos);
  size_t listed = 0;
  for (size_t at = r.find("95--2147483648, "); at != std::string::npos;
       at = r.find("95--2147483648, ", at + 1)) {
    ++listed;
  }
  EXPECT_EQ(listed, 96u);
  // The text ends after the last piece that fitted whole.
  EXPECT_EQ(r.back(), ' ');
  EXPECT_EQ(r.substr(r.size() - 2), ", ");
  EXPECT_EQ(r.find("H_matrix = "), r.rfind("H_matrix = "));
}

TEST_F(MachInfoTest, RecordCopies) {
  ClearMachInfo();
  gQuorvMachInfo.binScore = 11;
  gQuorvMachInfo.crossCheckCnt = 3;
  ST_QuorvMachInfo out;
  std::memset(&out, 0x55, sizeof out);
  EXPECT_EQ(GetMachInfo(&out), 0);
  EXPECT_EQ(std::memcmp(&out, &gQuorvMachInfo, sizeof out), 0);
  EXPECT_EQ(GetMachInfo(nullptr), -1);
  ST_QuorvMachInfo out2;
  ZqCompyMatchInf(&out2);
  EXPECT_EQ(std::memcmp(&out2, &gQuorvMachInfo, sizeof out2), 0);
  const uint8_t *raw = reinterpret_cast<const uint8_t *>(&out);
  EXPECT_EQ(raw[3], 255) << "fingerId at byte 3, little-endian";
  EXPECT_EQ(raw[620], 3) << "crossCheckCnt in the last two bytes";
}

TEST_F(MachInfoTest, IdentifierClearers) {
  gVerifyFingerId = 4;
  gVerifyTemplateId = 9;
  gUpdateTemplateId = 12;
  EXPECT_EQ(ZqGetMatchFingerId(), 4);
  EXPECT_EQ(ZqGetMachTemplateId(), 9);
  EXPECT_EQ(ZqGetUpdateTemplateId(), 12);
  ZqClearMatchFingerId();
  ZqClearMachTemplateId();
  ZqClearUpdateTemplateId();
  EXPECT_EQ(ZqGetMatchFingerId(), 0);
  EXPECT_EQ(ZqGetMachTemplateId(), 255);
  EXPECT_EQ(ZqGetUpdateTemplateId(), 255);
}

TEST_F(MachInfoTest, ScoresCountersAndExtremum) {
  gVerifyScores = 13;
  gVerifyScore = 26;
  SaveMachScore(17);
  gNumRefusedByClassifier = 2;
  gMulCheckFar = 5;
  EXPECT_EQ(ZqGetMatchScores(), 13);
  EXPECT_EQ(ZqGetVerifyScore(), 26);
  EXPECT_EQ(GetMachScore(), 17);
  EXPECT_EQ(GetNumRefusedByClassifier(), 2);
  EXPECT_EQ(GetmulCheckFar(), 5);
  ZqClearMatchScores();
  ZqClearVerifyScore();
  ClearMachScore();
  ClearNumRefusedByClassifier();
  ClearmulCheckFar();
  EXPECT_EQ(ZqGetMatchScores(), 0);
  EXPECT_EQ(ZqGetVerifyScore(), 0);
  EXPECT_EQ(GetMachScore(), 0);
  EXPECT_EQ(GetNumRefusedByClassifier(), 0);
  EXPECT_EQ(GetmulCheckFar(), 0);

  // Mode 4 on sensor type 10 reports the last match's own score.
  gVerifyScores = 9;
  gLastMatchScore = 14;
  struct Case {
    uint8_t mode;
    uint16_t type;
    int32_t score;
  };
  for (const Case &c : {Case{4, 10, 14}, Case{4, 8, 9}, Case{5, 10, 9}, Case{1, 10, 9}}) {
    ZqSetAlgoMode(c.mode);
    ZqSensorTypeSet(c.type);
    EXPECT_EQ(ZqGetMatchScores(), c.score) << "mode " << int(c.mode) << ", type " << c.type;
  }

  maxNum = 140;
  minNum = 60;
  int32_t mx = 0, mn = 0;
  ZqGetExtremum(&mx, &mn);
  EXPECT_EQ(mx, 140);
  EXPECT_EQ(mn, 60);
  ZqClearExtremum();
  ZqGetExtremum(&mx, nullptr);
  EXPECT_EQ(mx, 0);

  gQuorvMachInfo.ransacScore = 0x10F;  // low bytes only
  gQuorvMachInfo.binScore = 8;
  gQuorvMachInfo.recallScore = 21;
  uint8_t r = 0, b = 0, c = 0;
  EXPECT_EQ(ZqGetSampleVerifyScore(&r, &b, &c), 21);
  EXPECT_EQ(r, 0x0F);
  EXPECT_EQ(b, 8);
  EXPECT_EQ(c, 21);
}

TEST_F(MachInfoTest, MatchHmatrixAndVerifyFarLevel) {
  const float h[10] = {1, 0, 3, 0, 1, 4, 0, 0, 1, 0};
  std::memcpy(&gMatchHmatrix, h, sizeof h);
  ST_FullHMatrix out;
  EXPECT_EQ(ZqGetMatchHmatrix(&out), 0);
  EXPECT_EQ(std::memcmp(&out, h, sizeof h), 0);
  EXPECT_EQ(ZqGetMatchHmatrix(nullptr), -1);
  ZqClearMatchHmatrix();
  ASSERT_EQ(ZqGetMatchHmatrix(&out), 0);
  const float zero[10] = {};
  EXPECT_EQ(std::memcmp(&out, zero, sizeof zero), 0);

  struct Case {
    uint8_t level, score;
  };
  for (const Case &c : {Case{14, 7}, Case{15, 8}, Case{20, 12}, Case{28, 20}}) {
    ZqSetAlgFarLevel(c.level);
    uint8_t level = 0, score = 0;
    ZqGetVerifyFarLevel(&level, &score);
    EXPECT_EQ(level, c.level);
    EXPECT_EQ(score, c.score);
  }
}

TEST(ActionModeTest, IdentifyFamilyIsModes2And4And5) {
  EXPECT_EQ(gQuorvActionMode, 0u) << "idle at load";
  for (uint32_t mode = 0; mode < 8; ++mode) {
    const bool identify = mode == 2 || mode == 4 || mode == 5;
    EXPECT_EQ(quorv_IsIdentifyMode(mode) != 0, identify) << "mode " << mode;
  }
}

}  // namespace
