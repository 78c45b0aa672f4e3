// The sensor behind the bridge as the detection settles it: the sensor type,
// the sensor object (firmware image, size, resolution, firmware version,
// reset delay, boot edition) and the driver's process-wide sensor flags.
// Everything here is used from the driver's thread; the capture flags shared
// with the sleep detector are in framework/capture_flags.h.
#ifndef DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_OBJECT_H_
#define DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_OBJECT_H_

#include <stdint.h>

#include "framework/zq_sensor_info.h"

#ifdef __cplusplus
extern "C" {
#endif

// zq_sensor_type codes.
enum zq_sensor_type {
  ZQ_SENSOR_NONE = 0,
  ZQ_SENSOR_ZQ4841W = 1,
  ZQ_SENSOR_ZQ4842W = 2,
  ZQ_SENSOR_ZQ4844W = 3,
  ZQ_SENSOR_ZQ4847W = 4,
  ZQ_SENSOR_ZQ4856W = 7,
  ZQ_SENSOR_CHIP_REGISTRY = 8,  // the chip registry's current chip; never detected
  ZQ_SENSOR_ZQ4843W = 10,       // module type 1
  ZQ_SENSOR_MODULE2 = 11,       // module type 2
};

// Boot editions of g_boot_edition.
enum { ZQ_BOOT_EDITION_A = 0, ZQ_BOOT_EDITION_B = 1 };

// Module types of quorvanta_ctx->module_type: 0 bridge, 1 and 2 own MCU.
enum { ZQ_MODULE_BRIDGE = 0, ZQ_MODULE_TYPE1 = 1, ZQ_MODULE_TYPE2 = 2 };

// The sensor type, written only by the detection (0 at load).
extern int g_sensor_type;
// The sensor object: firmware image and size (the size of the created
// bridge type's image; the image NULL until a download reads it from its
// file, see zq_fw_images.h), the type whose image they stand for (0 until
// a bridge type is created), resolution (160 x 160 at load), firmware version (register
// 0x1A after an edition-A download). The reset delay is g_reset_delay of
// zq_bridge_state.h.
extern const uint8_t *g_fw_image;
extern uint16_t g_fw_size;
extern int g_fw_image_type;
extern uint16_t g_sensor_width;
extern uint16_t g_sensor_height;
extern uint8_t g_fw_version;
// ZQ_BOOT_EDITION_A (the value at load) or ZQ_BOOT_EDITION_B.
extern int g_boot_edition;
// 4847 finger-detection mode (1 at load; 2 = POA).
extern int g_4847_poa_mode;
// The chip record reported a hardware-reset event (1 at load).
extern int g_reset_event_seen;
// Set to 1 by every finger query; only logged.
extern uint8_t run_loop_cnt;

// Creates the sensor object of g_sensor_type (see the table in
// zq_sensor_object.cpp). Returns 0, or -1 for type 0 (nothing changes).
int zq_feature_devinit_CreateSensor(void);

// Fills `info` (zeroed first) from the sensor object; module type 1 asks
// the module for its firmware version, module type 2 for its chip id and
// size (after the clear-image step unless g_resumed_from_sleep is 1). Returns
// 0, or -201 for NULL; module query failures are not reported.
int zq_sensorbase_GetSensorInfo(zq_sensor_info_t *info);

// The MCU-status callback of the sensor access layer: 0 ready, 1 busy, or a
// negative error. Types 4, 10 and 11 are always ready; type 8 asks the chip
// registry's current chip; others read bridge register 0x20.
int zq_sensorbase_QueryDeviceStatus(void);

// Close-time release: unlinks the fw4846 chip record from the chip registry
// when it is linked and clears the current chip. Returns 0.
int zq_sensorbase_DeinitSensor(void);

// Accessors of g_sensor_type, g_boot_edition, g_bus_type and g_4847_poa_mode.
void zq_set_sensor_type(int type);
int zq_get_sensor_type(void);
void zq_set_boot_edition(int edition);
int zq_get_boot_edition(void);
void zq_set_bus_type(int type);
int zq_get_bus_type(void);
void zq_set_4847_poa_mode(int mode);
int zq_get_4847_poa_mode(void);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_PROTOCAL_ZQ_SENSOR_OBJECT_H_
