// Entry point of the plug-in zq4842: configuration of the service's device
// record, run-time loading of the device library and the key setting.
#ifndef PLUGIN_ZQ4842_H_
#define PLUGIN_ZQ4842_H_

#include "biometric_common.h"
#include "plugin/community_dev_priv.h"

#ifdef __cplusplus
extern "C" {
#endif

// Path of the device library loaded by ops_configure. Tests may point it
// elsewhere before configuring.
extern const char *quorvanta_library_path;

// Service entry point. Sets BIO_PRINT_LEVEL to "6", fills the record (ids,
// names, capabilities, USB id table, operation slots), sets status, result
// and notify to 0, reads the enable flag, creates the private record, loads
// the device library and reads the AESKey setting of the driver's group.
// Returns 0, or -1 when the library or one of its functions cannot be loaded
// (the record is filled and the key read all the same).
int ops_configure(bio_dev *dev, GKeyFile *conf);

// Opens quorvanta_library_path and resolves the 26 device-library functions.
// Returns 0; -1 after printing dlerror() when the library does not open, or
// "name: dlerror()" for the first missing function (earlier ones stay set).
int quorvanta_load_library(community_dev_priv *priv);

// Reads the key text named by the AESKey key of the driver's group: at most
// its first 32 bytes. Any problem prints a warning and selects the built-in
// default key. Always returns 0.
int community_para_config(bio_dev *dev, GKeyFile *conf);

// Service slot: binds the plug-in's text domain. Returns 0.
int community_ops_driver_init(bio_dev *dev);
// Service slots for hot plug: log only.
void community_ops_attach(bio_dev *dev);
void community_ops_detach(bio_dev *dev);

#ifdef __cplusplus
}
#endif

#endif  // PLUGIN_ZQ4842_H_
