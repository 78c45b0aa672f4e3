// MCU commands for every chip family, chosen by the SPI instance's icinfo:
// direct MCU frames on types 1 and 7, the mailbox and status words on types
// 2 and 3. Types 4 to 6 and 8 to 12 have no MCU commands (mostly 0 with no
// transfer); 0 and 13 or more are unsupported (-1, or 0xFF for the 8-bit
// results). Writes return the transfer's result (0 with no SpiWrite).
#ifndef SRC_QUORV_FP_SPI_QUORV_MCU_CMD_H_
#define SRC_QUORV_FP_SPI_QUORV_MCU_CMD_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// MCU status, 0 ready, anything else busy. Types 1/7: the host's
// GetMcuStatus (-1 when not registered); 2/3: status word 0x8510, 0 when it
// reads A5 5A, else 1 (1 with no SpiRead); 4-6, 8-12: 0; other: -1.
int quorv_fp_mcu_status(void);

// Finger-detect scan (register 0x00 = 0x6B; six-byte direct frame).
int quorv_fp_sensor_finger_detect_scan(void);

// Single finger scan (0x00 = 0x6E; six-byte direct frame, type 1 only:
// type 7 gives -1).
int quorv_fp_sensor_finger_singel_scan(void);

// Image scan (0x00 = 0x6C).
int quorv_fp_sensor_image_scan(void);

// Finger status. Types 1/7: the raw register 0x1D (six-byte read);
// 2/3: 0 when the low byte of status word 0x850E is 1, else 1 (1 with no
// SpiRead); 4-6, 8-12: 0; other: -1.
int quorv_fp_sensor_get_finger_status(void);

// Auto-sensor mode flag (0x1E = 0x01; six-byte direct frame). 0 for types
// 4, 5, 6, 8, 11, 12; -1 for 9, 10 and the unsupported codes.
int quorv_fp_sensor_set_autosensormode_flag(void);

// Auto-sensor result. Type 1: register 0x1D read with argument 1 (type 7
// gives -1). Types 2/3: mailbox payload `11 EE 1D 01` (+ doorbell when that
// write returned 0), 1000 us, then the 7-byte mailbox read `04 FB 85 C0 00 00
// ..`: its answer byte, or 0xFF when SpiRead is missing or fails.
int quorv_fp_sensor_enable_autosensormode(void);

// MCU state-check mode (0x1F = mode); 8-bit result: 0xFF for unsupported.
uint8_t quorv_fp_setMcuStateCheckMode(uint8_t mode);

// MCU state-check mode read (0x1F, or the low byte of status word 0x850F:
// 0xFF when the transfer fails, 0 with no SpiRead); 0xFF for unsupported.
uint8_t quorv_fp_getMcuStateCheckMode(void);

// 8-bit image (0x01 = 0x01).
int quorv_setImage8Bit(void);

// 16-bit image (0x01 = 0x00).
int quorv_setImage16Bit(void);

// Image bit state (0x01, or the low byte of status word 0x8500: 0xFF when
// the transfer fails, 0 with no SpiRead).
int quorv_getImageState(void);

// MCU interrupt mode (0x40 = mode); type 1 only of the direct family.
int quorv_fp_SetInterruptMode(uint8_t mode);

// MCU interrupt mode read: type 1 register 0x40 (logged at level 1), 2/3 the
// high byte of status word 0x8520 (0xFF when the transfer fails, 0 with no
// SpiRead); 0xFF for type 7 and the unsupported codes.
uint8_t quorv_fp_GetInterruptMode(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_MCU_CMD_H_
