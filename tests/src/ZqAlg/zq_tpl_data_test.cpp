// The finger blob and the single-record encoding: byte layout read by an
// independent parser, round trips, and refusal of damaged blobs without any
// change to the store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqCrc16.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqMatchRecords.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/image/ZqMemoryManager.h"
#include "tpl_blob_fixture.h"

namespace {

using tpl_fixture::AlgStateTest;
using tpl_fixture::FillFinger;
using tpl_fixture::FillSample;
using tpl_fixture::FixCrc;
using tpl_fixture::GuardedBytes;
using tpl_fixture::PutU16;
using tpl_fixture::PutU32;
using tpl_fixture::SaveFinger;
using tpl_fixture::U16;
using tpl_fixture::U32;

float F32(const std::vector<uint8_t> &b, size_t off) {
  const uint32_t bits = U32(b, off);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

TEST(Crc16Test, CheckValueAndEmptyInput) {
  const char *check = "123456789";
  EXPECT_EQ(ZqCalCrc16(reinterpret_cast<const uint8_t *>(check), 9), 0xBB3D);
  EXPECT_EQ(ZqCalCrc16(reinterpret_cast<const uint8_t *>(check), 0), 0);
  std::vector<uint8_t> bytes(300);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
  EXPECT_EQ(ZqCalCrc16(bytes.data(), 300), tpl_fixture::ReferenceCrc(bytes.data(), 300));
  // Every length around the eight-byte steps, at every start within one
  // step, equals the bit-by-bit reference.
  for (uint32_t start = 0; start < 8; ++start)
    for (uint32_t n = 0; n <= 40; ++n)
      EXPECT_EQ(ZqCalCrc16(bytes.data() + start, n),
                tpl_fixture::ReferenceCrc(bytes.data() + start, n))
          << "start " << start << " length " << n;
}

class TplDataTest : public AlgStateTest {};

// Blob of finger 1 holding three sub-templates of 5, 0 and 12 keypoints.
TEST_F(TplDataTest, WrittenBlobMatchesTheLayoutByteForByte) {
  const std::vector<int> counts = {5, 0, 12};
  FillFinger(1, counts, 20);
  const std::vector<uint8_t> b = SaveFinger(1);
  ASSERT_EQ(b.size(), 269210u + 44u * 17u);
  const uint8_t head[8] = {0x7d, 0x92, 0x15, 0x14, 0xd0, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(b.data(), head, 8), 0);
  // Finalised by the save.
  for (int i = 0; i < 96; ++i) ASSERT_EQ(U16(b, 8 + 2 * i), i);
  EXPECT_EQ(U16(b, 200), 3);
  EXPECT_EQ(U16(b, 202), 1);
  EXPECT_EQ(U32(b, 204), 20u);     // enrollResult
  EXPECT_EQ(U32(b, 208), 50136u);  // templateSize
  EXPECT_EQ(U32(b, 212), 60u);     // coverageArea
  const uint8_t rec0[4] = {0xe5, 0x01, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(b.data() + 216, rec0, 4), 0);
  const uint8_t bin0[4] = {0x88, 0x04, 0x00, 0x00};
  EXPECT_EQ(std::memcmp(b.data() + 224, bin0, 4), 0);

  size_t off = 216;
  for (int slot = 0; slot < 96; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const ST_SubTemplate &t = gEnrolledTemplate[1]->subtemplates[slot];
    const int n = slot < 3 ? counts[slot] : 0;
    ASSERT_EQ(U32(b, off), 485u);
    ASSERT_EQ(U32(b, off + 4), 44u * n);
    ASSERT_EQ(U32(b, off + 8), 1160u);
    ASSERT_EQ(U32(b, off + 12), 1153u);
    EXPECT_EQ(static_cast<int32_t>(U32(b, off + 16)), t.reservedInt);
    EXPECT_EQ(static_cast<int32_t>(U32(b, off + 20)), t.binWordCnt);
    EXPECT_EQ(U16(b, off + 24), t.extendArea);
    EXPECT_EQ(U16(b, off + 26), t.rootIndex);
    EXPECT_EQ(F32(b, off + 28 + 8), t.rootHmatrix.a02);
    EXPECT_EQ(F32(b, off + 28 + 36), t.rootHmatrix.dtheta);
    EXPECT_EQ(static_cast<int8_t>(b[off + 68]), t.simpleHmatrix[0].tx);
    EXPECT_EQ(static_cast<int16_t>(U16(b, off + 68 + 2)), t.simpleHmatrix[0].angle);
    EXPECT_EQ(static_cast<int16_t>(U16(b, off + 68 + 4 * 95 + 2)), t.simpleHmatrix[95].angle);
    EXPECT_EQ(b[off + 452] + b[off + 453], n);
    EXPECT_EQ(b[off + 454], t.classNum);
    EXPECT_EQ(b[off + 455], t.templateArea);
    EXPECT_EQ(b[off + 456], t.templateQuality);
    EXPECT_EQ(b[off + 457], t.templateCond);
    EXPECT_EQ(b[off + 458], t.templateExtra);
    EXPECT_EQ(b[off + 459], t.replacedFlg);
    EXPECT_EQ(std::memcmp(b.data() + off + 460, t.reservedBytes, 4), 0);
    EXPECT_EQ(std::memcmp(b.data() + off + 464, t.coinFlg, 25), 0);
    for (int k = 0; k < n; ++k) {
      const size_t fo = off + 489 + 44 * k;
      const ST_Feature &f = t.pTemplateFeature[k];
      EXPECT_EQ(F32(b, fo), f.x);
      EXPECT_EQ(F32(b, fo + 4), f.y);
      EXPECT_EQ(F32(b, fo + 8), f.ori);
      EXPECT_EQ(U32(b, fo + 12 + 4 * 7), f.descr[7]);
    }
    const size_t binAt = off + 489 + 44 * n;
    EXPECT_EQ(std::memcmp(b.data() + binAt, t.templateBinDiscr, 1160), 0);
    EXPECT_EQ(std::memcmp(b.data() + binAt + 1160, t.templatePixValid, 1153), 0);
    off = binAt + 1160 + 1153;
  }
  ASSERT_EQ(off + 2, b.size());
  EXPECT_EQ(U16(b, off), tpl_fixture::ReferenceCrc(b.data(), off));
}

TEST_F(TplDataTest, WriteDeleteLoadWriteIsByteIdentical) {
  FillFinger(4, {7, 3, 30, 1}, 5);
  const std::vector<uint8_t> first = SaveFinger(4);
  ASSERT_FALSE(first.empty());
  ASSERT_EQ(ZqDelTpl(4), 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(4), 0);
  // Loaded into another finger too: the blob does not carry its finger.
  ASSERT_EQ(ZqIniAlgTplData(4, 0, static_cast<uint32_t>(first.size()), first.data()), 0);
  ASSERT_EQ(ZqIniAlgTplData(7, 99, static_cast<uint32_t>(first.size()), first.data()), 0);
  EXPECT_EQ(ZqGetTplDataSize(4), first.size());
  EXPECT_EQ(ZqGetSubtemplatesNum(4), 4);
  EXPECT_EQ(ZqGetTemplateCoverageArea(4), 45);
  EXPECT_EQ(gEnrolledTemplate[4]->subtemplates[2].pTemplateFeature[29].descr[3],
            0x9E3779B9u * static_cast<uint32_t>(7 * 131 + 29 * 8 + 3 + 1));
  EXPECT_EQ(SaveFinger(4), first);
  EXPECT_EQ(SaveFinger(7), first);
}

TEST_F(TplDataTest, SaveRefusesFingersItCannotWrite) {
  uint8_t type = 0;
  uint32_t size = 0;
  std::vector<uint8_t> buf(ZqGetTplDataSize(0));
  // No sub-templates: refused, and the finger is not finalised by it.
  EXPECT_EQ(ZqGetTplData(0, &type, &size, buf.data()), -1);
  EXPECT_EQ(gEnrolledTemplate[0]->validFlg, 0);
  EXPECT_EQ(gEnrolledTemplate[0]->templateSize, 0);
  EXPECT_EQ(ZqSaveTplData(10, &type, &size, buf.data()), -1);
  EXPECT_EQ(ZqSaveTplData(-1, &type, &size, buf.data()), -1);
  EXPECT_EQ(ZqGetTplData(0, &type, &size, nullptr), -1);
  EXPECT_EQ(ZqGetTplDataSize(10), 0u);

  uint32_t off = 0;
  FillFinger(0, {2}, 1);
  EXPECT_EQ(ZqGetEnrollTplData(0, buf.data(), &off), -2) << "not finalised";
  EXPECT_EQ(off, 0u);
}

// The writer emits nothing its reader would refuse: a record with any of
// these values is not written, and the reported size stays as it was.
TEST_F(TplDataTest, SaveRefusesARecordItsReaderWouldRefuse) {
  struct Case {
    const char *name;
    void (*spoil)(ST_SubTemplate *t);
  };
  const Case cases[] = {
      {"quality 101", [](ST_SubTemplate *t) { t->templateQuality = 101; }},
      {"condition 101", [](ST_SubTemplate *t) { t->templateCond = 101; }},
      {"condition 255", [](ST_SubTemplate *t) { t->templateCond = 255; }},
      {"rootIndex 96", [](ST_SubTemplate *t) { t->rootIndex = 96; }},
      {"binWordCnt past the image", [](ST_SubTemplate *t) { t->binWordCnt = 146; }},
      {"negative binWordCnt", [](ST_SubTemplate *t) { t->binWordCnt = -1; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FillFinger(3, {4, 6}, 8);
    ST_SubTemplate &slot = gEnrolledTemplate[3]->subtemplates[1];
    const ST_SubTemplate kept = slot;
    c.spoil(&slot);
    std::vector<uint8_t> buf(ZqGetTplDataSize(3));
    uint8_t type = 0;
    uint32_t size = 7;
    EXPECT_EQ(ZqGetTplData(3, &type, &size, buf.data()), -1);
    EXPECT_EQ(size, 7u);
    slot = kept;
    EXPECT_EQ(ZqGetTplData(3, &type, &size, buf.data()), 0);
    EXPECT_EQ(size, buf.size());
    ZqDelTpl(3);
  }
}

// Every way a stored blob can be damaged. Each is offered to finger 2,
// which holds another template; neither it nor the heap may change.
TEST_F(TplDataTest, DamagedBlobsAreRefusedAndChangeNothing) {
  FillFinger(1, {6, 4, 9}, 3);
  const std::vector<uint8_t> good = SaveFinger(1);
  ASSERT_FALSE(good.empty());
  const size_t rec0 = 216;
  const size_t rec1 = rec0 + 489 + 6 * 44 + 1160 + 1153;
  struct Case {
    const char *name;
    void (*damage)(std::vector<uint8_t> *b, size_t rec0, size_t rec1);
    bool fixCrc;
    int ret;
  };
  const Case cases[] = {
      {"one flipped byte", [](std::vector<uint8_t> *b, size_t, size_t r1) { (*b)[r1 + 700] ^= 0x10; },
       false, -3},
      {"flipped CRC byte", [](std::vector<uint8_t> *b, size_t, size_t) { b->back() ^= 1; }, false, -3},
      {"bad magic", [](std::vector<uint8_t> *b, size_t, size_t) { (*b)[0] = 0x7e; }, true, -2},
      {"finger headerSize 207", [](std::vector<uint8_t> *b, size_t, size_t) { PutU32(b, 4, 207); },
       true, -2},
      {"count 97", [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 200, 97); }, true, -2},
      {"count 65535", [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 200, 65535); }, true,
       -2},
      {"record headerSize 484", [](std::vector<uint8_t> *b, size_t, size_t r1) { PutU32(b, r1, 484); },
       true, -2},
      {"featBufSize one keypoint short",
       [](std::vector<uint8_t> *b, size_t r0, size_t) { PutU32(b, r0 + 4, 5 * 44); }, true, -2},
      {"keypoint count without features",
       [](std::vector<uint8_t> *b, size_t r0, size_t) { (*b)[r0 + 452] += 1; }, true, -2},
      {"huge featBufSize",
       [](std::vector<uint8_t> *b, size_t r0, size_t) {
         PutU32(b, r0 + 4, 0xFFFFFFD4u);  // 44 x (2^32 / 44) wraps
         (*b)[r0 + 452] = 255;
         (*b)[r0 + 453] = 255;
       },
       true, -2},
      {"foreign sensor size (binBufSize)",
       [](std::vector<uint8_t> *b, size_t, size_t r1) { PutU32(b, r1 + 8, 648); }, true, -2},
      {"foreign sensor size (maskBufSize)",
       [](std::vector<uint8_t> *b, size_t r0, size_t) { PutU32(b, r0 + 12, 641); }, true, -2},
      {"quality 101", [](std::vector<uint8_t> *b, size_t r0, size_t) { (*b)[r0 + 456] = 101; }, true,
       -2},
      {"condition 101", [](std::vector<uint8_t> *b, size_t, size_t r1) { (*b)[r1 + 457] = 101; },
       true, -2},
      {"rootIndex 96", [](std::vector<uint8_t> *b, size_t, size_t r1) { PutU16(b, r1 + 26, 96); },
       true, -2},
      {"binWordCnt past the image",
       [](std::vector<uint8_t> *b, size_t r0, size_t) { PutU32(b, r0 + 20, 146); }, true, -2},
      {"negative binWordCnt",
       [](std::vector<uint8_t> *b, size_t r0, size_t) { PutU32(b, r0 + 20, 0xFFFFFFFFu); }, true,
       -2},
      // A sound blob of a finger that could never match.
      {"validFlg 0", [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 202, 0); }, true, -4},
      {"validFlg 2", [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 202, 2); }, true, -4},
      {"count 0 with validFlg 1", [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 200, 0); },
       true, -4},
      {"validFlg 0 under a stale CRC",
       [](std::vector<uint8_t> *b, size_t, size_t) { PutU16(b, 202, 0); }, false, -3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FillFinger(2, {3, 8}, 40);
    const std::vector<uint8_t> before = SaveFinger(2);
    const int32_t blocks = ZqGetMallocCnts();
    std::vector<uint8_t> bad = good;
    c.damage(&bad, rec0, rec1);
    if (c.fixCrc) FixCrc(&bad);
    GuardedBytes guarded(bad);
    EXPECT_EQ(ZqIniAlgTplData(2, 121, static_cast<uint32_t>(bad.size()), guarded.Limit(bad.size())),
              c.ret);
    EXPECT_EQ(ZqGetMallocCnts(), blocks);
    EXPECT_EQ(SaveFinger(2), before);
    ZqDelTpl(2);
  }
}

TEST_F(TplDataTest, OccupiedFingerIsEmptiedByALoad) {
  FillFinger(1, {2}, 1);
  const std::vector<uint8_t> blob = SaveFinger(1);
  EXPECT_EQ(ZqIniAlgTplData(1, 0, static_cast<uint32_t>(blob.size()), blob.data()), -2);
  EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
  EXPECT_EQ(gEnrolledTemplate[1]->subtemplates[0].pTemplateFeature, nullptr);
  EXPECT_EQ(ZqIniAlgTplData(1, 0, static_cast<uint32_t>(blob.size()), blob.data()), 0);
}

TEST_F(TplDataTest, SingleRecordReadsAndRefusals) {
  ST_SubTemplate *src = ZqCreateTemp();
  ST_SubTemplate *dst = ZqCreateTemp();
  FillSample(src, 3, 2, 9);
  std::vector<uint8_t> rec(ZqGetTplSize(src));
  ASSERT_EQ(rec.size(), 489u + 5 * 44 + 1160 + 1153);
  uint32_t off = 0;
  ASSERT_EQ(ZqQuorvTemplateToData(src, &off, rec.data()), 0);
  ASSERT_EQ(off, rec.size());
  EXPECT_EQ(ZqGetTplSize(nullptr), -1);

  struct Case {
    const char *name;
    size_t at;
    uint32_t value;
    int width;
    int ret;
  };
  const Case cases[] = {
      {"binBufSize", 8, 1161, 4, -1}, {"headerSize", 0, 486, 4, -2},
      {"featBufSize", 4, 44, 4, -2},  {"quality", 456, 101, 1, -3},
      {"condition", 457, 200, 1, -3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bad = rec;
    if (c.width == 4) PutU32(&bad, c.at, c.value);
    if (c.width == 1) bad[c.at] = static_cast<uint8_t>(c.value);
    EXPECT_EQ(ZqDataToQuorvTemplate(bad.data(), static_cast<uint16_t>(bad.size()), dst), c.ret);
    EXPECT_EQ(dst->pTemplateFeature, nullptr);
    EXPECT_EQ(dst->featBufSize, 0u);
    EXPECT_EQ(dst->nFeatureNum[0] + dst->nFeatureNum[1], 0) << "no counts without features";
  }
  GuardedBytes guarded(rec);
  for (size_t len : {size_t{0}, size_t{488}, size_t{489}, rec.size() - 1}) {
    EXPECT_EQ(ZqDataToQuorvTemplate(guarded.Limit(len), static_cast<uint16_t>(len), dst), -4) << len;
  }
  ASSERT_EQ(ZqDataToQuorvTemplate(guarded.Limit(rec.size()), static_cast<uint16_t>(rec.size()), dst),
            0);
  EXPECT_EQ(ZqDataToQuorvTemplate(rec.data(), static_cast<uint16_t>(rec.size()), dst), -5)
      << "target already holds features";
  std::vector<uint8_t> again(rec.size());
  off = 0;
  ZqGetSubTplData(again.data(), &off, dst);
  EXPECT_EQ(again, rec);
  ZqReleaseTemp(src);
  ZqReleaseTemp(dst);
}

TEST_F(TplDataTest, LoadCurrentUpdateTemplateFillsTheUpdateRecord) {
  ST_SubTemplate *src = ZqCreateTemp();
  FillSample(src, 4, 4, 2);
  std::vector<uint8_t> rec(ZqGetTplSize(src));
  uint32_t off = 0;
  ZqGetSubTplData(rec.data(), &off, src);
  const int32_t blocks = ZqGetMallocCnts();
  std::vector<uint8_t> bad = rec;
  bad[456] = 101;
  EXPECT_EQ(ZqLoadCurrentUpdateTemplate(3, 7, static_cast<uint16_t>(bad.size()), bad.data()), -2);
  EXPECT_EQ(gQuorvTempupdateInfor->updateFlag, 0);
  EXPECT_EQ(ZqGetMallocCnts(), blocks);
  ASSERT_EQ(ZqLoadCurrentUpdateTemplate(3, 7, static_cast<uint16_t>(rec.size()), rec.data()), 0);
  const ST_QuorvTempupdateInfor &u = *gQuorvTempupdateInfor;
  EXPECT_EQ(u.updateFlag, 1);
  EXPECT_EQ(u.updateFingerId, 3);
  EXPECT_EQ(u.updateTag, 7);
  ASSERT_NE(u.updateVerifyTemplate.pTemplateFeature, nullptr);
  EXPECT_EQ(u.updateVerifyTemplate.pTemplateFeature[7].x, src->pTemplateFeature[7].x);
  EXPECT_EQ(ZqGetMallocCnts(), blocks + 1) << "only the sample's feature block stays";
  ZqReleaseTemp(src);
}

// A small sensor keeps the blob short enough to offer every truncation.
class TplTruncationTest : public AlgStateTest {
 protected:
  int Cols() const override { return 16; }
  int Rows() const override { return 12; }
};

TEST_F(TplTruncationTest, EveryTruncationIsRefusedWithoutReadingPastTheEnd) {
  FillFinger(0, {3, 0, 2}, 11);
  const std::vector<uint8_t> blob = SaveFinger(0);
  ASSERT_EQ(blob.size(), 218u + 96u * (489 + 32 + 25) + 5u * 44);
  ZqDelTpl(0);
  GuardedBytes guarded(blob);
  const int32_t blocks = ZqGetMallocCnts();
  for (size_t len = 0; len < blob.size(); ++len) {
    const int ret = ZqIniAlgTplData(0, 0, static_cast<uint32_t>(len), guarded.Limit(len));
    if (ret != -2) ADD_FAILURE() << "length " << len << " gave " << ret;
    if (ZqGetMallocCnts() != blocks) FAIL() << "length " << len << " allocated";
  }
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  EXPECT_EQ(ZqIniAlgTplData(0, 0, static_cast<uint32_t>(blob.size()), guarded.Limit(blob.size())), 0);
  EXPECT_EQ(SaveFinger(0), blob);
}

TEST_F(TplTruncationTest, BlobOfAnotherSensorSizeIsRefused) {
  FillFinger(0, {3}, 1);
  const std::vector<uint8_t> small = SaveFinger(0);
  ZqDelTpl(0);
  ZqDestroyIntiAlg();
  ZqSetSensorColRow(96, 96);
  ASSERT_EQ(ZqInitAlgorithm(), 0);
  EXPECT_EQ(ZqIniAlgTplData(0, 0, static_cast<uint32_t>(small.size()), small.data()), -2);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
}

}  // namespace
