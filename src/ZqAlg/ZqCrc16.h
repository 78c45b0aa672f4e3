// CRC-16/ARC of the stored template blobs.
#ifndef SRC_ZQALG_ZQCRC16_H_
#define SRC_ZQALG_ZQCRC16_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// CRC-16/ARC (reflected polynomial 0xA001, initial 0, no final xor) of
// data[0..len-1]; 0 for len 0 or NULL data.
uint16_t ZqCalCrc16(const uint8_t *data, uint32_t len);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQALG_ZQCRC16_H_
