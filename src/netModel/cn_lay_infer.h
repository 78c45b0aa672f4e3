// Per-channel work of the layer kernels: the zero-padded copy of a tensor
// and the convolution, max pooling and average pooling of one plane.
#ifndef SRC_NETMODEL_CN_LAY_INFER_H_
#define SRC_NETMODEL_CN_LAY_INFER_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

#ifdef __cplusplus
extern "C" {
#endif

// Copies every channel of src into dst at row pad_h, column pad_w; the rest
// of dst is left as it is. -1 when either data is NULL; -2 when a plane is
// empty, the channel counts differ, a pad is negative, src at that offset
// does not fit dst or a block is smaller than its shape.
int32_t Infer_padding_layInout(int32_t pad_h, int32_t pad_w, ST_CnnLayInOut src,
                               ST_CnnLayInOut dst);

// Writes into plane oc of dst the convolution of plane ic of pad with the
// kernel_h x kernel_w plane `kernel` (row's strides and dilations). -1 for
// NULL kernel or data; -2 for a plane index, step or kernel size out of
// range, or a dst plane whose windows reach past pad's plane.
int32_t Infer_conv2d_one_channel(int32_t ic, int32_t oc, const float *kernel,
                                 ST_CnnLayInOut pad, ST_CnnLayInOut dst, ST_CnnLayParam row);

// Fills plane k of dst with the maxima of the adjacent kernel_h x kernel_w
// windows of plane k of pad (starting from -1e7). -1 for NULL data; -2 as
// for the convolution.
int32_t Infer_maxpool2d_one_channel(int32_t k, ST_CnnLayInOut pad, ST_CnnLayInOut dst,
                                    ST_CnnLayParam row);

// As Infer_maxpool2d_one_channel with the window means.
int32_t Infer_AvgPool2d_one_channel(int32_t k, ST_CnnLayInOut pad, ST_CnnLayInOut dst,
                                    ST_CnnLayParam row);

#ifdef __cplusplus
}
#endif

#endif  // SRC_NETMODEL_CN_LAY_INFER_H_
