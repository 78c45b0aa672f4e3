// Finger detection (FDT) of the fw4846 chip: the FDT configuration, the FDT
// DAC search, base learning, automatic and manual detection, press
// settling, finger-up confirmation and the base corruption check.
#ifndef CHIPS_FW4846_FW4846_FDT_H_
#define CHIPS_FW4846_FW4846_FDT_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Directions of detection.
enum { FW4846_FDT_UP = 0, FW4846_FDT_DOWN = 1 };

// Results of fw4846_fdt_manual_check.
enum { FW4846_FDT_NONE = 0, FW4846_FDT_TOUCH = 2, FW4846_FDT_RELEASE = 4, FW4846_FDT_INVERSE = 16 };

// Loads the FDT configuration into the chip (cached by the set-up code).
void fw4846_fdt_mode_init(void);
// Arms automatic detection: FW4846_FDT_DOWN or FW4846_FDT_UP.
void fw4846_fdt_auto_start(int direction);
// Starts a one-shot FDT scan and waits (at most 5 polls, 1 ms apart) for
// its interrupt.
void fw4846_fdt_manual_start(void);
// One manual scan and its decision. Down: 2 touched, 16 inverse, 0 none.
// Up: 4 released, 0 not yet. Any other direction: 0 (after the scan).
int fw4846_fdt_manual_check(int direction);
// Searches the FDT DAC (at most 128 tries, DAC kept in 1..125).
void fw4846_fdt_AutoSDacUpdate(void);
// Learns the FDT bases from the minima of up to `samples` stable readings
// per pass, at most 3 passes.
void fw4846_fdt_base_Stable_Update(int samples);
// Stores `values` (block count of them) as down, up and plain base with CRCs.
void fw4846_fdt_base_Min_Updata(const uint16_t *values);
// Raises the bases to the current raw values.
void fw4846_fdt_base_Update(void);
// Waits for a press to settle, by manual down checks.
void fw4846_fdt_stable_function(void);
// Confirms a finger-up event: 0 confirmed, -1 not.
int fw4846_fdt_up_confirm(void);
// Writes the 8 base words to the chip's FDT base registers.
void fw4846_fdt_base_write(const uint16_t *base);
// Reads the block count of raw FDT values, in host order.
void fw4846_fdt_read_raw(uint16_t *out);
// Base corruption code (0 when sound; bits listed in the source).
int fw4846_wrong_base_check(void);
// 0 when all four values lie in 300..700, else -1.
int fw4846_fdt_base_in_range(const uint16_t *values);
// A manual down check, then the mean of the first four differences.
int fw4846_fdt_diff_mean(void);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_FW4846_FW4846_FDT_H_
