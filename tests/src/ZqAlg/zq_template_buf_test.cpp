// The extra-template buffer's slot choice, the template buffer's clearing
// and the TempalteBufData blob that saves and restores both buffers.
#include <gtest/gtest.h>

#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/image/ZqMemoryManager.h"
#include "tpl_blob_fixture.h"

namespace {

using tpl_fixture::AlgStateTest;
using tpl_fixture::FillFinger;
using tpl_fixture::FillSample;
using tpl_fixture::GuardedBytes;

class TemplateBufTest : public AlgStateTest {
 protected:
  void SetUp() override {
    AlgStateTest::SetUp();
    sample_ = ZqCreateTemp();
    FillSample(sample_, 2, 3, 1);
  }
  void TearDown() override {
    ZqReleaseTemp(sample_);
    AlgStateTest::TearDown();
  }
  ST_QuorvTemplateExtraBufInfor &Extra() { return *gQuorvTemplateExtraBufInfor; }
  std::vector<uint8_t> SaveBuffers() {
    std::vector<uint8_t> b(ZqGetTempalteBufSize());
    uint32_t size = 0;
    EXPECT_EQ(ZqGetTempalteBufData(b.data(), &size), 0);
    EXPECT_EQ(size, b.size());
    return b;
  }
  ST_SubTemplate *sample_ = nullptr;
};

TEST_F(TemplateBufTest, ExtraSlotsFillInOrderThenWrapAround) {
  for (int j = 0; j < 64; ++j) ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, j % 10), 0);
  EXPECT_EQ(Extra().extraWriteIndex, 64);
  sample_->templateExtra = 77;
  Extra().extraWriteIndex = 63;
  ASSERT_EQ(ZqRefreshTemplateExtraInforInVerify(sample_, 4), 0);
  EXPECT_EQ(Extra().quorvTemplateExtraInfor[63].templateExtra, 77);
  EXPECT_EQ(Extra().extraWriteIndex, 64);
  sample_->templateExtra = 78;
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 5), 0);
  EXPECT_EQ(Extra().quorvTemplateExtraInfor[0].templateExtra, 78);
  EXPECT_EQ(Extra().extraFingerId[0], 5);
  EXPECT_EQ(Extra().extraWriteIndex, 1);
}

TEST_F(TemplateBufTest, ClearingAFingerFreesItsSlotsForTheNextSamples) {
  for (int j = 0; j < 6; ++j) ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, j % 2 ? 3 : 8), 0);
  ZqClearExtraTempalteBuf(3);
  EXPECT_EQ(Extra().extraWriteIndex, 0);
  EXPECT_EQ(Extra().extraFingerId[1], 255);
  EXPECT_EQ(Extra().quorvTemplateExtraInfor[1].pTemplateFeature, nullptr);
  EXPECT_NE(Extra().quorvTemplateExtraInfor[2].pTemplateFeature, nullptr) << "finger 8 stays";
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 6), 0);
  EXPECT_EQ(Extra().extraFingerId[1], 6);
  EXPECT_EQ(Extra().extraWriteIndex, 0) << "slot 1 is not the write index";
  ST_SubTemplate *bare = ZqCreateTemp();
  EXPECT_EQ(ZqRefreshTemplateExtraInfor(bare, 6), -1);
  EXPECT_EQ(Extra().extraFingerId[3], 255);
  ZqReleaseTemp(bare);
}

TEST_F(TemplateBufTest, ClearedTemplateBufferNamesNoFinger) {
  ST_QuorvTempalteBufInfor &b = *gQuorvTempalteBufInfor;
  ASSERT_EQ(ZqSubTemplateCopy(&b.bufTemplate[5], sample_), 0);
  b.bufState[5] = 2;
  b.bufGroup[5] = 9;
  b.bufVerifyFingerId = 4;
  b.bufWriteIndex = 7;
  ZqClearTempalteBuf();
  EXPECT_EQ(b.bufTemplate[5].pTemplateFeature, nullptr);
  EXPECT_EQ(b.bufState[5], 0);
  EXPECT_EQ(b.bufGroup[5], 5);
  EXPECT_EQ(b.bufFingerId[5], 255);
  EXPECT_EQ(b.bufVerifyFingerId, 255);
  EXPECT_EQ(b.bufWriteIndex, 0);
}

TEST_F(TemplateBufTest, BlobRoundTripAndRestoreOfFingersThatAreGone) {
  std::vector<uint8_t> empty = SaveBuffers();
  ASSERT_EQ(empty.size(), 224296u);
  EXPECT_EQ(empty[0], 0x1d);
  EXPECT_EQ(empty[3], 0x10);

  FillFinger(2, {3}, 1);
  ZqSetTplValidFlag(2);
  ST_QuorvTempalteBufInfor &b = *gQuorvTempalteBufInfor;
  ASSERT_EQ(ZqSubTemplateCopy(&b.bufTemplate[3], sample_), 0);
  b.bufState[3] = 1;
  b.bufFingerId[3] = 2;
  b.bufWriteIndex = 4;
  b.bufUpdateState = 1;
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 2), 0);
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 7), 0);  // finger 7 is not enrolled
  const std::vector<uint8_t> saved = SaveBuffers();
  ASSERT_EQ(saved.size(), 224296u + 3u * 5 * 44);

  // Twice: a slot freed by the first restore still holds its sample.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    uint32_t used = 0;
    ASSERT_EQ(ZqInitTempalteBufData(static_cast<uint32_t>(saved.size()), saved.data(), &used), 0);
    EXPECT_EQ(used, saved.size());
    EXPECT_EQ(b.bufWriteIndex, 4);
    EXPECT_EQ(b.bufFingerId[3], 2);
    EXPECT_EQ(b.bufUpdateState, 1);
    EXPECT_EQ(b.bufVerifyFingerId, 255);
    EXPECT_EQ(b.bufTemplate[3].pTemplateFeature[4].y, sample_->pTemplateFeature[4].y);
    EXPECT_EQ(Extra().extraFingerId[0], 2);
    EXPECT_EQ(Extra().extraFingerId[1], 255);
    EXPECT_NE(Extra().quorvTemplateExtraInfor[1].pTemplateFeature, nullptr) << "sample kept";
  }
  // The freed slot is reused by the next sample.
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 2), 0);
  EXPECT_EQ(Extra().extraFingerId[1], 2);
}

TEST_F(TemplateBufTest, DamagedBlobsLeaveBothBuffersAsTheyWere) {
  ASSERT_EQ(ZqRefreshTemplateExtraInfor(sample_, 1), 0);
  ASSERT_EQ(ZqSubTemplateCopy(&gQuorvTempalteBufInfor->bufTemplate[0], sample_), 0);
  const std::vector<uint8_t> good = SaveBuffers();
  const size_t rec0 = 71;
  const size_t extraHead = 71 + 16 * 2802 + 5 * 44;
  struct Case {
    const char *name;
    size_t len;  // 0: whole blob
    size_t at;
    uint8_t value;
    int ret;
  };
  const Case cases[] = {
      {"bad magic", 0, 1, 0x01, -2},
      {"shorter than the magic", 3, 0, 0x1d, -2},
      {"inside the 71-byte head", 70, 0, 0x1d, -4},
      {"inside the extra head", extraHead + 64, 0, 0x1d, -4},
      {"inside an extra record", good.size() - 1, 0, 0x1d, -4},
      {"write index 16", 0, 68, 16, -2},
      {"group 16", 0, 36 + 2, 16, -2},
      {"finger id 10", 0, 20 + 1, 10, -2},
      {"extra finger id 12", 0, extraHead + 5, 12, -2},
      {"extra write index 65", 0, extraHead + 64, 65, -2},
      {"template-buffer record quality 101", 0, rec0 + 456, 101, -3},
      {"template-buffer record of another sensor", 0, rec0 + 8, 0x89, -1},
      {"extra record headerSize", 0, extraHead + 65, 0xe6, -2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = good;
    bad[c.at] = c.value;
    const size_t len = c.len ? c.len : bad.size();
    const int32_t blocks = ZqGetMallocCnts();
    GuardedBytes guarded(bad);
    uint32_t used = 99;
    EXPECT_EQ(ZqInitTempalteBufData(static_cast<uint32_t>(len), guarded.Limit(len), &used), c.ret);
    EXPECT_EQ(used, 0u);
    EXPECT_EQ(ZqGetMallocCnts(), blocks);
    EXPECT_EQ(SaveBuffers(), good);
  }
}

TEST_F(TemplateBufTest, MissingBuffersAreReported) {
  const std::vector<uint8_t> good = SaveBuffers();
  ZqReleaseTempalteBuf();
  EXPECT_EQ(ZqGetTempalteBufSize(), 0u);
  std::vector<uint8_t> out(good.size());
  uint32_t size = 5;
  EXPECT_EQ(ZqGetTempalteBufData(out.data(), &size), -1);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(ZqInitTempalteBufData(static_cast<uint32_t>(good.size()), good.data(), &size), -1);
  EXPECT_EQ(ZqRefreshTemplateExtraInfor(sample_, 1), -1);
  ZqClearTempalteBuf();
  ZqClearExtraTempalteBuf(1);
}

}  // namespace
