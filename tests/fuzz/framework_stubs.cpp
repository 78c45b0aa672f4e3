// The framework-core services that the print code calls, reduced to what a
// fuzz run needs: logging is silent.
#include "framework/fp_internal.h"

extern "C" void fpi_log_message(int, const char *, const char *, const char *, ...) {}

extern "C" enum fp_print_data_type fpi_driver_get_data_type(struct fp_driver *drv) {
  return drv->type == DRIVER_IMAGING ? FP_PRINT_DATA_MINUTIAE : FP_PRINT_DATA_RAW;
}
