// The SPI callbacks that the driver registers with the sensor access layer,
// with the one set of function types both sides use.
#ifndef DRIVERS_ZQ_SENSOR_BQ_HOST_SPI_H_
#define DRIVERS_ZQ_SENSOR_BQ_HOST_SPI_H_

#include <stdint.h>

#include "chips/bq_spi.h"

#ifdef __cplusplus
extern "C" {
#endif

// Writes one frame to the sensor: 0 when it was sent. bq_spi_write_buf.
typedef int (*bq_spi_write_fn)(const uint8_t *frame, unsigned len);

// Full-duplex read: sends the frame `tx` of `len` bytes, the answer lands in
// `rx` (callers may pass the same buffer); 0 when done. bq_algo_spi_read.
typedef int (*bq_spi_read_fn)(const uint8_t *tx, uint8_t *rx, int len);

// Longest frame bq_algo_spi_read answers: an SRAM word read, 6 header bytes
// and the 2-byte word.
#define BQ_ALGO_SPI_READ_MAX 8

// The sensor access layer's SPI read. Only SRAM word reads of the MCU status
// word (frames 04 FB 85 10 ..) are answered, from bridge register 0x20
// (IN 0x3A, len - 6 bytes) into rx[6..len-1]; other 04 FB addresses return 0
// and leave rx as it was. Errors: -201 for NULL tx or rx; -203 for a frame
// that is not an SRAM read (shorter than 4 bytes, or not starting 04 FB);
// -200 for a status read whose len is not 7 or 8 (nothing is sent); a failed
// register read's error.
int bq_algo_spi_read(const uint8_t *tx, uint8_t *rx, int len);

#ifdef __cplusplus
}
#endif

#endif  // DRIVERS_ZQ_SENSOR_BQ_HOST_SPI_H_
