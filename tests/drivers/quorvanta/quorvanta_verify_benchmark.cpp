// One verify press end to end through fp_* on the emulated 0x4842 bridge
// with the shipped sensor library: with the capture (finger poll, image
// read, standardisation, template load and identification as the caller
// waits for them) and without it (the library's identification of the
// captured frame alone); and one identify press of another finger over a
// gallery of 1, 10 and 100 stored prints of the enrolled finger, which
// matches none of them, so every batch of ten is tried.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bridge_emul/bridge_model.h"
#include "fingers/synth_fingers.h"
#include "quorvanta/driver_bench.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace {

using quorvanta_test::DriverBench;
using quorvanta_test::Outcome;

constexpr int kSide = 96;

std::vector<uint8_t> Press(const fingers::MasterFinger &m, int press, double dx, double dy) {
  return fingers::FullContactPress(m, press, dx, dy, 0.0, kSide, kSide).frame.gray;
}

// The device opened once, one finger enrolled.
struct Session {
  std::shared_ptr<bridge_emul::BridgeModel> bridge =
      std::make_shared<bridge_emul::BridgeModel>(bridge_emul::BridgeConfig{});
  DriverBench bench{bridge_emul::BridgeDesc(0x4842), bridge};
  fingers::MasterFinger finger = fingers::MakeMaster(fingers::PopulationFinger(4842, 0));
  fp_print_data *print = nullptr;
  std::vector<uint8_t> probe = Press(finger, 100, 5, -4);
  std::vector<uint8_t> stranger =
      Press(fingers::MakeMaster(fingers::PopulationFinger(4842, 1)), 0, 0, 0);
  bool ok = false;

  Session() {
    if (!bench.Open()) return;
    Outcome out;
    if (bench.StartEnroll(&out) != 0) return;
    for (int i = 0; i < 60 && (out.results.empty() || out.results.back() != 1); ++i) {
      const size_t before = out.results.size();
      bridge->Press(Press(finger, i, 14.0 * ((i % 5) - 2), 12.0 * (((i / 5) % 5) - 2)));
      if (!bench.RunUntil([&] { return out.results.size() > before; }, 20000)) return;
    }
    bench.StopEnroll(&out);
    print = out.print;
    out.print = nullptr;
    ok = print != nullptr;
  }
  ~Session() { fp_print_data_free(print); }

  // One verify press; its result (-1 when none came).
  int VerifyOnce() {
    Outcome out;
    if (bench.StartVerify(print, &out) != 0) return -1;
    bridge->Press(probe);
    bench.RunUntil([&] { return !out.results.empty(); }, 20000);
    bench.StopVerify(&out);
    return out.results.empty() ? -1 : out.results.back();
  }

  // One identify press of the stranger over `prints` copies of the print;
  // its result (-1 when none came).
  int IdentifyStrangerOnce(size_t prints) {
    std::vector<fp_print_data *> gallery(prints, print);
    gallery.push_back(nullptr);
    Outcome out;
    if (bench.StartIdentify(gallery.data(), &out) != 0) return -1;
    bridge->Press(stranger);
    bench.RunUntil([&] { return !out.results.empty(); }, 60000);
    bench.StopIdentify(&out);
    return out.results.empty() ? -1 : out.results.back();
  }
};

Session &TheSession() {
  static Session session;
  return session;
}

void BM_VerifyPressWithCapture(benchmark::State &state) {
  Session &s = TheSession();
  if (!s.ok) {
    state.SkipWithError("enrolment failed");
    return;
  }
  for (auto _ : state) {
    if (s.VerifyOnce() != 1) {
      state.SkipWithError("no match");
      return;
    }
  }
}
BENCHMARK(BM_VerifyPressWithCapture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_VerifyPressWithoutCapture(benchmark::State &state) {
  Session &s = TheSession();
  if (!s.ok || s.VerifyOnce() != 1 || g_fp_image_buf == nullptr) {
    state.SkipWithError("no matching verify to start from");
    return;
  }
  // The frame the library received from the capture, with the print still
  // loaded in the slots.
  const std::vector<uint8_t> frame(g_fp_image_buf->g_fpImageBuf,
                                   g_fp_image_buf->g_fpImageBuf + kSide * kSide);
  for (auto _ : state) {
    uint8_t fid = 0, upd = 0;
    if (quorv_IdentifyByImage(frame.data(), 2, &fid, &upd) != 0) {
      state.SkipWithError("no match");
      return;
    }
    benchmark::DoNotOptimize(fid);
  }
}
BENCHMARK(BM_VerifyPressWithoutCapture)->Unit(benchmark::kMillisecond);

void BM_IdentifyPressMatchingNothing(benchmark::State &state) {
  Session &s = TheSession();
  if (!s.ok) {
    state.SkipWithError("enrolment failed");
    return;
  }
  int result = -1;
  for (auto _ : state) result = s.IdentifyStrangerOnce(static_cast<size_t>(state.range(0)));
  state.counters["result"] = result;
  // FP_VERIFY_NO_MATCH
  if (result != 0) state.SkipWithError("not a plain no-match");
}
BENCHMARK(BM_IdentifyPressMatchingNothing)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
