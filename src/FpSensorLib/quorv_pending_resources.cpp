// Stand-ins for the enrol step's services until that step is built.
#include "src/FpSensorLib/quorv_pending_resources.h"

#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/ZqAlg/ZqTemplateUpdate.h"

extern "C" {

void quorv_SetLastImageInfo(uint8_t quality, uint8_t area, uint8_t cond) {
  g_quorvLastImageInfo.quality = quality;
  g_quorvLastImageInfo.area = area;
  g_quorvLastImageInfo.cond = cond;
}
__attribute__((weak)) int ZqTemplateUpdate(int, uint32_t *) { return -1; }

}  // extern "C"
