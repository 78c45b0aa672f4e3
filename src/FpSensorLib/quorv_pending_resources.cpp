// Stand-ins for the enrol step's services until that step is built.
#include "src/FpSensorLib/quorv_pending_resources.h"

#include "src/ZqAlg/ZqTemplateUpdate.h"

extern "C" {

int quorv_EnrollNonFingerPredict(const uint8_t *) { return 0; }
int quorv_IdentifyNonFingerPredict(const uint8_t *) { return 0; }
__attribute__((weak)) int ZqTemplateUpdate(int, uint32_t *) { return -1; }
__attribute__((weak)) int ZqTemplateUpdateEnhance(void) { return 0; }

}  // extern "C"
