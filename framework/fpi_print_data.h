// The print record, its items and its "FP2" byte form.
#ifndef FRAMEWORK_FPI_PRINT_DATA_H_
#define FRAMEWORK_FPI_PRINT_DATA_H_

#include <glib.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;

// What a print's items hold.
enum fp_print_data_type {
  FP_PRINT_DATA_RAW = 0,       // driver-specific bytes
  FP_PRINT_DATA_MINUTIAE = 1,  // xyt records (and the quorvanta templates)
};

// One item of a print: a length and that many bytes, in one allocation.
struct fp_print_data_item {
  size_t length;          // bytes in data
  unsigned char data[];   // the bytes
};

// A print: who made it, what it holds and its items (owned).
struct fp_print_data {
  uint16_t driver_id;  // id of the driver that made it
  uint32_t devtype;    // device type of the device that made it
  int type;            // enum fp_print_data_type
  GSList *prints;      // struct fp_print_data_item*, owned
};

// Size of the blob header: "FP2", driver id, device type, data type.
#define FP_PRINT_BLOB_HEADER 10

// New print of the device's driver id and device type with the driver's data
// type, without items.
struct fp_print_data *fpi_print_data_new(struct fp_dev *dev);

// New print with the given fields, without items.
struct fp_print_data *fpi_print_data_new_fields(uint16_t driver_id, uint32_t devtype,
                                                int type);

// New zeroed item of `length` bytes, or NULL when that cannot be allocated.
struct fp_print_data_item *fpi_print_data_item_new(size_t length);

// Log name of a finger 1..10 ("left thumb" ... "right little"), "UNKNOWN"
// for any other number.
const char *fpi_finger_name(int finger);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_PRINT_DATA_H_
