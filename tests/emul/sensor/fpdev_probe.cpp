// Opens the sensors the device library finds, as the service plug-in would:
// fp_init, fp_discover_devs, fp_dev_open of every device of the main driver
// (id 35), then close and fp_exit. Prints one line per step.
//
//   fpdev_probe [--enroll]
//                    exit 0: every device of driver 35 opened; 3: none
//                    found; 4: an open failed; 1: fp_init failed
//   --enroll         after each open, runs one synchronous enrol stage and
//                    prints "enroll: waiting" before and "enroll: <result>"
//                    after it (a program busy with the sensor)
#include <cstdio>
#include <string>

#include "framework/fpdev.h"

namespace {

void Out(const std::string &line) {
  std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::string Hex(unsigned v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", v);
  return text;
}

}  // namespace

int main(int argc, char **argv) {
  bool enroll = argc > 1 && std::string(argv[1]) == "--enroll";
  int r = fp_init();
  if (r != 0) {
    Out("fp_init: " + std::to_string(r));
    return 1;
  }
  fp_dscv_dev **devs = fp_discover_devs();
  int found = 0, opened = 0;
  for (fp_dscv_dev **d = devs; d != nullptr && *d != nullptr; ++d) {
    fp_driver *drv = fp_dscv_dev_get_driver(*d);
    unsigned id = fp_driver_get_driver_id(drv);
    Out(std::string("found: ") + fp_driver_get_full_name(drv) + " driver " + std::to_string(id) +
        " devtype " + Hex(fp_dscv_dev_get_devtype(*d)));
    if (id != 35) continue;
    ++found;
    fp_dev *dev = fp_dev_open(*d);
    if (dev == nullptr) {
      Out("open: failed");
      continue;
    }
    ++opened;
    Out("open: ok, " + std::to_string(fp_dev_get_nr_enroll_stages(dev)) + " enroll stages");
    if (enroll) {
      Out("enroll: waiting");
      fp_print_data *print = nullptr;
      Out("enroll: " + std::to_string(fp_enroll_finger_img(dev, &print, nullptr)));
      fp_print_data_free(print);
    }
    fp_dev_close(dev);
    Out("close: ok");
  }
  fp_dscv_devs_free(devs);
  fp_exit();
  if (found == 0) return 3;
  return opened == found ? 0 : 4;
}
