// Costs of the emulated bus as libusb sees it: a control transfer, a 64 KiB
// bulk transfer each way, and the CPU an idle event loop burns.
#include <benchmark/benchmark.h>
#include <libusb.h>
#include <sys/resource.h>

#include <chrono>
#include <stdexcept>
#include <memory>
#include <vector>

#include "emul/device_model.h"
#include "emul/testbed.h"

namespace {

using namespace std::chrono_literals;
using usb_emul::Reply;

constexpr uint8_t kBulkIn = 0x81, kBulkOut = 0x02;

// Answers one vendor request with 8 bytes and takes every OUT transfer.
class BenchModel : public usb_emul::DeviceModel {
 public:
  Reply Control(usb_emul::Device &, const usb_emul::SetupPacket &,
                std::span<const uint8_t>) override {
    return Reply::Ack({1, 2, 3, 4, 5, 6, 7, 8});
  }
};

// The one testbed of the process, made on first use, before libusb starts.
struct Bench {
  usb_emul::Testbed bed;
  std::shared_ptr<BenchModel> model = std::make_shared<BenchModel>();
  usb_emul::Device *dev = nullptr;
  libusb_context *ctx = nullptr;
  libusb_device_handle *handle = nullptr;

  Bench() {
    dev = &bed.AddDevice(
        usb_emul::DeviceDesc{
            .vendor_id = 0x3c5d,
            .product_id = 0x4842,
            .configurations = {{.interfaces = {{.endpoints = {{kBulkIn}, {kBulkOut}}}}}},
        },
        model);
    if (libusb_init(&ctx) != 0) throw std::runtime_error("libusb_init failed");
    handle = libusb_open_device_with_vid_pid(ctx, 0x3c5d, 0x4842);
    if (handle == nullptr || libusb_claim_interface(handle, 0) != 0)
      throw std::runtime_error("cannot open the emulated device");
  }
  ~Bench() {
    if (handle != nullptr) libusb_close(handle);
    if (ctx != nullptr) libusb_exit(ctx);
  }
};

Bench &B() {
  static Bench bench;
  return bench;
}

double CpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_ControlInRoundTrip(benchmark::State &state) {
  uint8_t in[8];
  for (auto _ : state) {
    int r = libusb_control_transfer(B().handle, 0xc0, 0x01, 0, 0, in, sizeof in, 1000);
    if (r != 8) state.SkipWithError("control transfer failed");
  }
}
BENCHMARK(BM_ControlInRoundTrip);

void BM_Bulk64KiBOut(benchmark::State &state) {
  std::vector<uint8_t> buf(65536, 0x5a);
  int actual = 0;
  for (auto _ : state) {
    if (libusb_bulk_transfer(B().handle, kBulkOut, buf.data(), 65536, &actual, 1000) != 0)
      state.SkipWithError("bulk OUT failed");
  }
  state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_Bulk64KiBOut);

void BM_Bulk64KiBIn(benchmark::State &state) {
  std::vector<uint8_t> data(65536, 0xa5), buf(65536);
  int actual = 0;
  for (auto _ : state) {
    B().dev->QueueIn(kBulkIn, data);
    if (libusb_bulk_transfer(B().handle, kBulkIn, buf.data(), 65536, &actual, 1000) != 0)
      state.SkipWithError("bulk IN failed");
  }
  state.SetBytesProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_Bulk64KiBIn);

void LIBUSB_CALL Ignore(libusb_transfer *t) { *static_cast<bool *>(t->user_data) = true; }

// An event loop waiting 200 ms for a read the device never answers. With the
// FIFO node it sleeps in poll(); cpu_ms is the process CPU time meanwhile.
void BM_IdleEventLoop200ms(benchmark::State &state) {
  uint8_t buf[64];
  bool done = false;
  libusb_transfer *t = libusb_alloc_transfer(0);
  libusb_fill_bulk_transfer(t, B().handle, kBulkIn, buf, sizeof buf, Ignore, &done, 0);
  if (libusb_submit_transfer(t) != 0) state.SkipWithError("submit failed");
  double cpu = 0;
  for (auto _ : state) {
    double start = CpuSeconds();
    auto end = std::chrono::steady_clock::now() + 200ms;
    while (std::chrono::steady_clock::now() < end) {
      timeval tv{0, 100000};
      libusb_handle_events_timeout_completed(B().ctx, &tv, nullptr);
    }
    cpu += CpuSeconds() - start;
  }
  state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000 / state.iterations());
  libusb_cancel_transfer(t);
  while (!done) libusb_handle_events_completed(B().ctx, nullptr);
  libusb_free_transfer(t);
}
BENCHMARK(BM_IdleEventLoop200ms)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
