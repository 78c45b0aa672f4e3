// The fw4846 chip driver: its chip-registry record and the operations the
// record carries (probe, init, power and device modes, events, finger and
// gesture status, images, liveness and ESD recovery), plus the driver's
// configuration record and its bounded setters.
#ifndef CHIPS_FW4846_FW4846_H_
#define CHIPS_FW4846_FW4846_H_

#include <stdint.h>

#include "base/bq_device.h"

#ifdef __cplusplus
extern "C" {
#endif

// Event codes of fw4846_query_event_status.
enum {
  FW4846_EVENT_NONE = 0,
  FW4846_EVENT_RESET = 2,        // reset interrupt in device mode 7
  FW4846_EVENT_FINGER_DOWN = 5,  // capture now
  FW4846_EVENT_FINGER_UP = 6,    // finger up or inverse event
  FW4846_EVENT_GESTURE_FIRST = 8,
  FW4846_EVENT_GESTURE = 9,
  FW4846_EVENT_ERROR = 11,       // reset or ESD interrupt, or no communication
};

// The driver's chip record (device id 0 and probed id 0x4845 until init).
extern bq_device g_fw4846_device;

// Resets the chip state, sets the probe, init and reset slots and registers
// the record with the chip registry.
void __fw4846_init__(void);

// Commands 9 and 5, 1 ms, SFR 0xC6 = 1.
void fw4846_reset_chip(void);
// 0x4846 when the chip answers the id 0x4845, else 0 (both logged). Also
// resets the chip state and clears all interrupts.
uint16_t fw4846_probe_id(void);
// Fills the current record's slots, wakes and calibrates the chip and arms
// finger-down detection; writes id 0x4846 and 64 x 80 into the record.
// 0, or -201 without a current chip.
int fw4846_init_chip(void);

// Power mode 0 wakeup, 2 auto sleep (recalibrates), 3 deep sleep. 0.
int fw4846_config_power_mode(int mode);
// Device mode 0 sleep, 1 finger-down detection, 2 finger-up detection,
// 6 gesture, 7 test; others logged as unknown. Always stored; 0.
int fw4846_config_device_mode(int mode);
// Logs only. 0.
int fw4846_config_device_fdt(void);
// The event code of the pending interrupts (FW4846_EVENT_*).
int fw4846_query_event_status(void);
// 0 (ready).
int fw4846_query_device_status(void);
// 2 finger down, 0 finger lifted, -1 nothing, by a manual check.
int fw4846_query_finger_status(void);
// 1 when a manual down check sees a finger, else 0.
int fw4846_query_fdt_finger(void);
// The direction code of the last gesture.
int fw4846_query_gesture_status(void);
// Logs only. 0.
int fw4846_read_sensor_data(void);
// One frame into buffer from byte 8 on (buffer of 8 + 10240 bytes). 0.
int fw4846_read_image(uint8_t *buffer);
// fw4846_capture_image into buffer (5120 bytes). 0.
int fw4846_capture_image_op(uint8_t *buffer);
// Mean of the FDT differences of the last manual check into *out (skipped
// for NULL, and relearning the base when a block fell below -50). 0.
int fw4846_Get_Diff_Data(int16_t *out);
// SFR 0xFD test: 0x7F after a reset, else write 0x3A and read it back.
// 0 on match, -1 otherwise.
int fw4846_sfr_rw_test(int after_reset);
// Chip id check, then finger-down detection. 0, or -5 for a wrong id.
int fw4846_spi_test(void);
// Up to 6 id reads (the last 3 each followed by an idle). 0, or -205.
int fw4846_check_alive(void);
// Optional 20 ms wait, SFR 0xC6 = 1, three id reads. 0, or -1.
int fw4846_check_communication(int delay);
// Sleep, wake and reload of the whole analogue set-up.
void fw4846_Chip_Paramter_Init(void);
// Reloads the set-up after ESD and compares two FDT readings. 0, or -1 when
// the chip is stuck.
int fw4846_ESD_Handle(void);
// Reads the FDT raw values; in compare mode (record_only 0) -1 when they
// equal the previous ones and are not 0. Stores them either way.
int fw4846_ESD_Manual_FDT_Check(int record_only);
// OTP frequency code and chip version; either output may be NULL.
void fw4846_Get_OTP_Info(uint8_t *freq, uint8_t *version);
// Sets process_flag from SFR 0x9B (up to 10 reads).
void fw4846_get_SMIC_IC_flag(void);
// Installs a host hook run during fw4846_init_chip (NULL is ignored).
void fw4846_set_init_hook(void (*fn)(void));
// Stores the five debug parameters of `bytes`. 0, or -200 for fewer than 5
// bytes or NULL.
int fw4846_config_debug(const uint8_t *bytes, int n);
// Relearns the FDT and image bases.
void fw4846_recalibrate(void);
int fw4846_version_major(void);  // 256
int fw4846_version_minor(void);  // 1833

// Writes the configuration defaults.
void fw4846_cfg_init(void);
// Bounded setters, in field order: 0, or -1 (value kept) out of bounds.
int fw4846_set_cfg_scan(uint8_t v);           // bit 7 clear
int fw4846_set_cfg_mode(uint8_t v);           // <= 3
int fw4846_set_cfg_small_area(uint8_t v);     // <= 1
int fw4846_set_cfg_fdt_rate(uint8_t v);       // <= 200
int fw4846_set_cfg_gesture_rate(uint8_t v);   // <= 200
int fw4846_set_cfg_down_blocks(uint8_t v);    // <= 8
int fw4846_set_cfg_up_blocks(uint8_t v);      // <= 8
int fw4846_set_cfg_down_delta(uint8_t v);     // any
int fw4846_set_cfg_up_delta(uint8_t v);       // any
int fw4846_set_cfg_base_frames(uint8_t v);    // <= 5
int fw4846_set_cfg_shift(uint8_t v);          // <= 3
int fw4846_set_cfg_integration(uint16_t v);   // < 512
int fw4846_set_cfg_nav_frames(uint8_t v);     // <= 100
int fw4846_set_cfg_nav_threshold(uint8_t v);  // any
int fw4846_set_cfg_spare(uint8_t v);          // <= 20
int fw4846_set_cfg_nav_travel(uint8_t v);     // <= 100

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_H_
