// Blur and resize kernels of the image foundation at the scale-space image
// sizes (96 x 96 and 160 x 160), each beside OpenCV's equivalent when the
// benchmark is built with OpenCV (one thread, like ours). After the usual
// table a summary prints the time of each kernel over OpenCV's (ratio > 1:
// ours is slower).
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

#ifdef ZQ_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

const int kSizes[] = {96, 160};

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
  std::function<void(ST_Image *src, ST_Image *dst, ST_Image *pristine)> zq;
#ifdef ZQ_HAVE_OPENCV
  std::function<void(const cv::Mat &src, cv::Mat &dst)> cv;
#endif
};

std::vector<Kernel> Kernels() {
  std::vector<Kernel> k;
  // FastGaussBlur overwrites its source: each run starts from a fresh copy,
  // which is part of its time.
  auto fast = [](uint16_t level) {
    return [level](ST_Image *src, ST_Image *dst, ST_Image *pristine) {
      std::memcpy(src->imageData, pristine->imageData, static_cast<size_t>(src->imageSize));
      FastGaussBlur(src, dst, level, 0);
    };
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
               [](ST_Image *s, ST_Image *d, ST_Image *) { FastBoxBlurPass(s, d, 5); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::blur(s, d, cv::Size(5, 5)); }
#endif
  });
  k.push_back({"ZqGaussianSmooth_level5_19taps", DEPTH_32F, 1,
               [](ST_Image *s, ST_Image *d, ST_Image *) { ZqGaussianSmooth(s, d, 5); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::GaussianBlur(s, d, cv::Size(19, 19), kSigma5); }
#endif
  });
  k.push_back({"ZqResize_mode0_float_half", DEPTH_32F, 0.5,
               [](ST_Image *s, ST_Image *d, ST_Image *) { ZqResize(s, d, 0); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_NEAREST); }
#endif
  });
  k.push_back({"ZqResize_mode0_u8_three_quarters", DEPTH_8U, 0.75,
               [](ST_Image *s, ST_Image *d, ST_Image *) { ZqResize(s, d, 0); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_NEAREST); }
#endif
  });
  k.push_back({"ZqResize_mode2_float_double", DEPTH_32F, 2,
               [](ST_Image *s, ST_Image *d, ST_Image *) { ZqResize(s, d, 2); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_CUBIC); }
#endif
  });
  k.push_back({"ZqDoubleImageByCubic", DEPTH_32F, 2,
               [](ST_Image *s, ST_Image *d, ST_Image *) { ZqDoubleImageByCubic(s, d); }
#ifdef ZQ_HAVE_OPENCV
               , [](const cv::Mat &s, cv::Mat &d) { cv::resize(s, d, d.size(), 0, 0, cv::INTER_CUBIC); }
#endif
  });
  return k;
}

void Register() {
  for (const Kernel &kernel : Kernels()) {
    for (int n : kSizes) {
      const std::string base = std::string(kernel.name) + "/" + std::to_string(n);
      const int m = static_cast<int>(n * kernel.scale);
      benchmark::RegisterBenchmark((base + "/zq").c_str(), [kernel, n, m](benchmark::State &state) {
        ST_Image *src = RandomImage(n, n, kernel.depth);
        ST_Image *pristine = ZqCloneImage(src);
        ST_Image *dst = NewImage(m, m, kernel.depth);
        for (auto _ : state) {
          kernel.zq(src, dst, pristine);
          benchmark::DoNotOptimize(dst->imageData);
          benchmark::ClobberMemory();
        }
        ZqReleaseImage(&dst);
        ZqReleaseImage(&pristine);
        ZqReleaseImage(&src);
      });
#ifdef ZQ_HAVE_OPENCV
      benchmark::RegisterBenchmark((base + "/opencv").c_str(), [kernel, n, m](benchmark::State &state) {
        ST_Image *src = RandomImage(n, n, kernel.depth);
        cv::Mat s = Wrap(src);
        cv::Mat d(m, m, s.type());
        for (auto _ : state) {
          kernel.cv(s, d);
          benchmark::DoNotOptimize(d.data);
          benchmark::ClobberMemory();
        }
        ZqReleaseImage(&src);
      });
#endif
    }
  }
}

// The console table, then one line per kernel and size: our time, OpenCV's
// and their ratio.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.run_name.str();
      const size_t cut = name.rfind('/');
      ns_[name.substr(0, cut)][name.substr(cut + 1)] =
          run.real_accumulated_time / static_cast<double>(run.iterations) * 1e9;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    char line[160];
    std::snprintf(line, sizeof(line), "\n%-42s %12s %12s %8s\n", "kernel/size", "ours ns",
                  "OpenCV ns", "ratio");
    std::fputs(line, stdout);
    for (const auto &[kernel, times] : ns_) {
      auto zq = times.find("zq"), cv = times.find("opencv");
      if (zq == times.end()) continue;
      if (cv == times.end()) {
        std::snprintf(line, sizeof(line), "%-42s %12.0f %12s %8s\n", kernel.c_str(), zq->second,
                      "-", "-");
      } else {
        std::snprintf(line, sizeof(line), "%-42s %12.0f %12.0f %8.2f\n", kernel.c_str(),
                      zq->second, cv->second, zq->second / cv->second);
      }
      std::fputs(line, stdout);
    }
#ifndef ZQ_HAVE_OPENCV
    std::fputs("(built without OpenCV: no comparison)\n", stdout);
#endif
  }

 private:
  std::map<std::string, std::map<std::string, double>> ns_;
};

}  // namespace

int main(int argc, char **argv) {
#ifdef ZQ_HAVE_OPENCV
  cv::setNumThreads(1);  // ours run in one thread too
#endif
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
