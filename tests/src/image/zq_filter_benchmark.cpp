// Box, median and Gaussian filters of the image foundation beside OpenCV's
// (single thread, same window and border), at the sensor sizes 96 x 96 and
// 160 x 160. Each benchmark times both sides in the same loop and reports
// ours_us, opencv_us and ratio = ours / opencv (below 1: ours is faster).
// Without OpenCV only ours_us is reported.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqStretch.h"

#ifdef FPDEV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

struct Image {
  int side;
  std::vector<uint8_t> src, dst;
#ifdef FPDEV_HAVE_OPENCV
  cv::Mat cvSrc, cvDst;
#endif
  explicit Image(int n) : side(n), src(n * n), dst(n * n) {
    std::mt19937 rng(n);
    for (auto &v : src) v = static_cast<uint8_t>(rng());
#ifdef FPDEV_HAVE_OPENCV
    cvSrc = cv::Mat(n, n, CV_8UC1, src.data()).clone();
    cvDst = cv::Mat(n, n, CV_8UC1);
#endif
  }
};

using Clock = std::chrono::steady_clock;

double Seconds(const std::function<void()> &f) {
  auto t0 = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs ours and, with OpenCV, theirs once per iteration and reports both.
void Compare(benchmark::State &state, const std::function<void(Image &)> &ours,
             [[maybe_unused]] const std::function<void(Image &)> &theirs) {
  Image img(static_cast<int>(state.range(0)));
#ifdef FPDEV_HAVE_OPENCV
  cv::setNumThreads(1);
#endif
  double a = 0, b = 0;
  for (auto _ : state) {
    a += Seconds([&] { ours(img); });
    benchmark::DoNotOptimize(img.dst.data());
#ifdef FPDEV_HAVE_OPENCV
    b += Seconds([&] { theirs(img); });
    benchmark::DoNotOptimize(img.cvDst.data);
#endif
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_us"] = a / n * 1e6;
  if (b > 0) {
    state.counters["opencv_us"] = b / n * 1e6;
    state.counters["ratio"] = a / b;
  }
}

#ifdef FPDEV_HAVE_OPENCV
#define CV_CALL(expr) [](Image &img) { expr; }
#else
#define CV_CALL(expr) [](Image &) {}
#endif

void Sizes(benchmark::internal::Benchmark *b) { b->Arg(96)->Arg(160); }

void BM_Box5_Running(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqBoxFilter_8u_v2(img.src.data(), img.side, img.side, 5, img.dst.data(), 1);
          },
          CV_CALL(cv::boxFilter(img.cvSrc, img.cvDst, -1, cv::Size(5, 5), cv::Point(-1, -1), true,
                                cv::BORDER_REFLECT_101)));
}
BENCHMARK(BM_Box5_Running)->Apply(Sizes);

void BM_Box5_Integral(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqBoxFilter_u8(img.src.data(), img.side, img.side, 2, 2, img.dst.data());
          },
          CV_CALL(cv::boxFilter(img.cvSrc, img.cvDst, -1, cv::Size(5, 5), cv::Point(-1, -1), true,
                                cv::BORDER_REFLECT)));
}
BENCHMARK(BM_Box5_Integral)->Apply(Sizes);

void BM_Box5_MeanImage(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            MeanImage(img.src.data(), static_cast<uint16_t>(img.side),
                      static_cast<uint16_t>(img.side), 2, img.dst.data());
          },
          CV_CALL(cv::blur(img.cvSrc, img.cvDst, cv::Size(5, 5), cv::Point(-1, -1),
                           cv::BORDER_REFLECT_101)));
}
BENCHMARK(BM_Box5_MeanImage)->Apply(Sizes);

void BM_Median3(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqMedianFilter(img.src.data(), static_cast<uint16_t>(img.side),
                           static_cast<uint16_t>(img.side), 1, img.dst.data());
          },
          CV_CALL(cv::medianBlur(img.cvSrc, img.cvDst, 3)));
}
BENCHMARK(BM_Median3)->Apply(Sizes);

void BM_Median5(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqMedianFilter(img.src.data(), static_cast<uint16_t>(img.side),
                           static_cast<uint16_t>(img.side), 2, img.dst.data());
          },
          CV_CALL(cv::medianBlur(img.cvSrc, img.cvDst, 5)));
}
BENCHMARK(BM_Median5)->Apply(Sizes);

void BM_Gaussian5_8u(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqGaussianBlur_8u(img.src.data(), img.side, img.side, 5, nullptr, img.dst.data(), 0);
          },
          CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(5, 5), 0, 0,
                                   cv::BORDER_REFLECT_101)));
}
BENCHMARK(BM_Gaussian5_8u)->Apply(Sizes);

void BM_Gaussian5_Stretch(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqImgGaussianblur(img.src.data(), img.side, img.side, 5, nullptr, img.dst.data(), 0);
          },
          CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(5, 5), 0, 0,
                                   cv::BORDER_REFLECT_101)));
}
BENCHMARK(BM_Gaussian5_Stretch)->Apply(Sizes);

void BM_Gaussian9_8u(benchmark::State &state) {
  Compare(state,
          [](Image &img) {
            ZqGaussianBlur_8u(img.src.data(), img.side, img.side, 9, nullptr, img.dst.data(), 2.0f);
          },
          CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(9, 9), 2.0, 2.0,
                                   cv::BORDER_REFLECT_101)));
}
BENCHMARK(BM_Gaussian9_8u)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
