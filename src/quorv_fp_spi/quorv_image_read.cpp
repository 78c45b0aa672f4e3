#include "src/quorv_fp_spi/quorv_image_read.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_sensor_instance.h"
#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_base/quorv_sensor_type.h"
#include "src/quorv_fp_spi/quorv_callback_readers.h"
#include "src/quorv_fp_spi/quorv_fw4847_read.h"
#include "src/quorv_fp_spi/quorv_image_stream.h"
#include "src/quorv_fp_spi/quorv_spi_io.h"

namespace {

void Invert(uint8_t *buf, long n) {
  for (long i = 0; i < n; ++i) buf[i] = static_cast<uint8_t>(~buf[i]);
}

// Types 1 and 7: image SRAM at 0x3400, byte offsets, ESD bytes in the first
// answer. 0 or -3.
int ReadByteSram(const ZqSpiObj *spi, uint8_t *xfer, uint8_t *buf, long length) {
  const int t = spi->TransferBytesMax;
  const long loop = length / t, remainder = length % t;
  for (long i = 0; i <= loop; ++i) {
    const long n = i < loop ? t : remainder;
    if (n == 0) break;
    const long off = i * t;
    xfer[0] = 0x04;
    xfer[1] = 0xFB;
    xfer[2] = static_cast<uint8_t>((0x34 + (off >> 8)) & 0xFF);
    xfer[3] = static_cast<uint8_t>(off & 0xFF);
    xfer[4] = static_cast<uint8_t>((n >> 8) & 0xFF);
    xfer[5] = static_cast<uint8_t>(n & 0xFF);
    quorv_spi::Transfer(xfer, static_cast<uint32_t>(n + 8));
    std::memcpy(buf + off, xfer + 8, static_cast<size_t>(n));
    if (i == 0 && i < loop) {
      const uint8_t ecc_h = static_cast<uint8_t>(((t >> 8) ^ 0xCF) & 0xFF);
      const uint8_t ecc_l = static_cast<uint8_t>((t & 0xFF) ^ ecc_h);
      if (xfer[6] != ecc_h || xfer[7] != ecc_l) {
        QUORV_LOGD("ecc_h = %d ecc_l = %d  buff[6] = %d buff[7] = %d \n", ecc_h, ecc_l, xfer[6],
                   xfer[7]);
        QUORV_LOGD("quorv esd check error!\n");
        return -3;
      }
    }
  }
  const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  if (spi->icinfo == SENSOR_ZQ4841 || spi->imagebit == QUORV_IMAGEBIT_8) {
    Invert(buf, n < length ? n : length);
  }
  return 0;
}

// Types 2 and 3: image SRAM at 0x9A00, word offsets.
void ReadWordSram(const ZqSpiObj *spi, uint8_t *xfer, uint8_t *buf, long length) {
  if (spi->icinfo == SENSOR_ZQ4844 && g_quorvHostCallbacks.ReadImageInit != nullptr) {
    g_quorvHostCallbacks.ReadImageInit();
  }
  const int t = spi->TransferBytesMax;
  for (long i = 0, off = 0; off < length; ++i, off += t) {
    const long n = length - off < t ? length - off : t;
    const long w = i * (t / 2);
    xfer[0] = 0x04;
    xfer[1] = 0xFB;
    xfer[2] = static_cast<uint8_t>((0x9A + (w >> 8)) & 0xFF);
    xfer[3] = static_cast<uint8_t>(w & 0xFF);
    xfer[4] = static_cast<uint8_t>((n >> 8) & 0xFF);
    xfer[5] = static_cast<uint8_t>(n & 0xFF);
    quorv_spi::Transfer(xfer, static_cast<uint32_t>(n + 6));
    std::memcpy(buf + off, xfer + 6, static_cast<size_t>(n));
  }
  const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  Invert(buf, n < length ? n : length);
}

// Type 5: the FW4859H data port; 14-bit samples divided down to 8 bits.
void ReadFw4859h(const ZqSpiObj *spi, uint8_t *xfer, uint8_t *buf, long length) {
  if (g_quorvHostCallbacks.ReadImageStart != nullptr) {
    QUORV_LOGD("%s......FW4859H read image start", "quorv_fp_sensor_read_image");
    g_quorvHostCallbacks.ReadImageStart();
  }
  quorv_spi::ReadStream(0x9A, xfer, buf, length, spi->TransferBytesMax);
  if (g_quorvHostCallbacks.ReadImageEnd != nullptr) {
    g_quorvHostCallbacks.ReadImageEnd();
    QUORV_LOGD("%s......FW4859H read image end", "quorv_fp_sensor_read_image");
  }
  for (long i = 0; i < 20 && i < length; ++i) {
    QUORV_LOGD("%s......FW4859H buf[%ld] = 0x%x", "quorv_fp_sensor_read_image", i, buf[i]);
  }
  int32_t times = g_FW4859HScanTimes;
  if (times == 0) {
    QUORV_LOGE("g_FW4859HScanTimes is 0, samples left undivided");
    times = 1;
  }
  // Only samples whose two bytes were read are converted.
  long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  if (n > length / 2) n = length / 2;
  for (long p = 0; p < n; ++p) {
    const int v = ((buf[2 * p] << 8) | buf[2 * p + 1]) >> 2;
    int q = v / times;
    if (q > 255) q = 255;
    buf[p] = static_cast<uint8_t>(q);
  }
  Invert(buf, n);
}

// Image length in bytes from imagebit; 0 for a code without one.
long ImageLength() {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr) return 0;
  const long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  switch (spi->imagebit) {
    case QUORV_IMAGEBIT_16:
      return 2 * n;
    case QUORV_IMAGEBIT_8:
      return n;
    case QUORV_IMAGEBIT_10:
      return spi->icinfo == SENSOR_FW4856 ? 3 * n / 2 : 2 * n;
    default:
      return 0;
  }
}

}  // namespace

extern "C" int quorv_fp_sensor_read_image(uint8_t *buf, uint32_t index) {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr || buf == nullptr) return -1;
  const long length = ImageLength();
  const int t = spi->TransferBytesMax;
  const bool t_ok = t >= 1 && t <= QUORV_IMAGE_XFER_MAX;
  QUORV_LOGD("%s..image_length = %ld, loop = %ld, remainder = %ld: imagebit = %u", __func__,
             length, t_ok ? length / t : 0L, t_ok ? length % t : 0L, spi->imagebit);
  if (g_quorvHostCallbacks.SpiRead == nullptr) return -2;

  switch (spi->icinfo) {
    case SENSOR_FW4847:
      return fw4847_NoneSlideEnrollReadImage(buf, index);
    case SENSOR_FW4848:
    case SENSOR_FW4849:
      return fw4848_NoneSlideEnrollReadImage(buf, index);
    case SENSOR_FW4845:
      return fw4845_NoneSlideEnrollReadImage(buf, index);
    case SENSOR_ZE4850:
    case SENSOR_DO4851:
      return ze4850_NoneSlideEnrollReadImage(buf, index);
    case SENSOR_FW4843:
      return fw4843_NoneSlideEnrollReadImage(buf, index);
    case SENSOR_ZQ4841:
    case SENSOR_ZQ4842:
    case SENSOR_ZQ4844:
    case SENSOR_FW4859H:
    case SENSOR_FW4856:
      break;
    default:
      return 0;
  }
  if (length == 0) return 0;
  if (!t_ok) {
    QUORV_LOGE("TransferBytesMax = %d outside 1..%d", t, QUORV_IMAGE_XFER_MAX);
    return -1;
  }

  uint8_t xfer[QUORV_IMAGE_XFER_BYTES] = {};
  switch (spi->icinfo) {
    case SENSOR_ZQ4841:
    case SENSOR_FW4856:
      return ReadByteSram(spi, xfer, buf, length);
    case SENSOR_FW4859H:
      ReadFw4859h(spi, xfer, buf, length);
      return 0;
    default:
      ReadWordSram(spi, xfer, buf, length);
      return 0;
  }
}

extern "C" void quorv_Print_Buf(void) {}
