// Process-wide state of the one fw4846 chip: its configuration record, the
// chip-state caches, the finger-detection bases and the image and
// navigation buffers. Shared by the fw4846 modules; single-threaded.
#ifndef CHIPS_FW4846_FW4846_STATE_H_
#define CHIPS_FW4846_FW4846_STATE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FW4846_WIDTH 64
#define FW4846_HEIGHT 80
#define FW4846_PIXELS (FW4846_WIDTH * FW4846_HEIGHT)
#define FW4846_FDT_BLOCKS_MAX 8
#define FW4846_NAV_ROWS 10
#define FW4846_NAV_PIXELS (FW4846_NAV_ROWS * FW4846_WIDTH)
#define FW4846_NAV_TRACK 300

// Device modes.
enum {
  FW4846_MODE_SLEEP = 0,
  FW4846_MODE_FDT_DOWN = 1,
  FW4846_MODE_FDT_UP = 2,
  FW4846_MODE_GESTURE = 6,
  FW4846_MODE_APK_TEST = 7,
};

// Power modes.
enum {
  FW4846_POWER_WAKEUP = 0,
  FW4846_POWER_AUTO_SLEEP = 2,
  FW4846_POWER_DEEP_SLEEP = 3,
};

// Analogue set-up codes held in afe_config.
enum {
  FW4846_AFE_NONE = 160,
  FW4846_AFE_FDT = 161,
  FW4846_AFE_FDT_GESTURE = 162,
  FW4846_AFE_IMAGE = 163,
};

// Interrupt bits of the status, mask and clear registers.
enum {
  FW4846_INT_IDLE = 0x001,
  FW4846_INT_DOWN = 0x002,
  FW4846_INT_UP = 0x004,
  FW4846_INT_MANUAL = 0x008,
  FW4846_INT_INV = 0x010,
  FW4846_INT_DATA = 0x020,
  FW4846_INT_AFE_DONE = 0x040,
  FW4846_INT_HALF_FULL = 0x080,
  FW4846_INT_FULL_EMPTY = 0x100,
  FW4846_INT_RESET = 0x200,
  FW4846_INT_ESD = 0x400,
};

// Value of the DAC caches that forces the next write.
#define FW4846_CACHE_INVALID 0xAA

// The configuration record, fields in order (defaults in fw4846_cfg_init).
typedef struct fw4846_config {
  uint8_t scan;           // FDT integration (bit 7 clear)
  uint8_t mode;           // 0x1804 mode (<= 3)
  uint8_t small_area;     // 4 FDT blocks instead of 8 (<= 1)
  uint8_t fdt_rate;       // FDT scan rate in Hz, normal (<= 200; 0 acts as 1)
  uint8_t gesture_rate;   // FDT scan rate in Hz, gesture (<= 200; 0 acts as 1)
  uint8_t down_blocks;    // blocks that must trigger for finger down (<= 8)
  uint8_t up_blocks;      // blocks that must trigger for finger up (<= 8)
  uint8_t down_delta;     // finger-down delta
  uint8_t up_delta;       // finger-up delta
  uint8_t base_frames;    // frames summed into the image base (<= 5)
  uint8_t shift;          // image sample shift (<= 3)
  uint16_t integration;   // image integration (< 512)
  uint8_t nav_frames;     // minimum navigation frames (<= 100)
  uint8_t nav_threshold;  // navigation pixel threshold
  uint8_t spare;          // stored only (<= 20)
  uint8_t nav_travel;     // minimum navigation travel (<= 100)
} fw4846_config;

// One entry of the navigation centroid track.
typedef struct fw4846_nav_point {
  int32_t row;
  int32_t col;
  int32_t count;  // touch count
} fw4846_nav_point;

typedef struct fw4846_state {
  // chip driver
  int device_mode;
  uint8_t afe_config;
  uint8_t dac_loaded;
  uint8_t dac_flag_loaded;
  uint8_t work_mode;
  uint8_t finger_latched;
  uint8_t gesture_result;
  uint8_t process_flag;  // 0xAA SMIC process, 0 DB
  uint16_t esd_last[FW4846_FDT_BLOCKS_MAX];
  void (*init_hook)(void);
  uint16_t debug_param0;
  uint8_t debug_params[4];
  uint16_t debug_marker;

  // finger detection
  uint16_t fdt_down_base[FW4846_FDT_BLOCKS_MAX];
  uint16_t fdt_down_base_crc;
  uint16_t fdt_up_base[FW4846_FDT_BLOCKS_MAX];
  uint16_t fdt_up_base_crc;
  uint16_t fdt_base[FW4846_FDT_BLOCKS_MAX];
  int16_t fdt_diff[FW4846_FDT_BLOCKS_MAX];
  uint8_t fdt_dac;
  uint8_t fdt_dac_found;
  uint8_t dac_search_active;
  uint8_t fdt_direction;
  uint8_t fdt_mode_loaded;

  // image
  uint16_t image_base[FW4846_PIXELS];
  uint16_t image_base_crc;
  uint16_t image_work_base[FW4846_PIXELS];
  uint8_t image_dac;
  uint16_t image_middle;
  uint8_t img_mode_loaded;
  uint8_t dac_searched;
  uint8_t wet_flag;
  uint8_t wet_count;

  // navigation
  uint8_t nav_mode_loaded;
  uint16_t nav_frame[FW4846_NAV_PIXELS];
  uint16_t nav_reference[FW4846_NAV_PIXELS];
  uint8_t nav_set[FW4846_NAV_PIXELS];  // binarised frame
  fw4846_nav_point nav_track[FW4846_NAV_TRACK];
  uint16_t nav_frame_index;
} fw4846_state;

// The chip state and the configuration record.
extern fw4846_state g_fw4846;
extern fw4846_config g_fw4846_cfg;

// Number of FDT blocks: 4 in small-area mode, else 8.
int fw4846_fdt_block_count(void);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_STATE_H_
