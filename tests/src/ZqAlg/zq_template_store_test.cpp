// Sub-template records, the stored transform, coincidence codes, the
// enrolled-template store and the identification records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqSubTemplate.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

ST_FullHMatrix Rigid(float tx, float ty, float angle) {
  ST_FullHMatrix h{};
  h.a00 = std::cos(angle);
  h.a01 = -std::sin(angle);
  h.a02 = tx;
  h.a10 = std::sin(angle);
  h.a11 = std::cos(angle);
  h.a12 = ty;
  h.a22 = 1.0f;
  h.dtheta = angle;
  return h;
}

TEST(SimpleHmatrixTest, PackTruncatesAndRefusesLargeShifts) {
  struct Case {
    float tx, ty, angle;
    int8_t stx, sty;
    int16_t sangle;
  };
  const float nan = std::nanf("");
  const Case cases[] = {
      {127.0f, -127.0f, 0.0f, 127, -127, 0},
      {127.5f, 0.0f, 0.3f, 0, 0, 0},
      {0.0f, -127.5f, 0.3f, 0, 0, 0},
      {3.7f, -3.7f, 0.0f, 3, -3, 0},
      {0.0f, 0.0f, 0.5f, 0, 0, 4096},
      {0.0f, 0.0f, -0.1f, 0, 0, -819},
      {nan, 0.0f, 0.5f, 0, 0, 0},   // not a number: no relation
      {0.0f, 0.0f, nan, 0, 0, 0},
      {0.0f, 0.0f, 4.0f, 0, 0, -32768},  // 32768 kept in 16 bits
  };
  for (const Case &c : cases) {
    const ST_FullHMatrix h = Rigid(c.tx, c.ty, c.angle);
    ST_SimpleHMatrix s = {9, 9, 9};
    ZqSaveToSimpleHmatrix(&h, &s);
    EXPECT_EQ(s.tx, c.stx) << c.tx << ", " << c.ty << ", " << c.angle;
    EXPECT_EQ(s.ty, c.sty) << c.tx << ", " << c.ty << ", " << c.angle;
    EXPECT_EQ(s.angle, c.sangle) << c.tx << ", " << c.ty << ", " << c.angle;
  }
}

TEST(SimpleHmatrixTest, UnpackGivesTheRigidMatrix) {
  const ST_SimpleHMatrix zero = {0, 0, 0};
  ST_FullHMatrix h;
  std::memset(&h, 0x7f, sizeof h);
  ZqGetFullHmatrix(&h, &zero);
  const float identity[10] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  float got[10];
  std::memcpy(got, &h, sizeof got);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], identity[i]) << "entry " << i;

  const ST_SimpleHMatrix s = {-5, 12, 4096};  // angle 0.5
  ZqGetFullHmatrix(&h, &s);
  EXPECT_FLOAT_EQ(h.dtheta, 0.5f);
  EXPECT_FLOAT_EQ(h.a00, std::cos(0.5f));
  EXPECT_FLOAT_EQ(h.a01, -std::sin(0.5f));
  EXPECT_FLOAT_EQ(h.a10, std::sin(0.5f));
  EXPECT_FLOAT_EQ(h.a11, std::cos(0.5f));
  EXPECT_EQ(h.a02, -5.0f);
  EXPECT_EQ(h.a12, 12.0f);
  EXPECT_EQ(h.a22, 1.0f);
  // Packing it again gives the same stored form.
  ST_SimpleHMatrix back;
  ZqSaveToSimpleHmatrix(&h, &back);
  EXPECT_EQ(back.tx, -5);
  EXPECT_EQ(back.ty, 12);
  EXPECT_EQ(back.angle, 4096);
}

TEST(CoinFlgTest, TwoBitCodesInPlace) {
  uint8_t flags[ZQ_COIN_FLG_BYTES] = {};
  ZqSetCoinFlg(flags, 5, 2);
  EXPECT_EQ(flags[1], 0x08);
  EXPECT_EQ(ZqGetCoinFlg(flags, 5), 2);
  for (uint8_t i : {4, 6, 7}) EXPECT_EQ(ZqGetCoinFlg(flags, i), 0) << int(i);

  // Overwriting clears the old bits; neighbours keep theirs.
  ZqSetCoinFlg(flags, 4, 3);
  ZqSetCoinFlg(flags, 6, 1);
  ZqSetCoinFlg(flags, 5, 1);
  EXPECT_EQ(flags[1], 0x17);
  ZqSetCoinFlg(flags, 0, 3);
  ZqSetCoinFlg(flags, 95, 3);
  EXPECT_EQ(flags[0], 0x03);
  EXPECT_EQ(flags[23], 0xC0);
  EXPECT_EQ(ZqGetCoinFlg(flags, 95), 3);

  // Indexes past 95 touch nothing (the array has 25 bytes).
  uint8_t before[ZQ_COIN_FLG_BYTES];
  std::memcpy(before, flags, sizeof flags);
  ZqSetCoinFlg(flags, 96, 3);
  ZqSetCoinFlg(flags, 255, 3);
  EXPECT_EQ(std::memcmp(before, flags, sizeof flags), 0);
  EXPECT_EQ(ZqGetCoinFlg(flags, 255), 0);
}

// Records of a 96 x 96 sensor unless a test says otherwise.
class SubTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    baseline_ = ZqGetMallocCnts();
  }
  void TearDown() override {
    EXPECT_EQ(ZqGetMallocCnts(), baseline_) << "every block released";
    ZqAlgSettingsResetForTest();
  }

  // Gives t n0 + n1 keypoints with recognisable bytes and marks its images.
  static void Fill(ST_SubTemplate *t, uint8_t n0, uint8_t n1, uint8_t mark) {
    ZqSafeFree(t->pTemplateFeature);
    t->featBufSize = (n0 + n1) * ZQ_FEATURE_BYTES;
    t->pTemplateFeature = static_cast<ST_Feature *>(ZqSafeAlloc(t->featBufSize));
    std::memset(t->pTemplateFeature, mark, t->featBufSize);
    t->nFeatureNum[0] = n0;
    t->nFeatureNum[1] = n1;
    t->classNum = 2;
    t->templateQuality = 80;
    t->extendArea = 12;
    t->rootIndex = 3;
    t->rootHmatrix = Rigid(1.0f, 2.0f, 0.1f);
    t->simpleHmatrix[7] = {4, -4, 100};
    t->reservedInt = 77;
    t->reservedBytes[2] = 5;
    t->coinFlg[24] = 0xAA;
    std::memset(t->templateBinDiscr, mark, t->binBufSize);
    std::memset(t->templatePixValid, mark ^ 0xFF, t->maskBufSize);
  }

  static bool AllBytes(const uint8_t *p, size_t n, uint8_t v) {
    for (size_t i = 0; i < n; ++i) {
      if (p[i] != v) return false;
    }
    return true;
  }

  int32_t baseline_ = 0;
};

TEST_F(SubTemplateTest, SetUpSizesFollowTheSensor) {
  struct Case {
    int16_t cols, rows;
    uint32_t bin, mask;
  };
  const Case cases[] = {{96, 96, 1160, 1153}, {56, 56, 400, 393}, {80, 128, 1288, 1281},
                        {50, 50, 320, 313}};
  for (const Case &c : cases) {
    ZqSetSensorColRow(c.cols, c.rows);
    ST_SubTemplate *t = ZqCreateTemp();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->headerSize, 485u);
    EXPECT_EQ(t->featBufSize, 0u);
    EXPECT_EQ(t->pTemplateFeature, nullptr);
    EXPECT_EQ(t->binBufSize, c.bin) << c.cols << "x" << c.rows;
    EXPECT_EQ(t->maskBufSize, c.mask) << c.cols << "x" << c.rows;
    EXPECT_TRUE(AllBytes(t->templateBinDiscr, t->binBufSize, 0));
    EXPECT_TRUE(AllBytes(t->templatePixValid, t->maskBufSize, 0));
    ZqReleaseTemp(t);
  }
  ZqReleaseTemp(nullptr);
}

TEST_F(SubTemplateTest, InitRefusesARecordThatHoldsBuffers) {
  ST_SubTemplate *t = ZqCreateTemp();
  ASSERT_NE(t, nullptr);
  uint8_t *bin = t->templateBinDiscr;
  testing_support::LibLogCapture log;
  EXPECT_EQ(ZqInitSubTemplate(t), -1);
  EXPECT_EQ(t->templateBinDiscr, bin) << "nothing replaced, nothing leaked";
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].rfind("ZqInitSubTemplate...input err, pSubTemplate->pTemplateFeature = 0x0, "
                       "pSubTemplate->templateBinDiscr = 0x",
                       0),
            0u)
      << m[0];
  ZqReleaseTemp(t);
}

TEST_F(SubTemplateTest, CopyIsDeepAndKeepsTheTargetBuffers) {
  ST_SubTemplate *src = ZqCreateTemp();
  ST_SubTemplate *dst = ZqCreateTemp();
  ASSERT_NE(src, nullptr);
  ASSERT_NE(dst, nullptr);
  Fill(src, 3, 2, 0x5A);
  Fill(dst, 1, 1, 0x11);  // the target's old features are freed
  uint8_t *dstBin = dst->templateBinDiscr;
  uint8_t *dstMask = dst->templatePixValid;

  ASSERT_EQ(ZqSubTemplateCopy(dst, src), 0);
  EXPECT_EQ(dst->templateBinDiscr, dstBin);
  EXPECT_EQ(dst->templatePixValid, dstMask);
  ASSERT_NE(dst->pTemplateFeature, nullptr);
  EXPECT_NE(dst->pTemplateFeature, src->pTemplateFeature);
  EXPECT_EQ(dst->featBufSize, 5u * 44u);
  EXPECT_TRUE(AllBytes(reinterpret_cast<uint8_t *>(dst->pTemplateFeature), dst->featBufSize, 0x5A));
  EXPECT_TRUE(AllBytes(dstBin, dst->binBufSize, 0x5A));
  EXPECT_TRUE(AllBytes(dstMask, dst->maskBufSize, 0xA5));
  EXPECT_EQ(dst->nFeatureNum[0], 3);
  EXPECT_EQ(dst->nFeatureNum[1], 2);
  EXPECT_EQ(dst->reservedInt, 77);
  EXPECT_EQ(dst->reservedBytes[2], 5);
  EXPECT_EQ(dst->coinFlg[24], 0xAA);
  EXPECT_EQ(dst->simpleHmatrix[7].angle, 100);
  EXPECT_EQ(std::memcmp(&dst->rootHmatrix, &src->rootHmatrix, sizeof src->rootHmatrix), 0);

  // Changing the source afterwards leaves the copy alone.
  std::memset(src->pTemplateFeature, 0, src->featBufSize);
  EXPECT_TRUE(AllBytes(reinterpret_cast<uint8_t *>(dst->pTemplateFeature), dst->featBufSize, 0x5A));
  ZqReleaseTemp(src);
  ZqReleaseTemp(dst);
}

TEST_F(SubTemplateTest, CopyOfAnEmptyRecordGivesAZeroByteFeatureBlock) {
  ST_SubTemplate *src = ZqCreateTemp();
  ST_SubTemplate *dst = ZqCreateTemp();
  ASSERT_EQ(ZqSubTemplateCopy(dst, src), 0);
  EXPECT_NE(dst->pTemplateFeature, nullptr);
  EXPECT_EQ(dst->featBufSize, 0u);
  ZqReleaseTemp(src);
  ZqReleaseTemp(dst);
}

TEST_F(SubTemplateTest, CopyRefusesMismatchedOrMissingBuffers) {
  ST_SubTemplate *src = ZqCreateTemp();
  Fill(src, 2, 0, 0x33);
  ZqSetSensorColRow(56, 56);
  ST_SubTemplate *small = ZqCreateTemp();
  ZqSetSensorColRow(96, 96);
  ST_SubTemplate before = *small;

  testing_support::LibLogCapture log;
  EXPECT_EQ(ZqSubTemplateCopy(small, src), -1);
  EXPECT_EQ(std::memcmp(&before, small, sizeof before), 0) << "target unchanged";

  ST_SubTemplate bare{};  // never set up
  EXPECT_EQ(ZqSubTemplateCopy(&bare, src), -1);
  EXPECT_EQ(bare.pTemplateFeature, nullptr);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0],
            "ZqSubTemplateCopy...input tpl size err, ret = -1, pDst->binBufSize(= 400) != "
            "pSrc->binBufSize(= 1160) || pDst->maskBufSize(= 393) != pSrc->maskBufSize(= 1153)");
  EXPECT_EQ(m[1],
            "ZqSubTemplateCopy...input err, ret = -1, pDstTemplate->templateBinDiscr = 0x0, "
            "pDstTemplate->templatePixValid = 0x0");
  ZqReleaseTemp(src);
  ZqReleaseTemp(small);
}

TEST_F(SubTemplateTest, ClearEmptiesFieldsAndPixels) {
  ST_SubTemplate *t = ZqCreateTemp();
  Fill(t, 4, 4, 0xC3);
  uint8_t *bin = t->templateBinDiscr;
  uint8_t *mask = t->templatePixValid;
  ZqClearSubTemplate(t);
  EXPECT_EQ(t->templateBinDiscr, bin);
  EXPECT_EQ(t->templatePixValid, mask);
  EXPECT_EQ(t->pTemplateFeature, nullptr);
  EXPECT_EQ(t->headerSize, 485u);
  EXPECT_EQ(t->binBufSize, 1160u);
  EXPECT_EQ(t->maskBufSize, 1153u);
  // An emptied slot carries none of the old finger's images.
  EXPECT_TRUE(AllBytes(bin, 1160, 0));
  EXPECT_TRUE(AllBytes(mask, 1153, 0));
  // Every other field is zero.
  ST_SubTemplate expect{};
  expect.templateBinDiscr = bin;
  expect.templatePixValid = mask;
  expect.headerSize = 485;
  expect.binBufSize = 1160;
  expect.maskBufSize = 1153;
  EXPECT_EQ(std::memcmp(&expect, t, sizeof expect), 0);
  ZqReleaseTemp(t);
}

TEST_F(SubTemplateTest, ClearAfterASensorChangeKeepsTheBufferSizes) {
  ST_SubTemplate *a = ZqCreateTemp();
  ST_SubTemplate *b = ZqCreateTemp();
  ZqSetSensorColRow(128, 128);
  ZqClearSubTemplate(a);
  ZqClearSubTemplate(b);
  EXPECT_EQ(a->binBufSize, 1160u) << "the size of the buffer it holds";
  EXPECT_EQ(a->maskBufSize, 1153u);
  Fill(a, 1, 0, 0x42);
  EXPECT_EQ(ZqSubTemplateCopy(b, a), 0);  // within the 96 x 96 buffers
  EXPECT_TRUE(AllBytes(b->templateBinDiscr, 1160, 0x42));
  ZqReleaseTemp(a);
  ZqReleaseTemp(b);
}

TEST_F(SubTemplateTest, ReleaseFreesBuffersButNotTheRecord) {
  ST_SubTemplate t{};
  ASSERT_EQ(ZqInitSubTemplate(&t), 0);
  Fill(&t, 1, 0, 1);
  ZqReleaseSubTemplate(&t);
  EXPECT_EQ(t.pTemplateFeature, nullptr);
  EXPECT_EQ(t.templateBinDiscr, nullptr);
  EXPECT_EQ(t.templatePixValid, nullptr);
  EXPECT_EQ(t.featBufSize, 0u);
  EXPECT_EQ(ZqInitSubTemplate(&t), 0) << "a released record can be set up again";
  ZqReleaseSubTemplate(&t);
}

class StoreTest : public SubTemplateTest {
 protected:
  void SetUp() override {
    SubTemplateTest::SetUp();
    ASSERT_EQ(ZqInitErollTemplate(), 0);
  }
  void TearDown() override {
    ZqReleaseErollTemplate();
    for (ST_QuorvEnrollTemplate *t : gEnrolledTemplate) EXPECT_EQ(t, nullptr);
    SubTemplateTest::TearDown();
  }
};

TEST_F(StoreTest, InitSetsUpTenEmptyFingers) {
  EXPECT_EQ(ZqGetMallocCnts(), baseline_ + 10 + 10 * 96 * 2);
  for (uint8_t f = 0; f < 10; ++f) {
    const ST_QuorvEnrollTemplate *t = gEnrolledTemplate[f];
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->headerSize, 208);
    EXPECT_EQ(t->validFlg, 0);
    EXPECT_EQ(ZqGetSubtemplatesNum(f), 0);
    for (const ST_SubTemplate &s : t->subtemplates) {
      EXPECT_EQ(s.binBufSize, 1160u);
      EXPECT_EQ(s.maskBufSize, 1153u);
      ASSERT_NE(s.templateBinDiscr, nullptr);
    }
  }
  EXPECT_EQ(ZqGetTemplateVersion(), 0x1415927du);
}

TEST_F(StoreTest, FinaliseOnceAndKeep) {
  ST_QuorvEnrollTemplate *t = gEnrolledTemplate[2];
  EXPECT_EQ(ZqSetTplValidFlag(2), 0);
  EXPECT_EQ(t->validFlg, 1);
  EXPECT_EQ(t->templateSize, 50136);
  for (uint16_t i = 0; i < 96; ++i) EXPECT_EQ(t->order[i], i);
  t->order[5] = 40;  // a loaded order table stays as it is
  EXPECT_EQ(ZqSetTplValidFlag(2), 0);
  EXPECT_EQ(t->order[5], 40);
  EXPECT_EQ(gEnrolledTemplate[3]->validFlg, 0) << "other fingers untouched";

  testing_support::LibLogCapture log;
  EXPECT_EQ(ZqSetTplValidFlag(10), -1);
  ASSERT_EQ(log.Messages().size(), 1u);
  EXPECT_EQ(log.Messages()[0], "ZqSetTplValidFlag...fingerId > MAX");
}

TEST_F(StoreTest, CancelAndClearEmptyTheFinger) {
  ST_QuorvEnrollTemplate *t = gEnrolledTemplate[4];
  for (int i = 0; i < 3; ++i) Fill(&t->subtemplates[i], 2, 1, 0x77);
  t->currentSubtemplatesNum = 3;
  t->coverageArea = 55;
  t->enrollResult = 9;
  ASSERT_EQ(ZqSetTplValidFlag(4), 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(4), 3);
  EXPECT_EQ(ZqGetTemplateCoverageArea(4), 55);

  EXPECT_EQ(ZqCancelEnroll(4), 0);
  EXPECT_EQ(t->headerSize, 208);
  EXPECT_EQ(t->currentSubtemplatesNum, 0);
  EXPECT_EQ(t->validFlg, 0);
  EXPECT_EQ(t->templateSize, 0);
  EXPECT_EQ(t->coverageArea, 0);
  EXPECT_EQ(t->enrollResult, 0);
  for (uint16_t o : t->order) EXPECT_EQ(o, 0);
  for (int i = 0; i < 3; ++i) {
    const ST_SubTemplate &s = t->subtemplates[i];
    EXPECT_EQ(s.pTemplateFeature, nullptr);
    EXPECT_EQ(s.nFeatureNum[0], 0);
    EXPECT_TRUE(AllBytes(s.templateBinDiscr, s.binBufSize, 0)) << "slot " << i;
  }
  // Only the features were freed: the buffers stay for the next enrolment.
  EXPECT_EQ(ZqGetMallocCnts(), baseline_ + 10 + 10 * 96 * 2);
}

TEST_F(StoreTest, IdsAboveNine) {
  gEnrolledTemplate[0]->currentSubtemplatesNum = 1;
  testing_support::LibLogCapture log;
  EXPECT_EQ(ZqGetSubtemplatesNum(10), 0);
  EXPECT_EQ(ZqCancelEnroll(12), 0);
  ZqClearErollTemplate(10);
  EXPECT_EQ(ZqGetTemplateCoverageArea(10), 0);
  EXPECT_EQ(gEnrolledTemplate[0]->currentSubtemplatesNum, 1);
  const std::vector<std::string> m = log.Messages();
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0], "ZqGetTemplateCoverageArea...fingerId(= 10) error");
}

TEST(StoreAbsentTest, OperationsWithoutAStoreDoNothing) {
  ZqReleaseErollTemplate();
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  EXPECT_EQ(ZqCancelEnroll(0), 0);
  EXPECT_EQ(ZqSetTplValidFlag(0), 0);
  EXPECT_EQ(ZqGetTemplateCoverageArea(0), 0);
  ZqReleaseErollTemplate();  // twice is harmless
}

class MatchRecordsTest : public SubTemplateTest {
 protected:
  void TearDown() override {
    ZqReleaseMatchRecords();
    SubTemplateTest::TearDown();
  }
};

TEST_F(MatchRecordsTest, FreshRecords) {
  ASSERT_EQ(ZqCreateTempupdateInfor(), 0);
  ASSERT_EQ(ZqCreateMatchPriority(), 0);
  ASSERT_EQ(ZqCreateAreaMatchToplogy(), 0);

  const uint32_t *words = reinterpret_cast<const uint32_t *>(gQuorvMatchPriority);
  for (int i = 0; i < 250; ++i) EXPECT_EQ(words[i], 0xFFFFFFFFu) << "entry " << i;
  for (int i = 250; i < 261; ++i) EXPECT_EQ(words[i], 0u) << "entry " << i;

  const uint8_t *pool = reinterpret_cast<const uint8_t *>(gQuorvAreaMatchToplogy);
  EXPECT_TRUE(AllBytes(pool, sizeof(ST_QuorvAreaMatchToplogy), 0));

  const ST_SubTemplate &s = gQuorvTempupdateInfor->updateVerifyTemplate;
  EXPECT_NE(s.templateBinDiscr, nullptr);
  EXPECT_NE(s.templatePixValid, nullptr);
  EXPECT_EQ(s.pTemplateFeature, nullptr);
  EXPECT_EQ(s.featBufSize, 0u);
  EXPECT_EQ(s.headerSize, 485u);
  EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, 0);
}

TEST_F(MatchRecordsTest, RecreatingReleasesTheOldRecordsAndResetsTheHistory) {
  ASSERT_EQ(ZqCreateTempupdateInfor(), 0);
  ASSERT_EQ(ZqCreateMatchPriority(), 0);
  ASSERT_EQ(ZqCreateAreaMatchToplogy(), 0);
  const int32_t made = ZqGetMallocCnts();
  gQuorvMatchPriority->fingerRing[3] = 2;
  gQuorvMatchPriority->fingerRingPos = 4;
  ASSERT_EQ(ZqCreateTempupdateInfor(), 0);
  ASSERT_EQ(ZqCreateMatchPriority(), 0);
  ASSERT_EQ(ZqCreateAreaMatchToplogy(), 0);
  EXPECT_EQ(ZqGetMallocCnts(), made);
  EXPECT_EQ(gQuorvMatchPriority->fingerRing[3], 0xFFFFFFFFu);
  EXPECT_EQ(gQuorvMatchPriority->fingerRingPos, 0u);
  ZqReleaseMatchRecords();
  EXPECT_EQ(gQuorvMatchPriority, nullptr);
  EXPECT_EQ(gQuorvAreaMatchToplogy, nullptr);
  EXPECT_EQ(gQuorvTempupdateInfor, nullptr);
  ZqReleaseMatchRecords();  // twice is harmless
}

}  // namespace
