// Held-out rates of the fitted no-finger tables: for every table set and
// sensor size, the share of finger presses kept and of non-finger frames
// rejected at the default threshold 0.7, on frames of seed 2001 (the
// fitting used seed 1, the test seed 1001). Run once per set:
//   zq_nonfinger_fitted_benchmark
// prints a table of the rates (per size and per non-finger kind) and gives
// them as counters; the time is that of NonFingerDetect per frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "src/enhance/ZqNonFingerDetect.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "tools/nonfinger_corpus.h"

namespace {

constexpr nonfinger_corpus::CorpusShape kHeldOut{2001, 20, 5, 12};

void BM_NonFingerHeldOut(benchmark::State &state) {
  const int set = static_cast<int>(state.range(0));
  const nonfinger_corpus::NetSetSelector sel = nonfinger_corpus::NetSetSelectorOf(set);
  SetSensorName(sel.sensor_name);
  SetModuleType(sel.module_type);
  SetNoneFingerThr(sel.none_finger_type, 0.7f);
  std::vector<int> fingers_n(nonfinger_corpus::kSizes), kept(nonfinger_corpus::kSizes);
  std::vector<int> others_n(nonfinger_corpus::kSizes), rejected(nonfinger_corpus::kSizes);
  std::vector<int> kind_n(fingers::kNonFingerKinds), kind_rejected(fingers::kNonFingerKinds);
  double seconds = 0;
  int frames = 0;
  for (auto _ : state) {
    nonfinger_corpus::ForEachFrame(set, kHeldOut, [&](const nonfinger_corpus::CorpusFrame &f) {
      float p = 0;
      const auto t0 = std::chrono::steady_clock::now();
      const int32_t ret = NonFingerDetect(f.frame->gray.data(), static_cast<uint16_t>(f.frame->width),
                                          static_cast<uint16_t>(f.frame->height), &p);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      ++frames;
      if (f.finger) {
        ++fingers_n[f.size];
        kept[f.size] += ret == 0;
      } else {
        ++others_n[f.size];
        rejected[f.size] += ret == -5;
        ++kind_n[f.kind];
        kind_rejected[f.kind] += ret == -5;
      }
    });
  }
  state.SetIterationTime(seconds);
  const char *name = set == 0 ? "default" : nonfinger_corpus::NetSetSuffix(set) + 1;
  std::string report = std::string("no-finger set ") + name + " (held-out seed 2001, threshold 0.7)\n";
  char line[160];
  int all_f = 0, all_k = 0, all_o = 0, all_r = 0;
  for (int z = 0; z < nonfinger_corpus::kSizes; ++z) {
    const double keep = 100.0 * kept[z] / fingers_n[z], reject = 100.0 * rejected[z] / others_n[z];
    snprintf(line, sizeof line, "  %3dx%-3d  fingers kept %6.2f %% of %4d   non-fingers rejected %6.2f %% of %4d\n",
             fingers::kSensorSizes[z].width, fingers::kSensorSizes[z].height, keep, fingers_n[z], reject,
             others_n[z]);
    report += line;
    const std::string size =
        std::to_string(fingers::kSensorSizes[z].width) + "x" + std::to_string(fingers::kSensorSizes[z].height);
    state.counters["keep_" + size] = keep;
    state.counters["reject_" + size] = reject;
    all_f += fingers_n[z];
    all_k += kept[z];
    all_o += others_n[z];
    all_r += rejected[z];
  }
  report += "  rejected by kind:";
  for (int k = 0; k < fingers::kNonFingerKinds; ++k) {
    snprintf(line, sizeof line, " %s %.0f %%", fingers::NonFingerKindName(static_cast<fingers::NonFingerKind>(k)),
             100.0 * kind_rejected[k] / kind_n[k]);
    report += line;
  }
  report += "\n";
  fputs(report.c_str(), stdout);
  state.counters["keep"] = 100.0 * all_k / all_f;
  state.counters["reject"] = 100.0 * all_r / all_o;
  state.counters["us_per_frame"] = 1e6 * seconds / frames;
  NonFingerSettingsResetForTest();
}
BENCHMARK(BM_NonFingerHeldOut)->DenseRange(0, nonfinger_corpus::kNetSets - 1)->Iterations(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
