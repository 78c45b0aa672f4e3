// The FFT (and, with OpenCV present, cv::dft side by side) on image sizes
// of the sensors; compare the BM_Zq* and BM_Cv* times of one size for the
// ratio.
#include <benchmark/benchmark.h>

#include <vector>

#include "src/fft/ZqFft.h"
#include "src/fft/ZqFftCore.h"

#ifdef ZQ_BENCH_OPENCV
#include <opencv2/core.hpp>
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

}  // namespace

BENCHMARK_MAIN();
