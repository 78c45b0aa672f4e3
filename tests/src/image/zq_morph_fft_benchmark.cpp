// The FFT, grey dilation and erosion (and, with OpenCV present, cv::dft,
// cv::dilate and cv::erode side by side) on image sizes of the sensors;
// compare the BM_Zq* and BM_Cv* times of one size for the ratio.
#include <benchmark/benchmark.h>

#include <vector>

#include "src/image/ZqMorphology.h"
#include "src/image/fft/ZqFft.h"
#include "src/image/fft/ZqFftCore.h"

#ifdef ZQ_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

void Sizes(benchmark::internal::Benchmark *b) {
  for (auto s : {std::pair{64, 64}, {96, 80}, {128, 128}, {160, 160}, {200, 180}})
    b->Args({s.first, s.second});
}

std::vector<ST_Complex32f> Input(int rows, int cols) {
  std::vector<ST_Complex32f> v(static_cast<size_t>(rows * cols));
  for (size_t i = 0; i < v.size(); ++i) v[i] = {static_cast<float>(i * 37 % 251), 0.0f};
  return v;
}

void BM_ZqFft2D(benchmark::State &state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  std::vector<ST_Complex32f> in = Input(rows, cols), out(in.size());
  for (auto _ : state) {
    zq_fft::fft2D(in.data(), rows, cols, 0, out.data());
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_ZqFft2D)->Apply(Sizes);

#ifdef ZQ_BENCH_OPENCV
void BM_CvDft(benchmark::State &state) {
  const int rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  std::vector<ST_Complex32f> in = Input(rows, cols);
  cv::Mat src(rows, cols, CV_32FC2, in.data()), dst;
  for (auto _ : state) {
    cv::dft(src, dst);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_CvDft)->Apply(Sizes);
#endif

// Morphology on a 160 x 160 image with square windows of side k.
void Windows(benchmark::internal::Benchmark *b) {
  for (int k : {3, 7, 15, 31}) b->Arg(k);
}

std::vector<uint8_t> Image8u(int rows, int cols) {
  std::vector<uint8_t> v(static_cast<size_t>(rows * cols));
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<uint8_t>(i * 37 % 251);
  return v;
}

template <bool kDilate>
void BM_ZqMorph(benchmark::State &state) {
  const int k = static_cast<int>(state.range(0));
  std::vector<uint8_t> src = Image8u(160, 160), dst(src.size());
  for (auto _ : state) {
    if (kDilate)
      ZqDilate(src.data(), 160, 160, 0, k, k, dst.data());
    else
      ZqErode(src.data(), 160, 160, 0, k, k, dst.data());
    benchmark::DoNotOptimize(dst.data());
  }
}
BENCHMARK(BM_ZqMorph<true>)->Name("BM_ZqDilate")->Apply(Windows);
BENCHMARK(BM_ZqMorph<false>)->Name("BM_ZqErode")->Apply(Windows);

#ifdef ZQ_BENCH_OPENCV
template <bool kDilate>
void BM_CvMorph(benchmark::State &state) {
  const int k = static_cast<int>(state.range(0));
  std::vector<uint8_t> data = Image8u(160, 160);
  cv::Mat src(160, 160, CV_8UC1, data.data()), dst;
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(k, k));
  for (auto _ : state) {
    if (kDilate)
      cv::dilate(src, dst, kernel, cv::Point(-1, -1), 1, cv::BORDER_REFLECT_101);
    else
      cv::erode(src, dst, kernel, cv::Point(-1, -1), 1, cv::BORDER_REFLECT_101);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_CvMorph<true>)->Name("BM_CvDilate")->Apply(Windows);
BENCHMARK(BM_CvMorph<false>)->Name("BM_CvErode")->Apply(Windows);
#endif

}  // namespace

BENCHMARK_MAIN();
