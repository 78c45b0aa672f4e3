// SPI pass-through of the USB bridge: frames written to, and answers read
// from, the sensor chip behind the bridge. The fw4846 chip driver calls these
// directly; the bridge layer (drivers/zq_sensor/bq_spi.cpp) defines them.
#ifndef CHIPS_BQ_SPI_H_
#define CHIPS_BQ_SPI_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Writes the `len` bytes of `frame` to the chip in one transfer (vendor
// requests 0x34 and 0x35, then one bulk OUT). Returns 0 or the transfer's
// error code.
int bq_spi_write_buf(const uint8_t *frame, unsigned len);

// Writes the `tx_len` bytes at `tx`, then reads `rx_len` answer bytes into
// `rx`. Returns 0 or the first failing transfer's error code.
int bq_spi_write_then_read_buf(const void *tx, uint16_t tx_len, void *rx, uint16_t rx_len);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_BQ_SPI_H_
