// Identification against the extra-template buffer: a match names the
// slot's finger and slot, a miss leaves the report of the identification
// before it or names the best candidate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "zq_press_fixture.h"

namespace {

using zq_test::Crop;
using zq_test::Press;

class VerifyExtraTest : public zq_test::VerifyStoreTest {
 protected:
  // What the identification before the extra search left in the report.
  static void PlantReport(int32_t recallScore) {
    ZqResetMachInfoRecord();
    gQuorvMachInfo.recallScore = recallScore;
    gQuorvMachInfo.matchScore = 4;
    gQuorvMachInfo.overlapsize = 1234;
    std::memset(&gMatchInfoTwoDebug, 0, sizeof gMatchInfoTwoDebug);
    gMatchInfoTwoDebug.ransacNum = 4;
  }
  // Fills extra slots 0..n-1 with presses of masters that are not the probe's.
  static void FillWithStrangers(int n) {
    for (int i = 0; i < n; ++i) {
      Crop c = Press(zq_test::PressMaster(10 + i), 0, 0, 0);
      ASSERT_EQ(ZqRefreshTemplateExtraInfor(c.sample.get(), 7), 0);
    }
  }
};

TEST_F(VerifyExtraTest, EmptyBufferMissesAndRestoresTheReport) {
  Crop probe = Press(zq_test::PressMaster(0), 1, 0, 0);
  PlantReport(5);
  ST_QuorvMachInfo before;
  ASSERT_EQ(GetMachInfo(&before), 0);
  const Outcome o = [&] {
    Outcome r{0, 0x5A5A, 0x5A, {}};
    r.ret = ZqVerifyByTemplateExtra(probe.sample.get(), &r.fid, &r.upd, &r.H, 0);
    return r;
  }();
  EXPECT_EQ(o.ret, -2);
  EXPECT_EQ(o.fid, 255);
  EXPECT_EQ(o.upd, 0);
  EXPECT_EQ(std::memcmp(&gQuorvMachInfo, &before, sizeof before), 0);
  EXPECT_EQ(+gMatchInfoTwoDebug.rescueCode, -101);
  EXPECT_EQ(+gMatchInfoTwoDebug.ransacNum, 4);
  EXPECT_EQ(+gMatchInfoTwoDebug.sampleQuality, 80);
  EXPECT_EQ(+gMatchInfoTwoDebug.sampleExtra, 3);
  uint16_t fid;
  int16_t upd;
  ST_FullHMatrix H;
  for (auto fn : {ZqVerifyByTemplateExtra_Debug, ZqVerifyByTemplateExtra_Release}) {
    EXPECT_EQ(fn(nullptr, &fid, &upd, &H, 0), -2);
    EXPECT_EQ(fn(probe.sample.get(), nullptr, &upd, &H, 0), -2);
    EXPECT_EQ(fn(probe.sample.get(), &fid, nullptr, &H, 0), -2);
    EXPECT_EQ(fn(probe.sample.get(), &fid, &upd, nullptr, 0), -2);
  }
}

TEST_F(VerifyExtraTest, MatchNamesTheSlotAndItsFinger) {
  const fingers::MasterFinger m = zq_test::PressMaster(2);
  Crop kept = Press(m, 0, 0, 0);
  Crop probe = Press(m, 1, 12, -9, 0.1);
  FillWithStrangers(5);
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(kept.sample.get(), 4), 0);
  ASSERT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[5], 4);
  PlantReport(3);
  Outcome o{0, 0x5A5A, 0x5A, {}};
  o.ret = ZqVerifyByTemplateExtra(probe.sample.get(), &o.fid, &o.upd, &o.H, 0);
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 4);
  EXPECT_EQ(o.upd, 0);
  // H is the transform of the match, not that of the second look.
  EXPECT_LT(zq_test::MotionError(o.H, probe, kept), 2.0);
  const ST_QuorvMachInfo &r = gQuorvMachInfo;
  EXPECT_EQ(+r.fingerId, 255);
  EXPECT_EQ(+r.matchIndex, 255);
  EXPECT_EQ(+r.extraFingerId, 4);
  EXPECT_EQ(+r.extraIndex, 5);
  EXPECT_GE(+r.recallScore, gMatchScores[14]);
  EXPECT_EQ(+r.matchScoreThr, gMatchScores[14]);
  ST_FullHMatrix reported = r.H_matrix;
  EXPECT_EQ(std::memcmp(&reported, &o.H, sizeof o.H), 0);
  EXPECT_EQ(+gMatchInfoTwoDebug.rescueCode, 3 + 1000);
  EXPECT_EQ(+gMatchInfoTwoDebug.tplQuality, 80);
  EXPECT_EQ(+gMatchInfoTwoDebug.sampleQuality, 80);
  const std::string report = Report();
  EXPECT_NE(report.find("fingerId = 4, matchIndex = 5, matchExtra = 1"), std::string::npos)
      << report;

  // The release variant finds the same slot and leaves the report alone.
  PlantReport(3);
  ST_QuorvMachInfo before;
  ASSERT_EQ(GetMachInfo(&before), 0);
  o.ret = ZqVerifyByTemplateExtra_Release(probe.sample.get(), &o.fid, &o.upd, &o.H, 0);
  ASSERT_EQ(o.ret, 0);
  EXPECT_EQ(o.fid, 4);
  EXPECT_EQ(+gQuorvMachInfo.extraFingerId, +before.extraFingerId);
  EXPECT_EQ(+gQuorvMachInfo.recallScore, 3);
  EXPECT_EQ(+gMatchInfoTwoDebug.ransacNum, 4);
}

TEST_F(VerifyExtraTest, MissReportsTheBestCandidateOnlyWhenItBeatsTheIdentification) {
  // A weak genuine candidate below the strictest level's threshold, after
  // strangers that score less.
  const fingers::MasterFinger m = zq_test::PressMaster(2);
  Crop probe = Press(m, 0, 0, 0);
  Crop weak = Press(m, 1, 44, -30, 0.3);
  FillWithStrangers(2);
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(weak.sample.get(), 6), 0);
  ZqSetAlgFarLevel(28);
  const int T = gMatchScores[28];
  ST_FullHMatrix h{};
  const int best = std::max(ZqVerifyTwoTemplate(probe.sample.get(), weak.sample.get(), &h, 1, 1),
                            ZqVerifyTwoTemplate(weak.sample.get(), probe.sample.get(), &h, 1, 1));
  ASSERT_GT(best, 0);
  ASSERT_LT(best, T);
  struct Case {
    int32_t before;  // recallScore of the identification before
    int32_t rescue;
  } cases[] = {{0, -102}, {best - 1, -102}, {best, -101}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.before);
    PlantReport(c.before);
    Outcome o{0, 0x5A5A, 0x5A, {}};
    o.ret = ZqVerifyByTemplateExtra(probe.sample.get(), &o.fid, &o.upd, &o.H, 0);
    EXPECT_EQ(o.ret, -2);
    EXPECT_EQ(o.fid, 255);
    EXPECT_EQ(+gMatchInfoTwoDebug.rescueCode, c.rescue);
    if (c.rescue == -102) {
      EXPECT_EQ(+gQuorvMachInfo.recallScore, best);
      EXPECT_EQ(+gQuorvMachInfo.matchScoreThr, T);
      EXPECT_EQ(+gQuorvMachInfo.extraIndex, 64);
      EXPECT_EQ(+gQuorvMachInfo.extraFingerId, gQuorvTemplateExtraBufInfor->extraWriteIndex);
      EXPECT_EQ(+gQuorvMachInfo.fingerId, 255);
    } else {
      EXPECT_EQ(+gQuorvMachInfo.recallScore, c.before);
      EXPECT_EQ(+gQuorvMachInfo.overlapsize, 1234);
      EXPECT_EQ(+gQuorvMachInfo.extraIndex, 255);
    }
  }
}

}  // namespace
