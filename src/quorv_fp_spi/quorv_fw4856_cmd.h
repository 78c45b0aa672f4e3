// Commands that exist for one chip only (the FW4856, type 7, except the
// FW4847's 10-bit mode). Any other icinfo gives -1 with no transfer. Writes
// are direct MCU frames and return the transfer's result.
#ifndef SRC_QUORV_FP_SPI_QUORV_FW4856_CMD_H_
#define SRC_QUORV_FP_SPI_QUORV_FW4856_CMD_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// FW4847 (type 4) only: 10-bit image (0x01 = 0x00).
int quorv_setImage10Bit(void);

// Fast (packed 12-bit) image mode (0x01 = 0x02).
int quorv_setImagefast(void);

// Interrupt flag, register 0x3D (six-byte read); 8 = force wake.
int quorv_fp_Read_Int_Flag(void);

// Fixed-AGC scan mode (0x02 = enable).
int quorv_fp_sensor_image_scan_fix_mode(uint8_t enable);

// Fixed values: 0x03..0x06 = agc1..agc4, 0x07/0x08 = dac1 high/low,
// 0x09/0x0A = dac2 high/low; all eight are sent even when one fails.
// The last write's result.
int quorv_fix_mode_set_value(int agc1, int agc2, int agc3, int agc4, int dac1, int dac2);

// Reads 0x03..0x0A one at a time and logs each at level 1.
void quorv_fix_mode_get_value(void);

// Block read `10 EF reg 00` + len answer bytes of consecutive registers into
// out: len on success, the transfer's non-zero result, 0 when SpiRead is
// not registered, -1 for a NULL out or another chip.
int quorv_fp_sensor_read_info(uint8_t reg, uint8_t *out, uint8_t len);

// Automatic power sleep (0x1E = 0x06).
int quorv_fp_sensor_Auto_Power_Sleep(void);

// Key mode: 0x00 = 0x90 when on is non-zero, 0x00 otherwise.
int quorv_fp_sensor_Key_Mode_Switch(uint8_t on);

// Work state, register 0x00 (logged at level 1).
int quorv_fp_sensor_get_FW_Workstate(void);

// Block number, register 0x3F (logged at level 1).
int quorv_fp_sensor_get_Block_Num(void);

// MCU stop enable (0x00 = 0x73).
int Set_Mcu_Stop_Enable(void);

// MCU stop disable, the frame `70 00 00 00 00`.
int Set_Mcu_Stop_Disable(void);

// Force-wake enable: writes 0x46 = enable, reads 0x46 back and returns it.
int quorv_fp_sensor_Set_Force_Wake_EN(uint8_t enable);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_FP_SPI_QUORV_FW4856_CMD_H_
