// The trace of genuine comparisons: the stage that lost a comparison, the
// truth it reads and the observer it installs in the matcher.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "accuracy/corpus_press.h"
#include "accuracy/driver_algorithm.h"
#include "accuracy/stage_trace.h"
#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqMatchInfoTwo.h"

namespace {

using accuracy::StageFigures;

StageFigures Fig(int window, int inliers, int fb, int checked, int recall_ran, int recalled,
                 int cls, int rescue, int score) {
  StageFigures f;
  f.compared = true;
  f.t.binnedPairs = 2 * window;
  f.t.largestWindow = window;
  f.t.inliers = inliers;
  f.t.foreignBodyCut = fb;
  f.t.checked = checked;
  f.t.recallRan = recall_ran;
  f.t.recalled = recalled;
  f.t.classifierRet = cls;
  f.t.rescueCode = rescue;
  f.t.score = score;
  return f;
}

TEST(StageTraceTest, NamesTheFirstStageThatLeftTheComparisonShort) {
  // Threshold 7, inlier limit 6.
  struct Case {
    const char *why;
    StageFigures f;
    const char *lost_at;
  };
  const Case cases[] = {
      {"no sample", StageFigures{}, "no sample"},
      {"kept", Fig(40, 12, 0, 12, 0, 12, 0, 0, 12), ""},
      {"kept by the rescue", Fig(40, 5, 0, 5, 0, 5, 0, 21, 9), ""},
      {"no orientation window of six pairs", Fig(5, 0, 0, 0, 0, 0, 0, 0, 0), "descriptor pairs"},
      {"too few inliers", Fig(30, 5, 0, 5, 0, 5, 0, 0, 5), "registration"},
      {"a window of six, five inliers", Fig(6, 5, 0, 5, 0, 5, 0, 0, 5), "registration"},
      {"foreign body", Fig(30, 20, 1, 0, 0, 0, 0, 0, 0), "foreign-body test"},
      {"uniform size cut", Fig(30, 10, 0, 1, 0, 1, 0, 0, 1), "pixel agreement"},
      {"recall lower", Fig(30, 10, 0, 10, 1, 6, 0, 0, 6), "recall"},
      {"false-accept cut", Fig(30, 10, 0, 10, 1, 10, -11, 0, 1), "false-accept cut"},
      {"inliers short of the threshold", Fig(30, 6, 0, 6, 1, 6, 0, 0, 6), "below threshold"},
  };
  for (const Case &c : cases) EXPECT_EQ(accuracy::LostAt(c.f, 7, 6), c.lost_at) << c.why;
}

TEST(StageTraceTest, ReadsSkinAndPoseFromTruth) {
  const std::string dir = ::testing::TempDir() + "zq_stage_trace_truth";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  {
    std::ofstream t(dir + "/truth.csv");
    t << "finger,impression,center_x,center_y,rotation_deg,pressure,dryness,wetness,"
         "contact_radius,noise\n"
         "1,1,120.50,150.00,-3.25,0.50,0.00,0.00,0.90,2.00\n"
         "1,2,121.00,151.00,10.00,0.40,0.62,0.00,0.90,2.00\n"
         "2,1,99.00,98.00,0.00,0.60,0.00,0.31,1.00,3.00\n";
  }
  const auto truth = accuracy::ReadTruth(dir);
  ASSERT_EQ(truth.size(), 3u);
  EXPECT_DOUBLE_EQ(truth.at("1_1").center_x, 120.5);
  EXPECT_DOUBLE_EQ(truth.at("1_1").rotation_deg, -3.25);
  EXPECT_EQ(accuracy::SkinOf(truth, "1_1"), "normal");
  EXPECT_EQ(accuracy::SkinOf(truth, "1_2"), "dry");
  EXPECT_EQ(accuracy::SkinOf(truth, "2_1"), "wet");
  EXPECT_EQ(accuracy::SkinOf(truth, "3_1"), "?");
  EXPECT_EQ(accuracy::SkinPair("wet", "dry"), accuracy::SkinPair("dry", "wet"));
  EXPECT_TRUE(accuracy::ReadTruth(dir + "/missing").empty());
  std::ofstream(dir + "/truth.csv") << "header\n1,1,x\n";
  EXPECT_THROW(accuracy::ReadTruth(dir), std::runtime_error);
  std::filesystem::remove_all(dir);
}

TEST(StageTraceTest, CountsSampleKeypointsInsideTheTemplateWindow) {
  ST_Feature f[4] = {};
  f[0].x = 10, f[0].y = 10;  // left part of the sample window
  f[1].x = 30, f[1].y = 50;
  f[2].x = 80, f[2].y = 50;  // right part
  f[3].x = 90, f[3].y = 90;
  ST_SubTemplate s{};
  s.pTemplateFeature = f;
  s.classNum = 2;
  s.nFeatureNum[0] = 3;
  s.nFeatureNum[1] = 1;
  const accuracy::PressTruth here{128, 160, 0, 0, 0};
  EXPECT_EQ(accuracy::CommonKeypoints(s, here, here, 96, 96), 4);
  // The template window 50 px to the right on the finger: only x >= 50 stays.
  EXPECT_EQ(accuracy::CommonKeypoints(s, here, accuracy::PressTruth{178, 160, 0, 0, 0}, 96, 96), 2);
  // Turned 180 degrees about the same centre: every point still inside.
  EXPECT_EQ(accuracy::CommonKeypoints(s, here, accuracy::PressTruth{128, 160, 180, 0, 0}, 96, 96), 4);
  s.classNum = 1;  // only the first group is compared
  EXPECT_EQ(accuracy::CommonKeypoints(s, here, here, 96, 96), 3);
}

// Two presses of one finger through the driver-configured matcher, with and
// without the recorder: the same score, and the trace holds the matcher's
// own figures.
TEST(StageTraceTest, RecorderSeesTheMatchersFiguresAndChangesNoScore) {
  const accuracy::DriverAlgorithm alg(96, 96);
  const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(40, 0));
  accuracy::Sample a, b;
  for (int k = 0; k < 2; ++k) {
    // Impressions 1 and 4 of the small corpus's first finger: they match.
    const fingers::Impression imp =
        fingers::Render(m, accuracy::CorpusPress(m, k * 3, {96, 96}, 20, 30));
    accuracy::GrayImage g{96, 96, imp.frame.gray};
    int code = 0;
    (k == 0 ? a : b) = alg.Extract(g, QUORV_ACTION_IDENTIFY, &code);
    ASSERT_EQ(code, 0);
  }
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  ST_FullHMatrix h1{}, h2{};
  const int plain = ZqVerifyTwoTemplate(b.get(), a.get(), &h1, 1, 1);
  int traced = 0;
  ZqVerifyTrace t{};
  {
    accuracy::TraceRecorder recorder;
    traced = ZqVerifyTwoTemplate(b.get(), a.get(), &h2, 1, 1);
    ASSERT_EQ(recorder.Traces().size(), 1u);
    t = recorder.Traces()[0];
  }
  EXPECT_EQ(gZqVerifyTraceHook, nullptr);
  gQuorvActionMode = 0;
  EXPECT_EQ(traced, plain);
  EXPECT_EQ(0, memcmp(&h1, &h2, sizeof h1));
  EXPECT_EQ(t.score, traced);
  EXPECT_EQ(t.sample, b.get());
  EXPECT_EQ(t.tpl, a.get());
  const int32_t ransacNum = gMatchInfoTwo.ransacNum;  // packed record: copy out
  const int32_t overlapSize = gMatchInfoTwo.overlapSize;
  EXPECT_EQ(t.inliers, ransacNum);
  EXPECT_EQ(t.overlap, overlapSize);
  EXPECT_GE(t.descPairs, t.binnedPairs);
  EXPECT_GE(t.binnedPairs, t.largestWindow);
  EXPECT_GE(t.largestWindow, t.windowPairs);
  EXPECT_GE(t.windowPairs, t.inliers);
  EXPECT_GE(t.score, alg.Threshold());
}

}  // namespace
