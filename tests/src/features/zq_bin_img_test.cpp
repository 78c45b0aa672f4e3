// Bit layouts of the binarised image and the valid mask, and the checked
// bit accessors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "src/features/ZqBinImg.h"
#include "src/features/ZqBitValue.h"
#include "src/lib_log_capture.h"

namespace {

using testing_support::LibLogCapture;

TEST(BinImgLayout, WordCountIsCeilOfPixelsOver64AndRefusesOversizedImages) {
  struct Case {
    uint32_t cols, rows;
    uint16_t words;
  } const cases[] = {
      {10, 10, 2},    {64, 1, 1},     {1, 64, 1},   {65, 1, 2},     {8, 8, 1},
      {256, 256, 0},  // 65536 pixels do not fit the 16-bit index
      {255, 257, 1024}, {0, 5, 0},  {5, 0, 0},      {256, 360, 0},
      {65535, 1, 1024}, {65536, 1, 0},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ZqBinImgWordCount(c.cols, c.rows), c.words) << c.cols << "x" << c.rows;
  }
}

TEST(BinImgLayout, PixelIndexIsBitIMod64OfWordIOver64AndStoresLittleEndian) {
  for (uint16_t i : {0, 1, 63, 64, 65, 127, 200, 255}) {
    uint64_t words[4] = {};
    ASSERT_EQ(ZqSetBitValue(words, i, 4, 1), 0);
    for (uint32_t w = 0; w < 4; ++w) {
      EXPECT_EQ(words[w], w == i / 64u ? uint64_t{1} << (i % 64u) : 0u) << i;
    }
    uint8_t bytes[32];
    ZqBinImgStore(words, 4, bytes);
    for (uint32_t b = 0; b < 32; ++b) {
      EXPECT_EQ(bytes[b], b == i / 8u ? (1u << (i % 8u)) : 0u) << "bit " << i << " byte " << b;
    }
    uint64_t back[4] = {~0ull, ~0ull, ~0ull, ~0ull};
    ZqBinImgLoad(bytes, 4, back);
    for (uint32_t w = 0; w < 4; ++w) EXPECT_EQ(back[w], words[w]);
    for (uint32_t j = 0; j < 256; ++j) EXPECT_EQ(ZqBinImgBit(words, j), j == i ? 1u : 0u);
  }
}

TEST(BinImgLayout, StoreWritesEveryByteOfAWordInOrder) {
  const uint64_t words[2] = {0x0807060504030201ull, 0x8877665544332211ull};
  uint8_t bytes[16];
  ZqBinImgStore(words, 2, bytes);
  const uint8_t want[16] = {1, 2, 3, 4, 5, 6, 7, 8, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  for (int b = 0; b < 16; ++b) EXPECT_EQ(bytes[b], want[b]) << b;
}

TEST(PixBitMapLayout, PixelIndexIsBitIMod8OfByteIOver8) {
  for (uint32_t i : {0u, 7u, 8u, 9u, 63u, 99u}) {
    uint8_t bits[13] = {};
    ZqPixBitMapSetBit(bits, i, 1);
    for (uint32_t b = 0; b < 13; ++b) EXPECT_EQ(bits[b], b == i / 8 ? (1u << (i % 8)) : 0u);
    for (uint32_t j = 0; j < 104; ++j) EXPECT_EQ(ZqPixBitMapBit(bits, j), j == i ? 1u : 0u);
    ZqPixBitMapSetBit(bits, i, 0);
    for (uint8_t b : bits) EXPECT_EQ(b, 0);
  }
}

TEST(BitValue, SetClearAndGetTouchOnlyTheirBit) {
  uint64_t words[2] = {0, ~0ull};
  ASSERT_EQ(ZqSetBitValue(words, 70, 2, 0), 0);
  EXPECT_EQ(words[1], ~(uint64_t{1} << 6));
  ASSERT_EQ(ZqSetBitValue(words, 63, 2, 7), 0);  // any non-zero value sets
  EXPECT_EQ(words[0], uint64_t{1} << 63);
  uint8_t v = 9;
  ASSERT_EQ(ZqGetBitValue(words, 63, 2, &v), 0);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(ZqGetBitValue(words, 70, 2, &v), 0);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(ZqGetBitValue(words, 127, 2, &v), 0);
  EXPECT_EQ(v, 1);
}

TEST(BitValue, RefusesNullArrayAndWordsPastTheCount) {
  uint64_t words[2] = {0, 0};
  uint8_t v = 5;
  LibLogCapture log;
  EXPECT_EQ(ZqSetBitValue(words, 128, 2, 1), -1);  // index 64 * count
  EXPECT_EQ(ZqSetBitValue(nullptr, 0, 2, 1), -1);
  EXPECT_EQ(ZqSetBitValue(words, 0, 0, 1), -1);
  EXPECT_EQ(ZqGetBitValue(words, 128, 2, &v), -1);
  EXPECT_EQ(ZqGetBitValue(nullptr, 0, 2, &v), -1);
  EXPECT_EQ(words[0] | words[1], 0u);
  EXPECT_EQ(v, 5);
  const std::string set = "ZqSetBitValue...!pArr || index >= arrLen";
  const std::string get = "ZqGetBitValue...!pArr || index >= arrLen";
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{set, set, set, get, get}));
}

}  // namespace
