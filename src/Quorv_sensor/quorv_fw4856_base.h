// FW4856 (type 7) fixed-gain mode and the base correction of its 12-bit
// images: the calibration record of the base image, the gain factor tables,
// the fixed-AGC switch and the flattening of one image against the base.
#ifndef SRC_QUORV_SENSOR_QUORV_FW4856_BASE_H_
#define SRC_QUORV_SENSOR_QUORV_FW4856_BASE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Samples the base correction handles at most (data_base's length).
#define QUORV_FW4856_BASE_SAMPLES 25600

// Gain tables: agc1 step i has gain factor1Group1[i] / 10, agc2 step i
// factor2Group1[i] / 10, agc3 and agc4 step i factor3Group1[i] and
// factor4Group1[i].
extern const uint8_t factor1Group1[8];
extern const int8_t factor2Group1[4];
extern const int8_t factor3Group1[4];
extern const int8_t factor4Group1[4];

// Calibration of the base image; seven int32 in this order, 0 at load.
typedef struct FactordValue {
  int32_t agc1;  // gain-step index into factor1Group1
  int32_t agc2;  // gain-step index into factor2Group1
  int32_t agc3;  // gain-step index into factor3Group1
  int32_t agc4;  // gain-step index into factor4Group1
  int32_t dac1;
  int32_t dac2;
  int32_t mv;    // mean (offset) value of the base
} FactordValue;

// The calibration in force; written only by SetFactordValue.
extern FactordValue g_factord_t;

// Live chip values, re-read by every base correction (DACs 512 at load).
extern uint8_t g_reg_Agc1, g_reg_Agc2, g_reg_Agc3, g_reg_Agc4;
extern uint16_t g_regDac1, g_regDac2;

// Integration-time factor of the offsets (1 at load and after a correction).
extern int32_t gather_time;

// The base image, row by row, host byte order; filled by Set_base_value.
extern int16_t data_base[QUORV_FW4856_BASE_SAMPLES];

// Work image of the base correction.
extern uint16_t TempFpImgData[2 * QUORV_FW4856_BASE_SAMPLES];

// Stores the calibration (logged at level 2).
void SetFactordValue(FactordValue value);

// Derives the private gains and offsets from g_factord_t. A gain index
// outside its table gives a gain of 0 (logged at level 5), which the base
// correction refuses.
void Set_factord_value(void);

// Copies imagewidth x imageheight 16-bit samples (host order) from base into
// data_base; nothing without an SPI instance, for a NULL base, or when the
// image has more than QUORV_FW4856_BASE_SAMPLES pixels (logged).
void Set_base_value(const uint8_t *base);

// Fixed-AGC switch: sends the scan mode; when enable is non-zero, writes the
// calibration's gains lowered by `steps` gain steps (agc4 first, then agc3,
// then agc2; agc1 and the DACs unchanged) and reads them back.
void Fix_agc_switch(uint8_t enable, uint8_t steps);

// Corrects imagewidth x imageheight big-endian 16-bit samples in place:
// divides each sample's signal by the base's response relative to its first
// pixel and stretches the result to 0..4095 (4095 above 4092). Arithmetic in
// single precision. When the correction cannot run the samples come back
// unpacked and repacked: unchanged after an allocation failure or a failed
// register read; divided by 40 in 16-bit mode after a gain index outside its
// table or a base whose first response is 0 (all logged at level 5).
// Nothing is touched for a NULL image, without an SPI instance or for an
// image of more than QUORV_FW4856_BASE_SAMPLES pixels.
void App_Quorv_Base_Process(uint8_t *image);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_SENSOR_QUORV_FW4856_BASE_H_
