// Recording, scriptable stand-in for the sensor library
// (src/FpSensorLib/quorv_sensor_lib.h). Link `sensorlib_standin` instead of
// the quorv_sensorlib component, never both.
//
// Every call is recorded as "name(arg, arg, ...)" with integers in decimal
// and floats with "%g" (data pointers are not shown). The library's ten
// template slots are modelled: quorv_InitAlgTplData fills a slot,
// quorv_DelFinger empties it, and identification matches the slot holding
// the template `Script::match_template` (lowest slot first).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "src/FpSensorLib/quorv_sensor_lib.h"

namespace sensorlib_standin {

// One template as the stand-in keeps it.
struct Template {
  uint8_t type = 0;
  std::vector<uint8_t> data;
  bool operator==(const Template &) const = default;
};

// What the stand-in answers; Reset() restores these defaults.
struct Script {
  int resource_create = 0;           // quorv_SensorResourceCreate
  int init_fp_alg = 0;               // quorv_InitFpAlg
  std::deque<int> enroll;            // quorv_EnrollByImage answers in order; 0 once empty
  std::deque<int> force_enroll;      // quorv_ForceEnroll answers in order; 0 once empty
  // Identification: with a template here, a slot holding it matches (0, fid
  // = slot, update = identify_update); without a match identify_miss.
  std::optional<std::vector<uint8_t>> match_template;
  int identify_miss = -2;
  uint8_t identify_update = 1;
  // Answers taken before the matcher, one per call: result and fid.
  std::deque<std::pair<int, uint8_t>> identify;
  int init_tpl = 0;                  // quorv_InitAlgTplData result
  // Blobs quorv_InitAlgTplData refuses with refuse_code (the slot stays empty).
  std::vector<std::vector<uint8_t>> refuse_templates;
  int refuse_code = -3;
  Template saved{1, {0x51, 0x52, 0x53}};  // what quorv_SaveAlgTplData writes
  int save_result = 0;
  Template updated{1, {0x71, 0x72}};      // what quorv_GetAlgTplData writes
  int update_result = 0;             // quorv_UpdateTemplate result
  uint8_t update_slot = 4;           // quorv_UpdateTemplate *slot
  int get_result = 0;                // quorv_GetAlgTplData result
  // Results of the factory test flows (quorv_Init_frr_far,
  // quorv_SendImageAndGetQualityArea, quorv_Enroll_frr_far,
  // quorv_SetTplValid, quorv_Identify_frr_far).
  int init_frr_far = 0;
  int quality_area = 0;
  int enroll_frr_far = 0;
  int set_tpl_valid = 0;
  int identify_frr_far = 0;
};

// The scripted answers (mutable).
Script &script();

// Forgets the calls, empties the slots and restores the default script.
void Reset();

// Every call so far, in order.
const std::vector<std::string> &Calls();

// Calls from the last one equal to `first` on (empty when there is none).
std::vector<std::string> CallsFrom(const std::string &first);

// Calls whose text starts with `prefix`.
std::vector<std::string> CallsStartingWith(const std::string &prefix);

// Forgets the recorded calls only.
void ClearCalls();

// The template in library slot `slot` (0 to 9), if any.
std::optional<Template> Slot(int slot);

// Frames handed to quorv_EnrollByImage and quorv_IdentifyByImage, copied
// (FrameBytes() bytes each, 0 = not copied; set before the calls).
void SetFrameBytes(size_t n);
const std::vector<std::vector<uint8_t>> &Frames();

// The registered host callbacks.
struct HostCallbacks {
  QuorvSpiWriteFunc spi_write = nullptr;
  QuorvSpiReadFunc spi_read = nullptr;
  QuorvUsleepFunc usleep = nullptr;
  QuorvGetSystemTimeFunc system_time = nullptr;
  QuorvGetMcuStatusFunc mcu_status = nullptr;
};
const HostCallbacks &Host();

}  // namespace sensorlib_standin
