// Writes the udev rule for every USB id in the built-in drivers' id tables:
//   fpdev_udev_rules OUTPUT
// One line per distinct vendor and product, with the driver named above its
// lines; the sensors become accessible to the seat's user and to the service.
#include <glib.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "framework/fp_internal.h"
#include "framework/fpdev.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fputs("usage: fpdev_udev_rules OUTPUT\n", stderr);
    return 2;
  }
  std::string text =
      "# USB fingerprint sensors served by libfpdev_quorvanta, from its drivers' id tables.\n";
  std::set<std::pair<unsigned, unsigned>> seen;
  fp_driver **drivers = fpdev_get_drivers();
  for (fp_driver **drv = drivers; *drv != nullptr; ++drv) {
    text += "\n# ";
    text += fp_driver_get_full_name(*drv);
    text += " (";
    text += fp_driver_get_name(*drv);
    text += ")\n";
    for (const usb_id *row = fp_driver_get_id_table(*drv); row != nullptr && row->vendor != 0;
         ++row) {
      if (!seen.insert({row->vendor, row->product}).second) continue;
      char line[200];
      std::snprintf(line, sizeof line,
                    "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", "
                    "ATTR{idProduct}==\"%04x\", MODE=\"0664\", TAG+=\"uaccess\"\n",
                    row->vendor, row->product);
      text += line;
    }
  }
  g_free(drivers);
  std::FILE *out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) std::perror(argv[1]);
  return ok ? 0 : 1;
}
