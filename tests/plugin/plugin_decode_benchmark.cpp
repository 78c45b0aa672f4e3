// Decoding one stored template's text (354 KB and 607 KB of base64, the
// sizes of a 12 and a 48 sub-template print) with the service's
// bio_base64_decode and with the plug-in's own decoder side by side, and
// the plug-in's whole reading of one stored sample into a print (decoding,
// the copy step and a parser that only counts).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "biometric_common.h"
#include "biometric_storage.h"
#include "plugin/community_ops.h"
#include "plugin/community_store.h"
#include "plugin/stored_feature_fixture.h"

namespace {

// A text of `base64_kb` KB of base64 encoding pseudo-random bytes.
std::string StoredText(int base64_kb) {
  const size_t bytes = static_cast<size_t>(base64_kb) * 1024 / 4 * 3;
  std::vector<unsigned char> raw(bytes);
  uint32_t x = 2842;
  for (unsigned char &b : raw) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(x >> 24);
  }
  std::vector<char> text(bytes / 3 * 4 + 8, '\0');
  bio_base64_encode(raw.data(), text.data(), static_cast<int>(raw.size()));
  return std::string(text.data());
}

void BM_ServiceDecode(benchmark::State &state) {
  std::string text = StoredText(static_cast<int>(state.range(0)));
  std::vector<unsigned char> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(bio_base64_decode(text.data(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ServiceDecode)->Arg(354)->Arg(607)->Unit(benchmark::kMillisecond);

void BM_PluginDecode(benchmark::State &state) {
  const std::string text = StoredText(static_cast<int>(state.range(0)));
  std::vector<unsigned char> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(community_internal_base64_decode(text.data(), text.size(), out.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_PluginDecode)->Arg(354)->Arg(607)->Unit(benchmark::kMillisecond);

int gParsedBytes = 0;
struct fp_print_data *CountingParser(unsigned char *, size_t len) {
  gParsedBytes = static_cast<int>(len);
  return reinterpret_cast<struct fp_print_data *>(&gParsedBytes);
}
void NoFree(struct fp_print_data *) {}

void BM_PluginReadStoredSample(benchmark::State &state) {
  const std::string text = StoredText(static_cast<int>(state.range(0)));
  testing_support::StoredFeatureFixture stored("bench-key", CountingParser, NoFree, {text});
  for (auto _ : state) {
    struct fp_print_data **gallery = community_internal_create_fp_data(stored.dev(), stored.feature());
    benchmark::DoNotOptimize(gallery);
    community_internal_free_fp_data(stored.dev(), gallery);
  }
  state.counters["bytes"] = gParsedBytes;
}
BENCHMARK(BM_PluginReadStoredSample)->Arg(354)->Arg(607)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
