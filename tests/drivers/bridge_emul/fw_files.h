// Bridge firmware files for the tests. The library reads the bridge
// firmware from files (drivers/zq_protocal/zq_fw_images.h) and ships none;
// the tests write deterministic filler of each image's exact size into a
// private folder and point the library there through its test hook.
#ifndef TESTS_DRIVERS_BRIDGE_EMUL_FW_FILES_H_
#define TESTS_DRIVERS_BRIDGE_EMUL_FW_FILES_H_

#include <cstdint>
#include <string>
#include <vector>

namespace bridge_emul {

// The filler image of zq_sensor_type `type` (empty for a type without one):
// xorshift32 bytes from a per-type seed, so no two images are alike.
const std::vector<uint8_t> &FillerImage(int type);

// Writes the five filler images into a private folder (once per process, and
// again should the folder vanish, e.g. behind a private /tmp) and points the
// library at it. Returns the folder, with its trailing slash.
std::string InstallFillerFirmware();

// Points the library at a new, empty private folder and returns it: every
// image file is missing until the caller writes one.
std::string InstallEmptyFirmwareFolder();

}  // namespace bridge_emul

#endif  // TESTS_DRIVERS_BRIDGE_EMUL_FW_FILES_H_
