// Records of the CNN classifiers: the tensor, the layer parameter row, the
// network the host supplies with its wrapper record, and the tensor
// functions over the net memory pool.
#ifndef SRC_NETMODEL_ZQCNNNETSTRUCTDEF_H_
#define SRC_NETMODEL_ZQCNNNETSTRUCTDEF_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// A tensor: w columns, h rows, c channels of floats stored channel by
// channel, each channel row by row (element (k, y, x) at k*h*w + y*w + x).
// The block belongs to the net memory pool; its holder releases it.
typedef struct ST_CnnLayInOut {
  int16_t w;          // columns
  int16_t h;          // rows
  int16_t c;          // channels
  int32_t pool_slot;  // depth of the block in the pool (1 first); -1 zeroed, 0 released
  int32_t byte_len;   // length of the block in bytes (may exceed the shape)
  float *data;        // the values; NULL when the tensor has no block
} ST_CnnLayInOut;

// One layer parameter row of a network's layer table (12 int16 values).
typedef struct ST_CnnLayParam {
  int16_t in_channels;   // 0: input channels (Linear: in_features)
  int16_t kernel_h;      // 1: kernel or window rows (adaptive: output rows)
  int16_t kernel_w;      // 2: kernel or window columns (adaptive: output columns)
  int16_t out_channels;  // 3: output channels (Linear: out_features)
  int16_t stride_h;      // 4: row step
  int16_t stride_w;      // 5: column step
  int16_t dilation_h;    // 6: row spacing of kernel taps
  int16_t dilation_w;    // 7: column spacing of kernel taps
  int16_t pad_h;         // 8: zero rows above and below
  int16_t pad_w;         // 9: zero columns left and right
  int16_t groups;        // 10: channel groups of a convolution
  int16_t bias;          // 11: biases follow (conv, Linear); > 0 ceil mode (pooling)
} ST_CnnLayParam;

// Number of int16 values of one layer parameter row.
#define CNN_LAY_PARAM_LEN 12

// A network as the host supplies it; the arrays stay the host's.
typedef struct NetFunctionSt {
  int32_t netVersion;          // >= 0: the net is in force; -1 no net
  int32_t weight_count;        // floats in weights; a run must consume exactly these
  int32_t table_len;           // length of layer_table as the host counts it
  const float *weights;        // all weights, consumed front to back
  const int16_t *layer_table;  // the layer parameter rows, consumed front to back
} NetFunctionSt;

// The host's wrapper around a network, as the sensor library's setters take it.
typedef struct ST_QuorvNetParam {
  char version[84];     // NUL-terminated version text
  int32_t net_len;      // length of `net` in bytes; must be sizeof(NetFunctionSt)
  uint8_t reserved[8];  // not read
  NetFunctionSt net;    // the network
} ST_QuorvNetParam;

// Zeroes the shape, length and data of *t and sets pool_slot -1; 0, or -1
// for NULL.
int32_t Zq_Zeros_ST_CnnLayInOut(ST_CnnLayInOut *t);

// Gives *t a zeroed pool block of its shape's bytes: -1 NULL t; -2 when t
// already has data (record untouched) or the shape is empty, negative or
// too large (byte_len 0); -3 when the pool refuses; else 0.
int32_t Zq_SafeAlloc_ST_CnnLayInOut(ST_CnnLayInOut *t);

// Gives *t a zeroed pool block of n bytes without touching its shape: -1
// NULL t; -2 n <= 0 or data already set; -4 when the pool refuses; else 0.
int32_t ZqSafeAllocCnnInOut(ST_CnnLayInOut *t, int32_t n);

// Returns t's block to the pool and then zeroes every field, whether the
// pool took the block back or not. NULL t or data: nothing.
void Zq_SafeFree_ST_CnnLayInOut(ST_CnnLayInOut *t);

// Bytes of t's shape (w*h*c*4); 0 for NULL or a negative dimension, -1 when
// the size does not fit an int32.
int32_t ZqCompute_InOutBuffers(const ST_CnnLayInOut *t);

// Class of a network output: the first index of its largest value (-1 when
// no value exceeds -1e7); *score = 1 - softmax of value 0. -1 and nothing
// written for a NULL score or data; -1 with score 0 for an empty shape or a
// shape larger than the block.
int32_t ZqInOutFindMax(float *score, ST_CnnLayInOut t);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_CnnLayParam) == CNN_LAY_PARAM_LEN * sizeof(int16_t),
              "a layer row is 12 int16 values without padding");
static_assert(sizeof(NetFunctionSt) == 32, "the host states this length");
static_assert(offsetof(NetFunctionSt, weights) == 16, "NetFunctionSt layout");
static_assert(offsetof(NetFunctionSt, layer_table) == 24, "NetFunctionSt layout");
static_assert(offsetof(ST_QuorvNetParam, net_len) == 84, "ST_QuorvNetParam layout");
static_assert(offsetof(ST_QuorvNetParam, net) == 96, "ST_QuorvNetParam layout");
static_assert(sizeof(ST_QuorvNetParam) == 128, "ST_QuorvNetParam layout");
#endif

#endif  // SRC_NETMODEL_ZQCNNNETSTRUCTDEF_H_
