// Sensor-type detection at open: module products by their module type,
// bridge products by the running firmware's resolution registers, else by
// probing the chip without firmware (4847 chip id, boot edition, register
// file, chip id and OTP bits), followed by the firmware check and download.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_DETECT_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_DETECT_H_

#ifdef __cplusplus
extern "C" {
#endif

// Firmware-check attempts and probing passes.
#define ZQ_DETECT_FW_CHECKS 3
#define ZQ_DETECT_PASSES 3
// Pause after a failed probing pass, in milliseconds.
#define ZQ_DETECT_PASS_PAUSE_MS 400

// Starts the sleep detector (once per process), settles g_sensor_type and
// g_boot_edition, creates the sensor object and loads the bridge firmware.
// Returns 0, or the error of the module path, of the firmware load, or of
// the last probing pass (-1 when nothing was recognised). After three failed
// passes on products 0x4841, 0x4842 and 0x4847 type 4 is selected anyway and
// the error is still returned.
int zq_sensorbase_TryToInitSensor(void);

// Steps of the detection, each 0 or an error; the type is left in
// g_sensor_type. DetectSensorTypeWithFW reads the resolution registers
// (-1 for a pair of no known sensor); ReadChipId answers 1 for a 4847 and 0
// for any other id; DetectSensorTypeWithoutFW judges the boot edition and
// the chip family, at most 3 tries.
int zq_feature_devinit_DetectSensorTypeWithFW(void);
int zq_feature_4847_ReadChipId(void);
int zq_feature_devinit_DetectSensorTypeWithoutFW(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_DETECT_H_
