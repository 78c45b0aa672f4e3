// The no-finger decision: 17 features, the table set chosen by the sensor
// settings, and a 17 -> 13 -> 13 -> 2 tanh network with a softmax output.
#ifndef SRC_ENHANCE_ZQNONFINGERDETECT_H_
#define SRC_ENHANCE_ZQNONFINGERDETECT_H_

#include <stdint.h>

#include "src/enhance/ZqNonFingerTables.h"

#ifdef __cplusplus
extern "C" {
#endif

// The table set for a sensor name, module type and no-finger type: name 8
// (FW4845) by module type 1 (HL), 2 (MATTE_LOGO) or other (MATTE), HL and
// MATTE by type 1 or not; names 9 and 10 ZE4850_MATTE; any other the
// default set. Never NULL.
const ST_NonFingerNet *NonFingerSelectNet(uint16_t sensorName, uint16_t moduleType,
                                          uint8_t noneFingerType);

// Finger probability p of the 17 features through net, in single
// precision: normalise, two tanh layers (pre-activations limited to
// -45..45), two outputs, p = e^o0 / (e^o0 + e^o1). 0; -1 NULL.
int32_t NonFingerForward(const ST_NonFingerNet *net, const float *feat, float *prob);

// 0 when the image holds a finger (p > gNoneFingerThr), -5 when not, with
// p written to *prob; the set comes from gSensorName, gModuleType and
// gNoneFingerType. Failures write nothing: -1 NULL image (or prob), -2
// allocation, -3 median, -4 stretch, -6, -9 co-occurrence, -7 gradients.
int32_t NonFingerDetect(const uint8_t *image, uint16_t width, uint16_t height, float *prob);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ENHANCE_ZQNONFINGERDETECT_H_
