// The classifier entry points as the algorithm core drives them: start-up
// and shut-down here, the no-finger and fake-finger predictors and their
// parameter setters from the two classifiers' own headers.
#ifndef SRC_NETMODEL_PREDICT_H_
#define SRC_NETMODEL_PREDICT_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"
#include "src/netModel/predict_no_finger.h"
#include "src/netModel/predict_true_false_affine.h"

#ifdef __cplusplus
extern "C" {
#endif

// Gives both classifiers the chip type and grows the net memory pool to the
// larger of their needs; ZqNetRecallMemroyPool's result (without networks
// both needs are 0 and no pool is made).
int32_t net_init_model_v2(int32_t chip);

// Returns both classifiers to their load state and releases the pool.
void net_free_model_v2(void);

// Does nothing (called after the sensor size is set).
void NetSetImageSize(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_PREDICT_H_
