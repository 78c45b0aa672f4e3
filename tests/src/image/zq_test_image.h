// Small helpers to build and read ST_Image fixtures in the image-foundation
// tests.
#ifndef TESTS_SRC_ZQ_TEST_IMAGE_H_
#define TESTS_SRC_ZQ_TEST_IMAGE_H_

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "src/image/ZqImage.h"

namespace testing_support {

struct ImageDeleter {
  void operator()(ST_Image *img) const { ZqReleaseImage(&img); }
};
// An image released with ZqReleaseImage.
using ImagePtr = std::unique_ptr<ST_Image, ImageDeleter>;

// New zeroed image of rows x cols and depth (asserts success).
inline ImagePtr NewImage(int rows, int cols, int32_t depth) {
  ST_Size size = {rows, cols};
  ImagePtr img(ZqCreateImage(&size, depth));
  EXPECT_NE(img, nullptr);
  return img;
}

// Pixel (r, c) of img as type T.
template <typename T>
T &At(const ST_Image *img, int r, int c) {
  return reinterpret_cast<T *>(img->imageData + static_cast<size_t>(r) * img->rowBytes)[c];
}

// Sets every pixel (r, c) to f(r, c).
template <typename T>
void Fill(const ST_Image *img, const std::function<T(int, int)> &f) {
  for (int r = 0; r < img->height; ++r)
    for (int c = 0; c < img->width; ++c) At<T>(img, r, c) = f(r, c);
}

// Fills every byte of the pixel data, padding included, with `byte`.
inline void Paint(const ST_Image *img, uint8_t byte) {
  for (int i = 0; i < img->imageSize; ++i) img->imageData[i] = byte;
}

}  // namespace testing_support

#endif  // TESTS_SRC_ZQ_TEST_IMAGE_H_
