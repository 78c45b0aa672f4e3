// Bridge firmware check and download: the host checks that the bridge runs
// the application with the firmware marker set, otherwise sends the sensor
// object's image (edition A or B loader, old or new write method by board
// version), reads it back, has the bridge verify and start it, and
// configures the MCU. Every wait on the bridge is bounded.
//
// The image is read from its file (zq_fw_images.h) before the first byte
// goes to the bridge; a missing file or one of the wrong size fails the
// download at once (-2 or -5) with nothing sent and no retry.
//
// Errors: the failing transfer's code, -201 for NULL buffers, -12 without
// memory, -1 for a read-back mismatch, a bridge that never reaches an
// expected state, or a firmware marker that does not stick.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_LOADFIRMWARE_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_LOADFIRMWARE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Board versions up to this one take 16-byte pieces with a write-done poll.
#define ZQ_BOARD_OLD_MAX 525
// Most reads of each download wait (loader id, MCU ready, verify result,
// verified flag) before the attempt fails with -1; each read is 10 to 30 ms
// apart, so a silent bridge ends an attempt within about 3 s.
#define ZQ_FW_WAIT_POLLS 100
// Download attempts of zq_feature_loadfirmware_DistributeSensorFirmware.
#define ZQ_FW_ATTEMPTS 3

// Return to idle, check the firmware (5 status reads, then marker 0xBB),
// download when needed, configure the MCU. 0 or the first error.
int zq_feature_loadfirmware_LoadFW(void);

// At most 3 download attempts on the path of g_boot_edition; a negative
// attempt result resets the USB device and re-claims interface 0 before the
// next. Returns 0 or the last attempt's result.
int zq_feature_loadfirmware_DistributeSensorFirmware(void);

// Edition B (PromBoot loader) and edition A downloads of g_fw_image.
int zq_sensorbase_UpgradeSensorFirmware(void);
int zq_sensorbase_DownloadSensorFirmware(void);

// Sends `size` bytes of `image`: OUT 0x34 (0xFF), OUT 0x34 (2), the board
// version, then board <= 525: 16-byte pieces (0x35 (piece, offset / 2), bulk
// OUT, up to 4097 polls of IN 0x3C); board >= 526, edition B: 64-byte pieces
// at max(0, 62n - 64) with 1 ms before each; edition A: one 0x35 (64, 0)
// and contiguous 64-byte pieces. Bytes past the image are sent as 0.
int zq_interface_base_WriteFirmware(const uint8_t *image, uint16_t size);

// OUT 0x34 (0xFF), then zq_interface_base_ReadData(buf, len). -201 for NULL,
// -200 for len outside 0..65535.
int zq_interface_base_ReadFirmware(uint8_t *buf, int len);

// 0 when the `len` bytes at `buf` equal the start of g_fw_image; -1 for a
// mismatch, len 0, or len beyond g_fw_size; -201 for NULL.
int zq_sensorbase_DownloadVerify(const uint8_t *buf, uint16_t len);

// Registers 0x01 = 1, 0x41 = 0x0F, 0x30 = 0xBB, read back 0x30 (-1 unless
// 0xBB); types 2 and 3 also 0x22 = 0, 0x23 = 0x0E. 1 ms between steps.
int zq_sensorbase_InitMcuConfig(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_FEATURE_LOADFIRMWARE_H_
