// Size checks shared by the tensor functions and the layer kernels.
#ifndef SRC_NETMODEL_CN_CHECKS_H_
#define SRC_NETMODEL_CN_CHECKS_H_

#include <stdint.h>

#include "src/netModel/ZqCnnNetStructDef.h"

namespace zq_net {

// Bytes of w*h*c floats, in 64 bits (no overflow for int16 dimensions).
inline int64_t Bytes(int64_t w, int64_t h, int64_t c) { return w * h * c * 4; }

// Bytes of t's shape when every dimension is positive and the total fits an
// int32; else 0.
inline int32_t ShapeBytes(const ST_CnnLayInOut &t) {
  if (t.w <= 0 || t.h <= 0 || t.c <= 0) return 0;
  int64_t bytes = Bytes(t.w, t.h, t.c);
  return bytes > INT32_MAX ? 0 : static_cast<int32_t>(bytes);
}

// True when t has data and its block holds `bytes` bytes.
inline bool Holds(const ST_CnnLayInOut &t, int64_t bytes) {
  return t.data != nullptr && bytes >= 0 && static_cast<int64_t>(t.byte_len) >= bytes;
}

// True when t has data, a shape of non-negative dimensions and a block that
// holds the shape.
inline bool HoldsShape(const ST_CnnLayInOut &t) {
  return t.w >= 0 && t.h >= 0 && t.c >= 0 && Holds(t, Bytes(t.w, t.h, t.c));
}

// True when a and b have the same shape.
inline bool SameShape(const ST_CnnLayInOut &a, const ST_CnnLayInOut &b) {
  return a.w == b.w && a.h == b.h && a.c == b.c;
}

// The layer row at `row` as a record.
inline ST_CnnLayParam ReadRow(const int16_t *row) {
  ST_CnnLayParam p;
  p.in_channels = row[0];
  p.kernel_h = row[1];
  p.kernel_w = row[2];
  p.out_channels = row[3];
  p.stride_h = row[4];
  p.stride_w = row[5];
  p.dilation_h = row[6];
  p.dilation_w = row[7];
  p.pad_h = row[8];
  p.pad_w = row[9];
  p.groups = row[10];
  p.bias = row[11];
  return p;
}

}  // namespace zq_net

#endif  // SRC_NETMODEL_CN_CHECKS_H_
