// A scripted algorithm core for the sensor library's flow tests: the calls
// of g_quorvCore answer from one script and record what they were given.
#ifndef TESTS_SRC_FPSENSORLIB_SENSORLIB_SCRIPT_H_
#define TESTS_SRC_FPSENSORLIB_SENSORLIB_SCRIPT_H_

#include <stdint.h>

#include <vector>

#include "src/FpSensorLib/sensorlib_fixture.h"
#include "src/features/ZqFullHMatrix.h"

namespace sensorlib_test {

struct CoreScript {
  // Rating: result and {quality, area, cond, contrast}.
  int quality_ret = 0;
  uint8_t rating[4] = {60, 80, 60, 10};
  int template_ret = 0;
  // Results of the successive ZqVerifyByTemplate calls; -1 past the end.
  std::vector<int> verify;
  int extra = -1;
  uint16_t fid = 3;
  int16_t upd = 1;
  uint8_t judge = 0;
  int repair = 0;
  int abnormal = 0;
  int update_ret = 0;
  uint32_t update_slot = 0;
  // Two-template scores: forward, then reverse.
  std::vector<int> two;
  ST_FullHMatrix reverse_h{};

  // What the calls saw.
  std::vector<uint32_t> verify_modes;   // gQuorvActionMode at each verify
  std::vector<uint8_t> verify_options;  // option byte of each verify
  std::vector<bool> template_had_record;
  int extra_calls = 0;
  int root_calls = 0;
  int quality_calls = 0;
  int update_calls = 0;
  int update_flag = -1;
  std::vector<uint8_t> rebak;  // gRebak at each two-template call
};

// The script the scripted calls answer from.
CoreScript &Script();

// SensorLibTest with the scripted core installed, the library created and
// initialised for an 80 x 64 sensor.
class ScriptedLibTest : public SensorLibTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace sensorlib_test

#endif  // TESTS_SRC_FPSENSORLIB_SENSORLIB_SCRIPT_H_
