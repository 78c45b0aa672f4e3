// Replacing a sub-template of a constructed finger: the old one goes to the
// extra-template buffer, later sub-templates are related to the new one, and
// the added areas are recomputed from the stored transforms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqHmatrixOps.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqTemplateBuf.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"
#include "tpl_blob_fixture.h"

namespace {

using tpl_fixture::AlgStateTest;
using tpl_fixture::FillSample;

ST_FullHMatrix Rigid(float angle, float tx, float ty) {
  const float c = std::cos(angle), s = std::sin(angle);
  return ST_FullHMatrix{c, -s, tx, s, c, ty, 0.0f, 0.0f, 1.0f, angle};
}

// Where h takes (x, y).
void Map(const ST_FullHMatrix &h, float x, float y, float *X, float *Y) {
  *X = h.a00 * x + h.a01 * y + h.a02;
  *Y = h.a10 * x + h.a11 * y + h.a12;
}

class TemplateReplaceTest : public AlgStateTest {
 protected:
  void SetUp() override {
    AlgStateTest::SetUp();
    // Five sub-templates without relations, each its own root.
    ST_QuorvEnrollTemplate &f = Finger();
    for (int i = 0; i < 5; ++i) {
      ST_SubTemplate &s = f.subtemplates[i];
      FillSample(&s, 3, 3, 10 + i);
      s.rootIndex = static_cast<uint16_t>(i);
      s.rootHmatrix = ST_FullHMatrix{};
      std::memset(s.simpleHmatrix, 0, sizeof s.simpleHmatrix);
      std::memset(s.coinFlg, 0, sizeof s.coinFlg);
    }
    f.currentSubtemplatesNum = 5;
    f.validFlg = 1;
    src_ = ZqCreateTemp();
    FillSample(src_, 4, 2, 40);
    src_->rootIndex = 255;
    for (int i = 0; i < 5; ++i) {
      toTpl_[i] = Rigid(0.05f * i, 6.0f + i, -3.0f * i);
      ptrs_[i] = &toTpl_[i];
    }
  }
  void TearDown() override {
    ZqReleaseTemp(src_);
    AlgStateTest::TearDown();
  }
  static ST_QuorvEnrollTemplate &Finger() { return *gEnrolledTemplate[5]; }

  ST_SubTemplate *src_ = nullptr;
  ST_FullHMatrix toTpl_[5];
  ST_FullHMatrix *ptrs_[5];
};

TEST_F(TemplateReplaceTest, LaterSubTemplatesAreRelatedToTheNewOne) {
  ST_QuorvEnrollTemplate &f = Finger();
  f.subtemplates[2].rootIndex = 1;  // its root is the slot being replaced
  f.subtemplates[3].rootIndex = 1;
  const ST_SubTemplate before0 = f.subtemplates[0];
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  ZqSetCoinFlg(codes, 0, 2);  // an earlier slot: its relation stays on the new side
  ZqSetCoinFlg(codes, 2, 1);  // too weak to relate
  ZqSetCoinFlg(codes, 3, 2);
  ZqSetCoinFlg(codes, 4, 3);

  ASSERT_EQ(ZqTemplateReplace(5, 1, src_, codes, ptrs_), 0);
  const ST_SubTemplate &x = f.subtemplates[1];
  ASSERT_EQ(x.featBufSize, src_->featBufSize);
  EXPECT_EQ(std::memcmp(x.pTemplateFeature, src_->pTemplateFeature, x.featBufSize), 0);
  EXPECT_EQ(std::memcmp(x.coinFlg, codes, sizeof codes), 0);
  EXPECT_EQ(x.rootIndex, 1) << "no root given: its own";
  EXPECT_EQ(f.currentSubtemplatesNum, 5);
  // The old sub-template (seed 11) waits in the extra-template buffer.
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[0], 5);
  EXPECT_EQ(gQuorvTemplateExtraBufInfor->quorvTemplateExtraInfor[0].templateExtra, 11);

  EXPECT_EQ(std::memcmp(&f.subtemplates[0].rootHmatrix, &before0.rootHmatrix, sizeof(ST_FullHMatrix)), 0);
  EXPECT_EQ(std::memcmp(f.subtemplates[0].coinFlg, before0.coinFlg, ZQ_COIN_FLG_BYTES), 0);
  EXPECT_EQ(f.subtemplates[2].rootIndex, 2) << "left without its root: a root of its own";
  EXPECT_EQ(ZqGetCoinFlg(f.subtemplates[2].coinFlg, 1), 0);
  for (int i : {3, 4}) {
    SCOPED_TRACE(i);
    const ST_SubTemplate &s = f.subtemplates[i];
    EXPECT_EQ(ZqGetCoinFlg(s.coinFlg, 1), ZqGetCoinFlg(codes, static_cast<uint8_t>(i)));
    EXPECT_EQ(s.rootIndex, 1);
    // The root transform takes a point of i back to where it lies in src.
    float X, Y, bx, by;
    Map(toTpl_[i], 20.0f, 30.0f, &X, &Y);
    Map(s.rootHmatrix, X, Y, &bx, &by);
    EXPECT_NEAR(bx, 20.0f, 1e-3);
    EXPECT_NEAR(by, 30.0f, 1e-3);
    // Stored in whole pixels as well.
    EXPECT_EQ(s.simpleHmatrix[1].tx, static_cast<int8_t>(s.rootHmatrix.a02));
    EXPECT_EQ(s.simpleHmatrix[1].ty, static_cast<int8_t>(s.rootHmatrix.a12));
  }
}

TEST_F(TemplateReplaceTest, RelationsChainThroughTheNewSubTemplatesRoot) {
  src_->rootIndex = 0;
  src_->rootHmatrix = Rigid(-0.1f, 4.0f, 9.0f);
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  ZqSetCoinFlg(codes, 4, 2);
  ASSERT_EQ(ZqTemplateReplace(5, 2, src_, codes, ptrs_), 0);
  const ST_SubTemplate &s4 = Finger().subtemplates[4];
  EXPECT_EQ(Finger().subtemplates[2].rootIndex, 0);
  EXPECT_EQ(s4.rootIndex, 0);
  // 4 -> src -> 0.
  float X, Y, sx, sy, rx, ry, ex, ey;
  Map(toTpl_[4], 12.0f, 40.0f, &X, &Y);
  Map(s4.rootHmatrix, X, Y, &rx, &ry);
  sx = 12.0f;
  sy = 40.0f;
  Map(src_->rootHmatrix, sx, sy, &ex, &ey);
  EXPECT_NEAR(rx, ex, 1e-3);
  EXPECT_NEAR(ry, ey, 1e-3);
}

TEST_F(TemplateReplaceTest, RefusalsLeaveTheFingerAlone) {
  uint8_t codes[ZQ_COIN_FLG_BYTES] = {};
  ST_SubTemplate *bare = ZqCreateTemp();
  struct Case {
    const char *what;
    int16_t finger;
    uint16_t index;
    const ST_SubTemplate *src;
    const uint8_t *codes;
    bool transforms;
  } cases[] = {
      {"NULL src", 5, 1, nullptr, codes, true},
      {"NULL codes", 5, 1, src_, nullptr, true},
      {"src without features", 5, 1, bare, codes, true},
      {"index past the count", 5, 5, src_, codes, true},
      {"finger 10", 10, 1, src_, codes, true},
      {"negative finger", -1, 1, src_, codes, true},
      {"NULL transforms", 5, 1, src_, codes, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const ST_Feature *features = Finger().subtemplates[1].pTemplateFeature;
    EXPECT_EQ(ZqTemplateReplace(c.finger, c.index, c.src, c.codes, c.transforms ? ptrs_ : nullptr), -1);
    EXPECT_EQ(Finger().subtemplates[1].pTemplateFeature, features);
    EXPECT_EQ(Finger().subtemplates[1].templateExtra, 11);
    EXPECT_EQ(gQuorvTemplateExtraBufInfor->extraFingerId[0], 255);
  }
  ZqReleaseTemp(bare);
}

// Sets every pixel of t's mask valid.
void AllValid(ST_SubTemplate *t) {
  std::memset(t->templatePixValid, 0, t->maskBufSize);
  std::memset(t->templatePixValid, 0xFF, 96 * 96 / 8);
}

TEST_F(TemplateReplaceTest, AddedAreasFollowTheStoredTransforms) {
  ST_QuorvEnrollTemplate &f = Finger();
  f.currentSubtemplatesNum = 4;
  for (int i = 0; i < 4; ++i) AllValid(&f.subtemplates[i]);
  f.subtemplates[0].extendArea = 77;  // a root keeps its area
  // 1 -> root 0 shifted by 48 columns: half of 1 lies on 0.
  f.subtemplates[1].rootIndex = 0;
  f.subtemplates[1].rootHmatrix = Rigid(0, 48, 0);
  // 2 has no root, but a stored transform to 0 shifted by 72 columns.
  f.subtemplates[2].rootIndex = 255;
  ZqSetCoinFlg(f.subtemplates[2].coinFlg, 0, 1);
  f.subtemplates[2].simpleHmatrix[0] = ST_SimpleHMatrix{72, 0, 0};
  // 3 -> root 0 by (48, 24) covers 48 x 72; through 1, its group mate,
  // the whole top 72 rows.
  f.subtemplates[3].rootIndex = 0;
  f.subtemplates[3].rootHmatrix = Rigid(0, 48, 24);

  ASSERT_EQ(ZqTemplateExtraAreaRefresh(5, 0), 0);
  EXPECT_EQ(f.subtemplates[0].extendArea, 77);
  EXPECT_EQ(f.subtemplates[1].extendArea, 50);
  EXPECT_EQ(f.subtemplates[2].extendArea, 75);
  EXPECT_EQ(f.subtemplates[3].extendArea, 25);
  EXPECT_EQ(int32_t{gQuorvMachInfo.sampleExtendArea}, 25);

  f.subtemplates[1].extendArea = 11;
  f.subtemplates[2].rootIndex = 90;  // names no sub-template: covers nothing through it
  ASSERT_EQ(ZqTemplateExtraAreaRefresh(5, 2), 0);
  EXPECT_EQ(f.subtemplates[1].extendArea, 11) << "below `from`";
  EXPECT_EQ(f.subtemplates[2].extendArea, 75);
}

}  // namespace
