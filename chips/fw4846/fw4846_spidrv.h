// SPI frames of the fw4846 chip: commands, SFR bytes, SRAM words and bulk
// blocks, the image/navigation FIFO, OTP bytes and the CRC of stored bases.
// Every frame goes out through the bridge's SPI pass-through.
#ifndef CHIPS_FW4846_FW4846_SPIDRV_H_
#define CHIPS_FW4846_FW4846_SPIDRV_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Command rows (3 bytes each, row 11 one byte).
enum {
  FW4846_CMD_IDLE = 0,
  FW4846_CMD_SLEEP = 1,
  FW4846_CMD_FDT = 2,
  FW4846_CMD_IMAGE = 3,
  FW4846_CMD_NAV = 4,
  FW4846_CMD_SOFT_RESET = 5,
  FW4846_CMD_OPEN = 9,   // opens a control sequence (wakes the chip)
  FW4846_CMD_CLOSE = 10, // closes it
  FW4846_CMD_ROWS = 12,
};

// Bytes of one image frame in the FIFO (64 x 80 samples, high byte first).
#define FW4846_FRAME_BYTES 10240
// Largest data length of one SRAM bulk write.
#define FW4846_BULK_WRITE_MAX 1792
// SRAM word address of the FIFO window.
#define FW4846_FIFO_ADDR 0x1A05

// Sends command `row`, then sleeps 1 ms unless the row is 10. Returns 0, or
// -1 (nothing sent) for a row outside 0..11.
int fw4846_send_cmd(int row);

// Writes SFR `addr`; the transfer status is not examined.
void fw4846_sfr_write(uint8_t addr, uint8_t value);
// Writes SFR `addr`. Returns the transfer status (logged on failure).
int fw4846_sfr_write_app(uint8_t addr, uint8_t value);
// Reads SFR `addr`; 0 when the transfer fails.
uint8_t fw4846_sfr_read(uint8_t addr);
// Reads SFR `addr` into *out. Returns the transfer status (logged on failure).
int fw4846_sfr_read_app(uint8_t addr, uint8_t *out);

// Writes one SRAM word. Returns the transfer status.
int fw4846_sram_write(uint16_t addr, uint16_t value);
// Writes `len` bytes (whole words, high byte first) from SRAM word `addr` on.
// Returns the transfer status (logged on failure), -201 for NULL data with a
// nonzero length, or -202 when len exceeds 1792 (nothing sent).
int fw4846_sram_write_bulk(uint16_t addr, const uint8_t *data, int len);
// Reads one SRAM word; 0 when the transfer fails.
uint16_t fw4846_sram_read(uint16_t addr);
// 0 when SRAM word `addr` equals `expected`, else -1 (logged).
int fw4846_Mode_Init_Sram_Check(uint16_t addr, uint16_t expected);
// Reads `len` bytes from SRAM word `addr` on. Returns the transfer status
// (logged on failure), -200 for a negative length or -201 for NULL.
int fw4846_sram_read_bulk(uint16_t addr, uint8_t *buffer, int len);
// Reads `len` - 2 bytes (the ECC form of a bulk read of `len` bytes). Returns
// the transfer status (logged on failure), -200 for len < 2 or -201 for NULL.
int fw4846_sram_read_bulk_withecc(uint16_t addr, uint8_t *buffer, int len);
// Reads `len` bytes from the FIFO at `addr`. Returns the transfer status
// (logged on failure), -200 for a negative length or -201 for NULL.
int fw4846_fifo_read(uint16_t addr, uint8_t *buffer, int len);
// Reads `frames` FIFO frames (0 counts as 1, more than 5 as 5) of 10240
// bytes each into `buffer`, one transfer per frame. Returns 0 (-201 for NULL).
int fw4846_fifo_read_frames(uint8_t *buffer, int frames);
// One FIFO read of `len` bytes from the FIFO window. Returns 0 (-201 for NULL).
int fw4846_fifo_read_once(uint8_t *buffer, int len);

// Reads OTP byte `index`.
uint8_t fw4846_otp_read(uint8_t index);

// CRC-16/CCITT-FALSE (initial 0xFFFF, polynomial 0x1021, MSB first, no final
// XOR) over `bytes` bytes at `words`, in memory order.
uint16_t fw4846_crc16(const void *words, int bytes);

// Busy loop of count x 64 empty iterations.
void fw4846_spin_delay(int count);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_SPIDRV_H_
