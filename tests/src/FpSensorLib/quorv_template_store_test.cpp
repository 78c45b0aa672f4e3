// Template services on a scripted algorithm core: what deleting a finger
// clears, the update gate, the two-template comparison with its reverse
// try and overlap, the grid overlap, and samples as data.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/FpSensorLib/quorv_template_store.h"
#include "src/FpSensorLib/sensorlib_script.h"
#include "src/fake_chip.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqVerifyTwoTemplate.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::Script;
using sensorlib_test::ScriptedLibTest;

constexpr size_t kPixels = 80 * 64;

class TemplateStoreTest : public ScriptedLibTest {
 protected:
  // One serialised (empty) sample as the extraction leaves it.
  std::vector<uint8_t> SampleData() {
    std::vector<uint8_t> image(kPixels, 100), data(64 * 1024);
    int32_t offset = 0;
    EXPECT_EQ(quorv_GetImageTemplate(image.data(), &offset, data.data()), 0);
    data.resize(static_cast<size_t>(offset));
    return data;
  }
};

TEST_F(TemplateStoreTest, DeletingAFingerClearsEverythingKeptAboutIt) {
  const std::vector<uint8_t> image(kPixels, 9);
  for (int round = 0; round < 2; ++round) {
    const unsigned slot = round == 0 ? 2 : 10;
    quorv_SaveEnrollImage(image.data());
    quorv_SaveRescanImage(image.data());
    template_cur = ZqCreateTemp();
    successMachTimes[2] = 5;
    fingerMachScores[2][4] = 6;
    recentMachScores[2] = 7;
    successMachTimes[3] = 8;
    EXPECT_EQ(quorv_DelFinger(slot), round == 0 ? 0 : -1) << "slot " << slot;
    EXPECT_EQ(template_cur, nullptr) << "every step runs for a bad slot too";
    EXPECT_EQ(g_enrollImage, nullptr);
    EXPECT_EQ(g_imageRescan, nullptr);
    EXPECT_EQ(successMachTimes[3], 8) << "other slots keep theirs";
    if (round == 0) {
      EXPECT_EQ(successMachTimes[2], 0);
      EXPECT_EQ(fingerMachScores[2][4], 0);
      EXPECT_EQ(recentMachScores[2], 0);
    } else {
      EXPECT_EQ(successMachTimes[2], 5);
    }
  }
  EXPECT_EQ(quorv_DelFinger(0x102), 0) << "the low byte is the slot";
}

// The gate: small-area update, the template-data flag, or a re-rated cond
// strictly above the identify cond threshold (30).
TEST_F(TemplateStoreTest, UpdateGate) {
  struct Case {
    uint8_t small_area, flag;
    int quality_ret;
    uint8_t cond;
    bool allowed;
  } cases[] = {
      {1, 0, 0, 0, true},    {0, 1, 0, 0, true},     {0, 0, 0, 30, false},
      {0, 0, 0, 31, true},   {0, 0, -1, 200, false},  // a failed rating allows nothing
  };
  for (const Case &c : cases) {
    Script() = sensorlib_test::CoreScript{};
    quorv_SetSmallAreaImageUpdateEn(c.small_area);
    g_quorvTplDataFlag = c.flag;
    Script().quality_ret = c.quality_ret;
    Script().rating[2] = c.cond;
    Script().update_slot = 4;
    uint8_t slot = 0;
    const int r = quorv_UpdateTemplate(1, &slot);
    const char *what = c.allowed ? "allowed" : "refused";
    EXPECT_EQ(r, c.allowed ? 0 : -1) << what << " cond " << +c.cond;
    EXPECT_EQ(slot, c.allowed ? 4 : 255) << what;
    EXPECT_EQ(Script().update_calls, c.allowed ? 1 : 0) << what;
  }
}

TEST_F(TemplateStoreTest, UpdateResultAndSlot) {
  uint8_t slot = 0;
  Script().update_ret = -2;  // the core's "no update needed"
  Script().update_slot = 0x105;
  EXPECT_EQ(quorv_UpdateTemplate(7, &slot), -1) << "any refusal is -1 to the driver";
  EXPECT_EQ(slot, 5) << "the low byte of what the core reported";
  EXPECT_EQ(Script().update_flag, 7);
  EXPECT_EQ(quorv_UpdateTemplate(1, nullptr), -1);
  EXPECT_EQ(Script().update_calls, 1);

  // Fake-finger mode 1 clears the updated-template id after a success.
  quorv_SetTrueFalseFingerDetect(1);
  gUpdateTemplateId = 12;
  Script().update_ret = 0;
  EXPECT_EQ(quorv_UpdateTemplate(1, &slot), 0);
  EXPECT_EQ(gUpdateTemplateId, 255);
}

// A template-data operation sets the flag; the gate then skips its cond
// test until the resources are created again.
TEST_F(TemplateStoreTest, TemplateDataOperationOpensTheGateUntilRecreated) {
  quorv_SetSmallAreaImageUpdateEn(0);
  Script().rating[2] = 10;
  uint8_t slot = 0;
  EXPECT_EQ(quorv_UpdateTemplate(1, &slot), -1);
  ST_FullHMatrix h{};
  uint32_t overlap = 0;
  const uint8_t junk[4] = {1, 2, 3, 4};
  EXPECT_EQ(quorv_VerifyTwoTemplate(4, junk, 4, junk, 10, &h, &overlap), -3);
  EXPECT_EQ(quorv_UpdateTemplate(1, &slot), 0);
  ASSERT_EQ(quorv_SensorResourceCreate(), 0);
  quorv_SetSmallAreaImageUpdateEn(0);
  EXPECT_EQ(quorv_UpdateTemplate(1, &slot), -1);
}

TEST_F(TemplateStoreTest, TwoTemplateComparison) {
  const std::vector<uint8_t> data = SampleData();
  const uint16_t len = static_cast<uint16_t>(data.size());
  ST_FullHMatrix rev{};
  rev.a00 = rev.a11 = rev.a22 = 1.0f;
  rev.a02 = 40.0f;  // the template lies 40 columns right of the sample
  struct Case {
    std::vector<int> scores;
    int32_t threshold;
    int expected;
    size_t calls;
    uint32_t overlap;
  } cases[] = {
      {{12}, 10, 0, 1, 100},     // forward reaches the threshold: no reverse try
      // Reverse higher: its inverse, -40 columns; column 39 maps to -0.5,
      // which truncates to 0 and counts: 41 of 80 columns.
      {{5, 8}, 10, -2, 2, 51},
      {{5, 3}, 10, -2, 2, 100},  // reverse lower: the forward transform stays
      {{5, 11}, 10, 0, 2, 51},
      {{0}, 10, -2, 1, 0},       // no score: no reverse, no overlap
      {{5}, INT32_MIN, 0, 1, 100},
  };
  for (const Case &c : cases) {
    Script() = sensorlib_test::CoreScript{};
    Script().two = c.scores;
    Script().reverse_h = rev;
    ST_FullHMatrix h{};
    h.a00 = h.a11 = h.a22 = 1.0f;  // what the forward scoring leaves
    uint32_t overlap = 77;
    EXPECT_EQ(quorv_VerifyTwoTemplate(len, data.data(), len, data.data(), c.threshold, &h, &overlap),
              c.expected)
        << c.scores[0];
    EXPECT_EQ(Script().rebak.size(), c.calls);
    if (c.calls == 2) {
      EXPECT_EQ(Script().rebak, (std::vector<uint8_t>{0, 1}));
    }
    EXPECT_EQ(overlap, c.overlap) << c.scores[0];
    EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
  }
}

// _v2 compares unsigned and reports the score; a failing scorer is no
// match.
TEST_F(TemplateStoreTest, TwoTemplateComparisonUnsigned) {
  const std::vector<uint8_t> data = SampleData();
  const uint16_t len = static_cast<uint16_t>(data.size());
  ST_FullHMatrix h{};
  uint32_t overlap = 0, score = 99;
  Script().two = {5};
  EXPECT_EQ(quorv_VerifyTwoTemplate_v2(len, data.data(), len, data.data(), 0x80000000u, &h,
                                       &overlap, &score),
            -2);
  EXPECT_EQ(Script().rebak.size(), 2u) << "5 < 2^31 unsigned: the reverse is tried";
  EXPECT_EQ(score, 5u);
  Script() = sensorlib_test::CoreScript{};
  Script().two = {-1};
  EXPECT_EQ(quorv_VerifyTwoTemplate_v2(len, data.data(), len, data.data(), 10, &h, &overlap,
                                       &score),
            -2);
  EXPECT_EQ(quorv_VerifyTwoTemplate_v2(len, data.data(), len, data.data(), 10, &h, &overlap,
                                       nullptr),
            -1);
  EXPECT_EQ(quorv_VerifyTwoTemplate(len, data.data(), 3, data.data(), 10, &h, &overlap), -4);
  EXPECT_EQ(quorv_VerifyTwoTemplate(len, nullptr, len, data.data(), 10, &h, &overlap), -1);
}

TEST(AreaOverlapTest, ShareOfTheGridMappedInside) {
  auto shift = [](float dx, float dy) {
    ST_FullHMatrix h{};
    h.a00 = h.a11 = h.a22 = 1.0f;
    h.a02 = dx;
    h.a12 = dy;
    return h;
  };
  const ST_FullHMatrix id = shift(0, 0), right40 = shift(40, 0), left = shift(-0.6f, 0),
                       far = shift(1e30f, -1e30f), down16 = shift(0, 16);
  struct Case {
    uint16_t rows, cols;
    const ST_FullHMatrix *h;
    uint32_t expected;
  } cases[] = {
      {64, 80, &id, 100},      {64, 80, &right40, 50}, {0, 80, &id, 0},
      {64, 0, &id, 0},         {64, 80, nullptr, 0},
      {64, 80, &left, 100},  // -0.1 truncates toward zero: column 0 stays inside
      {64, 80, &far, 0},       {64, 80, &down16, 75},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(quorv_GetAreaOverlap(c.rows, c.cols, c.h), c.expected)
        << c.rows << "x" << c.cols << " dx " << (c.h ? c.h->a02 : 0);
  }
}

TEST_F(TemplateStoreTest, SamplesAsData) {
  std::vector<uint8_t> image(kPixels, 100), data(64 * 1024);
  int32_t offset = 0;
  ASSERT_EQ(quorv_GetImageTemplate(image.data(), &offset, data.data()), 0);
  const int32_t one = offset;
  ASSERT_GT(one, 0);
  ASSERT_EQ(quorv_GetImageTemplate(image.data(), &offset, data.data()), 0);
  EXPECT_EQ(offset, 2 * one) << "the second sample follows the first";
  EXPECT_EQ(memcmp(data.data(), data.data() + one, static_cast<size_t>(one)), 0);
  Script().template_ret = -3;
  EXPECT_EQ(quorv_GetImageTemplate(image.data(), &offset, data.data()), -3);
  EXPECT_EQ(offset, 2 * one);
  EXPECT_EQ(quorv_GetImageTemplate(nullptr, &offset, data.data()), -1);

  int32_t length = 5;
  ASSERT_EQ(quorv_GetLastImageTemplate(&length, data.data()), 0);
  EXPECT_GT(length, 0) << "the backup sample made by the initialisation";
  quorv_SensorResourceDestroy();
  length = 5;
  EXPECT_EQ(quorv_GetLastImageTemplate(&length, data.data()), -2);
  EXPECT_EQ(length, 0);
}

TEST_F(TemplateStoreTest, IdentifyAndEnrolFromData) {
  const std::vector<uint8_t> data = SampleData();
  const uint16_t len = static_cast<uint16_t>(data.size());
  uint8_t fid = 0, upd = 0;
  Script().verify = {0};
  Script().fid = 6;
  EXPECT_EQ(quorv_IdentifyFrrFarByTpl(&fid, &upd, len, data.data()), 0);
  EXPECT_EQ(fid, 6);
  EXPECT_EQ(Script().verify_modes, (std::vector<uint32_t>{2}));
  EXPECT_EQ(Script().verify_options, (std::vector<uint8_t>{1}));
  EXPECT_EQ(g_quorvTplDataFlag, 1);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
  Script().verify = {-5};
  EXPECT_EQ(quorv_IdentifyFrrFarByTpl(&fid, &upd, len, data.data()), -2);
  EXPECT_EQ(quorv_IdentifyFrrFarByTpl(&fid, &upd, 2, data.data()), -1);

  // The duplicate check refuses a finger the store already holds.
  quorv_SetEnrollmentTipsEn(0);
  quorv_EnrollmentDuplicateCheckEn(1);
  Script() = sensorlib_test::CoreScript{};
  Script().verify = {0};
  EXPECT_EQ(quorv_EnrollFrrFarByTpl(1, 0, data.data(), len), -7);
  EXPECT_EQ(quorv_EnrollFrrFarByTpl(1, 0, data.data(), 2), -1);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);
}

// The module's rating for the captures below: quality, area, cond.
uint8_t g_module_rating[3] = {60, 95, 60};
int ModuleRating(uint8_t *q, uint8_t *a, uint8_t *c, uint8_t *contrast) {
  *q = g_module_rating[0];
  *a = g_module_rating[1];
  *c = g_module_rating[2];
  *contrast = 0;
  return 0;
}

// Capture, gates and serialisation. The chip type 0 reader answers at once
// and leaves the capture buffer as it was made (zeroed).
TEST_F(TemplateStoreTest, ImageAndTemplateFromACapture) {
  testing_support::FakeChip chip(0);
  quorv_SetMcuInterrupMode(1);
  quorv_GetImgQualityByFwHandle(ModuleRating);
  // 168 x 160 = 26,880 pixels: more than a 25,600-byte capture buffer.
  quorv_SetFpSensorColsRows(168, 160);
  ASSERT_EQ(quorv_InitFpAlg(), 0);
  const size_t n = 168 * 160;
  std::vector<uint8_t> out(n + 1, 0xAA), data(64 * 1024);
  int32_t offset = 3;
  g_quorvTplDataFlag = 0;
  ASSERT_EQ(quorv_GetFpImageAndTpl(1, out.data(), &offset, data.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + n), std::vector<uint8_t>(n, 0));
  EXPECT_EQ(out[n], 0xAA) << "cols x rows bytes, no more";
  EXPECT_GT(offset, 3) << "written after the caller's offset";
  EXPECT_EQ(g_quorvTplDataFlag, 1);
  EXPECT_EQ(gQuorvActionMode, QUORV_ACTION_IDLE);

  // Gates by mode: enrol (30 / 90), identify (30 / 30), none.
  struct Case {
    uint8_t mode, quality, area;
    int expected;
  } cases[] = {
      {0, 29, 95, -3}, {0, 60, 89, -4}, {0, 60, 90, 0}, {1, 60, 29, -4}, {1, 30, 30, 0},
      {2, 1, 1, 0},    {2, 0, 50, -5},  {1, 60, 0, -5},
  };
  for (const Case &c : cases) {
    g_module_rating[0] = c.quality;
    g_module_rating[1] = c.area;
    offset = 0;
    EXPECT_EQ(quorv_GetFpImageAndTpl(c.mode, out.data(), &offset, data.data()), c.expected)
        << "mode " << +c.mode << " q " << +c.quality << " a " << +c.area;
  }
  g_module_rating[0] = 60;
  g_module_rating[1] = 95;
  Script().template_ret = -3;
  EXPECT_EQ(quorv_GetFpImageAndTpl(1, out.data(), &offset, data.data()), -3)
      << "the extraction's code unchanged";
  EXPECT_EQ(quorv_GetFpImageAndTpl(1, nullptr, &offset, data.data()), -1);
  quorv_GetImgQualityByFwHandle(nullptr);
}

}  // namespace
