#include "framework/zq_sensor_info.h"

#include <cstring>

namespace {

void PutLe16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetLe16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetLe32(const uint8_t *p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

extern "C" size_t zq_sensor_info_serialize(const zq_sensor_info_t *info, uint8_t *out,
                                           size_t out_len) {
  if (info == nullptr || out == nullptr || out_len < ZQ_SENSOR_INFO_SIZE) return 0;
  PutLe16(out + 0, info->fw_version);
  PutLe16(out + 2, info->chip_id);
  PutLe16(out + 4, info->sensor.cols);
  PutLe16(out + 6, info->sensor.rows);
  PutLe32(out + 8, info->sensor_type);
  std::memcpy(out + 12, info->version_text, sizeof info->version_text);
  return ZQ_SENSOR_INFO_SIZE;
}

extern "C" size_t zq_sensor_info_parse(zq_sensor_info_t *info, const uint8_t *in,
                                       size_t in_len) {
  if (info == nullptr || in == nullptr || in_len < ZQ_SENSOR_INFO_SIZE) return 0;
  info->fw_version = GetLe16(in + 0);
  info->chip_id = GetLe16(in + 2);
  info->sensor.cols = GetLe16(in + 4);
  info->sensor.rows = GetLe16(in + 6);
  info->sensor_type = GetLe32(in + 8);
  std::memcpy(info->version_text, in + 12, sizeof info->version_text);
  return ZQ_SENSOR_INFO_SIZE;
}
