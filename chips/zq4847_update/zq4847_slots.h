// Calls into the host slots of zq4847_factory_callbacks for the 4847 code:
// a missing slot is reported with Check_CallBack_Fun's code instead of being
// called, and slot results are reduced to 8-bit statuses.
#ifndef CHIPS_ZQ4847_UPDATE_ZQ4847_SLOTS_H_
#define CHIPS_ZQ4847_UPDATE_ZQ4847_SLOTS_H_

#include <stdint.h>

namespace zq4847 {

// The log tag of the 4847 code.
inline constexpr const char *kTag = "quorvanta:fw";

// The low 8 bits of a slot's result.
int Status(int result);
// The bus-type slot's answer; 0 when the slot is missing.
int BusType();
// Sleeps through the millisecond / microsecond slot (nothing when missing).
void SleepMs(int ms);
void SleepUs(int us);
// Chip select: 0 asserts, 1 releases. 0, or 4 when the slot is missing.
int ChipSelect(int level);
// Writes `len` bytes (bus type 2: the buffer receives the bytes clocked in).
int Write(uint8_t *data, uint16_t len);
// Reads `len` bytes.
int Read(uint8_t *buf, uint16_t len);
// Hardware reset of the chip. 0, or 2 when the slot is missing.
int SensorReset();

// Asserts chip select, runs `body`, releases chip select whatever happened;
// the first non-zero status.
template <typename Body>
int UnderChipSelect(Body body) {
  int r = ChipSelect(0);
  if (r == 0) r = body();
  int released = ChipSelect(1);
  return r != 0 ? r : released;
}

}  // namespace zq4847

#endif  // CHIPS_ZQ4847_UPDATE_ZQ4847_SLOTS_H_
