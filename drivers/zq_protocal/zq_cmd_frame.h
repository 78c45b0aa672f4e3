// The framed bulk command protocol of the modules with a microcontroller of
// their own (module type 1, product 0x3b17; module type 2, products 0x3b11 to
// 0x3b1a):
//
//   02 | length (big-endian, 1 + payload) | command or status | payload | check
//
// where check is the XOR of the length, command/status and payload bytes. A
// reply carries a status (ZQ_CMD_STATUS_OK = success) in place of the
// command. Transfers go through usb_bulk_out_transfer/usb_bulk_in_transfer
// (drivers/zq_sensor/zq_usb.h), so they take usb_lock and reset the device
// after a failure.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_CMD_FRAME_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_CMD_FRAME_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// First byte of every frame.
#define ZQ_CMD_MAGIC 0x02
// Reply status of success.
#define ZQ_CMD_STATUS_OK 0x04
// Frame bytes besides the payload: magic, two length bytes, command, check.
#define ZQ_CMD_OVERHEAD 5
// Size of the shared transmit and receive buffers of the module type 1
// writer and reader: the largest reply (a 20480-byte raw frame) fits.
#define ZQ_CMD_BUFFER_SIZE 20992
// Time-outs of the module type 1 writer and reader, in milliseconds.
#define ZQ_CMD_WRITE_TIMEOUT_MS 4000
#define ZQ_CMD_READ_TIMEOUT_MS 8000

// Reasons a reply frame is refused (zq_cmd_frame_parse).
typedef enum zq_cmd_frame_error {
  ZQ_FRAME_OK = 0,
  ZQ_FRAME_SHORT,        // fewer than the 5 bytes of an empty frame arrived
  ZQ_FRAME_MAGIC,        // byte 0 is not 0x02
  ZQ_FRAME_BAD_LENGTH,   // length field 0 (no status byte)
  ZQ_FRAME_OVER_LENGTH,  // more payload than the caller can take
  ZQ_FRAME_TRUNCATED,    // the frame runs past the bytes received
  ZQ_FRAME_BCC,          // check byte mismatch
} zq_cmd_frame_error;

// Builds the frame of `cmd` with `len` payload bytes into `out` (room for
// `out_len` bytes). A NULL payload leaves the payload bytes of `out` as they
// are. Returns the frame length (len + 5), or 0 when it does not fit.
size_t zq_cmd_frame_build(uint8_t *out, size_t out_len, uint8_t cmd, const void *payload,
                          uint16_t len);

// Checks the reply frame in the first `received` bytes of `frame`: magic,
// length field (not 0, payload at most `max_payload`, inside `received`),
// then the check byte. On ZQ_FRAME_OK *status and *payload_len (either may be
// NULL) receive the status byte and the payload length; the payload starts
// at frame + 4.
zq_cmd_frame_error zq_cmd_frame_parse(const uint8_t *frame, size_t received, size_t max_payload,
                                      uint8_t *status, uint16_t *payload_len);

// Module type 1 writer: builds the frame in the shared transmit buffer and
// sends its len + 5 bytes (4000 ms). With the command-dump flag of bq_config
// the frame is logged and hex-dumped. Returns 0, a negative libusb error, or
// -202 (BQ_ERROR_OVERFLOW) when the frame exceeds the buffer (nothing sent).
int usb_bulk_write_cmd(uint8_t cmd, const void *payload, uint16_t len);

// Module type 1 reader: one bulk IN of dst_len + 5 bytes (8000 ms) into the
// shared receive buffer, then the frame checks. Returns 0 (payload copied to
// dst; a status-only reply copies nothing), a negative libusb error, 1 for a
// framing error (bad magic, length 0, over length, a frame longer than what
// arrived, bad check byte), the module's status byte when it is not 4, -201
// (BQ_ERROR_NULL_POINTER) for a payload with a NULL dst, or -202 when
// dst_len + 5 exceeds the buffer (nothing read).
int usb_bulk_read_cmd(uint8_t *dst, uint16_t dst_len);

// Module type 2 exchange: sends the frame of `cmd`/`payload` (built in a
// local buffer) with `timeout_ms`, waits 10 ms, then reads one reply of up to
// `rx_len` bytes into `rx` with the same time-out. Each direction is tried up
// to 4 times (every failure resets the device inside the transfer layer);
// the retries are logged under the tag "quorvanta:zq4846". *received (may be
// NULL) gets the byte count of the reply. The reply's status (rx[3]) is left
// to the caller. Returns 0, -1 when a direction failed four times, -201 for a
// NULL rx, -202 when the request frame exceeds 64 bytes.
int zq_cmd_exchange(uint8_t cmd, const void *payload, uint16_t len, uint8_t *rx, uint16_t rx_len,
                    unsigned timeout_ms, int *received);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_CMD_FRAME_H_
