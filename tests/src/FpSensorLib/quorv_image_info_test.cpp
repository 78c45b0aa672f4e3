// The per-image information buffer: byte layout, trailer and picks, and the
// bounds of its capacity and allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "src/FpSensorLib/live_fixture.h"
#include "src/FpSensorLib/quorv_live_capture.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace sensorlib_test {
namespace {

class ImageInfoTest : public LiveTest {
 protected:
  // Rebuilds the buffer for `slides` slide images (N = slides when the
  // rescan count is smaller).
  void Capacity(uint8_t slides) {
    quorv_SetSlideEnrollGetImageCnt(slides);
    ASSERT_EQ(quorv_InitFpAlg(), 0);
  }
  std::vector<uint8_t> Bytes() {
    std::vector<uint8_t> out(quorv_ImageInfoCapacity() * 8 + 5, 0xee);
    EXPECT_EQ(quorv_GetImageInfoBuf(out.data()), 0);
    return out;
  }
};

TEST_F(ImageInfoTest, LowerIndexMovesCountAndTrailerAndKeepsLaterEntries) {
  Capacity(6);
  ASSERT_EQ(quorv_SetImageInfoBuf_v2(4, 11, 12, 13, 14, 0x04030201u), 0);
  ASSERT_EQ(quorv_SetImageInfoBuf_v2(2, 21, 22, 23, 24, 0xa1b2c3d4u), 0);
  ASSERT_EQ(quorv_SetValidImageInfoBuf(7, 88), 0);

  const std::vector<uint8_t> b = Bytes();
  EXPECT_EQ(b[0], 3);
  // Entry 2 at 17, pixel sum little-endian.
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 17, b.begin() + 25),
            (std::vector<uint8_t>{21, 22, 23, 24, 0xd4, 0xc3, 0xb2, 0xa1}));
  // Trailer at 1 + 8 * 3 = 25 overwrites entry 3's first bytes; entry 4 is
  // as written.
  EXPECT_EQ(b[25], 7);
  EXPECT_EQ(b[26], 88);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 33, b.begin() + 41),
            (std::vector<uint8_t>{11, 12, 13, 14, 1, 2, 3, 4}));
}

TEST_F(ImageInfoTest, PackedQualityRecordSplitsIntoAreaQualityCond) {
  Capacity(2);
  // quality bits 0-7, area 8-15, cond 16-23.
  ASSERT_EQ(quorv_SetImageInfoBuf(0, 0x00332211u, 9, 1000), 0);
  const std::vector<uint8_t> b = Bytes();
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 9),
            (std::vector<uint8_t>{1, 0x22, 0x11, 0x33, 9, 0xe8, 0x03, 0, 0}));
}

TEST_F(ImageInfoTest, PicksAreTheLastTwoEntriesAboveBothThresholds) {
  struct Case {
    std::vector<std::pair<uint8_t, uint8_t>> area_quality;
    uint8_t first, second;
  };
  const Case cases[] = {
      {{{60, 60}, {10, 60}, {60, 60}}, 1, 3},          // entries 1 and 3
      {{{10, 60}, {60, 60}, {60, 10}}, 2, 0},          // only entry 2
      {{{50, 60}, {60, 50}}, 0, 0},                    // thresholds are strict
      {{{60, 60}, {60, 60}, {60, 60}, {60, 60}}, 3, 4},  // the last two
  };
  Capacity(8);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "entries " << c.area_quality.size());
    ASSERT_EQ(quorv_CleanImageInfoBuf(), 0);
    for (size_t i = 0; i < c.area_quality.size(); ++i)
      ASSERT_EQ(quorv_SetImageInfoBuf_v2(static_cast<uint8_t>(i), c.area_quality[i].first,
                                         c.area_quality[i].second, 0, 0, 0),
                0);
    ASSERT_EQ(quorv_SetValidImageIndexInfoBuf(50, 50), 0);
    const std::vector<uint8_t> b = Bytes();
    const size_t t = 1 + 8 * c.area_quality.size();
    EXPECT_EQ(b[t + 2], c.first);
    EXPECT_EQ(b[t + 3], c.second);
  }
}

TEST_F(ImageInfoTest, SelectionStopsAtTwentyEntries) {
  Capacity(30);
  for (uint8_t i = 0; i < 25; ++i) ASSERT_EQ(quorv_SetImageInfoBuf_v2(i, 90, 90, 0, 0, 0), 0);
  ASSERT_EQ(quorv_SetValidImageIndexInfoBuf(50, 50), 0);
  const std::vector<uint8_t> b = Bytes();
  EXPECT_EQ(b[1 + 8 * 25 + 2], 19);
  EXPECT_EQ(b[1 + 8 * 25 + 3], 20);
}

TEST_F(ImageInfoTest, WritesOutsideTheCapacityOrAllocationAreRefused) {
  Capacity(2);  // N = 2, 37 bytes allocated
  EXPECT_EQ(quorv_SetImageInfoBuf_v2(2, 1, 1, 1, 1, 1), -1);
  // The rescan count raised after the allocation: N = 9, but the buffer
  // still has the 37 bytes made for two slide images.
  quorv_SetImageRescanCnt(9);
  EXPECT_EQ(quorv_ImageInfoCapacity(), 9u);
  EXPECT_EQ(quorv_SetImageInfoBuf_v2(3, 1, 1, 1, 1, 1), 0);   // bytes 25..32
  EXPECT_EQ(quorv_SetValidImageInfoBuf(1, 1), 0);             // trailer 33..36
  EXPECT_EQ(quorv_SetImageInfoBuf_v2(4, 1, 1, 1, 1, 1), -1);  // would end at 40
  EXPECT_EQ(quorv_CleanImageInfoBuf(), 0);                    // the 37 bytes only
  const std::vector<uint8_t> b = Bytes();           // 77 bytes, the rest read 0
  EXPECT_EQ(b, std::vector<uint8_t>(77, 0));
}

TEST_F(ImageInfoTest, WithoutBufferEveryOperationFails) {
  quorv_SensorResourceDestroy();
  uint8_t out[64];
  EXPECT_EQ(quorv_CleanImageInfoBuf(), -1);
  EXPECT_EQ(quorv_GetImageInfoBuf(out), -1);
  EXPECT_EQ(quorv_SetImageInfoBuf(0, 0, 0, 0), -1);
  EXPECT_EQ(quorv_SetImageInfoBuf_v2(0, 0, 0, 0, 0, 0), -1);
  EXPECT_EQ(quorv_SetValidImageInfoBuf(0, 0), -1);
  EXPECT_EQ(quorv_SetValidImageIndexInfoBuf(0, 0), -1);
}

TEST_F(ImageInfoTest, NullOutputIsRefused) { EXPECT_EQ(quorv_GetImageInfoBuf(nullptr), -1); }

}  // namespace
}  // namespace sensorlib_test
