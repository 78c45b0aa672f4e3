// The crop chain and the resize when the heap refuses their buffers.
#include <gtest/gtest.h>

#include <vector>

#include "src/alloc_failure.h"
#include "src/lib_log_capture.h"
#include "src/netModel/input_preprocess_tool_no_finger.h"
#include "src/netModel/net_test_support.h"

namespace {

using testing_support::FailHeapAfter;
using testing_support::LibLogCapture;

TEST(CropChainHeapFailure, UnfilledSmallCropIsRefusedInsteadOfReadOutsideIt) {
  std::vector<float> img(12 * 12, 255.0f);
  for (int y = 2; y < 9; ++y) {
    for (int x = 1; x < 11; ++x) img[y * 12 + x] = 5.0f;
  }
  std::vector<float> dst(16 * 16, -9.0f);
  const int32_t heap_blocks = gMallocCnts;
  {
    FailHeapAfter fail(1);  // the crop is taken, the filled block is refused
    LibLogCapture log;
    EXPECT_EQ(input_process_tool_no_finger(img.data(), 12, 12, 0, 16, 16, dst.data()), -1);
    EXPECT_TRUE(net_test::Contains(log.Messages(), "fill_margin...new_fill malloc fail ;"));
  }
  EXPECT_EQ(dst, std::vector<float>(16 * 16, -9.0f));
  EXPECT_EQ(gMallocCnts, heap_blocks);
}

TEST(CropChainHeapFailure, RefusedBuffersGiveMinusOne) {
  std::vector<float> img(12 * 12, 5.0f);
  int32_t top = 7, bottom = 7, left = 7, right = 7;
  std::vector<uint8_t> src(16, 1);
  std::vector<float> dst(4, -9.0f);
  const int32_t heap_blocks = gMallocCnts;
  {
    FailHeapAfter fail(1);  // row sums taken, column sums refused
    EXPECT_EQ(get_valid_range(img.data(), 12, 12, &top, &bottom, &left, &right), -1);
  }
  EXPECT_EQ(top, -1);
  {
    FailHeapAfter fail(0);
    ST_ImgCropInfo info = {0, 0, 0, 0.0f};
    EXPECT_EQ(cut_white_margin(img.data(), 12, 12, &info), nullptr);
    EXPECT_EQ(input_process_tool_no_finger_resize(src.data(), 4, 4, 16, 2, 2, dst.data()), -1);
  }
  EXPECT_EQ(dst, std::vector<float>(4, -9.0f));
  EXPECT_EQ(gMallocCnts, heap_blocks);
}

}  // namespace
