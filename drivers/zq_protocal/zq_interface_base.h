// Host side of the USB bridge protocol: vendor requests, register access,
// data transfers to and from the sensor, the 4847 transport and the sensor
// resets. Every operation works on the open device (quorvanta_ctx) through
// drivers/zq_sensor/zq_usb.h and returns 0 or the first failing step's error
// (a negative libusb error or a bq_error code), logging "error at ...'text'."
// under its own name. Pauses go through bq_msleep/bq_usleep.
//
// Common errors: -201 (BQ_ERROR_NULL_POINTER) for a NULL buffer, -202
// (BQ_ERROR_OVERFLOW) for a length beyond the reply buffers, -203
// (BQ_ERROR_PROTOCOL) when the device answers with fewer bytes than asked.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_INTERFACE_BASE_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_INTERFACE_BASE_H_

#include <stdbool.h>
#include <stdint.h>

#include "drivers/zq_protocal/zq_bridge.h"

#ifdef __cplusplus
extern "C" {
#endif

// Size of the scratch area that receives a vendor request's data stage.
#define ZQ_VENDOR_REPLY_MAX 16
// Longest IN request reply zq_interface_base_ReadRequest handles.
#define ZQ_READ_REQUEST_MAX 4

// --- Primitives ------------------------------------------------------------

// Sends `setup` (200 ms time-out). With `reply`, the data stage lands in a
// zeroed 16-byte scratch area and its first `reply_len` bytes are copied to
// `reply`; without, no data stage buffer is passed. *count (may be NULL)
// receives libusb's result. Returns 0 when that result is >= 0, else the
// libusb error; -201 for a NULL setup, or a data stage without `reply`; -202
// when wLength or reply_len exceeds 16 (nothing is sent).
int zq_interface_base_VendorRequest(const zq_usb_setup_t *setup, uint8_t *reply,
                                    unsigned reply_len, long *count);

// Sends the OUT request (0x40, request, value, index, wLength 0).
int zq_interface_base_WriteRequest(uint8_t request, uint16_t value, uint16_t index);

// Sends the IN request (0xC0, request, 0, index, len) and copies the `len`
// reply bytes to `dst`. -202 for len > 4, -201 for a NULL dst, -203 when the
// device answers fewer than `len` bytes (dst is then left unchanged).
int zq_interface_base_ReadRequest(uint8_t request, uint16_t index, void *dst, uint16_t len);

// --- Bridge registers ------------------------------------------------------

// Writes bridge register `reg` (OUT 0x3B, wValue value, wIndex reg).
int zq_interface_base_WriteRegister(uint8_t reg, uint8_t value);

// Reads `len` (1 to 4) bytes of bridge registers from `reg` on (IN 0x3A).
int zq_interface_base_ReadRegister(uint8_t reg, uint8_t *dst, uint16_t len);

// --- Bridge operations -----------------------------------------------------

// OUT 0x34 with wValue `value` (0xFF, 2 or 3).
int zq_interface_base_Select(uint8_t value);

// OUT 0x40: pulses the sensor's reset line.
int zq_interface_base_SensorReset(void);

// Same as zq_interface_base_SensorReset; the reset slot of the 4847 code.
int zq_interface_base_ResetCallback(void);

// OUT 0x57: the bridge MCU enters firmware download mode.
int zq_interface_base_MCUDownloadMode(void);

// OUT 0x22 (0x70, 0x70), 5 ms, OUT 0x22 again.
int zq_sensorbase_WakeupSensor(void);

// OUT 0x40, 10 ms, OUT 0x40, g_reset_delay ms, zq_sensorbase_WakeupSensor, 2 ms.
int zq_sensorbase_ReturnIdleByReset(void);

// libusb_reset_device on the open device, 5 ms, claim interface 0.
int zq_interface_base_reloadDriverFromError(void);

// Writes `len` bytes to sensor address `address`: OUT 0x34 (2), OUT 0x35
// (len, address), then one bulk OUT (1000 ms). Address 0xFFFF sends the bulk
// part only. -201 for NULL data; -203 when the device takes fewer bytes.
int zq_interface_base_WriteData(uint16_t address, const void *data, uint16_t len);

// Reads `len` bytes: OUT 0x34 (3), OUT 0x35 (len, 0), one bulk IN (1000 ms).
// -201 for a NULL buffer; -203 when the device sends fewer bytes.
int zq_interface_base_ReadData(void *buf, uint16_t len);

// Reads `len` bytes of the 4847 chip at `selector`: 0x7BB7 sends OUT 0x79
// (len, 4); any other selector OUT 0x34 (0xFF), OUT 0x34 (3), OUT 0x6F (len,
// selector). Then, for len > 0, one bulk IN (2000 ms). -201 for a NULL
// buffer with len > 0; -203 when the device sends fewer bytes.
int zq_interface_base_4847_ReadData(uint16_t selector, void *buf, uint16_t len);

// Writes `len` bytes to the 4847 chip in pieces of at most 64: per piece OUT
// 0x79 (piece, 3), the bulk OUT, then up to 100 polls of IN 0x3C until it
// reads 0 (running out is not an error). Stops at the first failure. -201
// for NULL data; 0 for len 0 (nothing is sent).
int zq_interface_base_4847_WriteData(const uint8_t *data, uint16_t len);

// Sends the 3-byte SPI command cmd[0..2]: OUT 0x64 ((cmd0 << 8) + 3,
// (cmd2 << 8) | cmd1). For cmd0 = 0x90 (SFR read) wValue is 0x9001, the
// buffer is cleared and IN 0x60 answers 1 byte, left in cmd[0] and cmd[2].
// -201 for a NULL buffer.
int zq_interface_base_SendNBytes(uint8_t cmd[3]);

// IN 0x43: *high = (answer == 1). -201 for NULL.
int zq_interface_base_QuerySensorPinStatus(bool *high);

// IN 0x1A: *version = byte 0 | byte 1 << 8. -201 for NULL.
int zq_interface_base_GetBridgeVersion(uint16_t *version);

// IN 0x3A register 0x20, 2 bytes: *busy = 0 when they are A5 5A, else 1
// (also 1 when the read fails). -201 for NULL.
int zq_sensorbase_QueryMCUStatus(int *busy);

// --- 4847 transport (host slots of the 4847 flash and factory code) --------

// zq_interface_base_4847_ReadData with selector 0x7BB7.
int SPI_read(void *buf, uint16_t len);

// zq_interface_base_4847_WriteData.
int SPI_write(const uint8_t *data, uint16_t len);

// With g_bus_type 1, OUT 0x79 (1, (level & 0xFF) + 1): level 0 asserts the
// chip select, 1 releases it. The transfer's result is not reported: 0.
int zq_interface_base_4847_ChipSelect(unsigned level);

// Wakes the 4847 chip, at most 3 attempts: selector 0xFF00 with length 0,
// 1 ms, 4 bytes of selector 0x9180; four equal non-zero bytes mean the chip
// still sleeps. Returns the last read's result.
int zq_feature_4847_WakeupSensor(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_INTERFACE_BASE_H_
