// Layer kernels of the CNN classifiers. Each layer is a pair:
//   Net_<Layer>_Infer(out, row, row_len, weights, weights_used, in)
//     computes out (which must own a large enough block; its shape is
//     written here) from in, the layer row and the layer's share of the
//     weights, and sets *weights_used to the floats consumed;
//   Net_<Layer>_OutSize_Infer(out, row, row_len, tmp_bytes, alloc, in)
//     writes out's shape and, at *tmp_bytes, the net-pool bytes the run
//     borrows; with alloc != 0 it ends with Zq_SafeAlloc_ST_CnnLayInOut(out).
// Both return 0 or a negative code. `row_len` is never read. Single-input
// layers accept out and in sharing one block. Every run refuses an out block
// that cannot hold its result: -4, or -5 for the convolution.
#ifndef SRC_NETMODEL_CN_BASENET_H_
#define SRC_NETMODEL_CN_BASENET_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Convolution with groups, padding, strides, dilation and optional biases.
// -1 NULL out, row, weights, weights_used or input data; -2 in_channels !=
// input c, or a row that does not fit the input (groups not dividing c,
// steps or kernel below 1, empty output); -3 temporaries not allocated; -4
// padded copy refused; -5 out's block too small.
int32_t Net_Conv2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                         const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// Shape of the convolution; temporaries (Hp*Wp*c + out h*w)*4. -1 NULL out,
// tmp_bytes or row; -2 a row that gives no output.
int32_t Net_Conv2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                 int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Max pooling (position 11 > 0: ceil mode; pad cells count as 0). -1 NULL
// out, row, weights_used or input data; -2 bad row; the padded tensor's or
// the padded copy's code; -4 out's block too small.
int32_t Net_MaxPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                            const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// Shape of max or average pooling; temporaries Hp'*Wp'*c*4. -1 NULL out,
// tmp_bytes or row; -2 bad row.
int32_t Net_MaxPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                    int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Average pooling; pad cells count in the divisor. Codes as max pooling.
int32_t Net_AvgPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                            const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// Net_MaxPool2d_OutSize_Infer.
int32_t Net_AvgPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                    int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Folded batch norm over channels: y = (x - m[k]) * s[k] + b[k]; 3*c
// weights. -1 NULL out, weights, weights_used or input data; -2 out without
// data or input larger than its block; -4 out's block too small.
int32_t Net_BatchNorm2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                              const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// out = in's shape, no temporaries. -1 NULL out or tmp_bytes.
int32_t Net_BatchNorm2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                      int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Folded batch norm over the features of a 1 x 1 x N input; out must
// already have the input's shape. -1 NULL input data, out, out data, weights
// or weights_used; -2 input not 1 x 1 or out shape != input shape; -4 out's
// block too small.
int32_t Net_BatchNorm1d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                              const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// -1 row given with row_len != 0, or NULL out or tmp_bytes; -2 input not 1 x 1.
int32_t Net_BatchNorm1d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                      int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// y = x for x >= 0 or NaN, 0.01f*x below 0. -1 NULL out, weights_used or
// input data; -2 out without data or input larger than its block; -4 out's
// block too small.
int32_t Net_LeakyReLU_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                            const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// -1 row given with row_len != 0, or NULL out or tmp_bytes.
int32_t Net_LeakyReLU_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                    int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Fully connected layer over the flattened input, out 1 x 1 x out_features.
// -1 NULL out, input data, out data, row, weights or weights_used; -2
// in_features != input element count; the temporary's code; -4 out's block
// too small.
int32_t Net_Linear_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                         const float *weights, int32_t *weights_used, ST_CnnLayInOut in);
// Temporaries: input w*h*c*4. -1 NULL row, tmp_bytes or out; -2
// in_features != input element count or out_features < 1.
int32_t Net_Linear_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                 int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut in);

// Adaptive average pooling to kernel_w x kernel_h by windows of
// (in - out + 1) cells moving by one. -1 NULL out, input data, row, out data
// or weights_used; -2 output larger than the input or empty; the
// temporary's code; -4 out's block too small.
int32_t Net_AdaptiveAvgPool2d_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                    const float *weights, int32_t *weights_used,
                                    ST_CnnLayInOut in);
// Temporaries: input w*h*c*4. -1 NULL row, out or tmp_bytes; -2 as the run.
int32_t Net_AdaptiveAvgPool2d_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                            int32_t row_len, int32_t *tmp_bytes, int32_t alloc,
                                            ST_CnnLayInOut in);

// Channel concatenation: a's channels, then b's. -1 NULL out, out data,
// weights_used or input data; -2 inputs differ in w or h; -4 out's block too
// small.
int32_t Net_My_cat_2_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                           const float *weights, int32_t *weights_used, ST_CnnLayInOut a,
                           ST_CnnLayInOut b);
// -1 NULL row, tmp_bytes or out; -2 inputs differ in w or h.
int32_t Net_My_cat_2_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row, int32_t row_len,
                                   int32_t *tmp_bytes, int32_t alloc, ST_CnnLayInOut a,
                                   ST_CnnLayInOut b);

// out[k][p] = x[k][p] * s[k] with s of shape 1 x 1 x x.c; out must already
// have x's shape. -1 NULL out, out data, weights_used or input data; -2
// shapes that do not match; -4 out's block too small.
int32_t Net_My_linear_mul_channel_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                        int32_t row_len, const float *weights,
                                        int32_t *weights_used, ST_CnnLayInOut x,
                                        ST_CnnLayInOut s);
// -1 NULL row, tmp_bytes or out; -2 s not 1 x 1 or channel counts differ.
int32_t Net_My_linear_mul_channel_OutSize_Infer(ST_CnnLayInOut *out, const int16_t *row,
                                                int32_t row_len, int32_t *tmp_bytes,
                                                int32_t alloc, ST_CnnLayInOut x,
                                                ST_CnnLayInOut s);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_BASENET_H_
