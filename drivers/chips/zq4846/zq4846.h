// Command set of module type 2 (products 0x3b11 to 0x3b16 and 0x3b18 to
// 0x3b1a, sensor type 11): framed commands with fixed-size replies
// (zq_cmd_exchange of drivers/zq_protocal/zq_cmd_frame.h). Reply byte 3 is
// the status (4 = success), the answer starts at byte 4.
//
// Common results: 0 success, -1 when a transfer failed four times, -11
// (BQ_ERROR_AGAIN) for a reply status other than 4, -201 for a NULL output
// pointer. Commands log under "quorvanta:zq4846".
#ifndef DRIVERS_CHIPS_ZQ4846_ZQ4846_H_
#define DRIVERS_CHIPS_ZQ4846_ZQ4846_H_

#include <stdint.h>

#include "framework/zq_sensor_info.h"

#ifdef __cplusplus
extern "C" {
#endif

// Command codes and the sub-commands of 0x80 and 0x82.
enum zq4846_command {
  ZQ4846_CMD_CHECK_ALIVE = 0x34,
  ZQ4846_CMD_IO_SET = 0x37,       // payload 0x01, 0x01, on
  ZQ4846_CMD_QUERY = 0x80,        // sub-command below
  ZQ4846_CMD_SCAN = 0x81,
  ZQ4846_CMD_CONTROL = 0x82,      // sub-command below
  ZQ4846_QUERY_FINGER = 0x02,     // answer byte 4: 1 = finger
  ZQ4846_QUERY_COLS = 0x03,
  ZQ4846_QUERY_ROWS = 0x04,
  ZQ4846_QUERY_CHIP_ID = 0x05,    // answer bytes 4, 5: little-endian
  ZQ4846_CONTROL_CLEAR_IMG = 0x78,
  ZQ4846_CONTROL_HW_RESET = 0x72,
};

// Reply sizes: every command, and the frame scan.
#define ZQ4846_REPLY_SIZE 64
#define ZQ4846_SCAN_REPLY_SIZE 0x5800
// Time-outs: every command, and the hardware reset.
#define ZQ4846_TIMEOUT_MS 1000
#define ZQ4846_RESET_TIMEOUT_MS 500
// Chip id of the 16-bit "4845" modules.
#define ZQ4846_CHIP_ID_4845 0x4845

// Module state kept by zq4846_get_sensor_info.
extern uint16_t g_zq4846_chip_id;
extern uint16_t g_zq4846_cols;
extern uint16_t g_zq4846_rows;
extern uint16_t g_zq4846_pid;
// Calls of zq4846_hw_reset since the last reset or clear.
extern int g_zq4846_reset_count;

// Command 0x34.
int zq4846_check_alive(void);

// Command 0x37 with payload 01 01 on: switches the module's ATC.
int zq4846_IO_Set(uint8_t on);

// Command 0x80/0x02: 2 when a finger is on (answer 1), else 0; or an error.
int zq4846_query_finger_status(void);

// Command 0x80/0x03: *cols = answer byte 4.
int zq4846_get_sensor_cols(uint8_t *cols);

// Command 0x80/0x04: *rows = answer byte 4.
int zq4846_get_sensor_rows(uint8_t *rows);

// 10 ms, then command 0x80/0x05: *id = answer bytes 4, 5 little-endian.
int zq4846_get_sensor_id(uint16_t *id);

// Chip id, columns and rows, each query tried up to 4 times (the fourth
// failure returns that query's error). Stores the chip id in info->chip_id
// and one byte each in the low bytes of info->sensor.cols and .rows, keeps
// them and `pid` in the module state and returns 0. -201 for NULL info.
int zq4846_get_sensor_info(zq_sensor_info_t *info, uint16_t pid);

// Command 0x81: one frame into img (g_zq4846_cols x g_zq4846_rows bytes).
// 16-bit modules (chip 0x4845, products 0x3b15/16/19/1a, or 40 x 152) send
// little-endian samples that are normalised with zq4845_normalize_contrast;
// the others send 8-bit pixels. -205 (nothing sent) before a chip id was
// read; -204 (BQ_ERROR_SENSOR_DIMENSION) when the module's columns and rows
// do not fit in the reply that arrived; -201 for NULL img.
int zq4846_scan_sensor_data(uint8_t *img);

// The checks and decoding of zq4846_scan_sensor_data on the first
// `received` bytes of a command 0x81 reply `rx`, with the module state as
// zq4846_get_sensor_info left it: -204 when the reply is shorter than its
// 4-byte header, longer than ZQ4846_SCAN_REPLY_SIZE or too short for the
// frame; -11 for a status other than 4; -201 for NULL pointers; else 0 with
// the frame in img.
int zq4846_decode_scan_reply(const uint8_t *rx, int received, uint8_t *img);

// Command 0x82/0x78: clears the module's image.
int zq4846_clear_img(void);

// Counts its calls; only every third one waits 10 ms and sends command
// 0x82/0x72 (500 ms time-outs), the others return 0 at once.
int zq4846_hw_reset(void);

// Sets the call counter of zq4846_hw_reset to 0.
void zq4846_hw_reset_clear(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_CHIPS_ZQ4846_ZQ4846_H_
