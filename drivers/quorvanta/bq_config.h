// The quorvanta driver's configuration record, reset to its defaults at every
// open.
#ifndef DRIVERS_QUORVANTA_BQ_CONFIG_H_
#define DRIVERS_QUORVANTA_BQ_CONFIG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Settings copied into the log thresholds and read by the capture loop, the
// framed bulk protocol and the algorithm configuration.
typedef struct bq_config {
  uint32_t base_log_level;     // copied into g_base_log_level at open (3)
  uint32_t chip_log_level;     // copied into the chip-driver threshold at open (3)
  uint32_t lib_log_level;      // copied into the library threshold at open (4)
  uint8_t debug_info;          // library debug-info switch (1)
  uint8_t dump_images;         // dump captured frames (g_libfpdev_dump at open)
  uint8_t dump_commands;       // dump framed bulk commands (0)
  uint8_t print_func_time;     // print algorithm function times (0)
  uint8_t opened;              // open marker, 1 after every reset
  uint8_t reserved[55];        // further settings nothing reads
} bq_config_t;

// Points at the one static configuration record from load on.
extern bq_config_t *const bq_config;

// Zeroes the record and writes the defaults; the dump-images flag takes the
// current g_libfpdev_dump. Called at every open.
void bq_config_reset(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_QUORVANTA_BQ_CONFIG_H_
