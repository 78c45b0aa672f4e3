// The FFT and grey dilation and erosion beside OpenCV's cv::dft, cv::dilate
// and cv::erode (one thread) at the sensor sizes 96 x 96 and 256 x 360;
// see zq_bench_compare.h for the counters and the summary.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "src/image/ZqMorphology.h"
#include "src/image/fft/ZqFft.h"
#include "src/image/fft/ZqFftCore.h"
#include "zq_bench_compare.h"

namespace {

std::vector<ST_Complex32f> Spectrum(int rows, int cols) {
  std::vector<ST_Complex32f> v(static_cast<size_t>(rows) * cols);
  for (size_t i = 0; i < v.size(); ++i) v[i] = {static_cast<float>(i * 37 % 251), 0.0f};
  return v;
}

std::vector<uint8_t> Image8u(int rows, int cols) {
  std::vector<uint8_t> v(static_cast<size_t>(rows) * cols);
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 37 % 251);
  return v;
}

void RegisterFft(zq_bench::Size s) {
  const std::string key = "Fft2D/" + zq_bench::SizeName(s);
  benchmark::RegisterBenchmark(key.c_str(), [s, key](benchmark::State &state) {
    std::vector<ST_Complex32f> in = Spectrum(s.rows, s.cols), out(in.size());
#ifdef ZQ_HAVE_OPENCV
    cv::Mat src(s.rows, s.cols, CV_32FC2, in.data()), dst(s.rows, s.cols, CV_32FC2);
#endif
    zq_bench::Compare(
        state, key, [] {}, [&] { zq_fft::fft2D(in.data(), s.rows, s.cols, 0, out.data()); },
        [&] {
#ifdef ZQ_HAVE_OPENCV
          cv::dft(src, dst);
#endif
        });
    benchmark::DoNotOptimize(out.data());
  });
}

// The forward transform of a real float image (ridges of a fingertip-like
// pattern with some noise) beside OpenCV's real-input transform giving the
// whole complex spectrum, at the block sizes the enhancement uses.
void RegisterRealFft(int rows, int cols) {
  const std::string key = "RealFft2D/" + std::to_string(rows) + "x" + std::to_string(cols);
  benchmark::RegisterBenchmark(key.c_str(), [rows, cols, key](benchmark::State &state) {
    std::vector<float> img(static_cast<size_t>(rows) * cols);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        img[static_cast<size_t>(r) * cols + c] =
            128.0f + 90.0f * std::sin(0.7f * c + 0.3f * r) + static_cast<float>((r * 131 + c * 17) % 23);
    std::vector<ST_Complex32f> out(img.size());
#ifdef ZQ_HAVE_OPENCV
    cv::Mat src(rows, cols, CV_32FC1, img.data()), dst(rows, cols, CV_32FC2);
#endif
    zq_bench::Compare(
        state, key, [] {}, [&] { ZqImgFFT_32f(img.data(), rows, cols, out.data()); },
        [&] {
#ifdef ZQ_HAVE_OPENCV
          cv::dft(src, dst, cv::DFT_COMPLEX_OUTPUT);
#endif
        });
    benchmark::DoNotOptimize(out.data());
  });
}

// Square windows of side k, reflect-101 borders on both sides.
void RegisterMorph(zq_bench::Size s, int k, bool dilate) {
  const std::string key = std::string(dilate ? "Dilate" : "Erode") + std::to_string(k) + "/" +
                          zq_bench::SizeName(s);
  benchmark::RegisterBenchmark(key.c_str(), [s, k, dilate, key](benchmark::State &state) {
    std::vector<uint8_t> src = Image8u(s.rows, s.cols), dst(src.size());
#ifdef ZQ_HAVE_OPENCV
    cv::Mat cvSrc(s.rows, s.cols, CV_8UC1, src.data()), cvDst(s.rows, s.cols, CV_8UC1);
    const cv::Mat element = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k));
#endif
    zq_bench::Compare(
        state, key, [] {},
        [&] {
          if (dilate) ZqDilate(src.data(), s.rows, s.cols, 0, k, k, dst.data());
          else ZqErode(src.data(), s.rows, s.cols, 0, k, k, dst.data());
        },
        [&] {
#ifdef ZQ_HAVE_OPENCV
          if (dilate)
            cv::dilate(cvSrc, cvDst, element, cv::Point(-1, -1), 1, cv::BORDER_REFLECT_101);
          else
            cv::erode(cvSrc, cvDst, element, cv::Point(-1, -1), 1, cv::BORDER_REFLECT_101);
#endif
        });
    benchmark::DoNotOptimize(dst.data());
  });
}

const bool kRegistered = [] {
  for (zq_bench::Size s : zq_bench::kSizes) {
    RegisterFft(s);
    for (int k : {3, 5, 7, 15, 31})
      for (bool dilate : {true, false}) RegisterMorph(s, k, dilate);
  }
  for (const auto &block : {std::pair<int, int>{96, 96}, {80, 64}, {80, 128}})
    RegisterRealFft(block.first, block.second);
  return true;
}();

}  // namespace

ZQ_BENCH_MAIN()
