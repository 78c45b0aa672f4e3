#include "src/FpSensorLib/sensorlib_fixture.h"

#include <stdarg.h>
#include <stdio.h>

#include <algorithm>

#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_core_calls.h"
#include "src/FpSensorLib/quorv_identify.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_resources.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/ZqAlg/ZqSensorInfor.h"
#include "src/enhance/ZqNonFingerSettings.h"
#include "src/quorv_base/quorv_log.h"

namespace sensorlib_test {

std::vector<std::string> &HostLog() {
  static std::vector<std::string> lines;
  return lines;
}

namespace {

int Capture(const char *format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  HostLog().emplace_back(text);
  return n;
}

void ResetAll() {
  quorv_ResourcesResetForTest();
  quorv_CoreCallsResetForTest();
  quorv_IdentifyResetForTest();
  quorv_ImageListsResetForTest();
  quorv_ConfigResetForTest();
  ZqAlgSettingsResetForTest();
  NonFingerSettingsResetForTest();
  quorv_destroy_spi_instance();
  quorv_destroy_slide_enroll_instance();
  quorv_DestroySensorInstance();
}

}  // namespace

void SensorLibTest::SetUp() {
  ResetAll();
  InitFuncSetLog(Capture);
  g_debuginfo = 2;
  g_loglevel = 0;
  HostLog().clear();
}

void SensorLibTest::TearDown() {
  ResetAll();
  g_debuginfo = 0;
  g_loglevel = 0;
  InitFuncSetLog(nullptr);
}

void SensorLibTest::Create() {
  quorv_SensorResourceCreate();
  ASSERT_NE(g_pQuorvConfigInfo, nullptr);
  HostLog().clear();
}

bool SensorLibTest::Logged(const std::string &message) {
  return std::find(HostLog().begin(), HostLog().end(), message) != HostLog().end();
}

}  // namespace sensorlib_test
