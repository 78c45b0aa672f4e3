// The library's resources and flows until its algorithm side is built: the
// host registrations reach the sensor access layer, everything that would
// need the template store or the algorithm fails with -1 and says why, so a
// device opened with this library reports a clear error instead of results.
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_image_lists.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/quorv_base/quorv_log.h"

namespace {

int Unavailable(const char *func) {
  QUORV_LOG_IN(func, QUORV_LOG_ERROR, "%s...sensor library flows are not available, ret = -1",
               func);
  return -1;
}

}  // namespace

extern "C" {

int quorv_Init_frr_far(void) { return Unavailable(__func__); }
int quorv_SendImageAndGetQualityArea(const unsigned char *, unsigned char *, unsigned char *) {
  return Unavailable(__func__);
}
int quorv_Enroll_frr_far(const unsigned char *) { return Unavailable(__func__); }

}  // extern "C"
