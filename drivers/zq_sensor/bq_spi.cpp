#include "chips/bq_spi.h"

#include "base/bq_log.h"
#include "drivers/zq_protocal/zq_interface_base.h"
#include "drivers/zq_sensor/bq_host_spi.h"

#define TAG "quorvanta:sensor"

// Both callbacks must fit the sensor access layer's slots without a cast.
[[maybe_unused]] constexpr bq_spi_write_fn kSpiWrite = bq_spi_write_buf;
[[maybe_unused]] constexpr bq_spi_read_fn kSpiRead = bq_algo_spi_read;

extern "C" int bq_spi_write_buf(const uint8_t *frame, unsigned len) {
  BQ_LOG_ENTER(TAG);
  int r = len > UINT16_MAX ? BQ_ERROR_OVERFLOW
                           : zq_interface_base_WriteData(ZQ_ADDR_SPI, frame,
                                                         static_cast<uint16_t>(len));
  BQ_LOG_LEAVE(TAG);
  return r;
}

extern "C" int bq_algo_spi_read(const uint8_t *tx, uint8_t *rx, int len) {
  if (tx == nullptr || rx == nullptr) return BQ_ERROR_NULL_POINTER;
  if (len < 4 || tx[0] != 0x04 || tx[1] != 0xFB) return BQ_ERROR_PROTOCOL;
  if (tx[2] != 0x85 || tx[3] != 0x10) return 0;
  // The reply lands at rx[6]; the status register is two bytes wide.
  if (len <= 6 || len > BQ_ALGO_SPI_READ_MAX) return BQ_ERROR_BAD_PARAMS;
  uint8_t status[BQ_ALGO_SPI_READ_MAX - 6] = {};
  const uint16_t n = static_cast<uint16_t>(len - 6);
  int r = zq_interface_base_ReadRegister(ZQ_REG_MCU_STATUS, status, n);
  if (r != 0) return r;
  for (uint16_t i = 0; i < n; ++i) rx[6 + i] = status[i];
  return 0;
}

extern "C" int bq_spi_write_then_read_buf(const void *tx, uint16_t tx_len, void *rx,
                                          uint16_t rx_len) {
  int r = zq_interface_base_WriteData(ZQ_ADDR_SPI, tx, tx_len);
  if (r != 0) return r;
  return zq_interface_base_ReadData(rx, rx_len);
}
