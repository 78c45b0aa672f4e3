// One identification at the driver's configuration against a store of 5
// fingers x 48 sub-templates enrolled from corpus presses (96x96): a genuine
// press (held out from its finger's enrolment; after the first run the
// match history puts its sub-template first, as for a user who identifies
// often; and with the history forgotten before every run, as for the first
// identification) and an impostor press, which is compared with every
// sub-template.
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "accuracy/corpus_press.h"
#include "accuracy/driver_algorithm.h"
#include "src/ZqAlg/quorv_action_mode.h"
#include "src/ZqAlg/ZqEnrollByTemplate.h"
#include "src/ZqAlg/ZqEnrollTemplate.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqMachInfo.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"

namespace {

constexpr int kFingers = 5;
constexpr int kSubTemplates = 48;
constexpr uint64_t kPopulation = 40;
const fingers::SensorSize kSize{96, 96};

accuracy::GrayImage PressImage(const fingers::MasterFinger &m, int k) {
  const fingers::Impression imp =
      fingers::Render(m, accuracy::CorpusPress(m, k, kSize, 20, 30));
  return accuracy::GrayImage{imp.frame.width, imp.frame.height, imp.frame.gray};
}

// The algorithm with the enrolled store, and the two probes.
struct Store {
  accuracy::DriverAlgorithm alg{kSize.width, kSize.height};
  accuracy::Sample genuine, impostor;
  int genuine_finger = 3;

  Store() {
    for (int f = 0; f < kFingers; ++f) {
      const fingers::MasterFinger m = fingers::MakeMaster(fingers::PopulationFinger(kPopulation, f));
      int16_t index = 0;
      for (int k = 0; index < kSubTemplates; ++k) {
        if (k > 4 * kSubTemplates) throw std::runtime_error("too few presses enrol");
        int code = 0;
        accuracy::Sample s = alg.Extract(PressImage(m, k), QUORV_ACTION_ENROLL, &code);
        uint8_t out = 0;
        if (s && ZqEnrollByTemplate(s.get(), static_cast<int16_t>(f), index, &out) == 0) ++index;
      }
      ZqSetTplValidFlag(static_cast<uint16_t>(f));
      if (f == genuine_finger) genuine = Probe(m, 4 * kSubTemplates + 1);
    }
    impostor = Probe(fingers::MakeMaster(fingers::PopulationFinger(kPopulation, kFingers)), 0);
    gQuorvActionMode = QUORV_ACTION_IDENTIFY;
  }

  accuracy::Sample Probe(const fingers::MasterFinger &m, int k) {
    int code = 0;
    accuracy::Sample s = alg.Extract(PressImage(m, k), QUORV_ACTION_IDENTIFY, &code);
    if (!s) throw std::runtime_error("probe extraction failed: " + std::to_string(code));
    return s;
  }
};

Store &TheStore() {
  static Store store;
  return store;
}

void Identify(benchmark::State &state, bool genuine, bool fresh_history) {
  Store &st = TheStore();
  const ST_SubTemplate *probe = genuine ? st.genuine.get() : st.impostor.get();
  int ret = 0;
  uint16_t fid = 255;
  for (auto _ : state) {
    if (fresh_history) ZqVerifyByTemplateResetForTest();
    ZqInitAutoMatchLevel();
    int16_t update = 0;
    ST_FullHMatrix h{};
    ret = ZqVerifyByTemplate(probe, &fid, &update, &h, 1);
    benchmark::DoNotOptimize(ret);
  }
  state.counters["result"] = ret;
  state.counters["finger"] = ret == 0 ? fid : -1;
  state.counters["best_score"] = gVerifyScores;
  if (genuine && (ret != 0 || fid != st.genuine_finger)) state.SkipWithError("genuine press not identified");
  if (!genuine && ret == 0) state.SkipWithError("impostor press accepted");
}

void BM_IdentifyGenuine(benchmark::State &state) { Identify(state, true, false); }
void BM_IdentifyGenuineFirst(benchmark::State &state) { Identify(state, true, true); }
void BM_IdentifyImpostor(benchmark::State &state) { Identify(state, false, false); }
BENCHMARK(BM_IdentifyGenuine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyGenuineFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdentifyImpostor)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
