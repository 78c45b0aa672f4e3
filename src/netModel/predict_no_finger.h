// The no-finger classifier: judges whether an image shows a finger at all.
// Chip types 3, 6, 8 and 11 run Net_Ghostnet_504kflops on the image resized
// to 40 x 40, 9 and 10 Net_Ghostnet_504kflops_SiderFinger on 120 x 40. The
// network comes from the host and stays the host's.
#ifndef SRC_NETMODEL_PREDICT_NO_FINGER_H_
#define SRC_NETMODEL_PREDICT_NO_FINGER_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Stores the chip type (a SensorType code). 0.
int32_t NoneFinger_ChipType_Set(int32_t chip);

// Pool bytes a prediction needs (0 without a net); -1 for a chip type
// without a network size (9, 10 and 13 size the 120 x 40 net); the
// network sizing's code (40 x 40) or -1 (120 x 40) when it fails; -2 for a
// need that is negative or too large.
int32_t NoneFinger_Net_MaxMemeory(void);

// Takes the host's net (len must be sizeof(NetFunctionSt)): -1 NULL net, -2
// wrong len; with a chip type set, the pool then grows to this classifier's
// need (its -1 while blocks are live); else 0.
int32_t NoneFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len);

// NoneFinger_NetStruct_Param_Set from the five values, without the checks.
int32_t NoneFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len);

// Returns the record to its load state (no net, no chip type). 0.
int32_t NoneFingerUninit(void);

// Classifies the rows x cols image: 0 with *cls the class and *score the
// score, or with (0, 0.0) when there is no decision (no net, a run failure
// or a weight count other than the net's); -1 for NULL arguments and, with
// nothing written, for chip types without a no-finger network; else the
// failing step's code.
int32_t predict_nonefinger_v2(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                              float *score);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_PREDICT_NO_FINGER_H_
