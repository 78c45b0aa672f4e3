// The filter dispatcher FFTFilter.
#include <gtest/gtest.h>

#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqImageFilterEnhance.h"
#include "src/image/fft/ZqFft.h"

namespace {

std::vector<uint8_t> Texture(int rows, int cols) {
  std::vector<uint8_t> v(static_cast<size_t>(rows * cols));
  for (int i = 0; i < rows * cols; ++i)
    v[i] = static_cast<uint8_t>((i * 37 + (i / cols) * 11) % 256);
  return v;
}

TEST(FFTFilter, ZeroDoesNothing) {
  std::vector<uint8_t> img = Texture(16, 20), out(320, 7);
  const std::vector<uint8_t> before = img;
  EXPECT_EQ(FFTFilter(img.data(), 0, 16, 20, out.data(), 0.5f), 0);
  EXPECT_EQ(img, before);
  EXPECT_EQ(out, std::vector<uint8_t>(320, 7));
}

TEST(FFTFilter, HighNibbleOneBandFiltersTheInputThenTheMean) {
  const int rows = 16, cols = 20;
  std::vector<uint8_t> img = Texture(rows, cols), out(rows * cols);
  // Expected: band filter by hand, then the enhancement with the same byte.
  std::vector<uint8_t> want = img;
  std::vector<ST_Complex32f> spectrum(rows * cols);
  ASSERT_EQ(imgFFT(want.data(), rows, cols, spectrum.data()), 0);
  ASSERT_EQ(fftBandFilter(spectrum.data(), rows, cols, 0.5f), 0);
  ASSERT_EQ(realImgIFFT(spectrum.data(), rows, cols, want.data()), 0);
  std::vector<uint8_t> wantOut(rows * cols);
  ASSERT_EQ(ZqImageFilterEnhance(want.data(), rows, cols, 0x12, wantOut.data()), 0);
  // 0x12 is not 2: the 3 x 3 mean, not the median.
  std::vector<uint8_t> mean(rows * cols);
  ASSERT_EQ(ZqImageFilterEnhance(want.data(), rows, cols, 1, mean.data()), 0);
  EXPECT_EQ(wantOut, mean);

  testing_support::LibLogCapture log;
  ASSERT_EQ(FFTFilter(img.data(), 0x12, rows, cols, out.data(), 0.5f), 0);
  EXPECT_EQ(img, want);
  EXPECT_EQ(out, wantOut);
  EXPECT_NE(img, Texture(rows, cols));
  // The logger adds the line prefix once.
  EXPECT_EQ(log.Messages(),
            (std::vector<std::string>{"FFTFilter..image fft filter finish! filter = 18",
                                      "FFTFilter..image filter enhance finish! filter = 18"}));
}

TEST(FFTFilter, OtherFiltersOnlyEnhance) {
  const int rows = 12, cols = 9;
  for (uint8_t filter : {0x02, 0x03, 0x01, 0x22}) {
    SCOPED_TRACE(static_cast<int>(filter));
    std::vector<uint8_t> img = Texture(rows, cols), out(rows * cols), want(rows * cols);
    ASSERT_EQ(ZqImageFilterEnhance(img.data(), rows, cols, filter, want.data()), 0);
    ASSERT_EQ(FFTFilter(img.data(), filter, rows, cols, out.data(), 0.5f), 0);
    EXPECT_EQ(img, Texture(rows, cols));
    EXPECT_EQ(out, want);
  }
  // Only a high nibble of exactly 1 takes the FFT path: 0x30 to 0x3F (odd
  // high nibble too) leave the input as it was.
  for (int filter = 0x30; filter <= 0x3F; ++filter) {
    SCOPED_TRACE(filter);
    std::vector<uint8_t> img = Texture(rows, cols), out(rows * cols), want(rows * cols);
    ASSERT_EQ(ZqImageFilterEnhance(img.data(), rows, cols, filter, want.data()), 0);
    ASSERT_EQ(FFTFilter(img.data(), static_cast<uint8_t>(filter), rows, cols, out.data(), 0.5f), 0);
    EXPECT_EQ(img, Texture(rows, cols));
    EXPECT_EQ(out, want);
  }
  std::vector<uint8_t> img = Texture(rows, cols);
  EXPECT_EQ(FFTFilter(img.data(), 2, rows, cols, nullptr, 0.5f), -1);
}

}  // namespace
