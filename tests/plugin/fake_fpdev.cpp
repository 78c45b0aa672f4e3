#include "plugin/fake_fpdev.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct fp_dev {
  int index;
};
struct fp_dscv_dev {
  int index;
};
struct fp_driver {
  uint16_t id;
  char name[32];
};
struct fp_print_data {
  uint16_t driver_id;
  uint32_t devtype;
  uint8_t type;
  std::vector<std::string> items;  // list order
};
struct fp_img;

typedef void (*enroll_stage_cb)(fp_dev *, int, fp_print_data *, fp_img *, void *);
typedef void (*identify_cb)(fp_dev *, int, size_t, fp_img *, void *);

namespace {

constexpr uint16_t kDriverId = 35;
constexpr int kComplete = 1;
constexpr int kPass = 3;
constexpr int kNoReport = -1000;

fake_fpdev_script g_control;
fp_dev g_devices[FAKE_FPDEV_MAX_DEVICES];
bool g_open[FAKE_FPDEV_MAX_DEVICES];
fp_dscv_dev g_discovered[FAKE_FPDEV_MAX_DEVICES];
fp_driver g_drivers[FAKE_FPDEV_MAX_DEVICES];

// The running enrolment or identification.
struct Running {
  fp_dev *dev = nullptr;
  enroll_stage_cb enroll = nullptr;
  identify_cb identify = nullptr;
  void *data = nullptr;
  int next_stage = 0;
  bool identify_reported = false;
  fake_fpdev_identify_step step{kNoReport, 0};
  std::vector<std::string> gallery;
} g_running;

[[noreturn]] void crash(const char *what, const char *fn) {
  std::fprintf(stderr, "fake_fpdev: %s: %s\n", fn, what);
  std::abort();
}

// One thread drives the library at a time; the calls it makes from inside
// a call (callbacks calling back) are its own.
std::mutex g_driving_mutex;
std::thread::id g_driver;
int g_depth = 0;
const char *g_driving = "";

class Driving {
 public:
  explicit Driving(const char *fn) {
    std::lock_guard<std::mutex> lock(g_driving_mutex);
    if (g_depth > 0 && g_driver != std::this_thread::get_id()) {
      std::fprintf(stderr, "fake_fpdev: %s called on a second thread while %s runs\n", fn,
                   g_driving);
      std::abort();
    }
    g_driver = std::this_thread::get_id();
    if (g_depth++ == 0) g_driving = fn;
  }
  ~Driving() {
    std::lock_guard<std::mutex> lock(g_driving_mutex);
    --g_depth;
  }
};

// Aborts unless `dev` is a device of the fake that is open.
void require_open(const fp_dev *dev, const char *fn) {
  if (dev < g_devices || dev >= g_devices + FAKE_FPDEV_MAX_DEVICES) crash("not a device", fn);
  if (!g_open[dev - g_devices]) crash("device used after fp_dev_close", fn);
}

void copy_text(char *dst, const std::string &src) {
  std::snprintf(dst, FAKE_FPDEV_MAX_TEXT, "%s", src.c_str());
}

std::string first_item(const fp_print_data *print) {
  if (print == nullptr || print->items.empty()) return {};
  return print->items.front();
}

// Copies the first items of a NULL-terminated gallery into `out`.
int record_gallery(fp_print_data **gallery, char (*out)[FAKE_FPDEV_MAX_TEXT]) {
  int n = 0;
  for (; gallery != nullptr && gallery[n] != nullptr; ++n)
    if (n < FAKE_FPDEV_MAX_GALLERY) copy_text(out[n], first_item(gallery[n]));
  return n;
}

// Reads the script file named by FAKE_FPDEV_SCRIPT, when there is one.
void load_script_file() {
  const char *path = std::getenv("FAKE_FPDEV_SCRIPT");
  if (path == nullptr) return;
  std::ifstream in(path);
  std::string line;
  g_control.sleep_in_poll = 1;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "devices") {
      g_control.nr_devices = 0;
      int id;
      while (words >> id && g_control.nr_devices < FAKE_FPDEV_MAX_DEVICES)
        g_control.driver_ids[g_control.nr_devices++] = static_cast<uint16_t>(id);
    } else if (key == "stages") {
      words >> g_control.nr_enroll_stages;
    } else if (key == "finger") {
      std::string text;
      words >> text;
      copy_text(g_control.finger, text);
    }
  }
}

fp_print_data *new_print(const std::string &item) {
  auto *print = new fp_print_data{kDriverId, 0, 1, {item}};
  ++g_control.prints_alive;
  return print;
}

void put_le(std::vector<unsigned char> &out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

uint32_t get_le(const unsigned char *p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

// Runs the stops due in this poll.
void run_pending_stops() {
  for (auto &p : g_control.pending) {
    if (p.cb == nullptr || --p.polls_left > 0) continue;
    fake_fpdev_stop_cb cb = p.cb;
    p.cb = nullptr;
    if (p.enroll) g_control.enroll_stopped_at_poll = g_control.poll_calls;
    cb(nullptr, p.data);
  }
}

void queue_stop(fake_fpdev_stop_cb cb, void *data, int polls, int enroll) {
  for (auto &p : g_control.pending) {
    if (p.cb != nullptr) continue;
    p = {cb, data, polls, enroll};
    return;
  }
  std::abort();
}

// The unplug error, once, to the running enrolment or identification.
// True when the device is unplugged (nothing else is reported then).
bool report_unplugged() {
  if (!g_control.unplugged) return false;
  int error = g_control.unplug_error;
  if (error == 0) return true;
  g_control.unplug_error = 0;
  if (g_running.enroll != nullptr) {
    g_running.enroll(g_running.dev, error, nullptr, nullptr, g_running.data);
  } else if (g_running.identify != nullptr && !g_running.identify_reported) {
    g_running.identify_reported = true;
    g_running.identify(g_running.dev, error, 0, nullptr, g_running.data);
  }
  return true;
}

void report_enroll_stage() {
  if (g_running.enroll == nullptr) return;
  int n = g_control.nr_enroll_results;
  int stage = g_running.next_stage;
  int result;
  if (n > 0) {
    if (stage >= n) return;
    result = g_control.enroll_results[stage];
  } else {
    result = stage + 1 < g_control.nr_enroll_stages ? kPass : kComplete;
    if (stage >= g_control.nr_enroll_stages) return;
  }
  ++g_running.next_stage;
  fp_print_data *print = nullptr;
  if (result == kComplete && !g_control.complete_without_print) print = new_print(g_control.finger);
  g_running.enroll(g_running.dev, result, print, nullptr, g_running.data);
}

void report_identify() {
  if (g_running.identify == nullptr || g_running.identify_reported) return;
  fake_fpdev_identify_step step = g_running.step;
  if (step.result == kNoReport) return;
  g_running.identify_reported = true;
  if (step.result == 1) {
    std::string matched =
        step.offset < g_running.gallery.size() ? g_running.gallery[step.offset] : "unknown";
    copy_text(g_control.last_match, matched);
  }
  g_running.identify(g_running.dev, step.result, step.offset, nullptr, g_running.data);
}

// The outcome of an unscripted identification: the finger against the
// gallery.
fake_fpdev_identify_step match_finger() {
  std::string finger = g_control.finger;
  if (finger.empty()) return {kNoReport, 0};
  for (size_t i = 0; i < g_running.gallery.size(); ++i)
    if (g_running.gallery[i].compare(0, finger.size(), finger) == 0) return {1, i};
  return {0, 0};
}

}  // namespace

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT fake_fpdev_script *fake_fpdev_control(void) { return &g_control; }

FAKE_EXPORT fp_dev *fake_fpdev_handle(int i) { return &g_devices[i]; }

FAKE_EXPORT const char *fake_fpdev_driver_name(uint16_t id) {
  static char name[32];
  std::snprintf(name, sizeof name, "Fake driver %u", static_cast<unsigned>(id));
  return name;
}

FAKE_EXPORT fp_print_data *fake_fpdev_print(const char *text) { return new_print(text); }

FAKE_EXPORT int fp_init(void) {
  Driving driving(__func__);
  load_script_file();
  g_running = Running{};
  if (g_control.initialised) ++g_control.init_while_initialised;
  g_control.initialised = 1;
  ++g_control.init_calls;
  return 0;
}

FAKE_EXPORT void fp_exit(void) {
  Driving driving(__func__);
  if (!g_control.initialised) ++g_control.exit_without_init;
  // The library's state goes: stops still pending never complete.
  for (auto &p : g_control.pending) p.cb = nullptr;
  g_running = Running{};
  g_control.initialised = 0;
  ++g_control.exit_calls;
}

FAKE_EXPORT fp_dscv_dev **fp_discover_devs(void) {
  Driving driving(__func__);
  if (g_control.discover_returns_null) return nullptr;
  int n = g_control.unplugged ? 0 : g_control.nr_devices;
  auto **list = static_cast<fp_dscv_dev **>(
      std::calloc(static_cast<size_t>(n) + 1, sizeof(fp_dscv_dev *)));
  for (int i = 0; i < n; ++i) {
    g_discovered[i].index = i;
    list[i] = &g_discovered[i];
  }
  return list;
}

FAKE_EXPORT void fp_dscv_devs_free(fp_dscv_dev **devs) { std::free(devs); }

FAKE_EXPORT fp_driver *fp_dscv_dev_get_driver(fp_dscv_dev *dev) {
  fp_driver *driver = &g_drivers[dev->index];
  driver->id = g_control.driver_ids[dev->index];
  std::snprintf(driver->name, sizeof driver->name, "%s", fake_fpdev_driver_name(driver->id));
  return driver;
}

FAKE_EXPORT uint16_t fp_driver_get_driver_id(fp_driver *drv) { return drv->id; }

FAKE_EXPORT const char *fp_driver_get_full_name(fp_driver *drv) { return drv->name; }

FAKE_EXPORT const void *fp_driver_get_id_table(fp_driver *) { return nullptr; }

FAKE_EXPORT fp_dev *fp_dev_open(fp_dscv_dev *ddev) {
  Driving driving(__func__);
  if (g_control.open_fails[ddev->index]) return nullptr;
  g_devices[ddev->index].index = ddev->index;
  g_open[ddev->index] = true;
  return &g_devices[ddev->index];
}

FAKE_EXPORT void fp_dev_close(fp_dev *dev) {
  Driving driving(__func__);
  if (g_control.on_close != nullptr) g_control.on_close(g_control.on_close_arg);
  if (dev != nullptr && dev >= g_devices && dev < g_devices + FAKE_FPDEV_MAX_DEVICES) {
    if (!g_open[dev - g_devices]) ++g_control.close_of_closed;
    g_open[dev - g_devices] = false;
    if (g_running.dev == dev) g_running = Running{};
  }
  int n = g_control.close_calls++;
  if (n < static_cast<int>(sizeof g_control.closed / sizeof g_control.closed[0]))
    g_control.closed[n] = dev;
}

FAKE_EXPORT int fp_dev_get_nr_enroll_stages(fp_dev *) { return g_control.nr_enroll_stages; }

#ifndef FAKE_FPDEV_WITHOUT_MODULE_TYPE
FAKE_EXPORT int fp_get_module_type(fp_dev *) { return g_control.module_type; }
#endif

FAKE_EXPORT int fp_handle_events_timeout(struct timeval *tv) {
  Driving driving(__func__);
  if (g_running.dev != nullptr) require_open(g_running.dev, __func__);
  int call = ++g_control.poll_calls;
  if (call <= FAKE_FPDEV_MAX_POLLS) g_control.poll_usec_given[call - 1] = tv->tv_usec;
  if (call == 1 && g_control.shorten_first_usec > 0 && g_control.shorten_first_usec < tv->tv_usec)
    tv->tv_usec = g_control.shorten_first_usec;
  if (g_control.sleep_in_poll) usleep(static_cast<useconds_t>(tv->tv_sec * 1000000 + tv->tv_usec));
  run_pending_stops();
  if (!report_unplugged()) {
    report_enroll_stage();
    report_identify();
  }
  if (g_control.on_poll != nullptr) g_control.on_poll(call, g_control.on_poll_arg);
  return call == g_control.fail_at_poll ? -5 : 0;
}

FAKE_EXPORT int fp_async_enroll_start(fp_dev *dev, enroll_stage_cb cb, void *data) {
  Driving driving(__func__);
  require_open(dev, __func__);
  load_script_file();
  ++g_control.enroll_start_calls;
  if (g_control.enroll_start_result < 0) return g_control.enroll_start_result;
  if (g_control.unplugged) return -19;
  g_running = Running{};
  g_running.dev = dev;
  g_running.enroll = cb;
  g_running.data = data;
  return 0;
}

FAKE_EXPORT int fp_async_enroll_stop(fp_dev *dev, fake_fpdev_stop_cb cb, void *data) {
  Driving driving(__func__);
  require_open(dev, __func__);
  ++g_control.enroll_stop_calls;
  g_running.enroll = nullptr;
  // Completes during a later poll, as the real library does.
  queue_stop(cb, data, 1, 1);
  return 0;
}

FAKE_EXPORT int fp_async_identify_start(fp_dev *dev, fp_print_data **gallery, identify_cb cb,
                                        void *data) {
  Driving driving(__func__);
  require_open(dev, __func__);
  load_script_file();
  int call = g_control.identify_start_calls++;
  g_control.identify_gallery_size = record_gallery(gallery, g_control.identify_gallery);
  if (g_control.identify_start_result < 0) return g_control.identify_start_result;
  if (g_control.unplugged) return -19;
  g_running = Running{};
  g_running.dev = dev;
  g_running.identify = cb;
  g_running.data = data;
  for (int i = 0; gallery != nullptr && gallery[i] != nullptr; ++i)
    g_running.gallery.push_back(first_item(gallery[i]));
  g_running.step =
      call < g_control.nr_identify_steps ? g_control.identify_steps[call] : match_finger();
  return 0;
}

FAKE_EXPORT int fp_async_identify_stop(fp_dev *dev, fake_fpdev_stop_cb cb, void *data) {
  Driving driving(__func__);
  require_open(dev, __func__);
  ++g_control.identify_stop_calls;
  g_running.identify = nullptr;
  if (g_control.identify_stop_result < 0) return g_control.identify_stop_result;
  if (g_control.stop_cb_after_polls == 0)
    cb(dev, data);
  else
    queue_stop(cb, data, g_control.stop_cb_after_polls, 0);
  return 0;
}

FAKE_EXPORT size_t fp_print_data_get_data(fp_print_data *print, unsigned char **ret) {
  std::vector<unsigned char> blob = {'F', 'P', '2'};
  put_le(blob, print->driver_id, 2);
  put_le(blob, print->devtype, 4);
  blob.push_back(print->type);
  for (const std::string &item : print->items) {
    put_le(blob, item.size(), 4);
    blob.insert(blob.end(), item.begin(), item.end());
  }
  *ret = static_cast<unsigned char *>(std::malloc(blob.size()));
  std::memcpy(*ret, blob.data(), blob.size());
  return blob.size();
}

FAKE_EXPORT void fp_print_data_free(fp_print_data *print) {
  if (print == nullptr) return;
  --g_control.prints_alive;
  delete print;
}

FAKE_EXPORT fp_print_data *fp_print_data_from_data(unsigned char *buf, size_t len) {
  if (len <= 9 || std::memcmp(buf, "FP2", 3) != 0) return nullptr;
  auto *print = new fp_print_data{static_cast<uint16_t>(get_le(buf + 3, 2)), get_le(buf + 5, 4),
                                  buf[9], {}};
  size_t at = 10;
  while (len - at >= 4) {
    size_t item_len = get_le(buf + at, 4);
    at += 4;
    if (item_len > len - at) break;
    // Read items go to the head of the list.
    print->items.insert(print->items.begin(),
                        std::string(reinterpret_cast<char *>(buf + at), item_len));
    at += item_len;
  }
  if (print->items.empty()) {
    delete print;
    return nullptr;
  }
  ++g_control.prints_alive;
  return print;
}

FAKE_EXPORT int fp_template_data_sync(fp_print_data **gallery) {
  Driving driving(__func__);
  ++g_control.sync_calls;
  char ignored[FAKE_FPDEV_MAX_GALLERY][FAKE_FPDEV_MAX_TEXT];
  g_control.sync_size = record_gallery(gallery, ignored);
  return 0;
}

FAKE_EXPORT int fp_template_data_delete(fp_print_data **gallery) {
  Driving driving(__func__);
  ++g_control.delete_calls;
  char ignored[FAKE_FPDEV_MAX_GALLERY][FAKE_FPDEV_MAX_TEXT];
  g_control.delete_size = record_gallery(gallery, ignored);
  return g_control.delete_result;
}

FAKE_EXPORT int fp_template_data_import(fp_print_data **gallery) {
  Driving driving(__func__);
  ++g_control.import_calls;
  g_control.import_size = record_gallery(gallery, g_control.imported);
  return 0;
}

FAKE_EXPORT int fp_template_registered_number(uint8_t *count) {
  Driving driving(__func__);
  *count = static_cast<uint8_t>(g_control.registered_number);
  return g_control.registered_number_result;
}

FAKE_EXPORT int fp_template_data_update(fp_print_data **print, int *slot) {
  Driving driving(__func__);
  ++g_control.update_calls;
  *print = nullptr;
  *slot = 0;
  if (g_control.update_result != 0) return g_control.update_result;
  if (g_control.last_match[0] == '\0') return -1;
  *print = new_print(std::string(g_control.last_match) + "+");
  return 0;
}

FAKE_EXPORT void fp_set_debug(int) {}
