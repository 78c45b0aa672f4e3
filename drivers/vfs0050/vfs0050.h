// The Validity VFS0050 swipe driver.
#ifndef DRIVERS_VFS0050_VFS0050_H_
#define DRIVERS_VFS0050_VFS0050_H_

#include "framework/fp_internal.h"

#ifdef __cplusplus
extern "C" {
#endif

// The driver's record: id 20, "vfs0050", one USB id 0x138a:0x0050.
extern struct fp_img_driver vfs0050_driver;

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_VFS0050_VFS0050_H_
