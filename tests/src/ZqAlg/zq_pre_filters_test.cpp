// Pre-filters of the algorithm core: bad-pixel repair, stretches, root
// filter, smoothing, coverage test, padded equalisation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "src/ZqAlg/ZqPreFilters.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ImgAdaptHisteq.h"
#include "src/enhance/ZqLocalQuati.h"
#include "src/enhance/ZqMeanImage.h"
#include "src/image/ZqMemoryManager.h"
#include "zq_finger_image.h"

namespace {

class PreFiltersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZqAlgSettingsResetForTest();
    blocks_ = ZqGetMallocCnts();
  }
  void TearDown() override {
    EXPECT_EQ(ZqGetMallocCnts(), blocks_);  // every work buffer freed
    ZqAlgSettingsResetForTest();
  }
  int32_t blocks_ = 0;
};

TEST_F(PreFiltersTest, BadPixRepairFillsOnlySaturatedPixels) {
  const int rows = 64, cols = 80;
  const std::vector<uint8_t> clean = zq_test::FingerImage(rows, cols);
  std::vector<uint8_t> img = clean;
  std::replace(img.begin(), img.end(), uint8_t{255}, uint8_t{254});
  const std::vector<uint8_t> unsaturated = img;
  ASSERT_EQ(ZqBadPixRepair(img.data(), cols, rows), 0);
  EXPECT_EQ(img, unsaturated);  // no 255 pixel: unchanged

  // A stuck 3x3 block and a stuck column segment are repaired from their
  // neighbours; every other pixel keeps its value.
  std::vector<uint8_t> bad = unsaturated;
  for (int y = 30; y < 33; ++y)
    for (int x = 40; x < 43; ++x) bad[y * cols + x] = 255;
  for (int y = 5; y < 20; ++y) bad[y * cols + 10] = 255;
  ASSERT_EQ(ZqBadPixRepair(bad.data(), cols, rows), 0);
  for (int i = 0; i < rows * cols; ++i) {
    const bool wasBad = (i / cols >= 30 && i / cols < 33 && i % cols >= 40 && i % cols < 43) ||
                        (i % cols == 10 && i / cols >= 5 && i / cols < 20);
    if (wasBad)
      EXPECT_LT(bad[i], 255) << i;
    else
      ASSERT_EQ(bad[i], unsaturated[i]) << i;
  }
  EXPECT_EQ(ZqBadPixRepair(nullptr, cols, rows), -1);
}

TEST_F(PreFiltersTest, StretchSaturatedToBand254AndReturnsNine) {
  // Non-square, in place: rows first.
  const int rows = 64, cols = 80;
  std::vector<uint8_t> img = zq_test::FingerImage(rows, cols);
  for (int y = 10; y < 20; ++y)
    for (int x = 50; x < 70; ++x) img[y * cols + x] = static_cast<uint8_t>(251 + (x % 5));
  const std::vector<uint8_t> src = img;
  ASSERT_EQ(ZqNonLinearStretch_U8(img.data(), rows, cols, img.data()), 9);
  int saturated = 0;
  for (size_t i = 0; i < img.size(); ++i) {
    if (src[i] > 250) {
      ++saturated;
      EXPECT_EQ(img[i], 254) << i;
    }
  }
  EXPECT_GE(saturated, 200);
  // The ridges are stretched: the output spans most of the range.
  const auto mm = std::minmax_element(img.begin(), img.end());
  EXPECT_LT(*mm.first, 40);
  std::vector<uint8_t> out(img.size());
  EXPECT_EQ(ZqNonLinearStretch_U8(nullptr, rows, cols, out.data()), -1);
  EXPECT_EQ(ZqNonLinearStretch_U8(src.data(), rows, cols, nullptr), -1);
  EXPECT_EQ(ZqNonLinearStretch_U8(src.data(), 4, 4, out.data()), -4);  // 5x5 box too large
}

TEST_F(PreFiltersTest, SixteenBitStretchMarksTheDarkestRawPixels) {
  const int rows = 32, cols = 40;
  std::vector<uint16_t> raw(rows * cols);
  for (int i = 0; i < rows * cols; ++i) raw[i] = static_cast<uint16_t>(900 + (i * 37) % 2400);
  raw[5 * cols + 7] = 100;  // darkest: 0 after the 0..255 stretch
  std::vector<uint8_t> dst(rows * cols);
  ASSERT_EQ(ZqNonLinearStretch(raw.data(), rows, cols, dst.data()), 9);
  EXPECT_EQ(dst[5 * cols + 7], 254);
  EXPECT_LT(std::count(dst.begin(), dst.end(), 254), rows * cols / 4);
  EXPECT_EQ(ZqNonLinearStretch(nullptr, rows, cols, dst.data()), -1);
}

TEST_F(PreFiltersTest, RootFilterFlatIsZeroTextureSpansRange) {
  const int a = 64, b = 48;  // a columns, b rows
  std::vector<uint8_t> flat(a * b, 140), dst(a * b, 9);
  ASSERT_EQ(ZqRootFilter(flat.data(), a, b, 3, dst.data()), 0);
  EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == 0; }));
  const std::vector<uint8_t> img = zq_test::FingerImage(b, a);
  ASSERT_EQ(ZqRootFilter(img.data(), a, b, 3, dst.data()), 0);
  EXPECT_EQ(*std::min_element(dst.begin(), dst.end()), 0);
  EXPECT_GE(*std::max_element(dst.begin(), dst.end()), 253);  // truncation
  EXPECT_LE(*std::max_element(dst.begin(), dst.end()), 254);
  EXPECT_EQ(ZqRootFilter(nullptr, a, b, 3, dst.data()), -1);
  EXPECT_EQ(ZqRootFilter(img.data(), a, b, 3, nullptr), -1);
}

TEST_F(PreFiltersTest, ImageSmoothChecksInputAndSmooths) {
  std::vector<uint8_t> img = zq_test::FingerImage(96, 96), dst(96 * 96, 0);
  EXPECT_EQ(ZqImageSmooth(nullptr, 96, 96, dst.data()), -1);
  EXPECT_EQ(ZqImageSmooth(img.data(), 0, 96, dst.data()), -1);
  ASSERT_EQ(ZqImageSmooth(img.data(), 96, 96, dst.data()), 0);
  const auto mm = std::minmax_element(dst.begin(), dst.end());
  EXPECT_LT(*mm.first, *mm.second);
}

// The smoothing works at the size it is given: an image smaller than the
// configured sensor is not read past its end (the sanitizer build checks),
// and whatever the configured size, the result is that of the image smoothed
// with the sensor configured to its own size.
TEST_F(PreFiltersTest, ImageSmoothWorksAtTheGivenSizeNotTheSensors) {
  struct Case {
    int rows, cols;            // the image
    int sensor_rows, sensor_cols;
  } cases[] = {
      {40, 56, 96, 96},    // smaller than the sensor
      {56, 40, 64, 120},   // smaller, the other way round
      {100, 90, 64, 64},   // larger than the sensor
      {64, 80, 64, 80},    // the sensor's own size
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " x " + std::to_string(c.cols));
    const std::vector<uint8_t> gray = zq_test::FingerImage(c.rows, c.cols);
    const size_t n = gray.size();
    // The image at its own sensor size: smoothing at the configured size.
    ZqSetSensorColRow(static_cast<int16_t>(c.cols), static_cast<int16_t>(c.rows));
    std::vector<uint8_t> want_img = gray, mean(n), want(n, 0);
    ASSERT_EQ(ZqSpaFilter(want_img.data()), 0);
    ASSERT_EQ(ZqMeanImage(want_img.data(), c.rows, c.cols, 1, mean.data()), 0);
    ASSERT_EQ(ZqLocalQuati_u8(mean.data(), c.rows, c.cols, 7, want.data()), 0);
    ASSERT_NE(want_img, gray);

    ZqSetSensorColRow(static_cast<int16_t>(c.sensor_cols), static_cast<int16_t>(c.sensor_rows));
    std::vector<uint8_t> img = gray, dst(n, 0);
    ASSERT_EQ(ZqImageSmooth(img.data(), c.rows, c.cols, dst.data()), 0);
    EXPECT_EQ(img, want_img);
    EXPECT_EQ(dst, want);
  }
}

TEST_F(PreFiltersTest, CoverAreaCorrelatesTheCentredWindow) {
  const int rows = 96, cols = 96;
  const std::vector<uint8_t> tex = zq_test::FingerImage(rows, cols);
  const std::vector<uint8_t> flat(rows * cols, 120);
  struct Case {
    const std::vector<uint8_t> *a, *b;
    float thr;
    int want;
  };
  const Case cases[] = {
      {&tex, &tex, 0.99f, 1}, {&tex, &tex, 0.0f, 1},   {&tex, &flat, 0.999f, 1},
      {&tex, &flat, 1.0f, 0}, {&flat, &tex, 0.0f, 0},  {&flat, &tex, -0.5f, 1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(ZqCoverArea(c.a->data(), c.b->data(), rows, cols, 40, c.thr), c.want) << c.thr;

  // 96x96 with half 40: a 79x79 window at rows/cols 9..87. A change just
  // outside it does not matter, one just inside does.
  std::vector<uint8_t> inv = tex;
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < cols; ++x)
      if (y < 9 || y > 87 || x < 9 || x > 87)
        inv[y * cols + x] = static_cast<uint8_t>(255 - tex[y * cols + x]);
  EXPECT_EQ(ZqCoverArea(tex.data(), inv.data(), rows, cols, 40, 0.99f), 1);
  std::vector<uint8_t> edge = tex;
  for (int y = 9; y <= 87; ++y) edge[y * cols + 9] = static_cast<uint8_t>(255 - tex[y * cols + 9]);
  for (int x = 9; x <= 87; ++x)
    edge[87 * cols + x] = static_cast<uint8_t>(255 - tex[87 * cols + x]);
  EXPECT_EQ(ZqCoverArea(tex.data(), edge.data(), rows, cols, 40, 0.9999f), 0);
  EXPECT_EQ(ZqCoverArea(nullptr, tex.data(), rows, cols, 40, 0.5f), -1);
  EXPECT_EQ(ZqCoverArea(tex.data(), tex.data(), rows, cols, 0, 0.5f), -1);
}

TEST_F(PreFiltersTest, AdaptHisteqPadsToWholeTiles) {
  // Width 100, tilesX 8: margin 2 makes 13-pixel tiles (odd), so 6 is used
  // (112 / 8 = 14). The result must equal equalising the padded image by
  // hand; without the margin the equaliser refuses 100 / 8 and the image
  // would stay as it is.
  const int w = 100, h = 96;
  std::vector<uint8_t> img = zq_test::FingerImage(h, w);
  const std::vector<uint8_t> src = img;
  ASSERT_EQ(ZqImgAdaptHisteq(img.data(), w, h, 0, 255, 8, 0.01f, 8, 256), 0);
  EXPECT_NE(img, src);
  std::vector<uint8_t> padded(112 * 96);
  ASSERT_EQ(ZqMirrorFillU8(src.data(), h, w, 0, 6, padded.data()), 0);
  std::vector<uint8_t> fixedW = padded;
  EXPECT_EQ(ImgAdaptHisteq(fixedW.data(), 112, 96, 0, 255, 8, 0.01f, 8, 256), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(img[y * w + x], fixedW[y * 112 + x + 6]) << y << "," << x;
  EXPECT_EQ(ZqImgAdaptHisteq(nullptr, w, h, 0, 255, 8, 0.01f, 8, 256), -1);
}

TEST_F(PreFiltersTest, ForUserSpaRefusesAnotherPixelCount) {
  ZqSetSensorColRow(80, 128);  // a map of 1281 bytes
  std::vector<uint8_t> img = zq_test::FingerImage(128, 80);
  const std::vector<uint8_t> src = img;
  ZqforUserSpa(img.data(), 96, 96);
  EXPECT_EQ(img, src);
  ZqforUserSpa(img.data(), 80, 128);
  EXPECT_NE(img, src);
  ZqSpaFilterEn(0);
  std::vector<uint8_t> off = src;
  ZqforUserSpa(off.data(), 80, 128);
  EXPECT_EQ(off, src);
}

}  // namespace
