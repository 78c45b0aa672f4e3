#include "framework/scripted_imaging_driver.h"

#include <algorithm>
#include <list>
#include <map>

namespace framework_test {

namespace {

const usb_id kIdTable[] = {
    {ScriptedImagingDriver::kVendor, ScriptedImagingDriver::kProduct, 0x5a},
    {0, 0, 0},
};

ScriptedImagingDriver *g_driver = nullptr;

struct Scheduled {
  fp_img_dev *imgdev;
  fpi_timeout *timeout;
  std::function<void()> run;
};
std::list<Scheduled> g_scheduled;
// The capture step of each device's current press.
std::map<fp_img_dev *, CaptureStep> g_current;
// Devices waiting for a finger while no press was queued.
std::vector<fp_img_dev *> g_waiting;

void Fire(void *data) {
  auto it = std::find_if(g_scheduled.begin(), g_scheduled.end(),
                         [data](const Scheduled &s) { return &s == data; });
  if (it == g_scheduled.end()) return;
  std::function<void()> run = std::move(it->run);
  g_scheduled.erase(it);
  run();
}

void Schedule(fp_img_dev *imgdev, std::function<void()> run) {
  g_scheduled.push_back({imgdev, nullptr, std::move(run)});
  Scheduled &s = g_scheduled.back();
  s.timeout = fpi_timeout_add(0, Fire, &s);
  if (s.timeout != nullptr) return;
  // Without a clock nothing can be deferred: the step runs at once.
  std::function<void()> now = std::move(s.run);
  g_scheduled.pop_back();
  now();
}

void CancelAll(fp_img_dev *imgdev) {
  for (auto it = g_scheduled.begin(); it != g_scheduled.end();) {
    if (it->imgdev == imgdev) {
      fpi_timeout_cancel(it->timeout);
      it = g_scheduled.erase(it);
    } else {
      ++it;
    }
  }
  g_current.erase(imgdev);
  std::erase(g_waiting, imgdev);
}

// Puts the next queued press on a device waiting for a finger.
void TakePress(fp_img_dev *imgdev) {
  ScriptedImagingDriver &d = *g_driver;
  g_current[imgdev] = std::move(d.presses.front());
  d.presses.pop_front();
  Schedule(imgdev, [imgdev] { fpi_imgdev_report_finger_status(imgdev, true); });
}

int Open(fp_img_dev *imgdev, unsigned long driver_data) {
  ScriptedImagingDriver &d = *g_driver;
  d.events.push_back("open " + std::to_string(driver_data));
  if (d.open_return != 0) return d.open_return;
  imgdev->priv = d.context;
  imgdev->dev->nr_enroll_stages = d.nr_enroll_stages;
  int status = d.open_status;
  Schedule(imgdev, [imgdev, status] { fpi_imgdev_open_complete(imgdev, status); });
  return 0;
}

void Close(fp_img_dev *imgdev) {
  g_driver->events.push_back("close");
  CancelAll(imgdev);
  Schedule(imgdev, [imgdev] { fpi_imgdev_close_complete(imgdev); });
}

int Activate(fp_img_dev *imgdev, fp_imgdev_state state) {
  ScriptedImagingDriver &d = *g_driver;
  d.events.push_back("activate " + std::to_string(state));
  if (d.activate_return != 0) return d.activate_return;
  int status = d.activate_status;
  Schedule(imgdev, [imgdev, status] { fpi_imgdev_activate_complete(imgdev, status); });
  return 0;
}

int ChangeState(fp_img_dev *imgdev, fp_imgdev_state state) {
  ScriptedImagingDriver &d = *g_driver;
  d.events.push_back("state " + std::to_string(state));
  switch (state) {
    case IMGDEV_STATE_AWAIT_FINGER_ON:
      if (d.presses.empty()) {
        g_waiting.push_back(imgdev);
      } else {
        TakePress(imgdev);
      }
      break;
    case IMGDEV_STATE_CAPTURE:
      Schedule(imgdev, [imgdev] {
        CaptureStep step = std::move(g_current[imgdev]);
        g_current.erase(imgdev);
        if (step) step(imgdev);
      });
      break;
    case IMGDEV_STATE_AWAIT_FINGER_OFF:
      Schedule(imgdev, [imgdev] { fpi_imgdev_report_finger_status(imgdev, false); });
      break;
    default:
      break;
  }
  return 0;
}

void Deactivate(fp_img_dev *imgdev) {
  g_driver->events.push_back("deactivate");
  CancelAll(imgdev);
  if (g_driver->complete_deactivation) {
    Schedule(imgdev, [imgdev] { fpi_imgdev_deactivate_complete(imgdev); });
  }
}

}  // namespace

void ScriptedImagingDriver::QueuePress(CaptureStep step) {
  presses.push_back(std::move(step));
  if (g_waiting.empty()) return;
  fp_img_dev *imgdev = g_waiting.front();
  g_waiting.erase(g_waiting.begin());
  TakePress(imgdev);
}

void ScriptedImagingDriver::QueueResult(int result) {
  QueuePress([result](fp_img_dev *imgdev) { fpi_imgdev_end_action(imgdev, result); });
}

size_t ScriptedImagingDriver::Pending() const { return g_scheduled.size(); }

int ScriptedImagingDriver::Count(const std::string &event) const {
  return static_cast<int>(std::count(events.begin(), events.end(), event));
}

ScriptedImagingDriver &Driver() {
  static ScriptedImagingDriver driver;
  return driver;
}

ImagingDeviceTest::ImagingDeviceTest(int devices, uint16_t driver_id)
    : devices_(devices), driver_id_(driver_id) {}

void ImagingDeviceTest::SetUp() {
  ScriptedImagingDriver &d = Driver();
  void *context = d.context;  // a fixture may set it before this runs
  d = ScriptedImagingDriver{};
  d.context = context;
  g_driver = &d;
  d.record.driver.id = driver_id_;
  d.record.driver.name = "scripted";
  d.record.driver.full_name = "Scripted imaging driver";
  d.record.driver.id_table = kIdTable;
  d.record.driver.type = DRIVER_IMAGING;
  d.record.driver.scan_type = FP_SCAN_TYPE_PRESS;
  d.record.img_width = -1;
  d.record.img_height = -1;
  d.record.open = Open;
  d.record.close = Close;
  d.record.activate = Activate;
  d.record.change_state = ChangeState;
  d.record.deactivate = Deactivate;

  for (int i = 0; i < devices_; ++i) {
    usb_emul::DeviceDesc desc{
        .vendor_id = ScriptedImagingDriver::kVendor,
        .product_id = ScriptedImagingDriver::kProduct,
        .address = static_cast<uint8_t>(2 + i),
        .configurations = {{.interfaces = {{.number = 0,
                                            .endpoints = {{0x81, usb_emul::TransferType::kBulk,
                                                           512}}}}}},
    };
    emulated_.push_back(&bed_.AddDevice(desc, std::make_shared<usb_emul::DeviceModel>()));
  }
  fp_set_debug(4);
  ASSERT_EQ(fp_init(), 0);
  fpi_register_img_driver(&d.record);
  discovered_ = fp_discover_devs();
  ASSERT_NE(discovered_, nullptr);
}

void ImagingDeviceTest::TearDown() {
  fp_dscv_devs_free(discovered_);
  fp_exit();
  g_scheduled.clear();
  g_current.clear();
  g_waiting.clear();
  Driver().context = nullptr;
}

fp_dscv_dev *ImagingDeviceTest::Discovered(size_t i) {
  for (size_t k = 0; k <= i; ++k) {
    if (discovered_[k] == nullptr) {
      ADD_FAILURE() << "only " << k << " devices discovered";
      return nullptr;
    }
  }
  return discovered_[i];
}

namespace {
void StoreOpened(fp_dev *dev, int status, void *user_data) {
  auto *out = static_cast<std::pair<fp_dev *, int> *>(user_data);
  *out = {dev, status};
}
}  // namespace

fp_dev *ImagingDeviceTest::OpenAsync(size_t i) {
  std::pair<fp_dev *, int> opened{nullptr, -1};
  EXPECT_EQ(fp_async_dev_open(Discovered(i), StoreOpened, &opened), 0);
  Drain();
  EXPECT_NE(opened.first, nullptr);
  EXPECT_EQ(opened.second, 0);
  return opened.first;
}

void ImagingDeviceTest::Step() {
  ASSERT_GT(Driver().Pending(), 0u) << "no step is due";
  timeval tv = {0, 0};
  ASSERT_EQ(fp_handle_events_timeout(&tv), 0);
}

void ImagingDeviceTest::Drain() {
  for (int guard = 0; Driver().Pending() > 0 && guard < 1000; ++guard) Step();
}

std::vector<std::string> LinesStartingWith(const std::vector<std::string> &lines,
                                           const std::string &prefix) {
  std::vector<std::string> out;
  for (const std::string &line : lines) {
    if (line.rfind(prefix, 0) == 0) out.push_back(line);
  }
  return out;
}

bool IsBugLine(const std::string &line, const std::string &head, const std::string &file) {
  std::string want = head + "BUG at " + file + ":";
  if (line.rfind(want, 0) != 0 || line.size() == want.size()) return false;
  return std::all_of(line.begin() + static_cast<long>(want.size()), line.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace framework_test
