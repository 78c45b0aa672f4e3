#include "chips/zq4847_update/zq4847_slots.h"

#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"

zq4847_callbacks_t zq4847_factory_callbacks = {};

namespace zq4847 {

namespace {
const zq4847_callbacks_t &Slots() { return zq4847_factory_callbacks; }
}  // namespace

int Status(int result) { return result & 0xFF; }

int BusType() { return Slots().bus_type != nullptr ? Slots().bus_type() : 0; }

void SleepMs(int ms) {
  if (Slots().msleep != nullptr) Slots().msleep(ms);
}

void SleepUs(int us) {
  if (Slots().usleep != nullptr) Slots().usleep(us);
}

int ChipSelect(int level) {
  if (Slots().chip_select == nullptr) return ZQ4847_MISSING_CHIP_SELECT;
  Slots().chip_select(static_cast<unsigned>(level));
  return 0;
}

int Write(uint8_t *data, uint16_t len) {
  if (Slots().spi_write == nullptr) return ZQ4847_MISSING_SPI_WRITE;
  return Status(Slots().spi_write(data, len));
}

int Read(uint8_t *buf, uint16_t len) {
  if (Slots().spi_read == nullptr) return ZQ4847_MISSING_SPI_READ;
  return Status(Slots().spi_read(buf, len));
}

int SensorReset() {
  if (Slots().sensor_reset == nullptr) return ZQ4847_MISSING_RESET;
  Slots().sensor_reset();
  return 0;
}

}  // namespace zq4847
