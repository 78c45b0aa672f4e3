// Services of the enrol step that the template and identify functions use:
// the last-image info and the non-finger predictors.
#ifndef SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_
#define SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_resources.h"

#ifdef __cplusplus
extern "C" {
#endif

void quorv_SetLastImageInfo(uint8_t quality, uint8_t area, uint8_t cond);
int quorv_EnrollNonFingerPredict(const uint8_t *image);
int quorv_IdentifyNonFingerPredict(const uint8_t *image);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_
