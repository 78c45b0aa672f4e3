// Frame helpers shared by the command files of the SPI layer (not exported).
#ifndef SRC_QUORV_FP_SPI_QUORV_SPI_IO_H_
#define SRC_QUORV_FP_SPI_QUORV_SPI_IO_H_

#include <stdint.h>

namespace quorv_spi {

// How the MCU of a chip type is reached.
enum class Family {
  kDirect,       // types 1 and 7: direct MCU register frames
  kMailbox,      // types 2 and 3: SRAM mailbox and status words
  kNoMcu,        // types 4 to 6 and 8 to 12: no MCU commands
  kUnsupported,  // 0 and 13 or more
};

// Family of a SensorType code.
Family FamilyOf(uint8_t icinfo);

// Family of the SPI instance's chip (kUnsupported without an instance).
Family CurrentFamily();

// SpiWrite of the frame; 0 when no callback is registered.
int Write(const uint8_t *frame, uint16_t len);

// True when an SpiRead callback is registered.
bool CanRead();

// Full-duplex SpiRead of buf onto itself; callers test CanRead first.
int Transfer(uint8_t *buf, uint32_t len);

// Direct MCU register write `11 EE reg value 00` (len 5, or 6 with one more 00).
int DirectWrite(uint8_t reg, uint8_t value, uint16_t len);

// Direct MCU register read `10 EF reg arg ??` (len 5 or 6): answer byte 4
// whatever the transfer returned; 0 when SpiRead is not registered.
uint8_t DirectRead(uint8_t reg, uint8_t arg, uint32_t len);

// Status-word read `04 FB 85 lo 00 00 ?? ??`: the transfer's result, with
// the answer in *high and *low (0 when the chip wrote nothing there).
// Callers test CanRead first.
int ReadStatusWord(uint8_t lo, uint8_t *high, uint8_t *low);

}  // namespace quorv_spi

#endif  // SRC_QUORV_FP_SPI_QUORV_SPI_IO_H_
