// The quorvanta imaging driver for the maker's USB sensor modules.
#ifndef DRIVERS_QUORVANTA_QUORVANTA_H_
#define DRIVERS_QUORVANTA_QUORVANTA_H_

#include "framework/fp_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

// Supported USB ids, vendor 0x3c5d; the driver data is the product id
// (0x4843 for 0x3b17). Ends with a zero row.
extern const struct usb_id quorvanta_id_table[];

// The driver's record: id 35, "quorvanta", press; its image size becomes
// the sensor's at every successful open.
extern struct fp_img_driver quorvanta_driver;

// Port-method set-up of the USB layer: logs its name and returns -1 without
// touching `method`, so no port hook is ever installed.
int quorv_usb_device_port_method_init(void *method);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_QUORVANTA_H_
