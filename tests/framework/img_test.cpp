#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_img.h"
#include "framework/fpi_img_dev.h"
#include "support/stderr_capture.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testing_support::StderrCapture;

// An image of w x h holding `pixels` (its length is the pixel count given).
fp_img *MakeImage(int w, int h, const Bytes &pixels, uint16_t flags = 0) {
  fp_img *img = fpi_img_new(pixels.size());
  img->width = w;
  img->height = h;
  img->flags = flags;
  std::copy(pixels.begin(), pixels.end(), img->data);
  return img;
}

Bytes Pixels(fp_img *img) { return Bytes(img->data, img->data + img->length); }

TEST(FpImg, NewImageIsZeroedWithoutSize) {
  fp_img *img = fpi_img_new(6);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->length, 6u);
  EXPECT_EQ(fp_img_get_width(img), 0);
  EXPECT_EQ(fp_img_get_height(img), 0);
  EXPECT_EQ(img->flags, 0);
  EXPECT_EQ(img->minutiae, nullptr);
  EXPECT_EQ(img->binarized, nullptr);
  EXPECT_EQ(Pixels(img), Bytes(6, 0));
  EXPECT_EQ(fp_img_get_data(img), img->data);
  fp_img_free(img);
  fp_img_free(nullptr);
}

TEST(FpImg, NewDevsizeTakesTheDriverSizeAndRefusesVariableSizes) {
  struct Case {
    int width, height;
    bool made;
  } cases[] = {{4, 3, true}, {100, -1, false}, {-1, 8, false}, {0, 8, false}};
  for (const Case &c : cases) {
    fp_img_driver driver{};
    driver.driver.type = DRIVER_IMAGING;
    driver.img_width = c.width;
    driver.img_height = c.height;
    fp_dev dev{};
    dev.driver = &driver.driver;
    fp_img_dev imgdev{};
    imgdev.dev = &dev;
    StderrCapture capture;
    fp_img *img = fpi_img_new_devsize(&imgdev);
    EXPECT_EQ(img != nullptr, c.made) << c.width << "x" << c.height;
    if (img != nullptr) {
      EXPECT_EQ(img->width, c.width);
      EXPECT_EQ(img->height, c.height);
      EXPECT_EQ(img->length, static_cast<size_t>(c.width * c.height));
      EXPECT_TRUE(fpi_img_size_ok(img));
    }
    fp_img_free(img);
  }
}

TEST(FpImg, SizeOkNeedsPositiveSizesThatFitThePixels) {
  struct Case {
    int width, height;
    size_t length;
    bool ok;
  } cases[] = {
      {3, 2, 6, true},        {3, 2, 8, true},           {3, 2, 5, false},
      {0, 2, 6, false},       {3, 0, 6, false},          {3, 2, 0, false},
      {-3, -2, 6, false},     {65536, 65536, 6, false},  // product past 32 bits
      {1, 2, SIZE_MAX, false},                           // length x height overflows
  };
  for (const Case &c : cases) {
    fp_img img{};
    img.width = c.width;
    img.height = c.height;
    img.length = c.length;
    EXPECT_EQ(fpi_img_size_ok(&img), c.ok) << c.width << "x" << c.height << " in " << c.length;
  }
}

TEST(FpImg, ResizeKeepsThePixels) {
  fp_img *img = MakeImage(2, 2, {1, 2, 3, 4});
  img = fpi_img_resize(img, 4000);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(Bytes(img->data, img->data + 4), (Bytes{1, 2, 3, 4}));
  img->data[3999] = 9;  // the new room is usable
  img = fpi_img_resize(img, 2);
  ASSERT_NE(img, nullptr);
  EXPECT_EQ(img->length, 2u);  // never claims more than it holds
  EXPECT_FALSE(fpi_img_size_ok(img));
  fp_img_free(img);
}

TEST(FpImg, StandardizeUndoesEachFlag) {
  struct Case {
    const char *name;
    int w, h;
    uint16_t flags;
    Bytes in, out;
    uint16_t flags_after;
  } cases[] = {
      {"all three: rotated 180 and inverted", 3, 2, 1 | 2 | 4, {0, 1, 2, 3, 4, 5},
       {250, 251, 252, 253, 254, 255}, 0},
      {"vertical, even height", 2, 2, 1, {1, 2, 3, 4}, {3, 4, 1, 2}, 0},
      {"vertical, odd height keeps the middle row", 2, 3, 1, {1, 2, 3, 4, 5, 6},
       {5, 6, 3, 4, 1, 2}, 0},
      {"horizontal, odd width", 3, 2, 2, {1, 2, 3, 4, 5, 6}, {3, 2, 1, 6, 5, 4}, 0},
      {"inverted", 2, 1, 4, {0, 200}, {255, 55}, 0},
      {"other flags untouched", 2, 1, 8 | 16, {0, 200}, {0, 200}, 8 | 16},
      {"partial and flipped", 2, 1, 16 | 2, {7, 9}, {9, 7}, 16},
  };
  for (const Case &c : cases) {
    fp_img *img = MakeImage(c.w, c.h, c.in, c.flags);
    fp_img_standardize(img);
    EXPECT_EQ(Pixels(img), c.out) << c.name;
    EXPECT_EQ(img->flags, c.flags_after) << c.name;
    fp_img_standardize(img);  // a second call changes nothing
    EXPECT_EQ(Pixels(img), c.out) << c.name;
    fp_img_free(img);
  }
}

TEST(FpImg, StandardizeLeavesAnImageLargerThanItsPixelsAlone) {
  fp_img *img = MakeImage(3, 2, {1, 2, 3, 4}, 1 | 2 | 4);  // 6 pixels claimed, 4 held
  StderrCapture capture;
  fp_img_standardize(img);
  EXPECT_EQ(Pixels(img), (Bytes{1, 2, 3, 4}));
  EXPECT_EQ(img->flags, 1 | 2 | 4);
  EXPECT_NE(capture.Text().find("does not fit"), std::string::npos);
  fp_img_free(img);
}

class PgmFile : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fpdev-pgm-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    unlink(path().c_str());
    rmdir(dir_.c_str());
  }
  std::string path() const { return dir_ + "/img.pgm"; }
  static Bytes Read(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

TEST_F(PgmFile, WritesHeaderAndPixelsAsStored) {
  // Flags are ignored: the stored orientation is written.
  fp_img *img = MakeImage(4, 2, {0, 1, 2, 3, 252, 253, 254, 255}, FP_IMG_V_FLIPPED);
  ASSERT_EQ(fp_img_save_to_file(img, path().c_str()), 0);
  Bytes expected = {'P', '5', ' ', '4', ' ', '2', ' ', '2', '5', '5', '\n',
                    0, 1, 2, 3, 252, 253, 254, 255};
  EXPECT_EQ(Read(path()), expected);
  // Only width x height bytes, not the whole allocation.
  fp_img *big = fpi_img_new(100);
  big->width = 1;
  big->height = 1;
  ASSERT_EQ(fp_img_save_to_file(big, path().c_str()), 0);
  EXPECT_EQ(Read(path()).size(), 11u + 1u);
  fp_img_free(big);
  fp_img_free(img);
}

TEST_F(PgmFile, ReportsEachFailureAsNegative) {
  fp_img *img = MakeImage(4, 2, Bytes(8, 7));
  {
    StderrCapture capture;
    EXPECT_EQ(fp_img_save_to_file(img, (dir_ + "/missing/img.pgm").c_str()), -2);
    EXPECT_NE(capture.Text().find("could not open '" + dir_ + "/missing/img.pgm' for writing: 2"),
              std::string::npos);
  }
  {
    // The bytes are lost when the buffered data is flushed at close.
    StderrCapture capture;
    EXPECT_EQ(fp_img_save_to_file(img, "/dev/full"), -5);
  }
  fp_img *short_img = MakeImage(4, 2, Bytes(6, 7));  // 8 pixels claimed, 6 held
  {
    StderrCapture capture;
    EXPECT_EQ(fp_img_save_to_file(short_img, path().c_str()), -22);
  }
  EXPECT_EQ(access(path().c_str(), F_OK), -1);
  fp_img_free(short_img);
  fp_img_free(img);
}

TEST(FpImgStats, StdSqDev) {
  struct Case {
    Bytes buf;
    int size;
    int result;
  } cases[] = {
      {{0, 2, 4}, 3, 2},
      {{0, 1}, 2, 0},  // integer mean 0: (0 + 1) / 2 = 0
      {{9}, 1, 0},
      {{5, 5}, 0, 0},
      {{5, 5}, -4, 0},
  };
  for (const Case &c : cases) EXPECT_EQ(fpi_std_sq_dev(c.buf.data(), c.size), c.result);

  // Half 0, half 255 over the largest size: (127.5^2 about) without overflow.
  Bytes half(32767, 0);
  std::fill(half.begin() + 16384, half.end(), 255);
  EXPECT_EQ(fpi_std_sq_dev(half.data(), 32767), 16256);
  StderrCapture capture;
  Bytes big(32768, 1);
  EXPECT_EQ(fpi_std_sq_dev(big.data(), 32768), -75);
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                 "fp:error [fpi_std_sq_dev] fpi_std_sq_dev: we might get an overflow!"});
}

TEST(FpImgStats, MeanSquareDiff) {
  Bytes a = {1, 2, 10}, b = {3, 6, 10};
  EXPECT_EQ(fpi_mean_square_diff(a.data(), b.data(), 3), (4 + 16 + 0) / 3);
  EXPECT_EQ(fpi_mean_square_diff(b.data(), a.data(), 2), 10);
  EXPECT_EQ(fpi_mean_square_diff(a.data(), b.data(), 0), 0);
  // 40000 x 255^2 exceeds a 32-bit sum.
  Bytes white(40000, 255), black(40000, 0);
  EXPECT_EQ(fpi_mean_square_diff(white.data(), black.data(), 40000), 65025);
}

}  // namespace
