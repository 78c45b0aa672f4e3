#include "src/ZqAlg/ZqCrc16.h"

#include <array>

namespace {

// Bytes the CRC takes per step.
constexpr int kSlices = 8;

// Byte tables of the reflected polynomial, made at compile time: table 0
// is the usual one; table k gives the effect of a byte followed by k zero
// bytes, so that eight bytes are folded in by eight independent look-ups.
constexpr std::array<std::array<uint16_t, 256>, kSlices> MakeTables() {
  std::array<std::array<uint16_t, 256>, kSlices> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[0][i] = static_cast<uint16_t>(c);
  }
  for (int k = 1; k < kSlices; ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu]);
  return t;
}

constexpr std::array<std::array<uint16_t, 256>, kSlices> kCrcTables = MakeTables();

static_assert(kCrcTables[0][1] == 0xC0C1 && kCrcTables[0][255] == 0x4040, "CRC-16/ARC table");

}  // namespace

extern "C" uint16_t ZqCalCrc16(const uint8_t *data, uint32_t len) {
  if (data == nullptr) return 0;
  const auto &t = kCrcTables;
  uint32_t crc = 0;
  uint32_t i = 0;
  for (; i + kSlices <= len; i += kSlices) {
    const uint8_t *p = data + i;
    crc = t[7][(crc ^ p[0]) & 0xFFu] ^ t[6][(crc >> 8) ^ p[1]] ^ t[5][p[2]] ^ t[4][p[3]] ^
          t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; i < len; ++i) crc = (crc >> 8) ^ t[0][(crc ^ data[i]) & 0xFFu];
  return static_cast<uint16_t>(crc);
}
