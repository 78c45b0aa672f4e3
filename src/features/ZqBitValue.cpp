#include "src/features/ZqBitValue.h"

#include "src/image/ZqCommon.h"

int ZqSetBitValue(uint64_t *pArr, uint16_t index, uint16_t arrLen, uint8_t value) {
  if (pArr == NULL || index / 64u >= arrLen) {
    ZQ_LOG_FAIL("ZqSetBitValue", "!pArr || index >= arrLen");
    return -1;
  }
  const uint64_t m = uint64_t{1} << (index % 64u);
  if (value != 0) {
    pArr[index / 64u] |= m;
  } else {
    pArr[index / 64u] &= ~m;
  }
  return 0;
}

int ZqGetBitValue(const uint64_t *pArr, uint16_t index, uint16_t arrLen, uint8_t *value) {
  if (pArr == NULL || value == NULL || index / 64u >= arrLen) {
    ZQ_LOG_FAIL("ZqGetBitValue", "!pArr || index >= arrLen");
    return -1;
  }
  *value = static_cast<uint8_t>((pArr[index / 64u] >> (index % 64u)) & 1u);
  return 0;
}
