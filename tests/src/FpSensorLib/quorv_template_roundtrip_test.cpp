// Template storage on the real algorithm core, in the driver's sequences:
// one finger enrolled and saved, the library rebuilt, the blob loaded into
// any slot after deleting all ten, and identification finds that slot; a
// damaged blob and a slot past the store are refused; the FRR/FAR variants
// share the load and save; a gallery matched in batches gives the same
// answers whether the frame's extraction is held between the batches or
// not.
#include <gtest/gtest.h>

#include <stdint.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "fingers/synth_fingers.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/quorv_template_store.h"
#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"
#include "src/features/ZqAlgMode.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using sensorlib_test::SensorLibTest;

constexpr int kSide = 96;
constexpr size_t kBlobBuffer = 0x100007;  // the driver's save buffer

fingers::MasterFinger Master(int finger) {
  return fingers::MakeMaster(fingers::PopulationFinger(44, finger));
}

std::vector<uint8_t> Press(const fingers::MasterFinger &m, int press, double dx, double dy,
                           double rotation = 0.0) {
  return fingers::FullContactPress(m, press, dx, dy, rotation, kSide, kSide).frame.gray;
}

class TemplateRoundTripTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    ResetCore();
    Open();
  }
  void TearDown() override {
    SensorLibTest::TearDown();
    ResetCore();
  }
  static void ResetCore() {
    ZqAlgModeResetForTest();
    ZqMachInfoResetForTest();
    ZqVerifyByTemplateResetForTest();
    quorv_EnrollResetForTest();
    gQuorvActionMode = QUORV_ACTION_IDLE;
  }
  // Create, configure and initialise, as the driver opens the library.
  void Open() {
    ASSERT_EQ(quorv_SensorResourceCreate(), 0);
    quorv_SetFpSensorColsRows(kSide, kSide);
    quorv_SetEnrollMaxTpl(12);
    quorv_SetFpAlgMaxTpl(48);
    quorv_SetAlgFarLevel(14);
    quorv_SetEnrollmentTipsEn(0);
    ASSERT_EQ(quorv_InitFpAlg(), 0);
  }
  // The driver's load: every slot emptied, then the blob into slot.
  int Load(uint8_t slot, const std::vector<uint8_t> &blob) {
    for (unsigned f = 0; f < QUORV_FINGER_SLOTS; ++f) EXPECT_EQ(quorv_DelFinger(f), 0);
    return quorv_InitAlgTplData(slot, type_, static_cast<uint32_t>(blob.size()), blob.data());
  }
  int Identify(const std::vector<uint8_t> &image) {
    fid_ = 0;
    upd_ = 0;
    return quorv_IdentifyByImage(image.data(), 2, &fid_, &upd_);
  }

  uint8_t type_ = 0;
  uint8_t fid_ = 0;
  uint8_t upd_ = 0;
};

TEST_F(TemplateRoundTripTest, SavedFingerLoadsIntoAnySlotAndIsIdentifiedThere) {
  const fingers::MasterFinger finger = Master(0);
  const double offsets[][2] = {{0, 0}, {-20, -16}, {20, 16}, {-20, 16}, {20, -16}, {0, 20}};
  ASSERT_EQ(quorv_ClearEnrollPara(), 0);
  for (uint8_t i = 0; i < 6; ++i) {
    ASSERT_EQ(quorv_EnrollByImage(0, i, Press(finger, i, offsets[i][0], offsets[i][1]).data()), 0)
        << "press " << +i;
  }
  std::vector<uint8_t> blob(kBlobBuffer);
  uint32_t len = 0;
  ASSERT_EQ(quorv_SaveAlgTplData(0, &type_, &len, blob.data()), 0);
  ASSERT_GT(len, 0u);
  ASSERT_LE(len, kBlobBuffer);
  EXPECT_EQ(type_, 121);
  EXPECT_EQ(static_cast<int>(len), quorv_GetAlgTplDataSize(0));
  blob.resize(len);

  // The library rebuilt as after a -1.
  quorv_SensorResourceDestroy();
  Open();

  const std::vector<uint8_t> probe = Press(finger, 9, 6, -4, 0.1);
  const std::vector<uint8_t> stranger = Press(Master(3), 0, 0, 0);
  for (uint8_t k = 0; k < QUORV_FINGER_SLOTS; ++k) {
    ASSERT_EQ(Load(k, blob), 0) << "slot " << +k;
    EXPECT_EQ(quorv_GetSubtemplatesNum(k), 6);
    EXPECT_EQ(Identify(probe), 0) << "slot " << +k;
    EXPECT_EQ(fid_, k);
    EXPECT_NE(Identify(stranger), 0) << "slot " << +k;
    EXPECT_EQ(fid_, QUORV_NO_FINGER);
  }

  // After a match the driver asks for an update and, when one was made,
  // stores the slot's blob again.
  ASSERT_EQ(Load(4, blob), 0);
  ASSERT_EQ(Identify(probe), 0);
  uint8_t slot = 0;
  const int updated = quorv_UpdateTemplate(upd_, &slot);
  if (updated == 0) {
    EXPECT_EQ(slot, 4);
    std::vector<uint8_t> again(kBlobBuffer);
    uint32_t again_len = 0;
    uint8_t type = 0;
    EXPECT_EQ(quorv_GetAlgTplData(slot, &type, &again_len, again.data()), 0);
    EXPECT_GT(again_len, 0u);
  } else {
    EXPECT_EQ(updated, -1);
  }
}

TEST_F(TemplateRoundTripTest, DamagedBlobsAndBadSlotsAreRefused) {
  const fingers::MasterFinger finger = Master(1);
  ASSERT_EQ(quorv_ClearEnrollPara(), 0);
  const double offsets[][2] = {{0, 0}, {-20, -16}, {20, 16}};
  for (uint8_t i = 0; i < 3; ++i) {
    ASSERT_EQ(quorv_EnrollByImage(0, i, Press(finger, i, offsets[i][0], offsets[i][1]).data()), 0);
  }
  std::vector<uint8_t> blob(kBlobBuffer);
  uint32_t len = 0;
  ASSERT_EQ(quorv_SaveAlgTplData(0, &type_, &len, blob.data()), 0);
  blob.resize(len);

  for (size_t at : {static_cast<size_t>(len / 2), static_cast<size_t>(len) - 1}) {
    std::vector<uint8_t> damaged = blob;
    damaged[at] ^= 0x01;
    EXPECT_EQ(Load(2, damaged), -3) << "byte " << at << " of " << len;
    EXPECT_EQ(quorv_GetSubtemplatesNum(2), 0) << "the slot stays empty";
  }
  EXPECT_EQ(quorv_InitAlgTplData(10, type_, len, blob.data()), -1);
  EXPECT_EQ(quorv_InitAlgTplData(3, type_, len, nullptr), -1);
  for (int slot : {10, -1, 65536}) {
    uint32_t n = 0;
    uint8_t t = 0;
    EXPECT_EQ(quorv_SaveAlgTplData(slot, &t, &n, blob.data()), -1) << slot;
    EXPECT_EQ(quorv_GetAlgTplData(slot, &t, &n, blob.data()), -1) << slot;
  }
  EXPECT_EQ(quorv_SaveAlgTplData(5, &type_, &len, blob.data()), -1) << "an empty slot";
  EXPECT_EQ(quorv_GetAlgTplDataSize(10), 0);
  EXPECT_EQ(quorv_GetTemplateVersion(), 0x1415927du);
}

// The driver's gallery identification: batches of blobs loaded after
// emptying the slots, the same frame matched against each batch until one
// matches. With the library holding the frame's extraction between the
// batches every answer and what it leaves behind are the same as when
// each batch extracts the frame again.
TEST_F(TemplateRoundTripTest, HeldExtractionGivesEveryBatchTheSameAnswers) {
  auto enrolled = [&](int finger) {
    const fingers::MasterFinger m = Master(finger);
    const double offsets[][2] = {{0, 0}, {-20, -16}, {20, 16}, {-20, 16}, {20, -16}, {0, 20}};
    EXPECT_EQ(quorv_ClearEnrollPara(), 0);
    for (uint8_t i = 0; i < 6; ++i)
      EXPECT_EQ(quorv_EnrollByImage(0, i, Press(m, i, offsets[i][0], offsets[i][1]).data()), 0);
    std::vector<uint8_t> blob(kBlobBuffer);
    uint32_t len = 0;
    EXPECT_EQ(quorv_SaveAlgTplData(0, &type_, &len, blob.data()), 0);
    blob.resize(len);
    return blob;
  };
  const std::vector<uint8_t> a = enrolled(5), b = enrolled(6), c = enrolled(7);
  // Batches of three: the owner of the probe in the middle of the third.
  const std::vector<std::vector<const std::vector<uint8_t> *>> batches = {
      {&b, &c, &b}, {&c, &c, &b}, {&b, &a, &c}};
  const std::vector<uint8_t> owner = Press(Master(5), 9, 6, -4, 0.1);
  const std::vector<uint8_t> stranger = Press(Master(8), 0, 0, 0);

  // Per batch: result, fid, update, best score, the algorithm's image.
  using Answer = std::tuple<int, int, int, int, int, std::vector<uint8_t>>;
  auto gallery = [&](bool hold) {
    quorv_SensorResourceDestroy();
    ResetCore();
    Open();
    std::vector<Answer> answers;
    for (const std::vector<uint8_t> *probe : {&owner, &stranger, &owner}) {
      quorv_HoldIdentifySamples(hold ? 1 : 0);
      for (const auto &batch : batches) {
        for (unsigned f = 0; f < QUORV_FINGER_SLOTS; ++f) quorv_DelFinger(f);
        for (size_t k = 0; k < batch.size(); ++k)
          EXPECT_EQ(quorv_InitAlgTplData(static_cast<uint8_t>(k), type_,
                                         static_cast<uint32_t>(batch[k]->size()), batch[k]->data()),
                    0);
        const int r = Identify(*probe);
        answers.emplace_back(r, fid_, upd_, gVerifyScores, savedVerifyRet,
                             std::vector<uint8_t>(g_fp_image_buf->g_fpImageBufAlg,
                                                  g_fp_image_buf->g_fpImageBufAlg + kSide * kSide));
        if (r == 0) break;
      }
      quorv_HoldIdentifySamples(0);
    }
    return answers;
  };
  const std::vector<Answer> plain = gallery(false);
  const std::vector<Answer> held = gallery(true);
  ASSERT_EQ(plain.size(), 3u + 3u + 3u) << "the owner is found in the third batch, twice";
  EXPECT_EQ(std::get<0>(plain[2]), 0);
  EXPECT_EQ(std::get<1>(plain[2]), 1);
  ASSERT_EQ(held.size(), plain.size());
  for (size_t i = 0; i < plain.size(); ++i) EXPECT_TRUE(held[i] == plain[i]) << "batch call " << i;
}

// The FRR/FAR variants load and save as the plain calls do, with the slot
// unsigned and 16 bits wide: a slot above 9 is refused, never wrapped onto
// a real slot (259 is slot 3 modulo 256, 32771 slot 3 modulo 32768).
TEST_F(TemplateRoundTripTest, FrrFarVariantsRoundTripAndRefuseWideSlots) {
  const fingers::MasterFinger finger = Master(2);
  ASSERT_EQ(quorv_ClearEnrollPara(), 0);
  const double offsets[][2] = {{0, 0}, {-20, -16}, {20, 16}};
  for (uint8_t i = 0; i < 3; ++i) {
    ASSERT_EQ(quorv_EnrollByImage(0, i, Press(finger, i, offsets[i][0], offsets[i][1]).data()), 0);
  }
  std::vector<uint8_t> blob(kBlobBuffer), plain(kBlobBuffer);
  uint32_t len = 0, plain_len = 0;
  uint8_t plain_type = 0;
  ASSERT_EQ(quorv_SaveAlgTplData_frr_far(0, &type_, &len, blob.data()), 0);
  ASSERT_EQ(quorv_SaveAlgTplData(0, &plain_type, &plain_len, plain.data()), 0);
  EXPECT_EQ(type_, 121);
  ASSERT_EQ(len, plain_len);
  EXPECT_TRUE(std::equal(blob.begin(), blob.begin() + len, plain.begin()));
  blob.resize(len);

  for (unsigned f = 0; f < QUORV_FINGER_SLOTS; ++f) ASSERT_EQ(quorv_DelFinger(f), 0);
  for (uint16_t slot : {3, 9}) {
    ASSERT_EQ(quorv_InitAlgTplData_frr_far(slot, type_, len, blob.data()), 0) << slot;
    std::vector<uint8_t> again(kBlobBuffer);
    uint32_t again_len = 0;
    uint8_t type = 0;
    ASSERT_EQ(quorv_SaveAlgTplData_frr_far(slot, &type, &again_len, again.data()), 0) << slot;
    ASSERT_EQ(again_len, len) << slot;
    EXPECT_TRUE(std::equal(blob.begin(), blob.end(), again.begin())) << slot;
  }
  quorv_ClearNegativeTempalteBuf();  // has no effect on the store
  const auto filled = [] {
    std::vector<int> counts;
    for (uint8_t k = 0; k < QUORV_FINGER_SLOTS; ++k) counts.push_back(quorv_GetSubtemplatesNum(k));
    return counts;
  };
  const std::vector<int> loaded = filled();
  EXPECT_EQ(loaded, (std::vector<int>{0, 0, 0, 3, 0, 0, 0, 0, 0, 3}));

  for (uint16_t slot : {10, 128, 200, 255, 256, 259, 265, 32768, 32771, 65535}) {
    EXPECT_EQ(quorv_InitAlgTplData_frr_far(slot, type_, len, blob.data()), -1) << slot;
    std::vector<uint8_t> out(kBlobBuffer, 0xa5);
    uint32_t out_len = 77;
    uint8_t type = 7;
    EXPECT_EQ(quorv_SaveAlgTplData_frr_far(slot, &type, &out_len, out.data()), -1) << slot;
    EXPECT_EQ(out_len, 77u) << slot;
    EXPECT_EQ(type, 7) << slot;
  }
  EXPECT_EQ(quorv_InitAlgTplData_frr_far(5, type_, len, nullptr), -1);
  std::vector<uint8_t> damaged = blob;
  damaged[len / 2] ^= 0x01;
  EXPECT_EQ(quorv_InitAlgTplData_frr_far(5, type_, len, damaged.data()), -3);
  std::vector<uint8_t> out(kBlobBuffer);
  uint32_t out_len = 0;
  uint8_t type = 0;
  EXPECT_EQ(quorv_SaveAlgTplData_frr_far(5, &type, &out_len, out.data()), -1) << "an empty slot";
  EXPECT_EQ(filled(), loaded) << "no refused call touched a slot";
}

// The driver's buffer holds QUORV_TPL_DATA_MAX bytes of blob: a finger
// whose blob would be larger is neither saved nor read out.
TEST_F(TemplateRoundTripTest, FingerLargerThanTheDriversBufferIsNotWritten) {
  ST_QuorvEnrollTemplate *f = gEnrolledTemplate[6];
  ASSERT_NE(f, nullptr);
  for (ST_SubTemplate &t : f->subtemplates) {
    t.nFeatureNum[0] = t.nFeatureNum[1] = 125;
    t.featBufSize = 250 * 44;
    t.pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(250 * 44));
    ASSERT_NE(t.pTemplateFeature, nullptr);
    std::memset(t.pTemplateFeature, 0, 250 * 44);
  }
  f->currentSubtemplatesNum = 96;
  ASSERT_GT(static_cast<uint32_t>(quorv_GetAlgTplDataSize(6)), QUORV_TPL_DATA_MAX);
  std::vector<uint8_t> blob(kBlobBuffer - 7);
  uint32_t len = 5;
  uint8_t type = 0;
  EXPECT_EQ(quorv_SaveAlgTplData(6, &type, &len, blob.data()), -1);
  EXPECT_EQ(quorv_GetAlgTplData(6, &type, &len, blob.data()), -1);
  EXPECT_EQ(len, 5u);
  EXPECT_EQ(quorv_DelFinger(6), 0);
}

}  // namespace
