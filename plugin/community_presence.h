// Which of the plug-in's USB devices are plugged in, read from sysfs without
// the device library: the service's hot-plug thread may ask while the
// operation thread drives the library.
#ifndef PLUGIN_COMMUNITY_PRESENCE_H_
#define PLUGIN_COMMUNITY_PRESENCE_H_

#include "biometric_common.h"

#ifdef __cplusplus
extern "C" {
#endif

// Number of USB devices in the sysfs device folder whose vendor and product
// ids are a row of the record's USB id table, less those the kernel answers
// "no device" for through their node /dev/bus/usb/BBB/DDD (from their
// busnum and devnum files): a device whose transfers fail for good, or that
// left, is not counted while its sysfs entry lingers. 0 when the folder
// cannot be read.
int community_present_devices(const bio_dev *dev);

// Test hook: reads the devices from `dir` (one folder per device holding
// idVendor and idProduct files, and busnum and devnum ones) instead of
// /sys/bus/usb/devices; NULL restores that folder.
void community_set_usb_devices_dir(const char *dir);
// Test hook: looks for the devices' nodes under `dir` (BBB/DDD) instead of
// /dev/bus/usb; NULL restores that folder.
void community_set_usb_nodes_dir(const char *dir);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_COMMUNITY_PRESENCE_H_
