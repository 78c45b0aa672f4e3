// The classifier entry points as the algorithm core sees them while no
// network has been supplied: nothing is sized and no image is judged.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/netModel/predict.h"

namespace {

class PredictWithoutNetworkTest : public ::testing::Test {
 protected:
  void TearDown() override { net_free_model_v2(); }
};

TEST_F(PredictWithoutNetworkTest, PredictorsGiveNoDecision) {
  // Chip types without a network of a classifier leave its outputs alone:
  // the no-finger predictor refuses them, the fake-finger one returns 0.
  struct {
    int32_t chip;
    bool none_branch, fake_branch;
  } cases[] = {{0, false, false}, {3, true, true},   {8, true, true},
               {10, true, true},  {12, false, true}, {16, false, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.chip);
    EXPECT_EQ(net_init_model_v2(c.chip), 0);
    std::vector<uint8_t> image(96 * 96, 128);
    int32_t cls = 7;
    float score = 0.9f;
    EXPECT_EQ(predict_nonefinger_v2(image.data(), 96, 96, &cls, &score), c.none_branch ? 0 : -1);
    EXPECT_EQ(cls, c.none_branch ? 0 : 7);
    EXPECT_EQ(score, c.none_branch ? 0.0f : 0.9f);
    cls = 7;
    score = 0.9f;
    EXPECT_EQ(predict_fakefinger_v2(image.data(), 96, 96, &cls, &score), 0);
    EXPECT_EQ(cls, c.fake_branch ? -1 : 7);
    EXPECT_EQ(score, c.fake_branch ? 0.0f : 0.9f);
    net_free_model_v2();
  }
}

TEST_F(PredictWithoutNetworkTest, NullArgumentsAreRefused) {
  ASSERT_EQ(net_init_model_v2(8), 0);
  const uint8_t image[4] = {};
  int32_t cls = 5;
  float score = 0.5f;
  EXPECT_EQ(predict_nonefinger_v2(nullptr, 2, 2, &cls, &score), -1);
  EXPECT_EQ(predict_nonefinger_v2(image, 2, 2, nullptr, &score), -1);
  EXPECT_EQ(predict_fakefinger_v2(image, 2, 2, &cls, nullptr), -1);
  EXPECT_EQ(cls, 5);
  EXPECT_EQ(score, 0.5f);
}

TEST_F(PredictWithoutNetworkTest, ParameterSettersAcceptAndStore) {
  const float weights[2] = {0.5f, -0.5f};
  const int16_t table[3] = {1, 2, 3};
  EXPECT_EQ(NoneFinger_NetStruct_Param_Set_v1(0, weights, 2, table, 3), 0);
  EXPECT_EQ(FakeFinger_NetStruct_Param_Set_v1(0, weights, 2, table, 3), 0);
  const NetFunctionSt net = {0, 2, 3, weights, table};
  for (auto set : {NoneFinger_NetStruct_Param_Set, FakeFinger_NetStruct_Param_Set}) {
    EXPECT_EQ(set(nullptr, 32), -1);
    EXPECT_EQ(set(&net, 31), -2);
    EXPECT_EQ(set(&net, 32), 0);
  }
  NetSetImageSize();
  net_free_model_v2();
  net_free_model_v2();  // safe with nothing loaded
}

}  // namespace
