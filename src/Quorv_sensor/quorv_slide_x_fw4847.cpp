#include <algorithm>
#include <cstring>

#include "src/Quorv_sensor/quorv_image_list.h"
#include "src/Quorv_sensor/quorv_slide_capture.h"
#include "src/Quorv_sensor/quorv_slide_instance.h"
#include "src/Quorv_sensor/quorv_slide_x.h"
#include "src/Quorv_sensor/quorv_slide_x_frame.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_fp_spi/quorv_image_stream.h"

namespace {

using namespace quorv_slide_x;

// Reads one frame and leaves the cropped, inverted 8-bit image at the start
// of b->img.
void ProcessFrame(const Geometry &g, Buffers *b) {
  ReadFrame(0x99, g, b, g.length);
  if (g.spi->imagebit != 1) quorv_spi::SwapSamples(b->raw, g.n);
  for (long k = 0; k < g.n; ++k) {
    b->work[k] = static_cast<int16_t>(b->base[k] - Sample(b->raw, k));
  }
  // Mean of rows 0..rows-1, columns 1..cols-2; none without such columns.
  long mean = 0;
  if (g.cols > 2 && g.rows > 0) {
    long sum = 0;
    for (int r = 0; r < g.rows; ++r) {
      for (int c = 1; c <= g.cols - 2; ++c) sum += b->work[r * g.cols + c];
    }
    mean = sum / g.rows / (g.cols - 2);
  }
  ApplyOffset(b->work, g.n, static_cast<int>(mean - 127));
  for (long k = 0; k < g.n; ++k) b->img[k] = static_cast<uint8_t>(b->work[k] & 0xFF);
  quorv_BitConventer(b->img);
  long crop = static_cast<long>(g.spi->fw4847_imagewidth) * g.spi->fw4847_imageheight;
  if (g.spi->fw4847_imagewidth > g.cols || g.spi->fw4847_imageheight > g.rows) crop = g.n;
  for (long k = 0; k < crop; ++k) b->img[k] = static_cast<uint8_t>(~b->img[k]);
}

int ReadFw4847(const char *name, uint8_t *out) {
  const bool verify = out != nullptr;
  Geometry g;
  if (!CheckGeometry(name, &g)) return -1;
  const ZqSlideEnrollObj *slide = quorv_get_ZqSlideEnrollObjHandle();
  if (!verify && slide == nullptr) return -1;
  BufferPtr b = NewBuffers(name);
  if (!b) return -1;
  if (!verify) quorv_DestroyImage();
  if (!Handshake(name, g, b.get())) return -1;

  const uint8_t *block = g.spi->baseBuf + g.length;
  const int img_cnt = block[3];
  const int frames = verify || img_cnt == 0 ? 1 : std::min<int>(img_cnt, slide->slide_enroll_cont);
  QUORV_LOG_IN(name, QUORV_LOG_INFO, "read image...baselen = %d, image_length = %ld, read_image_cnt = %d",
               g.spi->baseLen, g.length, frames);
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "read image...imgCnt = %d, divCnt = %d, diffOffset = %d",
               img_cnt, block[4], block[5]);
  // A crop larger than the image is not made: the image is used whole.
  uint8_t crop_w = g.spi->fw4847_imagewidth, crop_h = g.spi->fw4847_imageheight;
  if (crop_w > g.cols || crop_h > g.rows) {
    crop_w = static_cast<uint8_t>(g.cols);
    crop_h = static_cast<uint8_t>(g.rows);
  }

  int run = 0;
  for (int f = 0; f < frames; ++f) {
    ProcessFrame(g, b.get());
    QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......fw4847 save %d image", name, f);
    if (verify) {
      quorv_SaveImage(b->img);
      std::memcpy(out, b->img, static_cast<size_t>(crop_w) * crop_h);
    } else if (quorv_StandardDeviation(b->img, crop_w, crop_h, 16, 16) >=
               static_cast<uint32_t>(slide->StandardDeviation_thr)) {
      quorv_SaveImage(b->img);
      run = 0;
    } else if (++run > 2) {
      QUORV_LOG_IN(name, QUORV_LOG_INFO, "%s......read image finish! no_usefull_image = %d", name,
                   run);
      break;
    }
    std::memset(b->work, 0, sizeof b->work);
    std::memset(b->raw, 0, sizeof b->raw);
  }

  return FinishRead(name, "end");
}

}  // namespace

extern "C" int fw4847_SlideEnrollReadImage_X(void) { return ReadFw4847(__func__, nullptr); }

extern "C" int fw4847_SlideVerifyReadImage_X(uint8_t *out) {
  if (out == nullptr) return -1;
  return ReadFw4847(__func__, out);
}
