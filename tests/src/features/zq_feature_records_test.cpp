// Byte layouts of the stored records and the keypoint sort order.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "src/features/ZqDetectFeature.h"
#include "src/features/ZqFeature.h"
#include "src/features/ZqFullHMatrix.h"
#include "src/features/ZqMatchPoint.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

TEST(FeatureRecord, DescriptorBitLandsInByteTwelvePlusIOver8) {
  for (uint32_t bit : {0u, 1u, 7u, 8u, 31u, 32u, 100u, 224u, 255u}) {
    ST_Feature f{};
    ZqFeatureSetDescrBit(&f, bit, 1);
    uint8_t bytes[ZQ_FEATURE_BYTES];
    ZqFeatureStore(&f, bytes);
    for (uint32_t b = 12; b < ZQ_FEATURE_BYTES; ++b) {
      const uint8_t want = b == 12 + bit / 8 ? static_cast<uint8_t>(1u << (bit % 8)) : 0;
      EXPECT_EQ(bytes[b], want) << "bit " << bit << " byte " << b;
    }
    for (uint32_t other = 0; other < ZQ_DESCR_BITS; ++other) {
      EXPECT_EQ(ZqFeatureDescrBit(&f, other), other == bit ? 1u : 0u) << bit << " " << other;
    }
    ZqFeatureSetDescrBit(&f, bit, 0);
    EXPECT_EQ(ZqFeatureDescrBit(&f, bit), 0u);
  }
}

TEST(FeatureRecord, FloatsAreLittleEndianAndLoadRestoresEveryField) {
  ST_Feature f{};
  f.x = 1.0f;     // 0x3F800000
  f.y = -2.0f;    // 0xC0000000
  f.ori = 0.5f;   // 0x3F000000
  f.descr[7] = 0x80000001u;
  uint8_t bytes[ZQ_FEATURE_BYTES];
  ZqFeatureStore(&f, bytes);
  const std::array<uint8_t, 12> head = {0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0, 0, 0, 0, 0x3F};
  EXPECT_EQ(0, std::memcmp(bytes, head.data(), head.size()));
  EXPECT_EQ(bytes[40], 0x01);
  EXPECT_EQ(bytes[43], 0x80);

  ST_Feature back;
  std::memset(&back, 0xAB, sizeof back);
  ZqFeatureLoad(bytes, &back);
  EXPECT_EQ(0, std::memcmp(&back, &f, sizeof f));
}

TEST(MatchPointRecord, BinAndSimAreLittleEndianAtTwelveAndFourteen) {
  const ST_MatchPoint p = {3.5f, -1.25f, 0.75f, 0x1234, 0xBEEF};
  uint8_t bytes[ZQ_MATCH_POINT_BYTES];
  ZqMatchPointStore(&p, bytes);
  EXPECT_EQ(bytes[12], 0x34);
  EXPECT_EQ(bytes[13], 0x12);
  EXPECT_EQ(bytes[14], 0xEF);
  EXPECT_EQ(bytes[15], 0xBE);
  ST_MatchPoint back{};
  ZqMatchPointLoad(bytes, &back);
  EXPECT_EQ(back.x, p.x);
  EXPECT_EQ(back.y, p.y);
  EXPECT_EQ(back.ori, p.ori);
  EXPECT_EQ(back.bin, p.bin);
  EXPECT_EQ(back.sim, p.sim);
}

TEST(FullHMatrixRecord, TenFloatsInFieldOrder) {
  const ST_FullHMatrix m = {1, 2, 3, 4, 5, 6, 0, 0, 1, 0.25f};
  uint8_t bytes[ZQ_FULL_HMATRIX_BYTES];
  ZqFullHMatrixStore(&m, bytes);
  const float want[10] = {1, 2, 3, 4, 5, 6, 0, 0, 1, 0.25f};
  for (int i = 0; i < 10; ++i) {
    uint32_t bits;
    std::memcpy(&bits, &want[i], 4);
    const uint32_t got = bytes[4 * i] | bytes[4 * i + 1] << 8 | bytes[4 * i + 2] << 16 |
                         static_cast<uint32_t>(bytes[4 * i + 3]) << 24;
    EXPECT_EQ(got, bits) << "field " << i;
  }
  ST_FullHMatrix back{};
  ZqFullHMatrixLoad(bytes, &back);
  EXPECT_EQ(0, std::memcmp(&back, &m, sizeof m));
  // The first six floats read as an ST_HMatrix.
  const auto *h = reinterpret_cast<const ST_HMatrix *>(&back);
  EXPECT_EQ(h->a02, 3.0f);
  EXPECT_EQ(h->a12, 6.0f);
}

TEST(FeatureCmp, SortsBySequenceToDecreasingContrast) {
  ST_MemStorage *storage = ZqCreateMemStorage(0);
  ASSERT_NE(storage, nullptr);
  ST_Seq *seq = ZqCreateSeq(sizeof(ST_Seq), sizeof(ST_DetectFeature), storage);
  ASSERT_NE(seq, nullptr);
  for (float c : {2.0f, 5.0f, 3.0f, 5.0f, -1.0f}) {
    ST_DetectFeature f{};
    f.contrast = c;
    ASSERT_NE(ZqSeqPush(seq, &f), nullptr);
  }
  ZqSeqSort(seq, ZqFeatureCmp, nullptr);
  std::vector<float> got;
  for (int i = 0; i < seq->total; ++i) {
    got.push_back(reinterpret_cast<ST_DetectFeature *>(ZqGetSeqElem(seq, i))->contrast);
  }
  EXPECT_EQ(got, (std::vector<float>{5, 5, 3, 2, -1}));
  ZqReleaseMemStorage(&storage);
}

TEST(FeatureCmp, EqualContrastsAndNullArguments) {
  ST_DetectFeature a{}, b{};
  a.contrast = b.contrast = 4.0f;
  EXPECT_EQ(ZqFeatureCmp(&a, &b, nullptr), 0);
  b.contrast = 4.5f;
  EXPECT_EQ(ZqFeatureCmp(&a, &b, nullptr), 1);
  EXPECT_EQ(ZqFeatureCmp(&b, &a, nullptr), -1);

  LibLogCapture log;
  EXPECT_EQ(ZqFeatureCmp(nullptr, &a, nullptr), 0);
  EXPECT_EQ(ZqFeatureCmp(&a, nullptr, nullptr), 0);
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>(2, "ZqFeatureCmp...(feat1 == NULL) || (feat2 == NULL)")));
}

}  // namespace
