// The registry of sensor-chip drivers that talk to a chip directly: each
// driver registers one bq_device record; the registry probes the registered
// chips for the expected id, makes the found one current and initialises it.
#ifndef BASE_BQ_DEVICE_H_
#define BASE_BQ_DEVICE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The chip id the probe looks for.
#define BQ_DEVICE_EXPECTED_ID 0x4846

// Largest sensor width and height the registry accepts.
#define BQ_DEVICE_MAX_DIMENSION 255

// A chip record, owned (statically) by its chip driver. The unnamed
// reserved slots are filled by no chip driver of this system.
typedef struct bq_device {
  struct bq_device *next;  // registry links
  struct bq_device *prev;

  int (*ESD_Handle)(void);        // recovers the chip after an ESD event
  int (*init_chip)(void);         // initialises the chip, fills the slots below
  uint16_t (*read_id)(void);      // reads the chip id
  void (*reset)(void);            // resets the chip
  void *reserved0;
  int (*check_firmware)(void *context, int option);  // optional, run by the init
  void *reserved1[3];

  int (*sfr_write_app)(uint8_t addr, uint8_t value);
  int (*sfr_read_app)(uint8_t addr, uint8_t *out);
  int (*sram_write_bulk)(uint16_t addr, const uint8_t *data, int len);
  int (*sram_read_bulk)(uint16_t addr, uint8_t *buffer, int len);
  int (*config_power_mode)(int mode);
  int (*config_device_mode)(int mode);
  int (*config_device_fdt)(void);
  int (*query_event_status)(void);
  int (*query_device_status)(void);
  int (*query_finger_status)(void);
  int (*query_fdt_finger)(void);
  int (*query_gesture_status)(void);
  int (*read_sensor_data)(void);
  int (*read_image)(uint8_t *buffer);
  int (*capture_image)(uint8_t *buffer);
  int (*Special_img_data_get)(uint8_t *buffer, int set_dac);
  int (*Get_Diff_Data)(int16_t *out);
  int (*sfr_rw_test)(int after_reset);
  int (*spi_test)(void);
  void *reserved2[2];
  void (*Chip_Paramter_Init)(void);
  int (*check_alive)(void);
  void *reserved3[4];

  uint16_t device_id;  // id the driver expects, set by init_chip
  uint16_t probed_id;  // last id read by the probe
  uint16_t width;      // sensor width in pixels, set by init_chip
  uint16_t height;     // sensor height in pixels, set by init_chip
} bq_device;

// Appends `chip` at the tail of the registry; a record that is already
// linked stays where it is. Returns 0, or -201 (logged) for NULL.
int bq_device_register(bq_device *chip);

// Unlinks `chip` from the registry when it is linked (its owner does this
// at shut-down) and clears its links; a current chip stays current.
void bq_device_unlink(bq_device *chip);

// Resets each registered chip and reads its id up to 3 times, selecting the
// first chip that reads 0x4846. A chip whose reads all fail is still selected
// when it read a nonzero id, and so is the last chip with a nonzero probed id.
// The selected chip becomes current.
// Returns 0, -205 for an empty registry, or -1 when no chip is selected.
int bq_device_probe_chip(void);

// Runs the current chip's firmware check (when it has one) with `context`
// and `option`, then its init_chip, and checks the resolution it set.
// Returns 0, -201 without a current chip, -1 without init_chip, -204 for a
// zero width or height, -207 for one above 255, or the code of the firmware
// check or of init_chip. The chip stays current on failure.
int bq_device_init(void *context, int option);

// Clears the current chip; the registry is unchanged. Returns 0.
int bq_device_free(void);

// The current chip, or NULL.
bq_device *bq_device_current(void);

#ifdef __cplusplus
}
#endif

#endif  // BASE_BQ_DEVICE_H_
