// The stored keypoint: position, orientation and a 256-bit binary
// descriptor, 44 bytes, kept byte for byte in template blobs.
#ifndef SRC_FEATURES_ZQFEATURE_H_
#define SRC_FEATURES_ZQFEATURE_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Words of the binary descriptor.
#define ZQ_DESCR_WORDS 8
// Bits of the binary descriptor.
#define ZQ_DESCR_BITS 256

// One keypoint. x and y are in the grid of the image handed to the
// detector; descriptor bit i is bit (i % 32) of descr[i / 32].
typedef struct ST_Feature {
  float x;                         // column
  float y;                         // row
  float ori;                       // orientation, radians, about -pi .. pi
  uint32_t descr[ZQ_DESCR_WORDS];  // binary descriptor, LSB first
} ST_Feature;

// Bytes of one ST_Feature in a stored blob.
#define ZQ_FEATURE_BYTES 44

// Writes f little-endian in field order into out[0..43]: descriptor bit i
// lands in out[12 + i / 8] at bit i % 8.
void ZqFeatureStore(const ST_Feature *f, uint8_t out[ZQ_FEATURE_BYTES]);

// Reads a little-endian ST_Feature from in[0..43] into *f.
void ZqFeatureLoad(const uint8_t in[ZQ_FEATURE_BYTES], ST_Feature *f);

// Descriptor bit i (0 .. 255) of f: 0 or 1.
uint32_t ZqFeatureDescrBit(const ST_Feature *f, uint32_t i);

// Sets descriptor bit i (0 .. 255) of f to (value != 0).
void ZqFeatureSetDescrBit(ST_Feature *f, uint32_t i, uint32_t value);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(ST_Feature) == ZQ_FEATURE_BYTES, "ST_Feature is 44 bytes");
static_assert(offsetof(ST_Feature, y) == 4 && offsetof(ST_Feature, ori) == 8 &&
                  offsetof(ST_Feature, descr) == 12,
              "ST_Feature field offsets");
#endif

#endif  // SRC_FEATURES_ZQFEATURE_H_
