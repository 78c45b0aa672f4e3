// Command set of module type 1 (product 0x3b17, a 128 x 80 sensor with its
// own MCU), on the framed bulk protocol (drivers/zq_protocal/zq_cmd_frame.h).
//
// Every command is one usb_bulk_write_cmd and one usb_bulk_read_cmd. Results:
// 0 success, a negative libusb error, 1 for a framing error of the reply, or
// the module's status byte when it is not 4. A failure is logged under
// "quorvanta:moc" and returned unchanged; nothing is retried. Commands that
// need the sensor size read it from quorvanta_ctx (-205 without an open
// device).
#ifndef DRIVERS_ZQ_MOC_ZQ_MOC_H_
#define DRIVERS_ZQ_MOC_ZQ_MOC_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Command codes.
enum zq_moc_command {
  ZQ_MOC_CMD_INT_TEST_SET = 0x31,  // payload: IC number 1 or 2
  ZQ_MOC_CMD_INT_TEST_GET = 0x32,  // reply: 1 byte, the IC whose interrupt was seen
  ZQ_MOC_CMD_IMAGE = 0x35,         // reply: width x height bytes
  ZQ_MOC_CMD_RAW = 0x36,           // reply: up to 20480 bytes, 16-bit samples high byte first
  ZQ_MOC_CMD_GET_DAC = 0x37,       // reply: DAC 1, DAC 2
  ZQ_MOC_CMD_SET_DAC = 0x38,       // payload: DAC 1, DAC 2
  ZQ_MOC_CMD_INIT = 0x3C,
  ZQ_MOC_CMD_CLEAR_IRQ = 0x44,
  ZQ_MOC_CMD_STATUS = 0x88,        // reply: 2 bytes, A5 5A = finger on
  ZQ_MOC_CMD_VERSION = 0xB0,       // reply: 2 bytes, version = b1 << 8 | b0
  ZQ_MOC_CMD_SOFT_RESET = 0xB1,
};

// Size of a raw frame (command 0x36): 64 columns of 16-bit samples.
#define ZQ_MOC_RAW_FRAME_SIZE 20480
// Columns of each half the module sends an image in.
#define ZQ_MOC_HALF_COLUMNS 64

// Command 0x35: the image, width x height bytes of the context's
// sensor_info, into img (the two 64-column halves one after the other; see
// zq_MergeImage). -201 for a NULL img.
int zq_GetFpImage(uint8_t *img);

// Command 0x36: a raw frame of at most 20480 bytes into raw. -201 for NULL.
int zq_GetRawData(uint8_t *raw);

// Command 0x37: dac[0] = DAC 1, dac[1] = DAC 2. -201 for NULL.
int zq_GetImageDAC(uint8_t dac[2]);

// Command 0x38 with the two DAC values. -201 for NULL.
int zq_SetImageDAC(const uint8_t dac[2]);

// Command 0x3C: initialise the sensor.
int zq_InitSensor(void);

// Command 0x44, sent only when the open device is of module type 1;
// otherwise 0 at once with nothing sent.
int zq_ClearIRQBit(void);

// Command 0x88: 2 (finger on) when the reply is A5 5A, else 0; a failed
// exchange returns its error.
int zq_QueryDeviceStatus(void);

// Command 0xB0: *version = reply byte 1 << 8 | byte 0. Logs "in bootloader
// loop." when bit 7 of byte 0 is set. -201 for NULL.
int zq_GetFirmwareVersion(uint16_t *version);

// Command 0xB1: soft reset of the module.
int zq_ResetBySoft(void);

// Re-orders the module's image in place: pixels of columns 0 to 63 come from
// the first half of img, pixels of the further columns from the second half
// (from byte width x height / 2 on), row by row. 0; -201 for a NULL img, or
// when the scratch copy cannot be allocated; -205 without an open device;
// -204 (BQ_ERROR_SENSOR_DIMENSION) for a width above 128, whose second half
// would not fit in the image.
int zq_MergeImage(uint8_t *img);

// Interrupt-pin test: each IC (1, then 2) is told to raise its interrupt
// (0x31) and polled (0x32, at most 201 times) until it reports. Always ends
// with zq_InitSensor, whose failure replaces the result. 0 pass, -1 (IC 1)
// or -2 (IC 2) when an IC never reports, or the first failing command's
// result.
int zq_FuncforTestPin(void);

// Dead-pixel test: raw frame A, the DAC pair lowered by one, raw frame B,
// then the DAC pair and the sensor restored. Over samples 129 to 10111
// (skipping columns 0, 1, 62, 63), counts a < 400 or a > 4090 and |a - b| <
// 200 or > 1000. 0 pass, -1 when either count exceeds 100, -12 without
// memory, or a failing command's result.
int zq_FuncforTestDeadPixel(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_MOC_ZQ_MOC_H_
