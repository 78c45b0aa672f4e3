// The print store: one FP2 file per finger under <home>/.fpdev/prints.
#ifndef FRAMEWORK_FPI_PRINT_STORE_H_
#define FRAMEWORK_FPI_PRINT_STORE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Largest print file the store accepts: the blob header, one item length
// and the largest item any driver makes (the imaging driver's template
// buffer, 1 MiB plus its 7-byte head).
#define FP_PRINT_FILE_MAX (10u + 4u + 1048583u)

// A print file found in the store.
struct fp_dscv_print {
  uint16_t driver_id;  // from the driver directory's name
  uint32_t devtype;    // from the device-type directory's name
  int finger;          // 1..10, from the file's name
  char *path;          // full path of the file (owned)
};

// Forgets the store's base path; fp_exit calls it.
void fpi_print_store_exit(void);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_PRINT_STORE_H_
