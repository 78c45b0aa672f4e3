// Steps shared by the stand-alone slide readers (not exported).
#ifndef SRC_QUORV_SENSOR_QUORV_SLIDE_X_FRAME_H_
#define SRC_QUORV_SENSOR_QUORV_SLIDE_X_FRAME_H_

#include <stdint.h>

#include <memory>

#include "src/Quorv_sensor/quorv_slide_x.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"

namespace quorv_slide_x {

// Per-call buffers of a reader.
struct Buffers {
  uint8_t xfer[QUORV_SLIDE_X_XFER_BYTES];
  uint8_t raw[QUORV_SLIDE_X_FRAME_BYTES];
  int16_t work[QUORV_SLIDE_X_FRAME_BYTES / 2];
  int16_t samples[QUORV_SLIDE_X_FRAME_BYTES / 2];  // raw as host-order samples
  int16_t base[QUORV_SPI_IMAGE_BUF_SIZE / 2];  // the base samples
  int16_t backraw[5120];                       // raw samples for the repair
  uint8_t img[QUORV_SLIDE_X_FRAME_BYTES / 2];  // the 8-bit image
};

struct FreeBuffers {
  void operator()(Buffers *b) const;
};
using BufferPtr = std::unique_ptr<Buffers, FreeBuffers>;

// Zeroed buffers from ZqAlloc, or null (logged for `name`).
BufferPtr NewBuffers(const char *name);

// Geometry of the SPI instance: length = 2 x cols x rows bytes.
struct Geometry {
  ZqSpiObj *spi;
  int cols, rows;
  long n, length;
  int chunk;
};

// Fills g; false (logged for `name`) without an SPI instance or SpiRead,
// or when the image plus its 11-byte parameter block exceeds baseBuf or the
// transfer size lies outside 1..QUORV_SLIDE_X_XFER_BYTES - 6.
bool CheckGeometry(const char *name, Geometry *g);

// ReadImageStart, then GetImageBase into baseBuf/baseLen; false (logged)
// when one is missing or baseLen exceeds baseBuf. The base samples are
// copied into b.base.
bool Handshake(const char *name, const Geometry &g, Buffers *b);

// Reads `bytes` from the data port `port` into b.raw.
// Ends the host's image read: 0 after ReadImageEnd, -1 with the error line
// "<name>.....image read <what> error!" when the callback is missing.
int FinishRead(const char *name, const char *what);

void ReadFrame(uint8_t port, const Geometry &g, Buffers *b, long bytes);

// Host-order sample k of a byte buffer.
int16_t Sample(const uint8_t *bytes, long k);

// Interior mean of the samples above 50 (rows 2..rows-3, columns
// 2..cols-3) as offset = mean - 127 and the count; -127 and 1 with fewer
// than 5 rows or no such sample. Logged for `name`.
struct MeanOffset {
  int offset;
  int count;
};
MeanOffset InteriorMean(const char *name, const int16_t *w, int cols, int rows);

// v - offset limited to 0..255 for n samples.
void ApplyOffset(int16_t *w, long n, int offset);

// Bad-pixel repair over `limit` samples as rows of `width`, columns
// 2..width-3 (the rules of the 56 x 56 and 64 x 80 sensors).
void RepairBadPixels(const char *name, const char *tag, int16_t *w, const int16_t *base,
                     const int16_t *backraw, int limit, int width, int enable, int divisor,
                     int offset);

// Low bytes of n samples into img, inverted.
void NarrowInverted(const int16_t *w, uint8_t *img, long n);

}  // namespace quorv_slide_x

#endif  // SRC_QUORV_SENSOR_QUORV_SLIDE_X_FRAME_H_
