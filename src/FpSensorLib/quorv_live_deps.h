// What the live flows (capture, press and slide enrolment) take from the
// library's resources, the enrol step and the slide engines V6 and V7.
#ifndef SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
#define SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_

#include <stdint.h>

#include "src/FpSensorLib/quorv_enroll.h"
#include "src/FpSensorLib/quorv_enroll_info.h"
#include "src/FpSensorLib/quorv_resources.h"

#ifdef __cplusplus
extern "C" {
#endif

// True when the configuration record and the work buffers exist and the
// buffers hold the configured cols x rows (the size may have grown since
// quorv_InitFpAlg); otherwise logs "input error" in `func`'s name.
int quorv_LiveReady(const char *func);

// Slide engines V6 and V7: (fingerId, enrollIndex, out).
int quorv_SlideEnroll_V6(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);
int quorv_SlideEnroll_V7(uint16_t fingerId, uint8_t enrollIndex, uint8_t *out);

#ifdef __cplusplus
}
#endif

#endif  // SRC_FPSENSORLIB_QUORV_LIVE_DEPS_H_
