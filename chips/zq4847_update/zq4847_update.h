// The 4847 chip below the bridge: its factory mode (work modes, raw frames,
// DAC), the chip-reset check, and two ways to program its flash, the
// boot-loader download (IIC command set, verified by reading the flash back)
// and the user-application download (SPI0 command set, verified by the
// chip's CRC-16).
//
// Every transfer goes through the host slots of zq4847_factory_callbacks
// (zq4847_callbacks.h). Bus type 1 (the bridge) reads in
// a separate transfer; bus type 2 is a direct full-duplex SPI whose write
// slot overwrites the buffer it is handed with the bytes clocked in (every
// buffer this code hands to it is writable).
//
// Results are 8-bit statuses: 0 success, otherwise the low 8 bits of the
// failing slot's result (never 0 for a failure here), or a procedure code
// listed with the operation. A missing slot gives the slot's code of
// Check_CallBack_Fun. Messages carry the tag "quorvanta:fw"; the transport
// obeys g_chip_log_level, the downloads and Reset_Test's code 2 the base
// threshold. Not reentrant: one caller at a time.
#ifndef CHIPS_ZQ4847_UPDATE_ZQ4847_UPDATE_H_
#define CHIPS_ZQ4847_UPDATE_ZQ4847_UPDATE_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Codes of Check_CallBack_Fun: the first missing slot.
enum {
  ZQ4847_MISSING_RESET = 2,
  ZQ4847_MISSING_CHIP_SELECT = 4,
  ZQ4847_MISSING_SPI_WRITE = 5,
  ZQ4847_MISSING_SPI_READ = 6,
  ZQ4847_MISSING_USLEEP = 7,
  ZQ4847_MISSING_MSLEEP = 8,
};

// Procedure codes of the downloads and of Reset_Test.
enum {
  ZQ4847_BAD_BOOT_ID = 1,       // UserApp_Down: register 0x90 is not 0x56A2
  ZQ4847_READBACK_DIFFERS = 1,  // BootLoad_Down: flash read-back differs
  ZQ4847_UNKNOWN_BUS = 1,       // bus type neither 1 nor 2
  ZQ4847_LOADER_NOT_READY = 2,  // UserApp_Down: no 0xF0AA from register 0x6A
  ZQ4847_NO_ECHO = 2,           // Reset_Test: the pattern never read back
  ZQ4847_PAGE_FAILED = 3,       // UserApp_Down: a page not written or not acknowledged
  ZQ4847_RESET_INEFFECTIVE = 3, // Reset_Test: the pattern survived the reset
  ZQ4847_CRC_WRONG = 5,         // UserApp_Down: device CRC zero or different
  ZQ4847_IMAGE_REJECTED = 6,    // image refused before anything was written
};

// Chip registers of the SPI0 set.
enum {
  ZQ4847_REG_RAW = 0x90,      // raw frame data; boot id 0x56A2 in boot mode
  ZQ4847_REG_STATUS = 0x91,   // 32-byte status block; Reset_Test's scratch
  ZQ4847_REG_FACTORY = 0x94,  // work mode, DAC, exit
  ZQ4847_REG_BOOT = 0x6A,     // boot-loader status word
  ZQ4847_REG_CRC = 0x66,      // CRC-16 of the downloaded application
  ZQ4847_REG_PAGE_ADDR = 0xAB,
  ZQ4847_REG_PAGE_DATA = 0xBF,
  ZQ4847_REG_LENGTH = 0x65,
};

// Byte size of the status block, and its fields.
#define ZQ4847_STATUS_SIZE 32
enum {
  ZQ4847_STATUS_MODE = 0,     // current factory work mode
  ZQ4847_STATUS_MODE17 = 2,   // 17 in work mode 17
  ZQ4847_STATUS_DAC = 4,      // current DAC
  ZQ4847_STATUS_ID_HI = 19,   // 0x48
  ZQ4847_STATUS_ID_LO = 20,   // 0x47
  ZQ4847_STATUS_VERSION = 21,
};

// Boot-loader status words (register 0x6A).
enum {
  ZQ4847_BOOT_READY = 0xF0AA,
  ZQ4847_BOOT_PAGE_ACK = 0x1000,  // + page number
};

// The flash word address of the boot loader's first word.
#define ZQ4847_BOOT_FLASH_WORD 0x2000
// Largest boot-loader image (the read-back buffer).
#define ZQ4847_BOOT_MAX 20480
// Largest user application: 4096 pages of 256 bytes keep every page
// acknowledgement (0x1000 + page) below the loader's other status words.
#define ZQ4847_APP_MAX 0x100000
// Page size of the user-application download.
#define ZQ4847_APP_PAGE 256

// --- SPI0 transport (each frame under its own chip select) ---------------

// The wake-up frame FF 00 00 00, then 1 us.
int SPI0_Wakeup(void);
// Wake-up, then the command frame c 00 00 00.
int SPI0_CMD_Set(uint8_t command);
// Wake-up, then r 00 nH nL 00 00 00, 1 ms, and the n data bytes under one
// chip select. -> 0 or the status; 1 for NULL data with n > 0.
int SPI0_Write(uint8_t reg, const uint8_t *data, uint16_t n);
// Reads n bytes of register `reg` in the form of the bus type (1: _USB,
// 2: _SPI); 1 for any other bus type ("Unknow Bus Type"), nothing sent.
// 1 for a NULL buffer with n > 0.
int SPI0_Read(uint8_t reg, uint8_t *buf, uint16_t n);
// Wake-up, r 80 nH nL 00 00 00, 1 ms, then a read of n bytes, one chip select.
int SPI0_Read_USB(uint8_t reg, uint8_t *buf, uint16_t n);
// Wake-up, one full-duplex transfer of r 80 nH nL 00 00 00 and n filler
// bytes (4 header bytes r 80 00 00 for n = 0); the answer is the last n bytes.
int SPI0_Read_SPI(uint8_t reg, uint8_t *buf, uint16_t n);

// --- IIC transport of the boot loader (no wake-up) -----------------------

// 70 m ~m.
int IIC_Mode_Set(uint8_t mode);
// 70 05 FA aH aL kH kL and (k + 1) x 4 data bytes: k + 1 words from flash
// word `address` on. 1 for NULL data or k above 16381 (nothing sent).
int IIC_FLASH_Write(uint16_t address, uint16_t k, const uint8_t *data);
// 70 04 FB aH aL kH kL; release; 1 us; 71 and (k + 1) x 4 bytes read, in the
// form of the bus type (1 for an unknown bus, NULL buf or k above 16381).
int IIC_FLASH_Read(uint16_t address, uint16_t k, uint8_t *buf);
int IIC_FLASH_Read_USB(uint16_t address, uint16_t k, uint8_t *buf);
int IIC_FLASH_Read_SPI(uint16_t address, uint16_t k, uint8_t *buf);
// 70 07 F8 rH rL 00 00 vH vL 00 00.
int IIC_SFR_Write(uint16_t reg, uint16_t value);
// 70 06 F9 rH rL 00 00 and 2 bytes (value high, low) into *value, in the
// form of the bus type (1 for an unknown bus or NULL value).
int IIC_SFR_Read(uint16_t reg, uint16_t *value);
int IIC_SFR_Read_USB(uint16_t reg, uint16_t *value);
int IIC_SFR_Read_SPI(uint16_t reg, uint16_t *value);

// --- Factory operations ----------------------------------------------------

// 0 when the slots are set, else the first missing slot's code in the order
// reset, chip select, SPI write, SPI read, us sleep, ms sleep.
int Check_CallBack_Fun(void);
// Work mode m: 94 00 00 04 00 00 00 m 00 00 m.
int Factory_Workmdoe_Set(uint8_t mode);
// DAC d: 94 00 00 04 00 00 00 d 00 00 05.
int Factory_DAC_Set(uint8_t dac);
// Leaves the factory mode: wake-up, 94 80 00 01 00 00 00 00.
int Factory_Exit(void);
// Reads the status block, then work mode 0; the mode write's status.
int Factory_Enter(void);
// Sets work mode m + 2 until the status block shows it (at most 202
// repetitions, 1 ms apart). The last mode write's status; 1 when the mode
// never showed.
int Factory_Workmode_Wait(uint8_t mode);
// Raw frame of `len` bytes: work mode 1, 10 ms, 20 status bytes into buf,
// 100 ms, len / 2 bytes of 0x90 into the first half, 10 ms, work mode 17,
// 10 ms, len / 2 bytes of 0x90 into the second half. The first failing
// step's status (nothing after it is sent); 1 for a NULL buffer or len < 20.
int Factory_RawData_Read(uint8_t *buf, uint32_t len);
// Byte 4 of the status block (0 when the read fails).
uint8_t Factory_DAC_Get(void);
// len bytes of register 0x90.
int Caputer_image(uint8_t *buf, uint16_t len);
// 1 when byte 2 of the status block is 17 (work mode 17), else 0.
int Factory_Status_Check(void);
// 0 when bytes 19 and 20 of the status block are 0x48 0x47, else 1.
int Check_Chip_ID(void);
// Writes 55 AA to 0x91 and reads it back, up to 11 attempts, 10 ms apart;
// no echo in the first 10: 2. Then the chip reset, 50 ms, and a read of
// 0x91: 55 AA still there gives 3, a failed read its status, else 0.
int Reset_Test(void);

// --- Flash programming -----------------------------------------------------

// Reads register 0x6A once per started 10 of `count`, 10 ms after each
// miss. The first value among 0x1000, 0x2000, 0xF02D, 0xF055 and 0xF0AA, else
// the last value read (0 for count 0).
uint16_t SPI0_Wait_Status(uint32_t count);
// Like SPI0_Wait_Status: 0 as soon as register 0x6A reads `expected`, else 1.
int SPI0_Check_Status(uint16_t expected, uint32_t count);
// CRC-16 (polynomial 0x8408 shifted right, initial 0, no final XOR) over
// 16-bit words taken high byte first; an odd last byte is taken as the
// high byte of a word whose low byte is 0.
uint16_t Calc_CRC16(const uint8_t *data, uint32_t len);
// 0 when the first len bytes agree, else 1 (the first difference logged).
int Check_2File(const uint8_t *readback, const uint8_t *source, uint32_t len);
// Programs the user application (whole words, 1 to ZQ4847_APP_MAX bytes, else
// 6 before anything is sent) page by page and checks the chip's CRC. 0, or
// 1 bad boot id, 2 loader not ready, 3 page failed, 5 CRC wrong, 6 rejected,
// or a transfer's status. A failed page stops the download.
int UserApp_Down(const uint8_t *image, uint32_t length);
// Programs the boot loader (whole 32-bit words, 4 to ZQ4847_BOOT_MAX bytes,
// else 6 before anything is sent) from flash word 0x2000 on in blocks of 32
// words, reads it back in blocks of 64 and compares. 0, 1 read-back differs,
// 6 rejected, a missing slot's code, or the status of the first failed
// transfer (which stops the download).
int BootLoad_Down(const uint8_t *image, uint32_t length);

// UserApp_Down and BootLoad_Down after checking the image against the CRC-16
// its supplier states (Calc_CRC16 over the image); 6 on a mismatch, before
// anything is sent.
int zq4847_UserApp_Update(const uint8_t *image, uint32_t length, uint16_t crc);
int zq4847_BootLoad_Update(const uint8_t *image, uint32_t length, uint16_t crc);

#ifdef __cplusplus
}
#endif

#endif  // CHIPS_ZQ4847_UPDATE_ZQ4847_UPDATE_H_
