// The slide image list: append, read back by position, delete, invalidate,
// compact, count, capture numbers, the byte-sized limits and allocation
// failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "lib_log_capture.h"
#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::FailAllocationsAfter;
using testing_support::LibLogCapture;
using testing_support::StopAllocFailures;
using Bytes = std::vector<uint8_t>;

constexpr int kCols = 4, kRows = 3, kLen = kCols * kRows;

class ImageList : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = ZqGetMallocCnts();
    ASSERT_NE(quorv_get_spi_instance(), nullptr);
    quorv_SetimageColsRows(kCols, kRows);
  }
  void TearDown() override {
    quorv_destroy_spi_instance();  // also empties the list
    EXPECT_EQ(g_imageSave, nullptr);
    EXPECT_EQ(ZqGetMallocCnts(), start_);
  }

  // Saves an image whose every byte is `fill`.
  static void Save(uint8_t fill) {
    Bytes img(kLen, fill);
    quorv_SaveImage(img.data());
  }
  static void SaveN(int n) {
    for (int i = 1; i <= n; ++i) Save(static_cast<uint8_t>(i));
  }

  // (position, capture number, valid) of every node in list order.
  struct Node {
    int cnt, index, valid;
    bool operator==(const Node &o) const {
      return cnt == o.cnt && index == o.index && valid == o.valid;
    }
  };
  static std::vector<Node> Nodes() {
    std::vector<Node> out;
    for (const ImageRescanNode *n = g_imageSave; n != nullptr; n = n->pNext) {
      out.push_back({n->currentCnt, n->index, n->isValid});
    }
    return out;
  }
  // First byte of the image at position cnt, or -1 when nothing is copied.
  static int FillAt(uint8_t cnt) {
    Bytes dst(kLen, 0xEE);
    quorv_get_sensor_image_buff(dst.data(), kLen, cnt);
    if (dst == Bytes(kLen, 0xEE)) return -1;
    EXPECT_EQ(dst, Bytes(kLen, dst[0]));
    return dst[0];
  }
  static std::vector<int> Indices() {
    uint8_t out[QUORV_IMAGE_LIST_MAX] = {};
    int n = quorv_get_sensor_image_index(out);
    return std::vector<int>(out, out + n);
  }

  int32_t start_ = 0;
};

TEST_F(ImageList, AppendsInOrderWithOwnCopies) {
  SaveN(3);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {2, 2, 1}, {3, 3, 1}}));
  uint8_t num = 0;
  EXPECT_EQ(quorv_get_sensor_image_num(&num), 3);
  EXPECT_EQ(num, 3);
  EXPECT_EQ(Indices(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(FillAt(1), 1);
  EXPECT_EQ(FillAt(3), 3);
  EXPECT_EQ(FillAt(4), -1);
}

TEST_F(ImageList, InvalidateAndCompact) {
  struct Case {
    std::vector<uint8_t> invalid;
    std::vector<Node> after;
    std::vector<int> fills;  // image at positions 1..n afterwards
  } cases[] = {
      {{2}, {{1, 1, 1}, {2, 3, 1}}, {1, 3}},
      {{1}, {{1, 2, 1}, {2, 3, 1}}, {2, 3}},
      {{3}, {{1, 1, 1}, {2, 2, 1}}, {1, 2}},
      {{1, 3}, {{1, 2, 1}}, {2}},
      {{1, 2, 3}, {}, {}},
      {{9}, {{1, 1, 1}, {2, 2, 1}, {3, 3, 1}}, {1, 2, 3}},  // absent: no change
  };
  for (const Case &c : cases) {
    quorv_DestroyImage();
    SaveN(3);
    for (uint8_t cnt : c.invalid) quorv_set_sensor_image_invalid(cnt);
    quorv_delete_invalid_sensor_image();
    EXPECT_EQ(Nodes(), c.after) << testing::PrintToString(c.invalid);
    std::vector<int> fills;
    for (size_t i = 1; i <= c.after.size(); ++i) fills.push_back(FillAt(uint8_t(i)));
    EXPECT_EQ(fills, c.fills);
    uint8_t num = 0xAA;
    EXPECT_EQ(quorv_get_sensor_image_num(&num), c.after.size());
    EXPECT_EQ(num, c.after.size());
  }
}

TEST_F(ImageList, CompactionKeepsCaptureNumbersForLaterAppends) {
  SaveN(3);
  quorv_set_sensor_image_invalid(2);
  quorv_delete_invalid_sensor_image();
  Save(4);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {2, 3, 1}, {3, 4, 1}}));
  EXPECT_EQ(Indices(), (std::vector<int>{1, 3, 4}));
}

TEST_F(ImageList, DeleteByPositionDoesNotRenumber) {
  SaveN(3);
  const ImageRescanNode *head = g_imageSave;
  quorv_delete_sensor_image_buff(2);
  EXPECT_EQ(g_imageSave, head);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {3, 3, 1}}));
  EXPECT_EQ(quorv_get_sensor_image_num(nullptr), 3);  // the tail's position, not the count
  EXPECT_EQ(Indices(), (std::vector<int>{1, 3}));
  EXPECT_EQ(FillAt(2), -1);

  quorv_delete_sensor_image_buff(1);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{3, 3, 1}}));
  quorv_delete_sensor_image_buff(7);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{3, 3, 1}}));
  quorv_delete_sensor_image_buff(3);
  EXPECT_EQ(g_imageSave, nullptr);
}

TEST_F(ImageList, ReadBackIsBoundedByTheStoredImage) {
  Save(5);
  quorv_SetimageColsRows(2, 2);  // later images are smaller
  Save(6);
  ASSERT_EQ(g_imageSave->pNext->imageLen, 4);
  Bytes dst(kLen, 0xEE);
  quorv_get_sensor_image_buff(dst.data(), kLen, 1);
  EXPECT_EQ(dst, Bytes(kLen, 5));
  Bytes small(kLen, 0xEE);
  LibLogCapture log;
  quorv_get_sensor_image_buff(small.data(), kLen, 2);  // longer than the 2 x 2 image
  EXPECT_EQ(small, Bytes(kLen, 0xEE));
  EXPECT_EQ(log.Messages(),
            std::vector<std::string>{
                "quorv_get_sensor_image_buff......len = 12 is more than the image's 4 bytes"});
  quorv_get_sensor_image_buff(small.data(), 4, 2);
  EXPECT_EQ(small, (Bytes{6, 6, 6, 6, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST_F(ImageList, NodeWithoutImage) {
  Save(1);
  FailAllocationsAfter(1);  // the node, not its image
  Save(2);
  StopAllocFailures();
  Save(3);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {2, 2, 1}, {3, 3, 1}}));
  EXPECT_EQ(g_imageSave->pNext->imageRescanBuf, nullptr);
  EXPECT_EQ(FillAt(2), -1);
  quorv_set_sensor_image_invalid(2);  // cannot be invalidated
  EXPECT_EQ(Nodes()[1].valid, 1);
  quorv_delete_invalid_sensor_image();
  EXPECT_EQ(Nodes().size(), 3u);
}

TEST_F(ImageList, FailedNodeAllocationAppendsNothing) {
  Save(1);
  FailAllocationsAfter(0);
  Save(2);
  StopAllocFailures();
  Save(3);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {2, 2, 1}}));
  EXPECT_EQ(FillAt(2), 3);
}

TEST_F(ImageList, InvalidationStopsAtTheFirstMatch) {
  SaveN(3);
  quorv_delete_sensor_image_buff(2);
  Save(4);  // position 4 after the tail's 3
  quorv_set_sensor_image_invalid(3);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}, {3, 3, 0}, {4, 4, 1}}));
}

TEST_F(ImageList, HoldsAtMost255Images) {
  SaveN(QUORV_IMAGE_LIST_MAX);
  EXPECT_EQ(quorv_get_sensor_image_num(nullptr), 255);
  EXPECT_EQ(Indices().size(), 255u);
  EXPECT_EQ(Indices().back(), 255);
  {
    LibLogCapture log;
    Save(0);  // a 256th would repeat position and capture number 0
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "quorv_SaveImage enter.",
                                  "quorv_SaveImage......image list is full, cnt = 255, index = 255"}));
  }
  EXPECT_EQ(Nodes().size(), 255u);
  // Compaction frees positions but the capture numbers are spent.
  quorv_set_sensor_image_invalid(1);
  quorv_delete_invalid_sensor_image();
  Save(0);
  EXPECT_EQ(quorv_get_sensor_image_num(nullptr), 254);
  EXPECT_EQ(FillAt(254), 255);
  // Emptying the list starts a new burst at 1.
  quorv_DestroyImage();
  Save(9);
  EXPECT_EQ(Nodes(), (std::vector<Node>{{1, 1, 1}}));
}

TEST_F(ImageList, EmptyListAndBadArguments) {
  LibLogCapture log;
  uint8_t num = 0xAA;
  uint8_t out[2] = {0xAA, 0xAA};
  Bytes dst(kLen, 0xEE);
  quorv_SaveImage(nullptr);
  quorv_DestroyImage();
  quorv_get_sensor_image_buff(dst.data(), kLen, 1);
  quorv_delete_sensor_image_buff(1);
  quorv_set_sensor_image_invalid(1);
  quorv_delete_invalid_sensor_image();
  EXPECT_EQ(quorv_get_sensor_image_num(&num), 0);
  EXPECT_EQ(quorv_get_sensor_image_index(out), 0);
  EXPECT_EQ(num, 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(dst, Bytes(kLen, 0xEE));
  EXPECT_EQ(g_imageSave, nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "quorv_SaveImage enter.",
                                "quorv_SaveImage......buf = NULL",
                                "quorv_DestroyImage......g_imageSave is empty, do nothing!",
                                "quorv_get_sensor_image_buff......g_imageSave is empty!",
                                "quorv_delete_sensor_image_buff......g_imageSave is empty!",
                                "quorv_set_sensor_image_invalid......g_imageSave is empty!",
                                "quorv_delete_invalid_sensor_image......g_imageSave is empty!",
                                "quorv_get_sensor_image_num......NO image!",
                                "quorv_get_sensor_image_num leave.....cnt is 0",
                                "quorv_get_sensor_image_index......NO image!"}));
}

TEST_F(ImageList, CountAndIndexLogLines) {
  SaveN(2);
  quorv_delete_sensor_image_buff(1);
  LibLogCapture log;
  g_loglevel = 3;
  uint8_t out[2];
  quorv_get_sensor_image_num(nullptr);
  quorv_get_sensor_image_index(out);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"quorv_get_sensor_image_num leave.....cnt = 2",
                                                      "quorv_get_sensor_image_index...index 1 = 2"}));
}

TEST(ImageListWithoutSpi, SaveNeedsTheImageSize) {
  LibLogCapture log;
  const uint8_t img[4] = {};
  quorv_SaveImage(img);
  EXPECT_EQ(g_imageSave, nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{"quorv_SaveImage enter.",
                                                      "quorv_SaveImage......ZqSpiObj is NULL"}));
}

}  // namespace
