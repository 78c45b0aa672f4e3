// The fake-finger classifier: judges whether a finger is real. Each chip
// type has its own network and input size, and only images of exactly that
// size are judged:
//   3, 8   Net_Ghostnet_504kflops_4845fake    80 x 64, edge columns replaced
//   6, 11  Net_Ghostnet_504kflops_4849fake    56 x 56, edge columns replaced
//   9      Net_Ghostnet_504kflops_fake        196 x 40
//   10     Net_Ghostnet_504kflops_fake_4851   176 x 36
//   12     Net_Ghostnet_228kflops_4843fake    128 x 80, edge columns replaced
//   13     Net_Ghostnet_504kflops_4854fake    144 x 36
//   14     Net_Ghostnet_504kflops_4853fake    176 x 32
// (rows x columns). Chip type 15 and all others have no network.
#ifndef SRC_NETMODEL_PREDICT_TRUE_FALSE_AFFINE_H_
#define SRC_NETMODEL_PREDICT_TRUE_FALSE_AFFINE_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Stores the chip type (a SensorType code). 0.
int32_t FakeFinger_ChipType_Set(int32_t chip);

// Pool bytes a prediction needs (0 without a net or for chip type 15); -1
// for chip types without a network or when the network sizing fails (chip
// type 9: the sizing's own code); -2 for a need that is negative or too
// large.
int32_t FakeFinger_Net_MaxMemeory(void);

// The needs of four branches on their own (as FakeFinger_Net_MaxMemeory).
int32_t FakeFingerFW4853NetMaxPool(void);
int32_t FakeFingerFW4852NetMaxPool(void);
int32_t FakeFingerFW4849NetMaxPool(void);
int32_t FakeFingerFW4843NetMaxPool(void);

// As NoneFinger_NetStruct_Param_Set, for the fake-finger classifier.
int32_t FakeFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len);

// As NoneFinger_NetStruct_Param_Set_v1, for the fake-finger classifier.
int32_t FakeFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len);

// Returns the record to its load state (no net, no chip type). 0.
int32_t FakeFingerUninit(void);

// Judges the rows x cols image: 0 with *cls the class and *score the score,
// or with (-1, 0.0) when there is no decision (no net, an image of another
// size, a run failure or a weight count other than the net's); 0 with
// nothing written for chip types without a network; -1 for NULL arguments;
// else the failing step's code.
int32_t predict_fakefinger_v2(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                              float *score);

// The chip type 12 and 13 branches of predict_fakefinger_v2 on their own.
int32_t predict_FW4843_FakeFinger(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                                  float *score);
int32_t predict_FW4854_FakeFinger(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                                  float *score);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_PREDICT_TRUE_FALSE_AFFINE_H_
