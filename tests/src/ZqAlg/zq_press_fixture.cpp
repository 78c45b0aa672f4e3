#include "zq_press_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "zq_alg_state.h"

namespace zq_test {

namespace {
const int kSide = 96;
}  // namespace

fingers::MasterFinger PressMaster(int finger, uint64_t population) {
  return fingers::MakeMaster(fingers::PopulationFinger(population, finger));
}

Crop Press(const fingers::MasterFinger &m, int press, double dx, double dy, double rotation,
           int side) {
  Crop crop{fingers::FullContactPress(m, press, dx, dy, rotation, side, side),
            SamplePtr(ZqCreateTemp())};
  EXPECT_NE(crop.sample, nullptr);
  std::vector<uint8_t> img = crop.imp.frame.gray;
  const uint8_t quality[4] = {80, 95, 70, 3};
  EXPECT_EQ(ZqGetTemplate(img.data(), crop.sample.get(), quality), 0);
  return crop;
}

double MotionError(const ST_FullHMatrix &H, const fingers::Impression &smp,
                   const fingers::Impression &tpl, int step) {
  double worst = 0;
  for (int y = step; y <= kSide - step; y += step) {
    for (int x = step; x <= kSide - step; x += step) {
      const fingers::Point t = tpl.FromMaster(smp.ToMaster(x, y));
      if (t.x < 0 || t.y < 0 || t.x > kSide - 1 || t.y > kSide - 1) continue;
      const double X = H.a00 * x + H.a01 * y + H.a02, Y = H.a10 * x + H.a11 * y + H.a12;
      worst = std::fmax(worst, std::hypot(X - t.x, Y - t.y));
    }
  }
  return worst;
}

double MotionError(const ST_FullHMatrix &H, const Crop &smp, const Crop &tpl) {
  return MotionError(H, smp.imp, tpl.imp);
}

void VerifyStoreTest::SetUp() {
  ResetAlgorithmState();
  ZqVerifyByTemplateResetForTest();
  ZqSetSensorColRow(kSide, kSide);
  ZqSetAlgFarLevel(14);  // T = 7
  ZqSetUpdateTemplateFarLevel(16);
  ZqSetForeignBodyTest(1);
  ZqSetAlgMaxTplCnt(96);
  ZqSetFpEnrollMaxTplCnt(48);
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  gQuorvActionMode = QUORV_ACTION_IDENTIFY;
}

void VerifyStoreTest::TearDown() {
  ZqDestroyIntiAlg();
  ZqVerifyByTemplateResetForTest();
  ResetAlgorithmState();
}

void VerifyStoreTest::Place(int f, const std::vector<const ST_SubTemplate *> &samples) {
  ST_QuorvEnrollTemplate &t = *gEnrolledTemplate[f];
  for (size_t i = 0; i < samples.size(); ++i) {
    ST_SubTemplate &s = t.subtemplates[i];
    ASSERT_EQ(ZqSubTemplateCopy(&s, samples[i]), 0);
    s.rootIndex = static_cast<uint16_t>(i);
    s.rootHmatrix = ST_FullHMatrix{};
  }
  t.currentSubtemplatesNum = static_cast<uint16_t>(samples.size());
  ASSERT_EQ(ZqSetTplValidFlag(static_cast<uint16_t>(f)), 0);
}

void VerifyStoreTest::Enroll(int f, const std::vector<const ST_SubTemplate *> &samples) {
  const uint32_t mode = gQuorvActionMode;
  gQuorvActionMode = QUORV_ACTION_ENROLL;
  for (size_t i = 0; i < samples.size(); ++i) {
    uint8_t out = 0;
    ASSERT_EQ(ZqEnrollByTemplate(samples[i], static_cast<int16_t>(f), static_cast<int16_t>(i), &out),
              0)
        << "finger " << f << " sample " << i;
  }
  ASSERT_EQ(ZqSetTplValidFlag(static_cast<uint16_t>(f)), 0);
  gQuorvActionMode = mode;
}

void VerifyStoreTest::Enroll(int f, const std::vector<Crop> &crops) {
  std::vector<const ST_SubTemplate *> samples;
  for (const Crop &c : crops) samples.push_back(c.sample.get());
  Enroll(f, samples);
}

VerifyStoreTest::Outcome VerifyStoreTest::Identify(const ST_SubTemplate *s, uint8_t option) {
  Outcome o{0, 0x5A5A, 0x5A, {}};
  o.ret = ZqVerifyByTemplate(s, &o.fid, &o.upd, &o.H, option);
  return o;
}

std::string VerifyStoreTest::Report() {
  int32_t len = 0;
  const char *text = SaveMachInfo(&len);
  return text != nullptr ? std::string(text, static_cast<size_t>(len)) : std::string();
}

}  // namespace zq_test
