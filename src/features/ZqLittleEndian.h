// Little-endian field writers and readers for the records that go into
// stored blobs (C++ only; fields are written one by one, never by copying a
// struct).
#ifndef SRC_FEATURES_ZQLITTLEENDIAN_H_
#define SRC_FEATURES_ZQLITTLEENDIAN_H_

#include <stdint.h>

#include <cstring>

namespace zq_le {

// Writes v to p[0..1], least significant byte first.
inline void PutU16(uint8_t *p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// Writes v to p[0..3], least significant byte first.
inline void PutU32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Writes the IEEE single-precision bits of v to p[0..3].
inline void PutF32(uint8_t *p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  PutU32(p, bits);
}

// Reads a little-endian uint16 from p[0..1].
inline uint16_t GetU16(const uint8_t *p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Reads a little-endian uint32 from p[0..3].
inline uint32_t GetU32(const uint8_t *p) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
  return v;
}

// Reads a little-endian single-precision float from p[0..3].
inline float GetF32(const uint8_t *p) {
  const uint32_t bits = GetU32(p);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace zq_le

#endif  // SRC_FEATURES_ZQLITTLEENDIAN_H_
