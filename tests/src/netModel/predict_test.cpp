// The classifier front ends: routing by chip type, whole predictions on
// synthetic nets, no-decision paths, parameter setters, pool sizing, and
// the input preparation on the live path (resize, /255, edge columns).
#include "src/netModel/predict.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"
#include "src/netModel/input_preprocess_tool_no_finger.h"
#include "src/netModel/net_test_support.h"
#include "src/netModel/predict_no_finger.h"
#include "src/netModel/predict_true_false_affine.h"
#include "src/netModel/synth_net.h"

namespace {

using net_test::Contains;
using net_test::Family;
using net_test::Fill;
using net_test::HasLineMessage;
using net_test::PoolState;
using net_test::Seeded;
using net_test::SynthNet;
using testing_support::LibLogCapture;

class Classifiers : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    net_free_model_v2();
    ZqNetPoolResetForTest();
  }
};

// An 8-bit image of seeded pixels.
std::vector<uint8_t> Image(int rows, int cols, uint32_t seed = 1) {
  std::vector<uint8_t> img(static_cast<size_t>(rows) * cols);
  const std::vector<float> v = Seeded(img.size(), seed, 0.0f, 256.0f);
  for (size_t i = 0; i < img.size(); ++i) img[i] = static_cast<uint8_t>(v[i]);
  return img;
}

// The score ZqInOutFindMax gives for two outputs.
float Score(float b0, float b1) {
  float sum = 0.0f;
  sum += expf(b0);
  sum += expf(b1);
  return 1.0f - expf(b0) / sum;
}

// True when a message is "<fn>[NNNNN].. input variable is empty".
bool HasEmptyInputMessage(const std::vector<std::string> &messages, const std::string &fn) {
  for (const std::string &m : messages) {
    if (m.size() == fn.size() + 7 + 26 && m.rfind(fn + "[", 0) == 0 &&
        m.substr(fn.size() + 6) == "].. input variable is empty") {
      return true;
    }
  }
  return false;
}

struct Route {
  const char *what;
  int chip;
  bool fake;
  Family family;
  int net_rows, net_cols;  // the network's input
  int img_rows, img_cols;  // the image handed in
  const char *branch;
  const char *run;
  float b0, b1;
};

const Route kRoutes[] = {
    {"no-finger 8", 8, false, Family::kOneStem, 40, 40, 80, 64, "predict_BackChip_NoneFinger",
     "Net_Ghostnet_504kflops_Infer", -0.5f, 0.25f},
    {"no-finger 6", 6, false, Family::kOneStem, 40, 40, 56, 56, "predict_BackChip_NoneFinger",
     "Net_Ghostnet_504kflops_Infer", 0.5f, 0.25f},
    {"no-finger 9", 9, false, Family::kTwoStem, 120, 40, 196, 40, "predict_SiderChip_NoneFinger",
     "Net_Ghostnet_504kflops_SiderFinger_Infer", 0.0f, 1.0f},
    {"no-finger 10", 10, false, Family::kTwoStem, 120, 40, 176, 36, "predict_SiderChip_NoneFinger",
     "Net_Ghostnet_504kflops_SiderFinger_Infer", 2.0f, -1.0f},
    {"fake 3", 3, true, Family::kThreeStem, 80, 64, 80, 64, "predict_FW4845_FakeFinger",
     "Net_Ghostnet_504kflops_4845fake_Infer", 0.1f, 0.7f},
    {"fake 11", 11, true, Family::kThreeStem, 56, 56, 56, 56, "predict_FW4849_FakeFinger",
     "Net_Ghostnet_504kflops_4849fake_Infer", 0.7f, 0.1f},
    {"fake 9", 9, true, Family::kTwoStem, 196, 40, 196, 40, "predict_ZE4850_FakeFinger",
     "Net_Ghostnet_504kflops_fake_Infer", -1.0f, 1.0f},
    {"fake 10", 10, true, Family::kThreeStem, 176, 36, 176, 36, "predict_DO4851_FakeFinger",
     "Net_Ghostnet_504kflops_fake_4851_Infer", 1.5f, 1.0f},
    {"fake 12", 12, true, Family::kShortBody, 128, 80, 128, 80, "predict_FW4843_FakeFinger",
     "Net_Ghostnet_228kflops_4843fake_Infer", 0.0f, 0.5f},
    {"fake 13", 13, true, Family::kTwoStem, 144, 36, 144, 36, "predict_FW4854_FakeFinger",
     "Net_Ghostnet_504kflops_4854fake_Infer", 0.25f, -0.25f},
    {"fake 14", 14, true, Family::kTwoStem, 176, 32, 176, 32, "predict_FW4853_FakeFinger",
     "Net_Ghostnet_504kflops_4853fake_Infer", -2.0f, 0.0f},
};

int32_t SetNet(bool fake, const NetFunctionSt &rec) {
  return fake ? FakeFinger_NetStruct_Param_Set(&rec, sizeof rec)
              : NoneFinger_NetStruct_Param_Set(&rec, sizeof rec);
}

int32_t Predict(bool fake, const std::vector<uint8_t> &img, int rows, int cols, int32_t *cls,
                float *score) {
  return fake ? predict_fakefinger_v2(img.data(), rows, cols, cls, score)
              : predict_nonefinger_v2(img.data(), rows, cols, cls, score);
}

TEST_F(Classifiers, BiasOnlyNetsDecideByTheirBiasesThroughTheWholeFrontEnd) {
  for (const Route &r : kRoutes) {
    SCOPED_TRACE(r.what);
    Reset();
    const SynthNet net = BuildNet(r.family, r.net_rows, r.net_cols, Fill::kBiasOnly, {r.b0, r.b1});
    const NetFunctionSt rec = net.Record();
    ASSERT_EQ(SetNet(r.fake, rec), 0);
    EXPECT_EQ(PoolState().base, nullptr);  // no chip type yet: nothing sized
    ASSERT_EQ(net_init_model_v2(r.chip), 0);
    const int32_t need = r.fake ? FakeFinger_Net_MaxMemeory() : NoneFinger_Net_MaxMemeory();
    ASSERT_GT(need, 0);
    EXPECT_EQ(PoolState().capacity, need);
    const std::vector<uint8_t> img = Image(r.img_rows, r.img_cols);
    const int32_t heap_blocks = gMallocCnts;
    int32_t cls = 99;
    float score = -1.0f;
    LibLogCapture log;
    ASSERT_EQ(Predict(r.fake, img, r.img_rows, r.img_cols, &cls, &score), 0);
    EXPECT_EQ(cls, r.b1 > r.b0 ? 1 : 0);
    EXPECT_EQ(score, Score(r.b0, r.b1));
    EXPECT_TRUE(Contains(log.Messages(),
                         std::string(r.run) + ", len = " + std::to_string(net.expected_total)));
    // The run's peak is exactly what the sizing reserved, and it all comes back.
    EXPECT_EQ(PoolState().peak, need);
    EXPECT_EQ(PoolState().used, 0);
    EXPECT_EQ(PoolState().count, 0);
    EXPECT_EQ(gMallocCnts, heap_blocks);
  }
}

TEST_F(Classifiers, WeightCountOtherThanTheRunsGivesNoDecisionWithoutReadingPastTheArray) {
  for (const Route &r : {kRoutes[0], kRoutes[6]}) {
    SCOPED_TRACE(r.what);
    Reset();
    const SynthNet net = BuildNet(r.family, r.net_rows, r.net_cols, Fill::kBiasOnly, {0.f, 3.f});
    // The host's array really is one float short.
    const size_t n = net.weights.size() - 1;
    std::unique_ptr<float[]> short_weights(new float[n]);
    std::copy(net.weights.begin(), net.weights.begin() + n, short_weights.get());
    NetFunctionSt rec = net.Record();
    rec.weights = short_weights.get();
    rec.weight_count = static_cast<int32_t>(n);
    ASSERT_EQ(SetNet(r.fake, rec), 0);
    ASSERT_EQ(net_init_model_v2(r.chip), 0);
    const std::vector<uint8_t> img = Image(r.img_rows, r.img_cols);
    int32_t cls = 99;
    float score = -1.0f;
    LibLogCapture log;
    EXPECT_EQ(Predict(r.fake, img, r.img_rows, r.img_cols, &cls, &score), 0);
    EXPECT_EQ(cls, r.fake ? -1 : 0);
    EXPECT_EQ(score, 0.0f);
    EXPECT_TRUE(HasLineMessage(log.Messages(), r.branch, std::string(r.run) + "() is error!"));
    EXPECT_EQ(PoolState().used, 0);
  }
}

TEST_F(Classifiers, WithoutNetworksEveryPredictionIsNoDecisionAndNoPoolExists) {
  ASSERT_EQ(net_init_model_v2(8), 0);
  EXPECT_EQ(PoolState().base, nullptr);
  const std::vector<uint8_t> img = Image(80, 64);
  int32_t cls = 99;
  float score = 0.5f;
  EXPECT_EQ(predict_nonefinger_v2(img.data(), 80, 64, &cls, &score), 0);
  EXPECT_EQ(cls, 0);
  EXPECT_EQ(score, 0.0f);
  cls = 99, score = 0.5f;
  EXPECT_EQ(predict_fakefinger_v2(img.data(), 80, 64, &cls, &score), 0);
  EXPECT_EQ(cls, -1);
  EXPECT_EQ(score, 0.0f);
  EXPECT_EQ(PoolState().base, nullptr);

  for (int chip : {12, 13, 14, 0, 15}) {
    SCOPED_TRACE(chip);
    ASSERT_EQ(net_init_model_v2(chip), 0);
    cls = 99, score = 0.5f;
    EXPECT_EQ(predict_nonefinger_v2(img.data(), 80, 64, &cls, &score), -1);
    EXPECT_EQ(cls, 99);
    EXPECT_EQ(score, 0.5f);
  }
  for (int chip : {2, 15, 0}) {
    SCOPED_TRACE(chip);
    ASSERT_EQ(net_init_model_v2(chip), 0);
    EXPECT_EQ(predict_fakefinger_v2(nullptr, 80, 64, nullptr, nullptr), 0);
  }
  // A fake-finger image of another size: no decision, even with a net.
  const SynthNet net = BuildNet(Family::kTwoStem, 196, 40, Fill::kBiasOnly, {0.f, 1.f});
  ASSERT_EQ(SetNet(true, net.Record()), 0);
  ASSERT_EQ(net_init_model_v2(9), 0);
  const std::vector<uint8_t> wide = Image(196, 41);
  cls = 99, score = 0.5f;
  EXPECT_EQ(predict_fakefinger_v2(wide.data(), 196, 41, &cls, &score), 0);
  EXPECT_EQ(cls, -1);
  EXPECT_EQ(score, 0.0f);
}

TEST_F(Classifiers, NullArgumentsAreRefusedByTheBranch) {
  struct {
    int chip;
    bool fake;
    const char *branch;
  } cases[] = {{8, false, "predict_BackChip_NoneFinger"},
               {10, false, "predict_SiderChip_NoneFinger"},
               {3, true, "predict_FW4845_FakeFinger"},
               {13, true, "predict_FW4854_FakeFinger"}};
  const std::vector<uint8_t> img = Image(80, 64);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.branch);
    ASSERT_EQ(net_init_model_v2(c.chip), 0);
    int32_t cls = 99;
    float score = 0.5f;
    LibLogCapture log;
    EXPECT_EQ(Predict(c.fake, {}, 80, 64, &cls, &score), -1);
    EXPECT_EQ(c.fake ? predict_fakefinger_v2(img.data(), 80, 64, nullptr, &score)
                     : predict_nonefinger_v2(img.data(), 80, 64, &cls, nullptr),
              -1);
    EXPECT_EQ(cls, 99);
    EXPECT_TRUE(HasEmptyInputMessage(log.Messages(), c.branch));
  }
}

TEST_F(Classifiers, SettersCheckTheRecordAndSizeThePoolOnceTheChipIsKnown) {
  const SynthNet a = BuildNet(Family::kOneStem, 40, 40, Fill::kBiasOnly, {0.f, 2.f});
  const SynthNet b = BuildNet(Family::kOneStem, 40, 40, Fill::kBiasOnly, {2.f, 0.f});
  const NetFunctionSt rec_a = a.Record(), rec_b = b.Record();
  {
    LibLogCapture log;
    EXPECT_EQ(NoneFinger_NetStruct_Param_Set(nullptr, 32), -1);
    EXPECT_EQ(FakeFinger_NetStruct_Param_Set(nullptr, 32), -1);
    EXPECT_TRUE(
        Contains(log.Messages(), "NoneFinger_NetStruct_Param_Set...err: pNet = null, ret = -1"));
    EXPECT_TRUE(
        Contains(log.Messages(), "FakeFinger_NetStruct_Param_Set...err: pNet = null, ret = -1"));
  }
  // Before the chip type: stored, nothing sized.
  ASSERT_EQ(NoneFinger_NetStruct_Param_Set(&rec_a, 32), 0);
  EXPECT_EQ(PoolState().base, nullptr);
  {
    LibLogCapture log;
    EXPECT_EQ(NoneFinger_NetStruct_Param_Set(&rec_b, 24), -2);
    EXPECT_TRUE(Contains(log.Messages(),
                         "NoneFinger_NetStruct_Param_Set...err: Net struct convert has error, "
                         "len{24} != sizeof(NetFunctionSt){32};ret = -2"));
  }
  ASSERT_EQ(net_init_model_v2(8), 0);
  EXPECT_EQ(PoolState().capacity, NoneFinger_Net_MaxMemeory());
  const std::vector<uint8_t> img = Image(40, 40);
  int32_t cls = 99;
  float score = 0.0f;
  ASSERT_EQ(predict_nonefinger_v2(img.data(), 40, 40, &cls, &score), 0);
  EXPECT_EQ(cls, 1);  // still net a: the refused record changed nothing

  // After the chip type: a fake-finger net grows the pool to its need.
  const SynthNet fake = BuildNet(Family::kThreeStem, 80, 64, Fill::kSeeded);
  const int32_t before = PoolState().capacity;
  ASSERT_EQ(FakeFinger_NetStruct_Param_Set_v1(
                1, fake.weights.data(), static_cast<int32_t>(fake.weights.size()),
                fake.table.data(), static_cast<int32_t>(fake.table.size())),
            0);
  EXPECT_EQ(PoolState().capacity, std::max(before, FakeFinger_Net_MaxMemeory()));
  EXPECT_GT(FakeFinger_Net_MaxMemeory(), 0);

  // Uninit forgets both: no decision again.
  net_free_model_v2();
  EXPECT_EQ(PoolState().base, nullptr);
  ASSERT_EQ(net_init_model_v2(8), 0);
  cls = 99;
  ASSERT_EQ(predict_nonefinger_v2(img.data(), 40, 40, &cls, &score), 0);
  EXPECT_EQ(cls, 0);
}

TEST_F(Classifiers, SizingCoversChipTypesWithoutAPredictorBranch) {
  // Chip type 13 sizes the 120 x 40 no-finger net but predicts nothing.
  const SynthNet net = BuildNet(Family::kTwoStem, 120, 40, Fill::kSeeded);
  ASSERT_EQ(SetNet(false, net.Record()), 0);
  ASSERT_EQ(net_init_model_v2(13), 0);
  EXPECT_GT(NoneFinger_Net_MaxMemeory(), 0);
  EXPECT_EQ(PoolState().capacity, NoneFinger_Net_MaxMemeory());
  EXPECT_EQ(FakeFinger_Net_MaxMemeory(), 0);  // no fake net
  // Needs of chip types without networks.
  ASSERT_EQ(net_init_model_v2(15), 0);
  EXPECT_EQ(FakeFinger_Net_MaxMemeory(), 0);
  EXPECT_EQ(NoneFinger_Net_MaxMemeory(), -1);
  ASSERT_EQ(net_init_model_v2(2), 0);
  EXPECT_EQ(FakeFinger_Net_MaxMemeory(), -1);
}

TEST_F(Classifiers, FailingNetworkSizingIsReportedByTheBranch) {
  // A no-finger net whose table_len is off: the 40 x 40 branch hands on
  // the network's code, the 120 x 40 branch gives -1.
  const SynthNet one = BuildNet(Family::kOneStem, 40, 40, Fill::kSeeded);
  NetFunctionSt rec = one.Record();
  rec.table_len -= 12;
  ASSERT_EQ(SetNet(false, rec), 0);
  ASSERT_EQ(net_init_model_v2(8), 0);
  {
    LibLogCapture log;
    EXPECT_EQ(NoneFinger_Net_MaxMemeory(), -2);
    EXPECT_TRUE(HasLineMessage(log.Messages(), "NoneFingerBackChipNetMaxPool",
                               "Net_Ghostnet_504kflops_OutSize_Infer() is error!"));
  }
  ASSERT_EQ(net_init_model_v2(9), 0);
  EXPECT_EQ(NoneFinger_Net_MaxMemeory(), -1);
  // Fake-finger: chip type 9 hands on the code, the others give -1.
  const SynthNet two = BuildNet(Family::kTwoStem, 196, 40, Fill::kSeeded);
  NetFunctionSt fake = two.Record();
  fake.table_len += 1;
  ASSERT_EQ(SetNet(true, fake), 0);
  LibLogCapture log;
  EXPECT_EQ(FakeFinger_Net_MaxMemeory(), -2);
  EXPECT_TRUE(
      HasLineMessage(log.Messages(), "FakeFingerZE4850NetMaxPool", "calculate buffer has error!"));
  ASSERT_EQ(net_init_model_v2(10), 0);
  EXPECT_EQ(FakeFinger_Net_MaxMemeory(), -1);
  EXPECT_TRUE(HasLineMessage(log.Messages(), "FakeFingerDO4851NetMaxPool",
                             "calculate buffer has error! ret = -2"));
}

TEST_F(Classifiers, EdgeColumnBranchesIgnoreTheOuterColumnsAndPlainBranchesDoNot) {
  struct {
    int chip, rows, cols;
    Family family;
    bool edge;
  } cases[] = {{3, 80, 64, Family::kThreeStem, true},
               {6, 56, 56, Family::kThreeStem, true},
               {12, 128, 80, Family::kShortBody, true},
               {9, 196, 40, Family::kTwoStem, false},
               {14, 176, 32, Family::kTwoStem, false}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.chip);
    Reset();
    const SynthNet net = BuildNet(c.family, c.rows, c.cols, Fill::kUnitNorm, {0.f, 0.f}, 21, 1.0f);
    ASSERT_EQ(SetNet(true, net.Record()), 0);
    ASSERT_EQ(net_init_model_v2(c.chip), 0);
    auto score_of = [&](const std::vector<uint8_t> &img) {
      int32_t cls = 99;
      float score = -1.0f;
      EXPECT_EQ(predict_fakefinger_v2(img.data(), c.rows, c.cols, &cls, &score), 0);
      EXPECT_GE(cls, 0);
      return score;
    };
    // Each row 0, 1, 2, ...: the edge branches see 1, 1, 2, ..., W-2, W-2.
    std::vector<uint8_t> ramp(static_cast<size_t>(c.rows) * c.cols);
    for (int y = 0; y < c.rows; ++y) {
      for (int x = 0; x < c.cols; ++x) ramp[y * c.cols + x] = static_cast<uint8_t>(x);
    }
    std::vector<uint8_t> edged = ramp;
    for (int y = 0; y < c.rows; ++y) {
      edged[y * c.cols] = 1;
      edged[y * c.cols + c.cols - 1] = static_cast<uint8_t>(c.cols - 2);
    }
    std::vector<uint8_t> inner = ramp;  // a change the net must see
    for (int y = 0; y < c.rows; ++y) inner[y * c.cols + 1] = 250;
    const float base = score_of(ramp);
    EXPECT_NE(score_of(inner), base);
    if (c.edge) {
      EXPECT_EQ(score_of(edged), base);
    } else {
      EXPECT_NE(score_of(edged), base);
    }
  }
}

TEST(ClassifierResize, BilinearWeightsFollowTheFixedPointRule) {
  // 80 rows x 64 columns to 40 x 40: output (0,0) takes rows 0/1 at
  // 2048/2048 and columns 0/1 at 2868/1228.
  std::vector<uint8_t> src(80 * 64, 0);
  src[0] = 10, src[64] = 50, src[1] = 200, src[65] = 90;
  std::vector<uint8_t> dst(40 * 40, 0);
  ZqResize_8u_v3(src.data(), 80, 64, dst.data(), 40, 40);
  const uint32_t want =
      (2868u * (2048u * 10 + 2048u * 50) + 1228u * (2048u * 200 + 2048u * 90) + (1u << 23)) >> 24;
  EXPECT_EQ(dst[0], want);
  // Enlarging 40 rows to 120: the first output row is source row 0 alone.
  std::vector<uint8_t> tall(40 * 2);
  for (size_t i = 0; i < tall.size(); ++i) tall[i] = static_cast<uint8_t>(7 + 31 * i);
  std::vector<uint8_t> big(120 * 2, 0);
  ZqResize_8u_v3(tall.data(), 40, 2, big.data(), 120, 2);
  EXPECT_EQ(big[0], tall[0]);
  EXPECT_EQ(big[1], tall[1]);
  // Fewer than 2 source rows or columns: nothing written.
  std::vector<uint8_t> untouched(16, 77);
  ZqResize_8u_v3(src.data(), 1, 64, untouched.data(), 4, 4);
  ZqResize_8u_v3(src.data(), 80, 1, untouched.data(), 4, 4);
  EXPECT_EQ(untouched, std::vector<uint8_t>(16, 77));
}

TEST(ClassifierResize, ResizedInputIsEveryByteOver255) {
  const std::vector<uint8_t> src = {0, 1, 128, 255};
  std::vector<float> dst(4, -1.0f);
  const int32_t heap_blocks = gMallocCnts;
  ASSERT_EQ(input_process_tool_no_finger_resize(src.data(), 2, 2, 4, 2, 2, dst.data()), 0);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(dst[i], static_cast<float>(src[i] / 255.0)) << i;
  EXPECT_EQ(gMallocCnts, heap_blocks);
  // A one-row source cannot be resized: refused, dst untouched.
  dst.assign(4, -1.0f);
  EXPECT_EQ(input_process_tool_no_finger_resize(src.data(), 1, 4, 4, 2, 2, dst.data()), -1);
  EXPECT_EQ(dst, std::vector<float>(4, -1.0f));
}

TEST_F(Classifiers, TooSmallImageGivesTheResizeErrorAndNoDecision) {
  const SynthNet net = BuildNet(Family::kOneStem, 40, 40, Fill::kBiasOnly, {0.f, 1.f});
  ASSERT_EQ(SetNet(false, net.Record()), 0);
  ASSERT_EQ(net_init_model_v2(8), 0);
  const std::vector<uint8_t> img(64, 9);
  int32_t cls = 99;
  float score = 0.5f;
  LibLogCapture log;
  EXPECT_EQ(predict_nonefinger_v2(img.data(), 1, 64, &cls, &score), -1);
  EXPECT_EQ(cls, 0);
  EXPECT_EQ(score, 0.0f);
  EXPECT_TRUE(HasLineMessage(log.Messages(), "predict_BackChip_NoneFinger",
                             "input_process_tool_no_finger_resize() is error!"));
  EXPECT_EQ(PoolState().used, 0);
}

}  // namespace
