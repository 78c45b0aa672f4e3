// Chunked reads of a chip's image data port (`06 F9 port 05`), shared by the
// image readers of the SPI layer (not exported).
#ifndef SRC_QUORV_FP_SPI_QUORV_IMAGE_STREAM_H_
#define SRC_QUORV_FP_SPI_QUORV_IMAGE_STREAM_H_

#include <stdint.h>

namespace quorv_spi {

// Bytes before the data in a data-port answer.
constexpr int kStreamHeader = 6;

// Reads `length` bytes from the data port in chunks of `chunk` bytes (the
// last one shorter) into dst, chunk i at byte i x chunk. Each chunk is one
// SpiRead of n + 6 bytes of xfer, `06 F9 port 05 (n/2-1)>>8 (n/2-1)&FF`, of
// which only the six command bytes are rewritten; the data follow byte 6.
// xfer holds at least chunk + 6 bytes; chunk is at least 1; SpiRead must be
// registered.
void ReadStream(uint8_t port, uint8_t *xfer, uint8_t *dst, long length, int chunk);

// Swaps the two bytes of each of `samples` 16-bit samples in place.
void SwapSamples(uint8_t *data, long samples);

}  // namespace quorv_spi

#endif  // SRC_QUORV_FP_SPI_QUORV_IMAGE_STREAM_H_
