// Classifier entry points without networks: the parameters a host hands in
// are kept, nothing runs, every prediction ends with no decision.
#include "src/netModel/predict.h"

#include <stddef.h>

namespace {

// A host's network parameters as handed in, and the chip type.
struct NetParams {
  int32_t netVersion = -1;
  const float *weights = nullptr;
  int32_t weight_count = 0;
  const int16_t *layer_table = nullptr;
  int32_t table_len = 0;
  int32_t chip = -1;
};

NetParams g_noneFingerNet;
NetParams g_fakeFingerNet;

void StoreParams(NetParams *net, int32_t netVersion, const float *weights, int32_t weight_count,
                 const int16_t *layer_table, int32_t table_len) {
  net->netVersion = netVersion;
  net->weights = weights;
  net->weight_count = weight_count;
  net->layer_table = layer_table;
  net->table_len = table_len;
}

}  // namespace

extern "C" {

int32_t net_init_model_v2(int32_t chip) {
  g_noneFingerNet.chip = chip;
  g_fakeFingerNet.chip = chip;
  return 0;
}

void net_free_model_v2(void) {
  g_noneFingerNet = NetParams();
  g_fakeFingerNet = NetParams();
}

void NetSetImageSize(void) {}

int32_t predict_nonefinger_v2(const uint8_t *image, int32_t, int32_t, int32_t *cls, float *score) {
  if (image == NULL || cls == NULL || score == NULL) return -1;
  *cls = 0;
  *score = 0.0f;
  return 0;
}

int32_t predict_fakefinger_v2(const uint8_t *image, int32_t, int32_t, int32_t *cls, float *score) {
  if (image == NULL || cls == NULL || score == NULL) return -1;
  *cls = -1;
  *score = 0.0f;
  return 0;
}

int32_t NoneFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len) {
  StoreParams(&g_noneFingerNet, netVersion, weights, weight_count, layer_table, table_len);
  return 0;
}

int32_t FakeFinger_NetStruct_Param_Set_v1(int32_t netVersion, const float *weights,
                                          int32_t weight_count, const int16_t *layer_table,
                                          int32_t table_len) {
  StoreParams(&g_fakeFingerNet, netVersion, weights, weight_count, layer_table, table_len);
  return 0;
}

int32_t NoneFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len) {
  if (net == NULL) return -1;
  if (len != static_cast<int32_t>(sizeof(NetFunctionSt))) return -2;
  return NoneFinger_NetStruct_Param_Set_v1(net->netVersion, net->weights, net->weight_count,
                                           net->layer_table, net->table_len);
}

int32_t FakeFinger_NetStruct_Param_Set(const NetFunctionSt *net, int32_t len) {
  if (net == NULL) return -1;
  if (len != static_cast<int32_t>(sizeof(NetFunctionSt))) return -2;
  return FakeFinger_NetStruct_Param_Set_v1(net->netVersion, net->weights, net->weight_count,
                                           net->layer_table, net->table_len);
}

}  // extern "C"
