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

// Samples of the 64 x 80 sensor the bad-pixel repair covers.
constexpr int kRepairSamples = 64 * 80;
constexpr int kPartWidth = 64;

struct Params {
  int img_cnt, swap, black_en, force_offset, bad_pixel_en, floor_thr, cap, parts;
};

Params ReadParams(const uint8_t *block) {
  Params p;
  p.img_cnt = block[3];
  p.swap = block[4] == 0 ? 1 : block[4];
  p.black_en = block[5];
  p.force_offset = block[6] == 0 ? 1 : block[6];
  p.bad_pixel_en = block[7];
  p.floor_thr = block[8];
  p.cap = block[9] == 0 ? 10000 : block[9] * 100;
  p.parts = block[10] == 0 ? 1 : block[10];
  return p;
}

// Floors, scales and offsets the difference in b->work (n samples).
void Normalise(const char *name, const Geometry &g, const Params &p, Buffers *b) {
  int16_t *w = b->work;
  const long n = g.n;
  // The five smallest qualifying samples, roughly sorted.
  int s[5] = {10000, 10000, 10000, 10000, 10000}, maximum = 1;
  for (long k = 1; k < n; ++k) {
    const long c = k % kPartWidth;
    const int v = w[k];
    if (c == 0 || c == kPartWidth - 1 || v <= p.floor_thr) continue;
    if (v <= s[0]) s[0] = v;
    else if (v <= s[1]) s[1] = v;
    else if (v <= s[2]) s[2] = v;
    else if (v <= s[3]) s[3] = v;
    else s[4] = std::min(s[4], v);
    maximum = std::max(maximum, v);
  }
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMinDiffArray : %d, %d, %d, %d, %d", name, s[0],
               s[1], s[2], s[3], s[4]);
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMinDiff:%d  usMaxDiff:%d", name, s[4], maximum);
  const int floor = s[4] >= p.floor_thr ? s[4] : p.floor_thr;
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMinDiff1:%d", name, floor);
  if (floor < maximum) {
    for (long k = 0; k < n; ++k) w[k] = static_cast<int16_t>(w[k] > floor ? w[k] - floor : 0);
  }

  int t[5] = {0, 0, 0, 0, 0};
  for (long k = 0; k < n; ++k) {
    const int v = w[k];
    if (v >= t[0]) t[0] = v;
    else if (v >= t[1]) t[1] = v;
    else if (v >= t[2]) t[2] = v;
    else if (v >= t[3]) t[3] = v;
    else t[4] = std::max(t[4], v);
  }
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMaxDiffArray : %d, %d, %d, %d, %d", name, t[4],
               t[3], t[2], t[1], t[0]);
  maximum = std::min(t[4], p.cap);
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......usMaxDiff1:%d", name, maximum);

  const int q = maximum / 25;
  const int divisor = q <= 9 ? 10 : q;
  for (long k = 0; k < n; ++k) w[k] = static_cast<int16_t>(w[k] * 10 / divisor);
  const MeanOffset m = InteriorMean(name, w, g.cols, g.rows);
  const int offset = p.force_offset == 1 ? m.offset : p.force_offset;
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......diffOffset1 = 0x%x", name, offset);
  if (m.count <= 199 && p.black_en != 0) {
    std::memset(w, 0, static_cast<size_t>(n) * sizeof(int16_t));
  } else {
    ApplyOffset(w, n, offset);
  }
  if (p.bad_pixel_en != 0) {
    RepairBadPixels(name, "BadPix2", w, b->base, b->backraw, kRepairSamples, kPartWidth,
                    p.bad_pixel_en, divisor, offset);
  }
}

int ReadFw4845(const char *name, bool enroll, uint8_t *buf) {
  Geometry g;
  if (buf == nullptr || !CheckGeometry(name, &g)) return -1;
  const ZqSlideEnrollObj *slide = quorv_get_ZqSlideEnrollObjHandle();
  if (enroll && slide == nullptr) return -1;
  BufferPtr b = NewBuffers(name);
  if (!b) return -1;
  if (enroll) quorv_DestroyImage();
  QUORV_LOG_IN(name, QUORV_LOG_INFO,
               "read image...loop = %ld, remainder = %ld, image_length = %ld, TransferBytesMax = %d",
               g.length / g.chunk, g.length % g.chunk, g.length, g.chunk);
  if (!Handshake(name, g, b.get())) return -1;
  const Params p = ReadParams(g.spi->baseBuf + g.length);

  if (enroll && p.img_cnt == 0) return FinishRead(name, "end");
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG,
               "%s......FW4845 imgCnt = %d, BigSmallExchange = %d, BlackImgEn = %d, "
               "forceoffset = %d, Bad_Pixel_En = %d",
               name, p.img_cnt, p.swap, p.black_en, p.force_offset, p.bad_pixel_en);
  const long bytes = g.length * p.parts;
  if (bytes > QUORV_SLIDE_X_FRAME_BYTES) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s......FW4845 ucimgparts:%d exceeds the frame buffer",
                 name, p.parts);
    return -1;
  }
  QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......FW4845 ucimgparts:%d loop:%ld, remainder:%ld",
               name, p.parts, bytes / g.chunk, bytes % g.chunk);
  ReadFrame(0x9A, g, b.get(), bytes);
  if (g.spi->imagebit != 1 && p.swap == 1) quorv_spi::SwapSamples(b->raw, 2 * g.n);

  int16_t *raw = b->samples;
  std::memcpy(raw, b->raw, sizeof b->raw);
  if (p.parts > 1) {
    for (int i = 0; i < 64; ++i) {
      for (int c = 0; c < kPartWidth; ++c) {
        raw[i * kPartWidth + c] = static_cast<int16_t>(raw[2 * i * kPartWidth + c] +
                                                       raw[(2 * i + 1) * kPartWidth + c]);
      }
    }
  }
  std::memcpy(buf, raw, static_cast<size_t>(g.length));

  if (g_quorvHostCallbacks.GetImageBase == nullptr) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image base error!", name);
    return -1;
  }
  if (g.spi->baseLen == 0) {
    std::memcpy(g.spi->imageBuf, buf, static_cast<size_t>(g.length));
    return 0;
  }
  if (g.spi->baseLen == 1) {
    std::memcpy(buf, g.spi->baseBuf, static_cast<size_t>(g.length));
    return 0;
  }
  if (g.spi->baseLen != g.length) {
    QUORV_LOG_IN(name, QUORV_LOG_ERROR, "%s.....image lenth error!", name);
    return -1;
  }

  std::memcpy(b->backraw, raw, sizeof b->backraw);
  for (long k = 0; k < g.n; ++k) {
    b->work[k] = static_cast<int16_t>(raw[k] < b->base[k] ? b->base[k] - raw[k] : 0);
  }
  Normalise(name, g, p, b.get());

  NarrowInverted(b->work, buf, g.n);
  if (g.cols >= 2) {
    buf[0] = buf[1];
    for (long e = g.cols; e < g.n; e += g.cols) {
      buf[e - 1] = buf[e - 2];
      buf[e] = buf[e + 1];
    }
    buf[g.n - 1] = buf[g.n - 2];
  }
  if (!enroll) {
    quorv_SaveImage(buf);
  } else if (quorv_StandardDeviation(buf, static_cast<uint8_t>(g.cols),
                                     static_cast<uint8_t>(g.rows), 16, 16) >=
             static_cast<uint32_t>(slide->StandardDeviation_thr)) {
    QUORV_LOG_IN(name, QUORV_LOG_DEBUG, "%s......fw4845 save %d image", name, 1);
    quorv_SaveImage(buf);
  }
  return 0;
}

}  // namespace

extern "C" int fw4845_SlideEnrollReadImage_X(uint8_t *buf) { return ReadFw4845(__func__, true, buf); }

extern "C" int fw4845_SlideVerifyReadImage_X(uint8_t *buf) {
  return ReadFw4845(__func__, false, buf);
}
