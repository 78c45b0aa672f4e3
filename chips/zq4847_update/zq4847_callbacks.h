// The host slots through which the 4847 flash and factory code reaches the
// chip: the bridge's sensor-type detection fills them when it selects sensor
// type 4 (drivers/zq_protocal/zq4847_callbacks.h).
#ifndef CHIPS_ZQ4847_UPDATE_ZQ4847_CALLBACKS_H_
#define CHIPS_ZQ4847_UPDATE_ZQ4847_CALLBACKS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Eight slots, in this order.
typedef struct zq4847_callbacks {
  int (*bus_type)(void);                              // 1 bridge, 2 direct SPI
  void *spare;                                        // never called
  int (*msleep)(int ms);                              // millisecond pause
  int (*usleep)(int us);                              // microsecond pause
  int (*spi_read)(void *buf, uint16_t len);           // 0 = ok
  int (*spi_write)(const uint8_t *buf, uint16_t len); // 0 = ok
  int (*chip_select)(unsigned level);                 // 0 asserts, 1 releases
  int (*sensor_reset)(void);                          // hardware reset of the chip
} zq4847_callbacks_t;

// The slots, all NULL until sensor type 4 is selected.
extern zq4847_callbacks_t zq4847_factory_callbacks;

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_ZQ4847_UPDATE_ZQ4847_CALLBACKS_H_
