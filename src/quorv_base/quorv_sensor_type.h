// The chip-type codes shared by the sensor and algorithm libraries, and
// their name tables.
#ifndef SRC_QUORV_BASE_QUORV_SENSOR_TYPE_H_
#define SRC_QUORV_BASE_QUORV_SENSOR_TYPE_H_

#ifdef __cplusplus
extern "C" {
#endif

// Chip type, held as the byte `icinfo` of the SPI instance.
typedef enum SensorType {
  SENSOR_NONE = 0,
  SENSOR_ZQ4841 = 1,   // direct MCU frames
  SENSOR_ZQ4842 = 2,   // SRAM mailbox
  SENSOR_ZQ4844 = 3,   // SRAM mailbox
  SENSOR_FW4847 = 4,
  SENSOR_FW4859H = 5,
  SENSOR_FW4848 = 6,
  SENSOR_FW4856 = 7,   // direct MCU frames plus its own commands
  SENSOR_FW4845 = 8,
  SENSOR_ZE4850 = 9,
  SENSOR_DO4851 = 10,
  SENSOR_FW4849 = 11,
  SENSOR_FW4843 = 12,
  SENSOR_FW4854 = 13,  // known to the classifiers only
  SENSOR_FW4853 = 14,  // known to the classifiers only
  SENSOR_FW4852 = 15,  // known to the classifiers only
  SENSOR_FW4855 = 16,  // algorithm only: no chip driver, no reader
} SensorType;

// Number of chipName entries (codes 0 to 16).
#define QUORV_CHIP_NAME_COUNT 17
// Number of chipBit entries (imagebit codes 0 to 3).
#define QUORV_CHIP_BIT_COUNT 4

// Names of the SensorType codes 0 to 16 ("NONE", "ZQ4841", ..., "FW4855").
extern const char *chipName[QUORV_CHIP_NAME_COUNT];

// Names of the imagebit codes: "16bit", "8bit", "10bit", "12bit".
extern const char *chipBit[QUORV_CHIP_BIT_COUNT];

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_BASE_QUORV_SENSOR_TYPE_H_
