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

int quorv_IdentifyByImage(const uint8_t *, int, uint8_t *fid, uint8_t *update) {
  if (fid != nullptr) *fid = QUORV_NO_FINGER;
  if (update != nullptr) *update = 0;
  return Unavailable(__func__);
}

int quorv_DelFinger(unsigned) { return Unavailable(__func__); }
int quorv_InitAlgTplData(uint8_t, uint8_t, uint32_t, const uint8_t *) {
  return Unavailable(__func__);
}
int quorv_SaveAlgTplData(int, uint8_t *, uint32_t *, uint8_t *) { return Unavailable(__func__); }
int quorv_GetAlgTplData(int, uint8_t *, uint32_t *, uint8_t *) { return Unavailable(__func__); }
int quorv_UpdateTemplate(uint8_t, uint8_t *slot) {
  if (slot != nullptr) *slot = QUORV_NO_FINGER;
  return Unavailable(__func__);
}

int quorv_Identify_frr_far(const unsigned char *) { return Unavailable(__func__); }

}  // extern "C"
