#include "src/quorv_fp_spi/quorv_image_stream.h"

#include <cstring>

#include "src/quorv_fp_spi/quorv_spi_io.h"

namespace quorv_spi {

void ReadStream(uint8_t port, uint8_t *xfer, uint8_t *dst, long length, int chunk) {
  for (long off = 0; off < length; off += chunk) {
    const long n = length - off < chunk ? length - off : chunk;
    const long words = n / 2 - 1;
    xfer[0] = 0x06;
    xfer[1] = 0xF9;
    xfer[2] = port;
    xfer[3] = 0x05;
    xfer[4] = static_cast<uint8_t>((words >> 8) & 0xFF);
    xfer[5] = static_cast<uint8_t>(words & 0xFF);
    Transfer(xfer, static_cast<uint32_t>(n + kStreamHeader));
    std::memcpy(dst + off, xfer + kStreamHeader, static_cast<size_t>(n));
  }
}

void SwapSamples(uint8_t *data, long samples) {
  for (long i = 0; i < samples; ++i) {
    uint8_t t = data[2 * i];
    data[2 * i] = data[2 * i + 1];
    data[2 * i + 1] = t;
  }
}

}  // namespace quorv_spi
