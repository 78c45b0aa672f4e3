#include "src/quorv_fp_spi/quorv_fw4847_read.h"

#include <cstdlib>
#include <cstring>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_fp_spi/quorv_image_stream.h"

namespace {

constexpr int kFrameBuf = QUORV_FW4847_FRAME_BYTES + 20;  // 10,260 bytes

long LengthOf(const ZqSpiObj *spi) {
  const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  if (spi->imagebit == QUORV_IMAGEBIT_8) return n;
  if (spi->imagebit == QUORV_IMAGEBIT_16 || spi->imagebit == QUORV_IMAGEBIT_10) return 2 * n;
  return 0;
}

// Copies rows r_src onto row r_dst of a cols-wide byte image.
void CopyRow(uint8_t *img, int cols, int r_dst, int r_src) {
  std::memcpy(img + r_dst * cols, img + r_src * cols, static_cast<size_t>(cols));
}

}  // namespace

extern "C" int quorv_fp_sensor_read_fw4847_image(uint8_t *out, uint32_t /*index*/) {
  ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || out == nullptr) return -1;
  if (g_quorvHostCallbacks.SpiRead == nullptr) {
    QUORV_LOGE("%s.....SpiRead not registered", __func__);
    return -2;
  }
  const long length = LengthOf(spi);
  const int t = spi->TransferBytesMax;
  if (length > QUORV_FW4847_FRAME_BYTES || t < 1 || t > QUORV_FW4847_XFER_MAX) {
    QUORV_LOGE("image_length = %ld or TransferBytesMax = %d beyond %d / %d", length, t,
               QUORV_FW4847_FRAME_BYTES, QUORV_FW4847_XFER_MAX);
    return -1;
  }
  const int cols = spi->imagewidth, rows = spi->imageheight;
  const long n = static_cast<long>(cols) * rows;
  QUORV_LOGD("%s image_length = %ld, loop = %ld, remainder = %ld: imagebit = %u \n", __func__,
             length, length / t, length % t, spi->imagebit);

  const uint8_t *block = spi->baseBuf + length;
  int img_cnt = block[3] == 0 ? 1 : block[3] > 3 ? 3 : block[3];
  const int div_cnt = block[4] == 0 ? 1 : block[4];
  const int diff_offset = block[5];
  const int sub_thr = block[6];
  const int cap = block[7] == 0 ? 10000 : block[7] * 100;
  QUORV_LOGD("read image...imgCnt = %d, divCnt = %d, diffOffset = %d", img_cnt, div_cnt,
             diff_offset);

  static uint8_t current[kFrameBuf], xfer[kFrameBuf];
  static int16_t reference[QUORV_FW4847_FRAME_BYTES / 2], acc[kFrameBuf / 2];
  std::memset(current, 0, sizeof current);
  std::memset(xfer, 0, sizeof xfer);
  std::memset(reference, 0, sizeof reference);
  std::memset(acc, 0, sizeof acc);
  const long samples = length / 2;

  for (int f = 0; f < img_cnt; ++f) {
    quorv_spi::ReadStream(0x99, xfer, current, length, t);
    if (spi->imagebit != QUORV_IMAGEBIT_8) quorv_spi::SwapSamples(current, n);
    int max_diff = 0, rejected = 0;
    for (long k = 0; k < samples; ++k) {
      int16_t v;
      std::memcpy(&v, current + 2 * k, 2);
      if (f == 0) {
        acc[k] = v;
        reference[k] = v;
        continue;
      }
      const int d = std::abs(v - reference[k]) & 0xFF;
      if (d > max_diff) max_diff = d;
      if (sub_thr == 0 || d <= sub_thr) {
        acc[k] = static_cast<int16_t>(acc[k] + v);
        if (sub_thr != 0) reference[k] = v;
      } else {
        acc[k] = static_cast<int16_t>(acc[k] + reference[k]);
        ++rejected;
      }
    }
    QUORV_LOGD("***t:%d  usMaxDiff:%d averagecont:%d TowImageSubThr:%d", f, max_diff, rejected,
               sub_thr);
    std::memset(current, 0, sizeof current);
  }

  if (g_quorvHostCallbacks.GetImageBase == nullptr) {
    QUORV_LOGE("%s.....image read base error!", __func__);
    return -1;
  }
  if (spi->baseLen == 0) {
    std::memcpy(spi->imageBuf, out, static_cast<size_t>(length));
    return 0;
  }
  if (spi->baseLen == 1) {
    std::memcpy(out, spi->baseBuf, static_cast<size_t>(length));
    return 0;
  }
  if (spi->baseLen != length) {
    QUORV_LOGE("image lenth error! zqSpiObj->baseLen = %d, image_length = %ld", spi->baseLen,
               length);
    return -1;
  }

  const long base_samples = spi->baseLen / 2;
  for (long k = 0; k < base_samples; ++k) {
    int16_t b;
    std::memcpy(&b, spi->baseBuf + 2 * k, 2);
    acc[k] = static_cast<int16_t>(b - acc[k]);
  }
  int minimum = 10000, maximum = 1;
  for (long k = 0; k < base_samples; ++k) {
    const long c = k % cols;
    if (c != 0 && c != 55 && acc[k] < minimum) minimum = acc[k];
    if (acc[k] > maximum) maximum = acc[k];
  }
  QUORV_LOGD("%s......usMinDiff:%d  usMaxDiff:%d", __func__, minimum, maximum);
  const int floor = minimum >= sub_thr ? minimum : sub_thr;
  QUORV_LOGD("%s......usMinDiff1:%d", __func__, floor);
  if (floor < maximum) {
    for (long k = 0; k < base_samples; ++k) acc[k] = static_cast<int16_t>(acc[k] - floor);
  }
  maximum = 1;
  for (long k = 0; k < base_samples; ++k) {
    if (acc[k] > maximum) maximum = acc[k];
  }
  QUORV_LOGD("%s......usMaxDiff = %d", __func__, maximum);
  if (cap < maximum) {
    maximum = cap;
    QUORV_LOGD("%s......usMaxDiff1:%d", __func__, maximum);
  }
  const uint8_t q = static_cast<uint8_t>(maximum / 25);
  const int divisor = q <= 9 ? 10 : q;
  for (long k = 0; k < base_samples; ++k) acc[k] = static_cast<int16_t>(acc[k] * 10 / divisor);

  // Mean of the samples of 50 or more in columns 1..cols-2; none: mean 0.
  long sum = 0;
  uint16_t count = 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 1; c <= cols - 2; ++c) {
      const int v = acc[r * cols + c];
      if (v >= 50) {
        sum += v;
        ++count;
      }
    }
  }
  const long mean = count == 0 ? 0 : sum / count;
  for (long k = 0; k < base_samples; ++k) {
    long v = acc[k] - (mean - 127);
    acc[k] = static_cast<int16_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
  for (long p = 0; p < n; ++p) out[p] = static_cast<uint8_t>(~static_cast<uint8_t>(acc[p] & 0xFF));

  // Border patch.
  if (cols >= 2) {
    out[0] = out[1];
    for (long b = cols; b < n; b += cols) {
      out[b - 1] = out[b - 2];
      out[b] = out[b + 1];
    }
    out[n - 1] = out[n - 2];
  }
  if (rows >= 3) {
    CopyRow(out, cols, 0, 2);
    CopyRow(out, cols, 1, 2);
    CopyRow(out, cols, rows - 1, rows - 3);
    CopyRow(out, cols, rows - 2, rows - 3);
  }
  std::memcpy(spi->imageBuf, out, static_cast<size_t>(length));
  return 0;
}

extern "C" int fw4847_NoneSlideEnrollReadImage(uint8_t *out, uint32_t index) {
  if (g_quorvHostCallbacks.ReadImageStart == nullptr) {
    QUORV_LOGE("%s.....image read start error!", __func__);
    return -1;
  }
  g_quorvHostCallbacks.ReadImageStart();
  if (g_quorvHostCallbacks.GetImageBase == nullptr) {
    QUORV_LOGE("%s.....image read base error!", __func__);
    return -1;
  }
  ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr) return -1;
  g_quorvHostCallbacks.GetImageBase(spi->baseBuf, &spi->baseLen);
  QUORV_LOGI("read image...baselen = %d", spi->baseLen);
  const int ret = quorv_fp_sensor_read_fw4847_image(out, index);
  if (g_quorvHostCallbacks.ReadImageEnd == nullptr) {
    QUORV_LOGE("%s.....image read start error!", __func__);
    return -1;
  }
  g_quorvHostCallbacks.ReadImageEnd();
  return ret;
}
