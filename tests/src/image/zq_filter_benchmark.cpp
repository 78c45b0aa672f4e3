// Box, median and Gaussian filters of the image foundation beside OpenCV's
// (single thread, same window and border) at the sensor sizes 96 x 96 and
// 256 x 360; see zq_bench_compare.h for the counters and the summary.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "src/image/ZqBoxMean.h"
#include "src/image/ZqRankFilter.h"
#include "src/image/ZqSmooth.h"
#include "src/image/ZqStretch.h"
#include "zq_bench_compare.h"

namespace {

struct Image {
  int rows, cols;
  std::vector<uint8_t> src, dst;
#ifdef ZQ_HAVE_OPENCV
  cv::Mat cvSrc, cvDst;
#endif
  Image(int r, int c) : rows(r), cols(c), src(static_cast<size_t>(r) * c), dst(src.size()) {
    std::mt19937 rng(static_cast<uint32_t>(r * 1000 + c));
    for (auto &v : src) v = static_cast<uint8_t>(rng());
#ifdef ZQ_HAVE_OPENCV
    cvSrc = cv::Mat(r, c, CV_8UC1, src.data()).clone();
    cvDst = cv::Mat(r, c, CV_8UC1);
#endif
  }
};

#ifdef ZQ_HAVE_OPENCV
#define CV_CALL(expr) [](Image &img) { expr; }
#else
#define CV_CALL(expr) [](Image &) {}
#endif

using Call = std::function<void(Image &)>;

void Register(const char *name, Call ours, Call theirs) {
  for (zq_bench::Size s : zq_bench::kSizes) {
    const std::string key = std::string(name) + "/" + zq_bench::SizeName(s);
    benchmark::RegisterBenchmark(key.c_str(), [=](benchmark::State &state) {
      Image img(s.rows, s.cols);
      zq_bench::Compare(
          state, key, [] {}, [&] { ours(img); }, [&] { theirs(img); });
      benchmark::DoNotOptimize(img.dst.data());
    });
  }
}

void RegisterAll() {
  Register(
      "Box5_Running",
      [](Image &img) { ZqBoxFilter_8u_v2(img.src.data(), img.rows, img.cols, 5, img.dst.data(), 1); },
      CV_CALL(cv::boxFilter(img.cvSrc, img.cvDst, -1, cv::Size(5, 5), cv::Point(-1, -1), true,
                            cv::BORDER_REFLECT_101)));
  Register(
      "Box5_Integral",
      [](Image &img) { ZqBoxFilter_u8(img.src.data(), img.cols, img.rows, 2, 2, img.dst.data()); },
      CV_CALL(cv::boxFilter(img.cvSrc, img.cvDst, -1, cv::Size(5, 5), cv::Point(-1, -1), true,
                            cv::BORDER_REFLECT)));
  Register(
      "Box5_MeanImage",
      [](Image &img) {
        MeanImage(img.src.data(), static_cast<uint16_t>(img.cols), static_cast<uint16_t>(img.rows),
                  2, img.dst.data());
      },
      CV_CALL(cv::blur(img.cvSrc, img.cvDst, cv::Size(5, 5), cv::Point(-1, -1),
                       cv::BORDER_REFLECT_101)));
  Register(
      "Median3",
      [](Image &img) {
        ZqMedianFilter(img.src.data(), static_cast<uint16_t>(img.cols),
                       static_cast<uint16_t>(img.rows), 1, img.dst.data());
      },
      CV_CALL(cv::medianBlur(img.cvSrc, img.cvDst, 3)));
  Register(
      "Median5",
      [](Image &img) {
        ZqMedianFilter(img.src.data(), static_cast<uint16_t>(img.cols),
                       static_cast<uint16_t>(img.rows), 2, img.dst.data());
      },
      CV_CALL(cv::medianBlur(img.cvSrc, img.cvDst, 5)));
  Register(
      "Gaussian5_8u",
      [](Image &img) {
        ZqGaussianBlur_8u(img.src.data(), img.rows, img.cols, 5, nullptr, img.dst.data(), 0);
      },
      CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(5, 5), 0, 0,
                               cv::BORDER_REFLECT_101)));
  Register(
      "Gaussian5_Stretch",
      [](Image &img) {
        ZqImgGaussianblur(img.src.data(), img.rows, img.cols, 5, nullptr, img.dst.data(), 0);
      },
      CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(5, 5), 0, 0,
                               cv::BORDER_REFLECT_101)));
  Register(
      "Gaussian9_8u",
      [](Image &img) {
        ZqGaussianBlur_8u(img.src.data(), img.rows, img.cols, 9, nullptr, img.dst.data(), 2.0f);
      },
      CV_CALL(cv::GaussianBlur(img.cvSrc, img.cvDst, cv::Size(9, 9), 2.0, 2.0,
                               cv::BORDER_REFLECT_101)));
}

const bool kRegistered = (RegisterAll(), true);

}  // namespace

ZQ_BENCH_MAIN()
