// Two-template scoring on sub-templates built by the extraction's own
// keypoint detector and bit-image builder from rendered impressions of
// synthetic fingers: genuine presses reach the driver's threshold with
// their true motion, different fingers stay below it.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "src/features/ZqBinImg.h"
#include "src/features/ZqMatchCheck.h"
#include "src/features/ZqScaleSpaceDetector.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_press_fixture.h"
#include "zq_synth_keypoints.h"

namespace {

const int kSide = 96;

// One impression as a sub-template over vectors it owns.
struct Detected {
  fingers::Impression imp;
  std::vector<ST_Feature> feat;
  std::vector<uint64_t> bits;
  std::vector<uint8_t> mask;
  ST_SubTemplate sub{};
};

std::unique_ptr<Detected> Extract(const fingers::MasterFinger &m, const fingers::ImpressionParams &ip) {
  auto d = std::make_unique<Detected>();
  d->imp = fingers::Render(m, ip);
  const ST_Size size = {kSide, kSide};
  ST_Image *img = ZqCreateImage(&size, DEPTH_8U);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) img->imageData[y * img->rowBytes + x] = d->imp.frame.At(x, y);
  ST_FeatExtractPara p{};
  p.intvls = 3;
  p.sigma = 1.6f;
  p.contrThr = 0.02f;
  p.curvThr = 15;
  p.imgDbl = 1;
  p.descrWidth = 4;
  p.descrHistBins = 8;
  p.img = img;
  p.octvs = 2;
  p.validArea = 100;
  p.descrVariantSel = 1;
  p.algoMode = 1;
  p.scale = 1.0f;
  ST_Feature *f1 = nullptr, *f2 = nullptr;
  uint32_t counts[2] = {0, 0};
  const int32_t ret = ZqGetMfbFeatures(&f1, &f2, counts, p);
  EXPECT_EQ(ret, 0);
  for (uint32_t i = 0; i < counts[0]; ++i) d->feat.push_back(f1[i]);
  for (uint32_t i = 0; i < counts[1]; ++i) d->feat.push_back(f2[i]);
  if (f1 != nullptr) ZqSafeFree(f1);
  if (f2 != nullptr) ZqSafeFree(f2);
  d->sub = zq_test::SubTemplateOver(&d->feat, static_cast<int>(counts[0]), static_cast<int>(counts[1]));
  uint16_t words = 0;
  d->bits.assign(ZqBinImgWordCount(kSide, kSide) + 1u, 0);
  uint64_t *out = d->bits.data();
  EXPECT_EQ(ZqGenBinImg(img, &out, &words), 0);
  d->mask.assign(kSide * kSide / 8 + 1, 0);
  for (int i = 0; i < kSide * kSide; ++i)
    if (d->imp.frame.gray[i] < 251) d->mask[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  zq_test::AttachImages(&d->sub, &d->bits, &d->mask);
  ZqReleaseImage(&img);
  return d;
}

fingers::ImpressionParams Press(const fingers::MasterFinger &m, uint64_t seed, double dx, double dy,
                                double rotation) {
  fingers::ImpressionParams ip;
  ip.seed = seed;
  ip.width = ip.height = kSide;
  const fingers::Point c = m.PatternCenter();
  ip.center = fingers::Point{c.x + dx, c.y + dy};
  ip.rotation = rotation;
  ip.distortion = 0.2;
  return ip;
}

class VerifyDetectedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
    ZqSetAlgFarLevel(14);  // T = 7
    ZqSetForeignBodyTest(1);
  }
  void TearDown() override {
    ZqAlgSettingsResetForTest();
    ZqAlgModeResetForTest();
  }
};

TEST_F(VerifyDetectedTest, GenuinePressesMatchWithTheirMotionAndOthersDoNot) {
  const int T = gMatchScores[14];
  struct Motion {
    double dx, dy, rot;
  };
  const Motion motions[] = {{8, 0, 0.0},   {0, -12, 0.17}, {15, 10, -0.2},
                            {-20, 6, 0.35}, {10, -25, -0.35}, {-30, 0, 0.1}};
  for (int finger = 0; finger < 3; ++finger) {
    const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(91, finger));
    auto tpl = Extract(m, Press(m, fingers::PressSeed(m, 0), 0, 0, 0.0));
    int press = 1;
    for (const Motion &mo : motions) {
      SCOPED_TRACE(::testing::Message() << "finger " << finger << " motion " << mo.dx << ","
                                        << mo.dy << "," << mo.rot);
      auto smp = Extract(m, Press(m, fingers::PressSeed(m, press++), mo.dx, mo.dy, mo.rot));
      ST_FullHMatrix H{};
      const int score = ZqVerifyTwoTemplate(&smp->sub, &tpl->sub, &H, 1, 0);
      EXPECT_GE(score, T);
      EXPECT_LT(zq_test::MotionError(H, smp->imp, tpl->imp, 24), 1.5);
      // The template press is unturned: the sample->template angle is rot.
      EXPECT_NEAR(H.dtheta, mo.rot, 2.0 * M_PI / 180.0);
    }
  }
}

TEST_F(VerifyDetectedTest, DifferentFingersStayBelowTheThreshold) {
  const int T = gMatchScores[14];
  std::vector<std::unique_ptr<Detected>> prints;
  for (int finger = 0; finger < 6; ++finger) {
    const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(91, finger));
    prints.push_back(Extract(m, Press(m, fingers::PressSeed(m, 9), 5, -5, 0.1)));
  }
  for (size_t a = 0; a < prints.size(); ++a) {
    for (size_t b = 0; b < prints.size(); ++b) {
      if (a == b) continue;
      ST_FullHMatrix H{};
      EXPECT_LT(ZqVerifyTwoTemplate(&prints[a]->sub, &prints[b]->sub, &H, 1, 0), T)
          << a << " against " << b;
    }
  }
}

}  // namespace
