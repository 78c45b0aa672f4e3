#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/bq_image.h"
#include "base/bq_log.h"
#include "support/stderr_capture.h"

namespace {

using testing_support::StderrCapture;

TEST(BqImage, NewIsZeroedAndDestroyClearsThePointer) {
  for (auto [w, h] : {std::pair{3, 2}, std::pair{1, 1}, std::pair{0, 5}}) {
    bq_image *img = bq_image_new(w, h);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->width, w);
    EXPECT_EQ(img->height, h);
    for (int i = 0; i < w * h; ++i) EXPECT_EQ(img->data[i], 0) << i;
    for (int i = 0; i < w * h; ++i) img->data[i] = 0xab;  // the whole pixel block is usable
    bq_image_destroy(&img);
    EXPECT_EQ(img, nullptr);
  }
  bq_image *none = nullptr;
  bq_image_destroy(&none);
  bq_image_destroy(nullptr);
}

TEST(BqImage, NegativeSizeFailsWithOutOfMemoryLine) {
  g_base_log_level = 3;
  StderrCapture capture;
  EXPECT_EQ(bq_image_new(-1, 4), nullptr);
  EXPECT_EQ(bq_image_new(4, -1), nullptr);
  std::vector<std::string> lines = capture.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], testing::MatchesRegex("quorvanta:image: error at bq_image_new"
                                              "\\[bq_image\\.cpp:[0-9]+\\]: 'Out of memory'\\."));
}

TEST(BqImage, SaveBmpWritesNothing) {
  bq_image *img = bq_image_new(2, 2);
  EXPECT_EQ(bq_image_save_bmp(img, "/nonexistent/dir/x.bmp", 0), 0);
  bq_image_destroy(&img);
}

}  // namespace
