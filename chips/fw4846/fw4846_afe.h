// Register operations of the fw4846 analogue front end: chip id, interrupt
// status and mask, power commands, scan rates, levels, the chip-state
// defaults and the bit-field insert used for every register update.
#ifndef CHIPS_FW4846_FW4846_AFE_H_
#define CHIPS_FW4846_FW4846_AFE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// The chip id this chip answers.
#define FW4846_CHIP_ID 0x4845

// SRAM word 0x1A8B, the chip id.
uint16_t fw4846_read_chip_id(void);
// SRAM word 0x1A82, the interrupt status.
uint16_t fw4846_read_int_status(void);
// Writes `bits` to the interrupt clear register 0x1A84; -1 clears all.
void fw4846_clear_int(int bits);
// Sets / clears bit `index` of the interrupt mask 0x1A83 (read, modify, write).
void fw4846_int_enable(int index);
void fw4846_int_disable(int index);
// The interrupt mask 0x1A83.
uint16_t fw4846_read_int_mask(void);
void fw4846_write_int_mask(uint16_t mask);
// Sets bit `index` of the interrupt control 0x1A81.
void fw4846_int_ctrl_set(int index);
// SFR 0x8E = min(v, 104) x 625 / 256.
void fw4846_set_scaled_level(int v);
// SFR 0x90 = 1 when flag is nonzero, else 0.
void fw4846_level_enable(int flag);
// SFR 0x90 = 0, 0x91 = high byte, 0x92 = low byte, 0x90 = 1; a negative
// value writes 0x7F and 0xFF.
void fw4846_set_level_word(int v);
// SFR 0x80, the chip state (0x50 idle, 0x54 image scan running).
uint8_t fw4846_read_state(void);

// Command 9; command 0 unless the chip is idle already; command 10. 0.
int fw4846_idle(void);
// Commands 0 and 1.
void fw4846_sleep(void);
// fw4846_idle, then command 1.
void fw4846_deep_sleep(void);
// Command 5, 2 ms, up to 20 id reads until 0x4845, then clears the pending
// interrupts.
void fw4846_soft_reset(void);

// `word` with bits high..low replaced by `field` shifted to `low`; bits of
// the field beyond the range's width are not masked.
uint16_t fw4846_set_bits(uint16_t word, int high, int low, uint16_t field);
// fw4846_set_bits with the arguments ordered (field, high, low, word).
uint16_t fw4846_set_bits_alt(uint16_t field, int high, int low, uint16_t word);
// 1 and 2 give 0, 3 gives 1, any other value 256.
int fw4846_mode_code(int v);

// Read, modify, write of bits high..low of SRAM word `addr`; returns the
// value written.
uint16_t fw4846_sram_update_bits(uint16_t addr, int high, int low, uint16_t field);

// The default scan-rate words of 0x1806, 0x180A and 0x180B.
void fw4846_Set_Scan_Rate_Default(void);
// Chip-state defaults: DACs, image middle, set-up code, debug parameters and
// the loaded, calibration, mode, direction and latch flags.
void fw4846_state_reset(void);
// Logs the FDT base, raw and delta registers.
void fw4846_dump_fdt_debug(void);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_AFE_H_
