// Blur and resize kernels of the image foundation at the sensor sizes
// (96 x 96 and 256 x 360), each beside OpenCV's equivalent when the
// benchmark is built with OpenCV (one thread, like ours); see
// zq_bench_compare.h for the counters and the summary.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "src/image/ZqFastGaussBlur.h"
#include "src/image/ZqGaussSmooth.h"
#include "src/image/ZqImage.h"
#include "src/image/ZqImgResize.h"

#include "zq_bench_compare.h"

namespace {

// Scale-space sigmas of levels 1 and 5.
constexpr double kSigma1 = 1.2263, kSigma5 = 3.0900;

ST_Image *NewImage(int rows, int cols, int32_t depth) {
  ST_Size size = {rows, cols};
  ST_Image *img = ZqCreateImage(&size, depth);
  if (img == nullptr) std::abort();
  return img;
}

// A float (or 8-bit) image of random grey levels.
ST_Image *RandomImage(int rows, int cols, int32_t depth) {
  ST_Image *img = NewImage(rows, cols, depth);
  std::mt19937 rng(rows * 31 + cols);
  std::uniform_real_distribution<float> grey(0.0f, 255.0f);
  for (int r = 0; r < rows; ++r) {
    uint8_t *row = img->imageData + static_cast<size_t>(r) * img->rowBytes;
    for (int c = 0; c < cols; ++c) {
      if (depth == DEPTH_32F) reinterpret_cast<float *>(row)[c] = grey(rng);
      else row[c] = static_cast<uint8_t>(grey(rng));
    }
  }
  return img;
}

#ifdef ZQ_HAVE_OPENCV
cv::Mat Wrap(const ST_Image *img) {
  return cv::Mat(img->height, img->width, img->depth == DEPTH_32F ? CV_32F : CV_8U,
                 img->imageData, static_cast<size_t>(img->rowBytes));
}
#endif

// One kernel at one size: a source, a target and the two ways to run it.
struct Kernel {
  const char *name;
  int32_t depth;
  double scale;  // target size over source size
  std::function<void(ST_Image *src, ST_Image *dst)> zq;
#ifdef ZQ_HAVE_OPENCV
  std::function<void(const cv::Mat &src, cv::Mat &dst)> cv;
#endif
};

std::vector<Kernel> Kernels() {
  std::vector<Kernel> k;
  // FastGaussBlur overwrites its source (refreshed outside the timings).
  auto fast = [](uint16_t level) {
    return [level](ST_Image *src, ST_Image *dst) { FastGaussBlur(src, dst, level, 0); };
  };
  k.push_back({"FastGaussBlur_level1_4passes", DEPTH_32F, 1, fast(1)
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::GaussianBlur(s, d, cv::Size(0, 0), kSigma1); }
#endif
  });
  k.push_back({"FastGaussBlur_level5_3passes", DEPTH_32F, 1, fast(5)
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::GaussianBlur(s, d, cv::Size(0, 0), kSigma5); }
#endif
  });
  k.push_back({"FastBoxBlurPass_5x5", DEPTH_32F, 1,
               [](ST_Image *s, ST_Image *d) { FastBoxBlurPass(s, d, 5); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::blur(s, d, cv::Size(5, 5)); }
#endif
  });
  k.push_back({"ZqGaussianSmooth_level5_19taps", DEPTH_32F, 1,
               [](ST_Image *s, ST_Image *d) { ZqGaussianSmooth(s, d, 5); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::GaussianBlur(s, d, cv::Size(19, 19), kSigma5); }
#endif
  });
  k.push_back({"ZqResize_mode0_float_half", DEPTH_32F, 0.5,
               [](ST_Image *s, ST_Image *d) { ZqResize(s, d, 0); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_NEAREST); }
#endif
  });
  k.push_back({"ZqResize_mode0_u8_three_quarters", DEPTH_8U, 0.75,
               [](ST_Image *s, ST_Image *d) { ZqResize(s, d, 0); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_NEAREST); }
#endif
  });
  k.push_back({"ZqResize_mode2_float_double", DEPTH_32F, 2,
               [](ST_Image *s, ST_Image *d) { ZqResize(s, d, 2); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_CUBIC); }
#endif
  });
  k.push_back({"ZqDoubleImageByCubic", DEPTH_32F, 2,
               [](ST_Image *s, ST_Image *d) { ZqDoubleImageByCubic(s, d); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_CUBIC); }
#endif
  });
  return k;
}

void Register() {
  for (const Kernel &kernel : Kernels()) {
    for (zq_bench::Size size : zq_bench::kSizes) {
      const std::string key = std::string(kernel.name) + "/" + zq_bench::SizeName(size);
      const int rows = size.rows, cols = size.cols;
      const int m = static_cast<int>(rows * kernel.scale), n = static_cast<int>(cols * kernel.scale);
      benchmark::RegisterBenchmark(key.c_str(), [kernel, key, rows, cols, m, n](benchmark::State &state) {
        ST_Image *src = RandomImage(rows, cols, kernel.depth);
        ST_Image *pristine = ZqCloneImage(src);
        ST_Image *dst = NewImage(m, n, kernel.depth);
#ifdef ZQ_HAVE_OPENCV
        cv::Mat s = Wrap(src);
        cv::Mat d(m, n, s.type());
#endif
        // A kernel that overwrites its source starts each run from a fresh
        // copy, made outside the timings.
        zq_bench::Compare(
            state, key,
            [&] { std::memcpy(src->imageData, pristine->imageData, static_cast<size_t>(src->imageSize)); },
            [&] { kernel.zq(src, dst); },
            [&] {
#ifdef ZQ_HAVE_OPENCV
              kernel.cv(s, d);
#endif
            });
        benchmark::DoNotOptimize(dst->imageData);
        ZqReleaseImage(&dst);
        ZqReleaseImage(&pristine);
        ZqReleaseImage(&src);
      });
    }
  }
}

const bool kRegistered = (Register(), true);

}  // namespace

ZQ_BENCH_MAIN()
