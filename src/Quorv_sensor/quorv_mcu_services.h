// MCU services of the sensor library: image bit depth, state-check and
// interrupt modes, and register access with a folded result.
#ifndef SRC_QUORV_SENSOR_QUORV_MCU_SERVICES_H_
#define SRC_QUORV_SENSOR_QUORV_MCU_SERVICES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Result of the register wrappers when the accessor's result is negative.
#define QUORV_REG_ACCESS_FAIL (-4)

// MCU busy: -1, nothing changed. Else sends the bit-depth command (1 8-bit,
// 0 16-bit, 2 fast mode on type 7 or 10-bit elsewhere, other values
// nothing), stores imagebit in the SPI instance whatever the command
// returned, and returns 0.
int SetImageBit(uint8_t imagebit);

// MCU busy: -1; else the image bit state read from the chip.
int GetImageBitStatus(void);

// MCU busy: -1; else sends the mode (result not used) and returns 0.
int SetMcuStateCheckMode(uint8_t mode);

// MCU busy: -1; else the mode read as an unsigned byte (255 after a failed
// read).
int GetMcuStateCheckMode(void);

// quorv_fp_SetInterruptMode's result; the mode is stored in the SPI
// instance's McuInterruptMode whatever that result was.
int SetMcuInterrupMode(uint8_t mode);

// quorv_fp_GetInterruptMode's result unchanged.
int GetMcuInterruptMode(void);

// Register wrappers: 0 when the raw accessor returns 0 or more, -4 when it
// returns a negative value.
int ReadSfrRegister(uint8_t reg, uint8_t *out);
int WriteSfrRegister(uint8_t reg, uint8_t value);
int ReadSRamRegister(uint16_t addr, uint16_t *out);
int WriteSRamRegister(uint16_t addr, uint16_t value);
int WriteInforRegiser(uint8_t reg, uint8_t value);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_MCU_SERVICES_H_
