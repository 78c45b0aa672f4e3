// Entry points of the no-finger and fake-finger classifiers as the
// algorithm core calls them. Until the networks are built these keep the
// delivered behaviour without networks: nothing is sized and no prediction
// decides anything.
#ifndef SRC_NETMODEL_PREDICT_H_
#define SRC_NETMODEL_PREDICT_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Selects both classifiers' networks for a SensorType code; 0 (no network
// exists, so there is nothing to size).
int32_t net_init_model_v2(int32_t chip);

// Returns both classifiers to the load state; safe with nothing loaded.
void net_free_model_v2(void);

// Does nothing; called after the sensor size is set.
void NetSetImageSize(void);

// No-finger prediction: writes class 0 and score 0 (no decision) and
// returns 0; -1 when image, cls or score is NULL.
int32_t predict_nonefinger_v2(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                              float *score);

// Fake-finger prediction: writes class -1 and score 0 (no decision) and
// returns 0; -1 when image, cls or score is NULL.
int32_t predict_fakefinger_v2(const uint8_t *image, int32_t rows, int32_t cols, int32_t *cls,
                              float *score);

// Stores a no-finger network's parameters as given (not copied); 0.
int32_t NoneFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len);

// Stores a fake-finger network's parameters as given (not copied); 0.
int32_t FakeFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len);

// The same from a parameter record: -1 for NULL, -2 when len is not
// sizeof(NetFunctionSt), else as NoneFinger_NetStruct_Param_Set_v1.
int32_t NoneFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len);

// The same from a parameter record: -1 for NULL, -2 when len is not
// sizeof(NetFunctionSt), else as FakeFinger_NetStruct_Param_Set_v1.
int32_t FakeFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_PREDICT_H_
