// The enrol step's non-finger predictors, as the template and identify
// functions use them.
#ifndef SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_
#define SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_resources.h"

#ifdef __cplusplus
extern "C" {
#endif

int quorv_EnrollNonFingerPredict(const uint8_t *image);
int quorv_IdentifyNonFingerPredict(const uint8_t *image);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_PENDING_RESOURCES_H_
