// The rescan, enrol-image and image-template lists: numbering and its wrap,
// take, copy, invalidation with compaction, the size guard and the messages
// of empty lists.
#include <gtest/gtest.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace {

using sensorlib_test::HostLog;
using sensorlib_test::SensorLibTest;

constexpr uint8_t kCols = 4, kRows = 3;
constexpr uint16_t kSize = kCols * kRows;

// A frame of the test size filled with `v`.
std::vector<uint8_t> Frame(uint8_t v) { return std::vector<uint8_t>(kSize, v); }

// Number and first image byte of every node, in list order.
std::vector<std::pair<int, int>> Nodes(const ImageRescanNode *head) {
  std::vector<std::pair<int, int>> out;
  for (const ImageRescanNode *n = head; n != nullptr; n = n->pNext) {
    out.emplace_back(n->currentCnt, n->imageRescanBuf != nullptr ? n->imageRescanBuf[0] : -1);
  }
  return out;
}

class ImageListsTest : public SensorLibTest {
 protected:
  void SetUp() override {
    SensorLibTest::SetUp();
    Create();
    quorv_SetFpSensorColsRows(kCols, kRows);
    HostLog().clear();
  }
  // Appends frames filled with 10, 20, 30, ... to the enrol list.
  static void EnrollFrames(int count) {
    for (int i = 1; i <= count; ++i) quorv_SaveEnrollImage(Frame(static_cast<uint8_t>(10 * i)).data());
  }
};

TEST_F(ImageListsTest, AppendsNumberFromEachListsFirstNumber) {
  for (uint8_t v : {1, 2, 3}) {
    quorv_SaveRescanImage(Frame(v).data());
    quorv_SaveEnrollImage(Frame(v).data());
  }
  EXPECT_EQ(Nodes(g_imageRescan), (std::vector<std::pair<int, int>>{{0, 1}, {1, 2}, {2, 3}}));
  EXPECT_EQ(Nodes(g_enrollImage), (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {3, 3}}));
  for (const ImageRescanNode *n = g_enrollImage; n != nullptr; n = n->pNext) {
    EXPECT_EQ(n->isValid, 1);
    EXPECT_EQ(n->index, 0);
    EXPECT_EQ(n->imageLen, kSize);
  }
  uint8_t num = 0;
  EXPECT_EQ(quorv_GetFpImageNum(&num), 2);
  EXPECT_EQ(num, 2);
  EXPECT_EQ(quorv_GetEnrollImageNum(), 3);
  EXPECT_TRUE(HostLog().empty());
}

TEST_F(ImageListsTest, NumbersWrapAfter255AndLookupsFindTheFirstCarrier) {
  for (int i = 0; i < 257; ++i) quorv_SaveRescanImage(Frame(static_cast<uint8_t>(i)).data());
  const std::vector<std::pair<int, int>> nodes = Nodes(g_imageRescan);
  ASSERT_EQ(nodes.size(), 257u);
  EXPECT_EQ(nodes[255], std::make_pair(255, 255));
  EXPECT_EQ(nodes[256], std::make_pair(0, 0)) << "255 is followed by 0";
  uint8_t num = 9;
  EXPECT_EQ(quorv_GetFpImageNum(&num), 0);
  EXPECT_EQ(num, 0);
  // Mark the two carriers of 0 apart: the head holds 0s, the 257th node 7s.
  ImageRescanNode *tail = g_imageRescan;
  while (tail->pNext != nullptr) tail = tail->pNext;
  tail->imageRescanBuf[0] = 7;
  std::vector<uint8_t> dst(kSize, 0xee);
  quorv_GetFpImageBuffOnly(dst.data(), kSize, 0);
  EXPECT_EQ(dst, Frame(0)) << "the head carries 0 first";
  quorv_GetFpImageBuff(dst.data(), kSize, 0);
  EXPECT_EQ(g_imageRescan->currentCnt, 1) << "the head was taken";
  quorv_GetFpImageBuffOnly(dst.data(), kSize, 0);
  EXPECT_EQ(dst[0], 7) << "now the wrapped node carries 0";
}

TEST_F(ImageListsTest, TakeCopiesUnlinksAndFrees) {
  struct Case {
    uint8_t n;
    std::vector<std::pair<int, int>> left;
    int copied;  // first byte copied, or -1 when dst stays untouched
  } cases[] = {
      {2, {{1, 10}, {3, 30}}, 20},
      {1, {{2, 20}, {3, 30}}, 10},
      {3, {{1, 10}, {2, 20}}, 30},
      {4, {{1, 10}, {2, 20}, {3, 30}}, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "take " << int(c.n));
    quorv_ImageListsResetForTest();
    EnrollFrames(3);
    const ImageRescanNode *head = g_enrollImage;
    std::vector<uint8_t> dst(kSize, 0xee);
    quorv_GetEnrollImageBuff(dst.data(), kSize, c.n);
    EXPECT_EQ(Nodes(g_enrollImage), c.left);
    EXPECT_EQ(dst, c.copied < 0 ? std::vector<uint8_t>(kSize, 0xee)
                                : Frame(static_cast<uint8_t>(c.copied)));
    if (c.n != 1) {
      EXPECT_EQ(g_enrollImage, head) << "the head stays";
    }
    // The tail's number: gaps stay until compaction.
    EXPECT_EQ(quorv_GetEnrollImageNum(), c.left.back().first);
  }
  EXPECT_TRUE(HostLog().empty());
}

TEST_F(ImageListsTest, CopyLeavesTheListAsItIs) {
  EnrollFrames(3);
  std::vector<uint8_t> dst(kSize, 0xee);
  quorv_GetEnrollImageBuffOnly(dst.data(), 5, 3);
  EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + 5), std::vector<uint8_t>(5, 30));
  EXPECT_EQ(dst[5], 0xee) << "only len bytes";
  EXPECT_EQ(Nodes(g_enrollImage).size(), 3u);
}

TEST_F(ImageListsTest, DeleteInvalidCompactsAndRenumbers) {
  struct Case {
    std::vector<uint8_t> invalid;
    std::vector<std::pair<int, int>> left;
  } cases[] = {
      {{2}, {{1, 10}, {2, 30}}},
      {{1}, {{1, 20}, {2, 30}}},
      {{3}, {{1, 10}, {2, 20}}},
      {{1, 3}, {{1, 20}}},
      {{1, 2, 3}, {}},
      {{9}, {{1, 10}, {2, 20}, {3, 30}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "invalid count " << c.invalid.size() << ", first "
                                    << int(c.invalid[0]));
    quorv_ImageListsResetForTest();
    EnrollFrames(3);
    for (uint8_t n : c.invalid) quorv_SetEnrollImageInvalid(n);
    quorv_DeleteInvalidEnrollImage();
    EXPECT_EQ(Nodes(g_enrollImage), c.left);
    if (!c.left.empty()) {
      // The new tail ends the list and new appends follow its number.
      quorv_SaveEnrollImage(Frame(99).data());
      EXPECT_EQ(Nodes(g_enrollImage).back(),
                std::make_pair(static_cast<int>(c.left.size()) + 1, 99));
    }
  }
}

TEST_F(ImageListsTest, DeleteInvalidRenumbersAfterGaps) {
  EnrollFrames(4);
  quorv_GetEnrollImageBuff(nullptr, 0, 2);  // leaves 1, 3, 4
  quorv_DeleteInvalidEnrollImage();
  EXPECT_EQ(Nodes(g_enrollImage), (std::vector<std::pair<int, int>>{{1, 10}, {2, 30}, {3, 40}}));
}

// Images are stored at the size configured when they were appended; a read
// for more bytes than a node holds must not run past its buffer.
TEST_F(ImageListsTest, ReadsBeyondTheStoredImageCopyNothing) {
  quorv_SaveRescanImage(Frame(5).data());
  quorv_SaveRescanImage(Frame(6).data());
  quorv_SetFpSensorColsRows(8, 8);
  HostLog().clear();
  std::vector<uint8_t> dst(64, 0xee);
  quorv_GetFpImageBuffOnly(dst.data(), 64, 0);
  EXPECT_EQ(dst, std::vector<uint8_t>(64, 0xee));
  quorv_GetFpImageBuff(dst.data(), 64, 0);
  EXPECT_EQ(dst, std::vector<uint8_t>(64, 0xee));
  EXPECT_EQ(Nodes(g_imageRescan), (std::vector<std::pair<int, int>>{{1, 6}}))
      << "the take still removes the node";
  EXPECT_EQ(HostLog(),
            (std::vector<std::string>{
                "quorv_GetFpImageBuffOnly...len = 64 is larger than the image (12)",
                "quorv_GetFpImageBuff...len = 64 is larger than the image (12)"}));
  quorv_GetFpImageBuffOnly(dst.data(), kSize, 1);
  EXPECT_EQ(std::vector<uint8_t>(dst.begin(), dst.begin() + kSize), Frame(6));
  // New appends take the new size.
  quorv_SaveRescanImage(std::vector<uint8_t>(64, 8).data());
  quorv_GetFpImageBuffOnly(dst.data(), 64, 2);
  EXPECT_EQ(dst, std::vector<uint8_t>(64, 8));
}

TEST_F(ImageListsTest, EmptyListsAndBadArgumentsReportThemselves) {
  struct Case {
    const char *message;
    void (*call)();
  } cases[] = {
      {"quorv_GetFpImageBuff...g_imageRescan is empty!",
       [] { quorv_GetFpImageBuff(nullptr, kSize, 0); }},
      {"quorv_GetFpImageBuffOnly...g_imageRescan is empty!",
       [] { quorv_GetFpImageBuffOnly(nullptr, kSize, 0); }},
      {"quorv_GetEnrollImageBuff...g_enrollImage is empty!",
       [] { quorv_GetEnrollImageBuff(nullptr, kSize, 1); }},
      {"quorv_GetEnrollImageBuffOnly......g_enrollImage is empty!",
       [] { quorv_GetEnrollImageBuffOnly(nullptr, kSize, 1); }},
      {"quorv_SetEnrollImageInvalid......g_enrollImage is empty!",
       [] { quorv_SetEnrollImageInvalid(1); }},
      {"quorv_DeleteInvalidEnrollImage......g_enrollImage is empty!",
       [] { quorv_DeleteInvalidEnrollImage(); }},
      {"quorv_GetEnrollImageNum...NO enroll image!", [] { EXPECT_EQ(quorv_GetEnrollImageNum(), 0); }},
      {"quorv_DestroyRescanImage...g_imageRescan is empty, do nothing!",
       [] { quorv_DestroyRescanImage(); }},
      {"quorv_DestroyEnrollImage...g_enrollImage is empty, do nothing!",
       [] { quorv_DestroyEnrollImage(); }},
      {"quorv_GetImageTplBuff...tplNodeList is empty!", [] { quorv_GetImageTplBuff(nullptr, 1); }},
      {"quorv_GetImageTplBuffOnly......tplNodeList is empty!",
       [] { quorv_GetImageTplBuffOnly(nullptr, 1); }},
      {"quorv_SetImageTplInvalid......tplNodeList is empty!", [] { quorv_SetImageTplInvalid(1); }},
      {"quorv_DeleteInvalidImageTpl......tplNodeList is empty!",
       [] { quorv_DeleteInvalidImageTpl(); }},
      {"quorv_GetImageTplNum...NO image tpls!", [] { EXPECT_EQ(quorv_GetImageTplNum(), 0); }},
      {"quorv_GetImageTplLen......tplNodeList is empty!",
       [] { EXPECT_EQ(quorv_GetImageTplLen(1), 0u); }},
      {"quorv_DestroyImageTpl...tplNodeList is empty, do nothing!", [] { quorv_DestroyImageTpl(); }},
      {"quorv_GetFpImageNum......NO rescan image!",
       [] {
         uint8_t num = 0;
         EXPECT_EQ(quorv_GetFpImageNum(&num), -1);
         EXPECT_EQ(num, 255);
       }},
      {"quorv_GetFpImageNum......input error", [] { EXPECT_EQ(quorv_GetFpImageNum(nullptr), -1); }},
      {"quorv_SaveEnrollImage...buf = NULL", [] { quorv_SaveEnrollImage(nullptr); }},
      {"quorv_SaveRescanImage...no config info, call quorv_SensorResourceCreate first!",
       [] {
         quorv_config_destroy();
         quorv_SaveRescanImage(Frame(1).data());
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    HostLog().clear();
    c.call();
    EXPECT_EQ(HostLog(), std::vector<std::string>{c.message});
    EXPECT_EQ(g_imageRescan, nullptr);
    EXPECT_EQ(g_enrollImage, nullptr);
    EXPECT_EQ(tplNodeList, nullptr);
  }
}

TEST_F(ImageListsTest, DestroyEmptiesEachList) {
  EnrollFrames(2);
  quorv_SaveRescanImage(Frame(1).data());
  quorv_DestroyEnrollImage();
  EXPECT_EQ(g_enrollImage, nullptr);
  EXPECT_NE(g_imageRescan, nullptr);
  quorv_SensorResourceDestroy();
  EXPECT_EQ(g_imageRescan, nullptr);
  EXPECT_EQ(g_pQuorvConfigInfo, nullptr);
}

}  // namespace
