// The duplicate check of the enrolments: a fresh sample against the
// fingers already enrolled.
#ifndef SRC_FPSENSORLIB_QUORV_DUPLICATE_CHECK_H_
#define SRC_FPSENSORLIB_QUORV_DUPLICATE_CHECK_H_

#include <stdint.h>
#include <string.h>

#include "src/FpSensorLib/quorv_config.h"
#include "src/ZqAlg/ZqVerifyByTemplate.h"

namespace quorv_enroll {

// ZqVerifyByTemplate of sample with c's quick flag, its transform and
// update flag discarded: 0 a match (the finger in *matched), -1 a new
// finger, -2 no memory.
inline int VerifyAgainstEnrolled(const QuorvConfigInfo *c, const ST_SubTemplate *sample,
                                 uint16_t *matched) {
  int16_t update = 0;
  ST_FullHMatrix transform;
  memset(&transform, 0, sizeof(transform));
  return ZqVerifyByTemplate(sample, matched, &update, &transform, c->verify_quickly);
}

}  // namespace quorv_enroll

#endif  // SRC_FPSENSORLIB_QUORV_DUPLICATE_CHECK_H_
