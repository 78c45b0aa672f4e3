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
// ids are a row of the record's USB id table; 0 when the folder cannot be
// read.
int community_present_devices(const bio_dev *dev);

// Test hook: reads the devices from `dir` (one folder per device holding
// idVendor and idProduct files) instead of /sys/bus/usb/devices; NULL
// restores that folder.
void community_set_usb_devices_dir(const char *dir);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_COMMUNITY_PRESENCE_H_
