// Older finger blobs, built by hand from their offset tables: which reader
// takes which layout, where each field lands, and which blobs are refused
// (always without touching the finger).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/ZqAlg/ZqTplData.h"
#include "src/ZqAlg/ZqTplLegacy.h"
#include "src/ZqAlg/ZqTplLoader.h"
#include "src/image/ZqMemoryManager.h"
#include "tpl_blob_fixture.h"

namespace {

using tpl_fixture::AlgStateTest;
using tpl_fixture::FillFinger;
using tpl_fixture::FixCrc;
using tpl_fixture::GuardedBytes;
using tpl_fixture::PutU16;
using tpl_fixture::PutU32;
using tpl_fixture::SaveFinger;

// Offsets of an old record and the layout sizes.
struct OldLayout {
  const char *name;
  uint32_t slots, record, image;
  uint32_t n0, classNum, area, quality, cond, extra, extend, root, resInt, coin, coinBytes;
  uint32_t mask, rootH, words, bin, simple;
};
const OldLayout kX86 = {"x86", 48, 2584, 124144, 4, 6, 7, 8, 9, 10, 11, 12, 16, 20, 13,
                        33, 1188, 1228, 1232, 2392};
const OldLayout kX64 = {"x64", 48, 2592, 124528, 8, 10, 11, 12, 13, 14, 15, 16, 20, 24, 13,
                        37, 1192, 1232, 1240, 2400};
const OldLayout kX86_96 = {"x86_96", 96, 2792, 268240, 4, 6, 7, 8, 9, 10, 11, 12, 16, 20, 25,
                           45, 1200, 1240, 1248, 2408};
const OldLayout kX64_96 = {"x64_96", 96, 2792, 268240, 8, 10, 11, 12, 13, 14, 15, 16, 20, 24, 25,
                           49, 1204, 1244, 1248, 2408};

struct OldSlot {
  uint8_t n0, n1, quality, area, extend, cond;
};

uint8_t Pattern(uint32_t slot, uint32_t i) { return static_cast<uint8_t>(slot * 29 + i * 7 + 1); }

// A legacy blob: slots[i] describe old records 0.. (records past `count`
// may carry counts too); features only for slots below count.
std::vector<uint8_t> OldBlob(const OldLayout &l, uint16_t count, const std::vector<OldSlot> &slots,
                             uint16_t validFlg = 1) {
  std::vector<uint8_t> b(4 + l.image);
  PutU32(&b, 0, 0x1415926d);
  for (uint32_t i = 0; i < slots.size() && i < l.slots; ++i) {
    const size_t r = 4 + i * l.record;
    const OldSlot &s = slots[i];
    for (uint32_t k = 0; k < (l.n0 == 4 ? 4u : 8u); ++k) b[r + k] = 0xEE;  // old pointer
    b[r + l.n0] = s.n0;
    b[r + l.n0 + 1] = s.n1;
    b[r + l.classNum] = 2;
    b[r + l.area] = s.area;
    b[r + l.quality] = s.quality;
    b[r + l.cond] = s.cond;
    b[r + l.extra] = static_cast<uint8_t>(i + 3);
    b[r + l.extend] = s.extend;
    PutU16(&b, r + l.root, static_cast<uint16_t>(i % 2));
    PutU32(&b, r + l.resInt, 0xC0DE0000u + i);
    for (uint32_t k = 0; k < l.coinBytes; ++k) b[r + l.coin + k] = Pattern(i, k + 500);
    for (uint32_t k = 0; k < 1153; ++k) b[r + l.mask + k] = Pattern(i, k);
    for (uint32_t k = 0; k < 10; ++k) {
      const float v = 0.5f * k + static_cast<float>(i);
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      PutU32(&b, r + l.rootH + 4 * k, bits);
    }
    PutU32(&b, r + l.words, 144);
    for (uint32_t k = 0; k < 1160; ++k) b[r + l.bin + k] = Pattern(i, k + 3000);
    for (uint32_t k = 0; k < l.slots; ++k) {
      b[r + l.simple + 4 * k] = static_cast<uint8_t>(k);
      b[r + l.simple + 4 * k + 1] = static_cast<uint8_t>(-static_cast<int>(i));
      PutU16(&b, r + l.simple + 4 * k + 2, static_cast<uint16_t>(1000 * i + k));
    }
  }
  const size_t t = 4 + l.slots * l.record;
  for (uint32_t k = 0; k < l.slots; ++k) PutU16(&b, t + 2 * k, static_cast<uint16_t>(100 + k));
  PutU16(&b, t + 2 * l.slots, count);
  PutU16(&b, t + 2 * l.slots + 2, validFlg);
  PutU32(&b, t + 2 * l.slots + 4, 0x01020304);
  PutU32(&b, t + 2 * l.slots + 8, l.image);
  PutU32(&b, t + 2 * l.slots + 12, 33);
  for (uint32_t i = 0; i < count && i < slots.size(); ++i) {
    for (uint32_t k = 0; k < 44u * (slots[i].n0 + slots[i].n1); ++k) b.push_back(Pattern(i, k + 9000));
  }
  b.resize(b.size() + 2);
  FixCrc(&b);
  return b;
}

const OldSlot kSlotA = {3, 2, 60, 70, 12, 90};
const OldSlot kSlotB = {0, 4, 100, 100, 100, 40};

class TplLegacyTest : public AlgStateTest {
 protected:
  int Load(int finger, const std::vector<uint8_t> &b) {
    return ZqIniAlgTplData(static_cast<int16_t>(finger), 0, static_cast<uint32_t>(b.size()), b.data());
  }
};

TEST_F(TplLegacyTest, FieldsOfEveryLayoutLandInTheCurrentRecord) {
  for (const OldLayout *l : {&kX86, &kX64, &kX86_96, &kX64_96}) {
    SCOPED_TRACE(l->name);
    const std::vector<uint8_t> b = OldBlob(*l, 2, {kSlotA, kSlotB});
    ASSERT_EQ(Load(5, b), 0);
    const ST_QuorvEnrollTemplate &f = *gEnrolledTemplate[5];
    EXPECT_EQ(f.currentSubtemplatesNum, 2);
    EXPECT_EQ(f.validFlg, 1);
    EXPECT_EQ(f.enrollResult, 0x01020304);
    EXPECT_EQ(f.templateSize, static_cast<int32_t>(l->image));
    EXPECT_EQ(f.coverageArea, 33);
    EXPECT_EQ(f.headerSize, 208);
    EXPECT_EQ(f.order[0], 100);
    EXPECT_EQ(f.order[l->slots - 1], 100 + l->slots - 1);
    if (l->slots == 48) {
      EXPECT_EQ(f.order[48], 0) << "order entries past the layout stay";
    }
    for (uint32_t i = 0; i < 2; ++i) {
      SCOPED_TRACE(i);
      const ST_SubTemplate &s = f.subtemplates[i];
      const OldSlot &o = i == 0 ? kSlotA : kSlotB;
      EXPECT_EQ(s.headerSize, 485u);
      EXPECT_EQ(s.nFeatureNum[0], o.n0);
      EXPECT_EQ(s.nFeatureNum[1], o.n1);
      EXPECT_EQ(s.featBufSize, 44u * (o.n0 + o.n1));
      EXPECT_EQ(s.classNum, 2);
      EXPECT_EQ(s.templateArea, o.area);
      EXPECT_EQ(s.templateQuality, o.quality);
      EXPECT_EQ(s.templateCond, o.cond);
      EXPECT_EQ(s.templateExtra, i + 3);
      EXPECT_EQ(s.extendArea, o.extend);
      EXPECT_EQ(s.rootIndex, i % 2);
      EXPECT_EQ(static_cast<uint32_t>(s.reservedInt), 0xC0DE0000u + i);
      EXPECT_EQ(s.binWordCnt, 144);
      EXPECT_EQ(s.coinFlg[l->coinBytes - 1], Pattern(i, l->coinBytes - 1 + 500));
      if (l->coinBytes == 13) {
        EXPECT_EQ(s.coinFlg[13], 0);
      }
      EXPECT_EQ(s.templatePixValid[0], Pattern(i, 0));
      EXPECT_EQ(s.templatePixValid[1152], Pattern(i, 1152));
      EXPECT_EQ(s.templateBinDiscr[1159], Pattern(i, 1159 + 3000));
      EXPECT_EQ(s.rootHmatrix.a00, static_cast<float>(i));
      EXPECT_EQ(s.rootHmatrix.dtheta, 4.5f + static_cast<float>(i));
      EXPECT_EQ(s.simpleHmatrix[l->slots - 1].tx, static_cast<int8_t>(l->slots - 1));
      EXPECT_EQ(s.simpleHmatrix[l->slots - 1].ty, -static_cast<int>(i));
      EXPECT_EQ(s.simpleHmatrix[l->slots - 1].angle, static_cast<int16_t>(1000 * i + l->slots - 1));
      if (l->slots == 48) {
        EXPECT_EQ(s.simpleHmatrix[48].angle, 0);
      }
    }
    // Features follow the image slot by slot.
    const uint8_t *feat = b.data() + 4 + l->image;
    ST_Feature want;
    std::memcpy(&want, feat + 5 * 44, 44);  // slot 1's first keypoint
    EXPECT_EQ(std::memcmp(&f.subtemplates[1].pTemplateFeature[0], &want, 44), 0);
    // A loaded finger saves and loads as a current blob.
    const std::vector<uint8_t> current = SaveFinger(5);
    ASSERT_FALSE(current.empty());
    ZqDelTpl(5);
    ASSERT_EQ(Load(5, current), 0);
    EXPECT_EQ(SaveFinger(5), current);
    ZqDelTpl(5);
  }
}

// Older builds stored conditions above 100. Such a finger loads with the
// condition brought to 100, so that it saves as a current blob that loads.
TEST_F(TplLegacyTest, ConditionAbove100IsBroughtIntoRange) {
  for (const OldLayout *l : {&kX86, &kX64_96}) {
    SCOPED_TRACE(l->name);
    const std::vector<uint8_t> b =
        OldBlob(*l, 3, {{2, 1, 60, 70, 12, 101}, kSlotA, {1, 1, 50, 50, 50, 255}});
    ASSERT_EQ(Load(5, b), 0);
    const ST_QuorvEnrollTemplate &f = *gEnrolledTemplate[5];
    EXPECT_EQ(f.subtemplates[0].templateCond, 100);
    EXPECT_EQ(f.subtemplates[1].templateCond, kSlotA.cond);
    EXPECT_EQ(f.subtemplates[2].templateCond, 100);
    const std::vector<uint8_t> current = SaveFinger(5);
    ASSERT_FALSE(current.empty());
    ZqDelTpl(5);
    EXPECT_EQ(Load(5, current), 0);
    EXPECT_EQ(SaveFinger(5), current);
    ZqDelTpl(5);
  }
}

TEST_F(TplLegacyTest, EachReaderTakesOnlyItsLayout) {
  const std::vector<uint8_t> x86 = OldBlob(kX86, 2, {kSlotA, kSlotB});
  const std::vector<uint8_t> x64 = OldBlob(kX64, 2, {kSlotA, kSlotB});
  const uint32_t n86 = static_cast<uint32_t>(x86.size());
  const uint32_t n64 = static_cast<uint32_t>(x64.size());
  EXPECT_EQ(ZqIniAlgTplData_x64(0, 0, n86, x86.data()), -1);
  EXPECT_EQ(ZqIniAlgTplData_x86_96(0, 0, n86, x86.data()), -1);
  EXPECT_EQ(ZqIniAlgTplData_x86(0, 0, n64, x64.data()), -1) << "templateSize 124528";
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
  EXPECT_EQ(ZqIniAlgTplData_x64(0, 0, n64, x64.data()), 0);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 2);
  EXPECT_EQ(ZqIniAlgTplData_x86(10, 0, n86, x86.data()), -1);
  EXPECT_EQ(ZqIniAlgTplData_x86(-1, 0, n86, x86.data()), -1);
  EXPECT_EQ(ZqIniAlgTplData_x86(1, 0, n86, nullptr), -1);
}

TEST_F(TplLegacyTest, SlotsPastTheCountStayEmpty) {
  // Slot 2 carries keypoint counts in the image but lies past the count.
  const std::vector<uint8_t> b = OldBlob(kX86, 2, {kSlotA, kSlotB, {9, 9, 50, 50, 50, 50}});
  ASSERT_EQ(Load(3, b), 0);
  const ST_SubTemplate &s = gEnrolledTemplate[3]->subtemplates[2];
  EXPECT_EQ(s.featBufSize, 0u);
  EXPECT_EQ(s.nFeatureNum[0] + s.nFeatureNum[1], 0);
  EXPECT_EQ(s.pTemplateFeature, nullptr);
  EXPECT_EQ(ZqGetTplDataSize(3), 269210u + 44u * 9);
}

TEST_F(TplLegacyTest, RefusedBlobsLeaveTheFingerAsItWas) {
  std::vector<OldSlot> fifty(50, kSlotB);
  struct Case {
    const char *name;
    std::vector<uint8_t> blob;
    int maxTpl;
  };
  std::vector<Case> cases;
  cases.push_back({"96-layout count 50 over a maximum of 48", OldBlob(kX86_96, 50, fifty), 48});
  cases.push_back({"48-layout count 49", OldBlob(kX86, 49, fifty), 96});
  cases.push_back({"validFlg 0", OldBlob(kX86, 2, {kSlotA, kSlotB}, 0), 96});
  cases.push_back({"count 0 with validFlg 1", OldBlob(kX86_96, 0, {kSlotA}), 96});
  cases.push_back({"keypoints above maxFeatNum", OldBlob(kX64, 1, {{100, 61, 50, 50, 50, 50}}), 96});
  cases.push_back({"area 101", OldBlob(kX86, 1, {{1, 1, 50, 101, 50, 50}}), 96});
  cases.push_back({"extendArea 101", OldBlob(kX86, 1, {{1, 1, 50, 50, 101, 50}}), 96});
  cases.push_back({"quality 101", OldBlob(kX86_96, 1, {{1, 1, 101, 50, 50, 50}}), 96});
  std::vector<uint8_t> flipped = OldBlob(kX86, 2, {kSlotA, kSlotB});
  flipped[4 + 124144 + 3] ^= 0x40;  // a feature byte
  cases.push_back({"CRC mismatch", flipped, 96});
  std::vector<uint8_t> cut = OldBlob(kX86, 2, {kSlotA, kSlotB});
  cut.erase(cut.end() - 46, cut.end() - 2);  // one keypoint short
  cases.push_back({"features past the end", cut, 96});
  for (Case &c : cases) {
    SCOPED_TRACE(c.name);
    ZqSetAlgMaxTplCnt(c.maxTpl);
    FillFinger(6, {4}, 2);
    const std::vector<uint8_t> before = SaveFinger(6);
    const int32_t blocks = ZqGetMallocCnts();
    GuardedBytes guarded(c.blob);
    EXPECT_EQ(ZqIniAlgTplData(6, 0, static_cast<uint32_t>(c.blob.size()),
                              guarded.Limit(c.blob.size())),
              -1);
    EXPECT_EQ(ZqGetMallocCnts(), blocks);
    EXPECT_EQ(SaveFinger(6), before);
    ZqDelTpl(6);
  }
}

TEST_F(TplLegacyTest, TruncatedAndForeignBlobs) {
  const std::vector<uint8_t> b = OldBlob(kX64, 1, {kSlotA});
  GuardedBytes guarded(b);
  for (size_t len : {size_t{4}, size_t{5}, size_t{4 + 124143}, size_t{4 + 124528}, b.size() - 1}) {
    EXPECT_EQ(ZqIniAlgTplData(0, 0, static_cast<uint32_t>(len), guarded.Limit(len)), -1) << len;
  }
  // Shorter than a first word, or a first word of neither format.
  EXPECT_EQ(ZqIniAlgTplData(0, 0, 3, guarded.Limit(3)), -2);
  std::vector<uint8_t> other = b;
  other[0] = 0x6e;
  EXPECT_EQ(Load(0, other), -2);
  EXPECT_EQ(ZqIniAlgTplData(0, 0, 10, nullptr), -1);
  EXPECT_EQ(ZqIniAlgTplData(10, 0, static_cast<uint32_t>(b.size()), b.data()), -1);
  EXPECT_EQ(ZqGetSubtemplatesNum(0), 0);
}

TEST_F(TplLegacyTest, FlatFormIsWrittenButNeverRead) {
  FillFinger(2, {3, 5}, 4);
  std::vector<uint8_t> flat(ZqGetTplDataSize_v0(2));
  ASSERT_EQ(flat.size(), 4u + 50136 + 8 * 44 + 2);
  uint8_t type = 0;
  uint32_t size = 0;
  ASSERT_EQ(ZqSaveTplData_x(2, &type, &size, flat.data()), 0);
  EXPECT_EQ(size, flat.size());
  EXPECT_EQ(type, 121);
  EXPECT_EQ(tpl_fixture::U32(flat, 0), 0x1415926du);
  EXPECT_EQ(tpl_fixture::U32(flat, 4 + 24), 485u) << "slot 0's record header";
  EXPECT_EQ(tpl_fixture::U32(flat, 4 + 96 * 520), 208u) << "the tail";
  EXPECT_EQ(tpl_fixture::U32(flat, 4 + 96 * 520 + 204), 50136u);
  EXPECT_EQ(tpl_fixture::U16(flat, flat.size() - 2),
            tpl_fixture::ReferenceCrc(flat.data(), flat.size() - 2));
  EXPECT_EQ(ZqGetTplDataSize_v0(10), 0u);
  EXPECT_EQ(Load(1, flat), -1);
  EXPECT_EQ(ZqGetSubtemplatesNum(1), 0);
}

}  // namespace
