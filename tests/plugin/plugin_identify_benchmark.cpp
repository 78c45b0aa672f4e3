// The plug-in's identify operation over 10 stored prints of 48
// sub-templates each (607 KB of stored text apiece) on the scripted device
// library, which answers "no match" at once: the cost is the plug-in's own
// (reading the features, decoding every stored sample, building the
// gallery, the operation's waits and results).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "plugin/operation_fixture.h"
#include "support/private_tmp.h"

namespace {

using plugin_test::ServiceHost;

constexpr int kPrints = 10;
// The template item of a 48 sub-template print: 455 KB, 607 KB as text.
constexpr size_t kItemBytes = 455 * 1024;

struct Service {
  std::string why;
  fake_fpdev_script *fake = nullptr;
  std::unique_ptr<ServiceHost> host;

  Service() {
    why = testing_support::MountPrivateServiceDatabase();
    if (!why.empty()) return;
    fake = fake_fpdev_control();
    *fake = fake_fpdev_script{};
    fake->driver_ids[fake->nr_devices++] = 35;
    fake->nr_enroll_stages = 12;
    std::snprintf(fake->finger, sizeof fake->finger, "%s", "abc");
    host = std::make_unique<ServiceHost>();
    if (community_ops_open(host->dev()) != 0) {
      why = "the device did not open";
      return;
    }
    std::string item(kItemBytes, '\0');
    for (size_t i = 0; i < item.size(); ++i) item[i] = static_cast<char>(i * 131 + 7);
    for (int f = 0; f < kPrints; ++f) {
      item[0] = static_cast<char>(f);
      plugin_test::StoreFeature(1000, f, "finger " + std::to_string(f),
                                plugin_test::StoredText(item));
    }
  }
};

void BM_PluginIdentifyTenStoredPrints(benchmark::State &state) {
  static Service service;
  if (!service.why.empty()) {
    state.SkipWithError(service.why.c_str());
    return;
  }
  int gallery = 0;
  for (auto _ : state) {
    service.fake->nr_identify_steps = 1;
    service.fake->identify_steps[0] = {0, 0};  // no match
    if (community_ops_identify(service.host->dev(), ACTION_START, 1000, 0, -1) != -1) {
      state.SkipWithError("not a plain no-match");
      return;
    }
    gallery = service.fake->identify_gallery_size;
  }
  state.counters["gallery"] = gallery;
}
BENCHMARK(BM_PluginIdentifyTenStoredPrints)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
