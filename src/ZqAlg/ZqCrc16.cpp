#include "src/ZqAlg/ZqCrc16.h"

#include <array>

namespace {

// The byte table of the reflected polynomial, made at compile time.
constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[i] = static_cast<uint16_t>(c);
  }
  return t;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeTable();

static_assert(kCrcTable[1] == 0xC0C1 && kCrcTable[255] == 0x4040, "CRC-16/ARC table");

}  // namespace

extern "C" uint16_t ZqCalCrc16(const uint8_t *data, uint32_t len) {
  if (data == nullptr) return 0;
  uint16_t crc = 0;
  for (uint32_t i = 0; i < len; ++i) {
    crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu]);
  }
  return crc;
}
