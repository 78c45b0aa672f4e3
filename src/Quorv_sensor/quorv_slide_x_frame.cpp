#include "src/Quorv_sensor/quorv_slide_x_frame.h"

#include <cstring>

#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_fp_spi/quorv_image_stream.h"

namespace quorv_slide_x {

// Bytes of the parameter block the readers read after the base image.
constexpr long kParamBytes = 11;

void FreeBuffers::operator()(Buffers *b) const { ZqFree(b); }

BufferPtr NewBuffers(const char *name) {
  Buffers *b = static_cast<Buffers *>(ZqAlloc(static_cast<int>(sizeof(Buffers))));
  if (b == nullptr) QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....memory ZqAlloc error!", name);
  return BufferPtr(b);
}

bool CheckGeometry(const char *name, Geometry *g) {
  g->spi = quorv_get_ZqSpiObjHandle();
  if (g->spi == nullptr || g_quorvHostCallbacks.SpiRead == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....SPI instance or SpiRead missing", name);
    return false;
  }
  g->cols = g->spi->imagewidth;
  g->rows = g->spi->imageheight;
  g->n = static_cast<long>(g->cols) * g->rows;
  g->length = 2 * g->n;
  g->chunk = g->spi->TransferBytesMax;
  if (g->length + kParamBytes > QUORV_SPI_IMAGE_BUF_SIZE || g->chunk < 1 ||
      g->chunk > QUORV_SLIDE_X_XFER_BYTES - quorv_spi::kStreamHeader) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image_length = %ld, TransferBytesMax = %d unusable",
                 name, g->length, g->chunk);
    return false;
  }
  return true;
}

int FinishRead(const char *name, const char *what) {
  if (g_quorvHostCallbacks.ReadImageEnd == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image read %s error!", name, what);
    return -1;
  }
  g_quorvHostCallbacks.ReadImageEnd();
  return 0;
}

bool Handshake(const char *name, const Geometry &g, Buffers *b) {
  if (g_quorvHostCallbacks.ReadImageStart == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image read start error!", name);
    return false;
  }
  g_quorvHostCallbacks.ReadImageStart();
  if (g_quorvHostCallbacks.GetImageBase == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image read base error!", name);
    return false;
  }
  g_quorvHostCallbacks.GetImageBase(g.spi->baseBuf, &g.spi->baseLen);
  if (g.spi->baseLen > QUORV_SPI_IMAGE_BUF_SIZE) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....baseLen = %d exceeds %d", name, g.spi->baseLen,
                 QUORV_SPI_IMAGE_BUF_SIZE);
    return false;
  }
  std::memcpy(b->base, g.spi->baseBuf, QUORV_SPI_IMAGE_BUF_SIZE);
  return true;
}

void ReadFrame(uint8_t port, const Geometry &g, Buffers *b, long bytes) {
  quorv_spi::ReadStream(port, b->xfer, b->raw, bytes, g.chunk);
}

int16_t Sample(const uint8_t *bytes, long k) {
  int16_t v;
  std::memcpy(&v, bytes + 2 * k, 2);
  return v;
}

MeanOffset InteriorMean(const char *name, const int16_t *w, int cols, int rows) {
  long sum = 0;
  int count = 0;
  if (rows >= 5) {
    for (int r = 2; r <= rows - 3; ++r) {
      for (int c = 2; c <= cols - 3; ++c) {
        const int v = w[r * cols + c];
        if (v > 50) {
          sum += v;
          ++count;
        }
      }
    }
  }
  MeanOffset m = {-127, 1};
  if (count > 0) m = {static_cast<int>(sum / count) - 127, count};
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......averageDiff = %d,  averagecnt = %d", name,
               m.offset + 127, m.count);
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......diffOffset = 0x%x", name, m.offset);
  return m;
}

void ApplyOffset(int16_t *w, long n, int offset) {
  for (long k = 0; k < n; ++k) {
    const int v = w[k] - offset;
    w[k] = static_cast<int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}

void RepairBadPixels(const char *name, const char *tag, int16_t *w, const int16_t *base,
                     const int16_t *backraw, int limit, int width, int enable, int divisor,
                     int offset) {
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s BadPixEn:%d", name, enable);
  for (int i = 0; i < limit; ++i) {
    const int c = i % width;
    if (c < 2 || c > width - 3) continue;
    if (w[i] <= 9 && base[i] != 0 && base[i] < backraw[i] + enable &&
        backraw[i - 1] + 100 < base[i - 1] && backraw[i + 1] + 100 < base[i + 1]) {
      QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s %s i:%d bmp:%d backraw:%d  base:%d row:%d", name,
                   tag, i, w[i], backraw[i], base[i], i / width);
      const int16_t half =
          static_cast<int16_t>((base[i - 1] + base[i + 1] - backraw[i - 1] - backraw[i + 1]) / 2);
      w[i] = static_cast<int16_t>(half * 10 / divisor - offset);
      QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s %s new:%d", name, tag, w[i]);
    }
  }
}

void NarrowInverted(const int16_t *w, uint8_t *img, long n) {
  for (long k = 0; k < n; ++k) img[k] = static_cast<uint8_t>(~static_cast<uint8_t>(w[k] & 0xFF));
}

}  // namespace quorv_slide_x
