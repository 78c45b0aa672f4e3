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

// Samples of the 56 x 56 sensor the bad-pixel repair covers.
constexpr int kRepairSamples = 56 * 56;

// Reverses the order within every group of four samples.
void ReverseGroups(int16_t *s, long n) {
  for (long g = 0; g + 4 <= n; g += 4) std::reverse(s + g, s + g + 4);
}

// Reads one frame and leaves its 8-bit image in b->img.
void ProcessFrame(const char *name, const Geometry &g, Buffers *b, int bad_pixel_en) {
  ReadFrame(0x9A, g, b, g.length);
  if (g.spi->imagebit != 1) quorv_spi::SwapSamples(b->raw, g.n);
  for (long k = 0; k < g.n; ++k) b->work[k] = Sample(b->raw, k);
  ReverseGroups(b->work, g.n);

  const long base_samples = g.spi->baseLen / 2;
  int maximum = 1, q = 0;
  if (base_samples >= 1) {
    std::memcpy(b->backraw, b->work, sizeof b->backraw);
    for (long k = 0; k < base_samples; ++k) {
      b->work[k] = static_cast<int16_t>(b->base[k] - b->work[k]);
      if (b->work[k] > maximum) maximum = b->work[k];
    }
    q = maximum / 25;
  }
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMaxDiff = %d", name, maximum);
  const int divisor = q <= 9 ? 10 : q;
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......divTimes = %d", name, divisor);
  for (long k = 0; k < base_samples; ++k) {
    b->work[k] = static_cast<int16_t>(b->work[k] * 10 / divisor);
  }
  for (int k = 0; k < 10; ++k) {
    QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......diff[%d] = %d", name, k, b->work[k]);
  }

  const MeanOffset m = InteriorMean(name, b->work, g.cols, g.rows);
  if (m.count <= 199) {
    std::memset(b->work, 0, static_cast<size_t>(g.n) * sizeof(int16_t));
  } else {
    ApplyOffset(b->work, g.n, m.offset);
  }
  if (bad_pixel_en != 0) {
    RepairBadPixels(name, "BadPix", b->work, b->base, b->backraw, kRepairSamples, 56,
                    bad_pixel_en, divisor, m.offset);
  }

  NarrowInverted(b->work, b->img, g.n);
  if (g.cols >= 3) {
    uint8_t *img = b->img;
    img[0] = img[2];
    for (long e = g.cols; e < g.n; e += g.cols) {
      img[e - 1] = img[e - 3];
      img[e] = img[e + 2];
    }
    img[g.n - 1] = img[g.n - 3];
  }
}

int ReadFw4848(const char *name, uint8_t *out) {
  const bool verify = out != nullptr;
  Geometry g;
  if (!CheckGeometry(name, &g)) return -1;
  const ZqSlideEnrollObj *slide = quorv_get_ZqSlideEnrollObjHandle();
  if (!verify && slide == nullptr) return -1;
  BufferPtr b = NewBuffers(name);
  if (!b) return -1;
  if (!verify) quorv_DestroyImage();
  QUORV_LOG_IN(name, QUORV_LOG_INFO,
               "read image...loop = %ld, remainder = %ld, image_length = %ld, TransferBytesMax = %d",
               g.length / g.chunk, g.length % g.chunk, g.length, g.chunk);
  if (!Handshake(name, g, b.get())) return -1;

  const uint8_t *block = g.spi->baseBuf + g.length;
  const int img_cnt = block[3];
  const int bad_pixel_en = block[7];
  int frames = img_cnt == 0 ? 1 : std::min<int>(img_cnt, verify ? 1 : slide->slide_enroll_cont);
  if (verify) frames = 1;
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG,
               "%s......FW4848 imgCnt = %d, divCnt = %d, diffOffset = %d, divTimes = %d, "
               "Bad_Pixel_En = %d",
               name, verify ? 1 : img_cnt, block[4] == 0 ? 1 : block[4], block[5],
               block[6] == 0 ? 1 : block[6], bad_pixel_en);
  ReverseGroups(b->base, g.n);

  int run = 0;
  for (int f = 1; f <= frames; ++f) {
    ProcessFrame(name, g, b.get(), bad_pixel_en);
    if (verify) {
      quorv_SaveImage(b->img);
      std::memcpy(out, b->img, static_cast<size_t>(g.n));
    } else if (quorv_StandardDeviation(b->img, static_cast<uint8_t>(g.cols),
                                       static_cast<uint8_t>(g.rows), 16, 16) >=
               static_cast<uint32_t>(slide->StandardDeviation_thr)) {
      QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......fw4848 save %d image", name, f);
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

  // The enrol reader names this failure "start", as it always has.
  return FinishRead(name, verify ? "end" : "start");
}

}  // namespace

extern "C" int fw4848_SlideEnrollReadImage_X(void) { return ReadFw4848(__func__, nullptr); }

extern "C" int fw4848_SlideVerifyReadImage_X(uint8_t *out) {
  if (out == nullptr) return -1;
  return ReadFw4848(__func__, out);
}
