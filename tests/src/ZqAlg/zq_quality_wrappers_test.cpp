// Quality and classifier wrappers of the algorithm core.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/ZqAlg/ZqQualityWrappers.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqImgQuality.h"
#include "zq_finger_image.h"

namespace {

class QualityWrappersTest : public ::testing::Test {
 protected:
  void SetUp() override { ZqAlgSettingsResetForTest(); }
  void TearDown() override {
    ZqPredictorsSetForTest(nullptr, nullptr);
    ZqAlgSettingsResetForTest();
  }
};

TEST_F(QualityWrappersTest, NullInputLeavesRecordUntouched) {
  std::vector<uint8_t> img(96 * 96, 128);
  uint8_t out[4] = {9, 9, 9, 9};
  EXPECT_EQ(ZqGetImageQuality(nullptr, out), -1);
  EXPECT_EQ(ZqGetImageQualityRuber(nullptr, out), -1);
  EXPECT_EQ(ZqGetImageQualityInter(nullptr, nullptr, out), -1);
  EXPECT_EQ(ZqGetImageQualityInterRuber(nullptr, nullptr, out), -1);
  EXPECT_EQ(ZqGetImageQuality(img.data(), nullptr), -1);
  for (uint8_t b : out) EXPECT_EQ(b, 9);
}

TEST_F(QualityWrappersTest, RecordOrderAndConfiguredSize) {
  // A non-square sensor: the wrapper must pass cols as width.
  ZqSetSensorColRow(80, 64);
  const std::vector<uint8_t> img = zq_test::FingerImage(64, 80);
  uint8_t area = 0, quality = 0, cond = 0, extra = 0;
  const int32_t want = ZqImgQuality(img.data(), 80, 64, &area, &quality, &cond, &extra, nullptr);
  uint8_t out[4] = {};
  EXPECT_EQ(ZqGetImageQuality(img.data(), out), want);
  EXPECT_EQ(out[0], quality);
  EXPECT_EQ(out[1], area);
  EXPECT_EQ(out[2], cond);
  EXPECT_EQ(out[3], extra);
  EXPECT_GT(out[1], 50);  // a full press covers most of the sensor
}

int32_t FailingPredictor(const uint8_t *, int32_t, int32_t, int32_t *cls, float *score) {
  *cls = 3;
  *score = 0.75f;
  return -4;
}

int32_t ClassTwoPredictor(const uint8_t *, int32_t rows, int32_t cols, int32_t *cls,
                          float *score) {
  *cls = 2;
  *score = static_cast<float>(rows * 1000 + cols);
  return 0;
}

TEST_F(QualityWrappersTest, PredictorFailureGivesClassZero) {
  std::vector<uint8_t> img(96 * 96, 128);
  float score = 0;
  ZqPredictorsSetForTest(FailingPredictor, FailingPredictor);
  EXPECT_EQ(ZqEnrollNonFingerPredict(img.data(), 96, 96, 0, 0, &score), 0);
  EXPECT_EQ(ZqIdentifyNonFingerPredict(img.data(), 96, 96, 0, 0, &score), 0);
  EXPECT_EQ(ZqFakeFingerPredict_Method2(img.data(), 96, 96, 0, &score), 0);
  EXPECT_FLOAT_EQ(score, 0.75f);

  ZqPredictorsSetForTest(ClassTwoPredictor, ClassTwoPredictor);
  EXPECT_EQ(ZqEnrollNonFingerPredict(img.data(), 64, 80, 0, 0, &score), 2);
  EXPECT_FLOAT_EQ(score, 64080.0f);
  EXPECT_EQ(ZqFakeFingerPredict_Method2(img.data(), 64, 80, 0, &score), 2);
}

TEST_F(QualityWrappersTest, UnparameterisedNetworksPredictClassZero) {
  std::vector<uint8_t> img = zq_test::FingerImage(96, 96);
  float score = 1.0f;
  EXPECT_EQ(ZqIdentifyNonFingerPredict(img.data(), 96, 96, 0, 0, &score), 0);
  EXPECT_EQ(ZqFakeFingerPredict_Method2(img.data(), 96, 96, 0, &score), 0);
  EXPECT_EQ(ZqIdentifyNonFingerDetect(nullptr), -1);
  EXPECT_EQ(ZqEnrollNonFingerDetect(nullptr), -1);
}

}  // namespace
