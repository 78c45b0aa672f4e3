// Side-by-side timing of an image-foundation kernel and OpenCV's equivalent
// (one thread), shared by the image benchmarks. Each iteration times both
// calls alone with the same clock; any preparation (such as refreshing a
// source that a kernel overwrites) happens outside both timings. Every
// benchmark reports ours_us, opencv_us and ratio = ours / OpenCV (above 1:
// ours is slower), and after all runs, also when only aggregates are
// reported, ZQ_BENCH_MAIN prints one summary line per kernel and size.
// Built without OpenCV, only ours_us is reported.
#ifndef TESTS_SRC_IMAGE_ZQ_BENCH_COMPARE_H_
#define TESTS_SRC_IMAGE_ZQ_BENCH_COMPARE_H_

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

#ifdef ZQ_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace zq_bench {

// The sensor sizes every kernel runs at: rows x cols.
struct Size {
  int rows, cols;
};
inline constexpr Size kSizes[] = {{96, 96}, {360, 256}};

inline std::string SizeName(Size s) {
  return std::to_string(s.cols) + "x" + std::to_string(s.rows);
}

// Seconds and calls summed over every run of one kernel and size.
struct Totals {
  double ours = 0, theirs = 0;
  double calls = 0;
};
inline std::map<std::string, Totals> &Table() {
  static std::map<std::string, Totals> table;
  return table;
}

// Seconds taken by f().
template <typename F>
double Time(F &&f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Per iteration: prepare(), then ours() timed, then prepare(), then
// theirs() timed (OpenCV builds only).
template <typename Prepare, typename Ours, typename Theirs>
void Compare(benchmark::State &state, const std::string &key, Prepare prepare, Ours ours,
             [[maybe_unused]] Theirs theirs) {
  double a = 0, b = 0;
  for (auto _ : state) {
    prepare();
    a += Time(ours);
#ifdef ZQ_HAVE_OPENCV
    prepare();
    b += Time(theirs);
#endif
    benchmark::ClobberMemory();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_us"] = a / n * 1e6;
  Totals &t = Table()[key];
  t.ours += a;
  t.calls += n;
  if (b > 0) {
    state.counters["opencv_us"] = b / n * 1e6;
    state.counters["ratio"] = a / b;
    t.theirs += b;
  }
}

// The summary: kernel/size, our and OpenCV's mean microseconds, ratio.
inline void PrintSummary() {
  char line[200];
  std::snprintf(line, sizeof(line), "\n%-44s %10s %10s %7s\n", "kernel/size", "ours us",
                "OpenCV us", "ratio");
  std::fputs(line, stdout);
  double worst = 0;
  for (const auto &[key, t] : Table()) {
    if (t.calls == 0) continue;
    if (t.theirs > 0) {
      const double ratio = t.ours / t.theirs;
      worst = ratio > worst ? ratio : worst;
      std::snprintf(line, sizeof(line), "%-44s %10.2f %10.2f %7.2f\n", key.c_str(),
                    t.ours / t.calls * 1e6, t.theirs / t.calls * 1e6, ratio);
    } else {
      std::snprintf(line, sizeof(line), "%-44s %10.2f %10s %7s\n", key.c_str(),
                    t.ours / t.calls * 1e6, "-", "-");
    }
    std::fputs(line, stdout);
  }
#ifdef ZQ_HAVE_OPENCV
  std::snprintf(line, sizeof(line), "largest ratio: %.2f\n", worst);
  std::fputs(line, stdout);
#else
  std::fputs("(built without OpenCV: no comparison)\n", stdout);
#endif
}

}  // namespace zq_bench

// main(): OpenCV on one thread, the benchmarks, then the summary.
#ifdef ZQ_HAVE_OPENCV
#define ZQ_BENCH_SINGLE_THREAD() cv::setNumThreads(1)
#else
#define ZQ_BENCH_SINGLE_THREAD() (void)0
#endif
#define ZQ_BENCH_MAIN()                                                  \
  int main(int argc, char **argv) {                                      \
    ZQ_BENCH_SINGLE_THREAD();                                            \
    benchmark::Initialize(&argc, argv);                                  \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;   \
    benchmark::RunSpecifiedBenchmarks();                                 \
    benchmark::Shutdown();                                               \
    zq_bench::PrintSummary();                                            \
    return 0;                                                            \
  }

#endif  // TESTS_SRC_IMAGE_ZQ_BENCH_COMPARE_H_
