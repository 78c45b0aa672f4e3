#include "src/quorv_fp_spi/quorv_spi_io.h"

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/quorv_base/quorv_host_callbacks.h"

namespace quorv_spi {

Family FamilyOf(uint8_t icinfo) {
  switch (icinfo) {
    case 1:
    case 7:
      return Family::kDirect;
    case 2:
    case 3:
      return Family::kMailbox;
    case 4: case 5: case 6: case 8: case 9: case 10: case 11: case 12:
      return Family::kNoMcu;
    default:
      return Family::kUnsupported;
  }
}

Family CurrentFamily() {
  if (quorv_get_ZqSpiObjHandle() == nullptr) return Family::kUnsupported;
  return FamilyOf(quorv_get_icinfo());
}

int Write(const uint8_t *frame, uint16_t len) {
  if (g_quorvHostCallbacks.SpiWrite == nullptr) return 0;
  return g_quorvHostCallbacks.SpiWrite(frame, len);
}

bool CanRead() { return g_quorvHostCallbacks.SpiRead != nullptr; }

int Transfer(uint8_t *buf, uint32_t len) { return g_quorvHostCallbacks.SpiRead(buf, buf, len); }

int DirectWrite(uint8_t reg, uint8_t value, uint16_t len) {
  uint8_t frame[6] = {0x11, 0xEE, reg, value, 0x00, 0x00};
  return Write(frame, len);
}

uint8_t DirectRead(uint8_t reg, uint8_t arg, uint32_t len) {
  uint8_t frame[6] = {0x10, 0xEF, reg, arg, 0x00, 0x00};
  if (CanRead()) Transfer(frame, len);
  return frame[4];
}

int ReadStatusWord(uint8_t lo, uint8_t *high, uint8_t *low) {
  uint8_t frame[8] = {0x04, 0xFB, 0x85, lo, 0x00, 0x00, 0x00, 0x00};
  int ret = Transfer(frame, sizeof frame);
  *high = frame[6];
  *low = frame[7];
  return ret;
}

}  // namespace quorv_spi
