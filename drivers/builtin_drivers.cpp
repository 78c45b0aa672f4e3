#include "framework/fpi_builtin_drivers.h"

#include "drivers/quorvanta/quorvanta.h"
#include "drivers/vfs0050/vfs0050.h"

extern "C" {

fp_img_driver *const fpi_builtin_img_drivers[] = {&vfs0050_driver, &quorvanta_driver};

const size_t fpi_builtin_img_driver_count =
    sizeof fpi_builtin_img_drivers / sizeof fpi_builtin_img_drivers[0];

}  // extern "C"
