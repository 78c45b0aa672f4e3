#include "quorvanta/driver_bench.h"

#include <glib.h>
#include <sys/time.h>

#include <chrono>

#include "bridge_emul/fw_files.h"

namespace quorvanta_test {

namespace {

void OnEnroll(fp_dev *, int result, fp_print_data *print, fp_img *img, void *data) {
  auto *out = static_cast<Outcome *>(data);
  out->results.push_back(result);
  if (print != nullptr) {
    fp_print_data_free(out->print);
    out->print = print;
  }
  fp_img_free(img);
}

void OnImg(fp_dev *, int result, fp_img *img, void *data) {
  static_cast<Outcome *>(data)->results.push_back(result);
  fp_img_free(img);
}

void OnIdentify(fp_dev *, int result, size_t offset, fp_img *img, void *data) {
  auto *out = static_cast<Outcome *>(data);
  out->results.push_back(result);
  out->offset = offset;
  fp_img_free(img);
}

void OnStop(fp_dev *, void *data) { ++static_cast<Outcome *>(data)->stops; }

}  // namespace

Outcome::~Outcome() { fp_print_data_free(print); }

DriverBench::DriverBench(const usb_emul::DeviceDesc &desc,
                         std::shared_ptr<usb_emul::DeviceModel> model) {
  bridge_emul::InstallFillerFirmware();
  device_ = &bed_.AddDevice(desc, std::move(model));
}

DriverBench::~DriverBench() {
  if (dev_ != nullptr) fp_dev_close(dev_);
  if (discovered_ != nullptr) fp_dscv_devs_free(discovered_);
  if (initialised_) fp_exit();
}

bool DriverBench::Open() {
  if (fp_init() != 0) return false;
  initialised_ = true;
  discovered_ = fp_discover_devs();
  if (discovered_ == nullptr || discovered_[0] == nullptr) return false;
  // The asynchronous open, as the service plug-in opens: the synchronous one
  // makes later identify stops skip the driver.
  struct Opened {
    fp_dev *dev = nullptr;
    int status = 1;
  } opened;
  auto on_open = [](fp_dev *dev, int status, void *data) {
    *static_cast<Opened *>(data) = {dev, status};
  };
  if (fp_async_dev_open(discovered_[0], on_open, &opened) != 0) return false;
  RunUntil([&] { return opened.status != 1; });
  if (opened.status != 0) {
    if (opened.dev != nullptr) fp_dev_close(opened.dev);
    return false;
  }
  dev_ = opened.dev;
  return true;
}

bool DriverBench::RunUntil(const std::function<bool()> &done, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    timeval tv{0, 10000};
    fp_handle_events_timeout(&tv);
  }
  return true;
}

void DriverBench::RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

int DriverBench::StartEnroll(Outcome *out) { return fp_async_enroll_start(dev_, OnEnroll, out); }
int DriverBench::StartVerify(fp_print_data *print, Outcome *out) {
  return fp_async_verify_start(dev_, print, OnImg, out);
}
int DriverBench::StartIdentify(fp_print_data **gallery, Outcome *out) {
  return fp_async_identify_start(dev_, gallery, OnIdentify, out);
}

bool DriverBench::StopEnroll(Outcome *out) {
  const int before = out->stops;
  if (fp_async_enroll_stop(dev_, OnStop, out) != 0) return false;
  return RunUntil([&] { return out->stops > before; });
}
bool DriverBench::StopVerify(Outcome *out) {
  const int before = out->stops;
  if (fp_async_verify_stop(dev_, OnStop, out) != 0) return false;
  return RunUntil([&] { return out->stops > before; });
}
bool DriverBench::StopIdentify(Outcome *out) {
  const int before = out->stops;
  if (fp_async_identify_stop(dev_, OnStop, out) != 0) return false;
  return RunUntil([&] { return out->stops > before; });
}

std::vector<uint8_t> TemplateItem(uint8_t slot, uint8_t type, const std::vector<uint8_t> &blob) {
  const uint32_t len = static_cast<uint32_t>(blob.size());
  std::vector<uint8_t> item(7 + blob.size());
  item[0] = slot;
  item[2] = type;
  for (int i = 0; i < 4; i++) item[3 + i] = static_cast<uint8_t>(len >> (8 * i));
  std::copy(blob.begin(), blob.end(), item.begin() + 7);
  return item;
}

fp_print_data *PrintWithItem(const std::vector<uint8_t> &bytes) {
  fp_print_data *print = fpi_print_data_new_fields(35, 0, FP_PRINT_DATA_MINUTIAE);
  fp_print_data_item *item = fpi_print_data_item_new(bytes.size());
  std::copy(bytes.begin(), bytes.end(), item->data);
  print->prints = g_slist_prepend(print->prints, item);
  return print;
}

}  // namespace quorvanta_test
