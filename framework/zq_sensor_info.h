// The sensor information record of the quorvanta driver and its 44-byte
// little-endian form handed out by the factory control entry.
#ifndef FRAMEWORK_ZQ_SENSOR_INFO_H_
#define FRAMEWORK_ZQ_SENSOR_INFO_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Length of the serialised record.
#define ZQ_SENSOR_INFO_SIZE 44

// Firmware version, chip id, sensor size and type. The in-memory layout
// equals the serialised one on a little-endian host; the serialiser below
// writes it field by field on any host.
typedef struct zq_sensor_info {
  uint16_t fw_version;  // bridge/module firmware version
  uint16_t chip_id;     // module type 2: chip id; 0 otherwise
  struct {
    uint16_t cols;  // width in pixels
    uint16_t rows;  // height in pixels
  } sensor;
  uint32_t sensor_type;      // zq_sensor_type
  char version_text[32];     // zero unless the factory entry fills it
} zq_sensor_info_t;

#ifdef __cplusplus
static_assert(sizeof(zq_sensor_info_t) == ZQ_SENSOR_INFO_SIZE, "sensor info is 44 bytes");
static_assert(offsetof(zq_sensor_info_t, fw_version) == 0, "fw_version at 0");
static_assert(offsetof(zq_sensor_info_t, chip_id) == 2, "chip_id at 2");
static_assert(offsetof(zq_sensor_info_t, sensor.cols) == 4, "cols at 4");
static_assert(offsetof(zq_sensor_info_t, sensor.rows) == 6, "rows at 6");
static_assert(offsetof(zq_sensor_info_t, sensor_type) == 8, "sensor_type at 8");
static_assert(offsetof(zq_sensor_info_t, version_text) == 12, "version_text at 12");
#else
_Static_assert(sizeof(zq_sensor_info_t) == ZQ_SENSOR_INFO_SIZE, "sensor info is 44 bytes");
#endif

// Writes `info` as 44 little-endian bytes into `out`. Returns the number of
// bytes written (44), or 0 when either pointer is NULL or `out_len` < 44.
size_t zq_sensor_info_serialize(const zq_sensor_info_t *info, uint8_t *out, size_t out_len);

// Reads 44 little-endian bytes into `info`. Returns 44, or 0 when either
// pointer is NULL or `in_len` < 44 (then `info` is left unchanged).
size_t zq_sensor_info_parse(zq_sensor_info_t *info, const uint8_t *in, size_t in_len);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_ZQ_SENSOR_INFO_H_
