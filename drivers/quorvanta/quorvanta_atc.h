// The main driver's ATC switch, the hook the framework's enrol and identify
// stops call for devices of module type 2.
#ifndef DRIVERS_QUORVANTA_QUORVANTA_ATC_H_
#define DRIVERS_QUORVANTA_QUORVANTA_ATC_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_dev;

// Switches the ATC of the open module-type-2 device on (1) or off (0) with
// zq4846_IO_Set; `dev` is the framework's device, whose transfers go through
// the open device's context (quorvanta_ctx). Returns zq4846_IO_Set's result.
int quorvanta_atc_set(struct fp_dev *dev, uint8_t on);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_QUORVANTA_ATC_H_
