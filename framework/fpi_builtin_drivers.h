// The image drivers built into the library, in registration order. The
// framework registers them at start-up and lists them; the drivers component,
// which lies above the framework, defines the table (drivers/builtin_drivers.cpp).
#ifndef FRAMEWORK_FPI_BUILTIN_DRIVERS_H_
#define FRAMEWORK_FPI_BUILTIN_DRIVERS_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_img_driver;

// fpi_builtin_img_driver_count drivers, none NULL.
extern struct fp_img_driver *const fpi_builtin_img_drivers[];

// The number of entries of fpi_builtin_img_drivers.
extern const size_t fpi_builtin_img_driver_count;

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_BUILTIN_DRIVERS_H_
