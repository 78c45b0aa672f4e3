// Writes the udev rule for every USB id in the built-in drivers' id tables:
//   fpdev_udev_rules [--uaccess] OUTPUT
// One line per distinct vendor and product, with the driver named above its
// lines. The sensors are for root (the service) alone; --uaccess also gives
// the logged-in user access, for development.
#include <glib.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "framework/fp_internal.h"
#include "framework/fpdev.h"

int main(int argc, char **argv) {
  bool uaccess = argc == 3 && std::string(argv[1]) == "--uaccess";
  if (argc != 2 && !uaccess) {
    std::fputs("usage: fpdev_udev_rules [--uaccess] OUTPUT\n", stderr);
    return 2;
  }
  const char *output = argv[argc - 1];
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
                    "ATTR{idProduct}==\"%04x\", MODE=\"0660\"%s\n",
                    row->vendor, row->product, uaccess ? ", TAG+=\"uaccess\"" : "");
      text += line;
    }
  }
  g_free(drivers);
  std::FILE *out = std::fopen(output, "w");
  if (out == nullptr) {
    std::perror(output);
    return 1;
  }
  bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok) std::perror(output);
  return ok ? 0 : 1;
}
