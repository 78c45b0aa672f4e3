// Raw SPI accessors of the sensor chip: special-function registers (SFR),
// SRAM words, the MCU mailbox with its doorbell, and the SPI reset. No chip
// type check. Frames are big-endian; each command byte is followed by its
// complement. A missing SpiWrite callback sends nothing and reports 0.
#ifndef SRC_QUORV_FP_SPI_QUORV_SPI_FRAMES_H_
#define SRC_QUORV_FP_SPI_QUORV_SPI_FRAMES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// SRAM address of the four-byte MCU mailbox (chip types 2 and 3).
#define QUORV_MAILBOX_ADDR 0x85C0
// SFR whose write of 1 makes the MCU run the mailbox command.
#define QUORV_DOORBELL_SFR 0xA4

// Sends the caller's len bytes unchanged: SpiWrite's result, 0 when none.
int quorv_fp_sensor_bulk_write(const uint8_t *buf, uint16_t len);

// SFR write `09 F6 reg value`: SpiWrite's result, 0 when none.
int quorv_fp_sensor_write_sfr_register(uint8_t reg, uint8_t value);

// SFR read `08 F7 reg 00` (answer byte 3): SpiRead's result, *out written
// only on 0; 0 with *out untouched when SpiRead is not registered.
int quorv_fp_sensor_read_sfr_register(uint8_t reg, uint8_t *out);

// SFR read, five-byte form `08 F7 reg 00 00` (answer byte 4): SpiRead's
// result, *out written only on 0; -1 when SpiRead is not registered.
int quorv_fp_sensor_fw4848_sfr_read(uint8_t reg, uint8_t *out);

// SRAM word write `05 FA aH aL 00 02 vH vL`: SpiWrite's result, 0 when none.
int quorv_fp_sensor_write_sram_register(uint16_t addr, uint16_t value);

// SRAM word read `04 FB aH aL 00 02 ?? ??` (answer bytes 6-7, big-endian):
// SpiRead's result, *out written only on 0; 0 with *out untouched when
// SpiRead is not registered.
int quorv_fp_sensor_read_sram_register(uint16_t addr, uint16_t *out);

// Mailbox command: `05 FA 85 C0 00 04 10 EF reg value`, then, when that
// returned 0 (or SpiWrite is not registered), the doorbell `09 F6 A4 01`.
// The failed mailbox write's result, else the doorbell's.
int quorv_fp_sensor_write_sram_infor(uint8_t reg, uint8_t value);

// SPI reset, the one byte 0x70: SpiWrite's result, 0 when none.
int quorv_fp_spi_reset(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_SPI_FRAMES_H_
