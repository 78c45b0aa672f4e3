// Host services of the sensor access layer: one function pointer per
// service, each registered by its own InitFunc* function. A slot that is
// NULL is skipped by its users, which then report the result documented
// with each user (no pause, 0, -1 or the value meaning busy).
#ifndef SRC_QUORV_BASE_QUORV_HOST_CALLBACKS_H_
#define SRC_QUORV_BASE_QUORV_HOST_CALLBACKS_H_

#include <stdint.h>

#include "src/quorv_base/quorv_log.h"

#ifdef __cplusplus
extern "C" {
#endif

// Sends one SPI frame of len bytes; 0 = sent.
typedef int (*QuorvSpiWriteFunc)(const uint8_t *frame, uint16_t len);
// Full-duplex SPI transfer of len bytes; callers pass one buffer as tx and
// rx, so the answer overwrites the frame; 0 = done.
typedef int (*QuorvSpiReadFunc)(uint8_t *tx, uint8_t *rx, uint32_t len);
// Pauses the given number of microseconds.
typedef void (*QuorvUsleepFunc)(uint32_t microseconds);
// MCU status of chip types 1 and 7: 0 = ready, anything else busy.
typedef int (*QuorvGetMcuStatusFunc)(void);
// Millisecond clock.
typedef uint64_t (*QuorvGetSystemTimeFunc)(void);
// Delivers image `index` of a multi-image read into image; 0 = done.
typedef int (*QuorvGetImageFunc)(uint8_t *image, uint32_t index);
// One step of an image read (init, start, end).
typedef void (*QuorvImageStepFunc)(void);
// Fills the base (background) buffer of the SPI instance and its length.
typedef void (*QuorvGetImageBaseFunc)(uint8_t *baseBuf, uint16_t *baseLen);
// Pointer taken and dropped by the registration functions that store nothing.
typedef void (*QuorvUnusedFunc)(void);

// The callback slots that are not exported by name on their own; all NULL
// at load. The log callback is `quorv_fp_log` (quorv_log.h) and the clock is
// `quorv_fp_get_system_time` below.
typedef struct QuorvHostCallbacks {
  QuorvSpiWriteFunc SpiWrite;            // every write frame
  QuorvSpiReadFunc SpiRead;              // every read frame and image read
  QuorvUsleepFunc Usleep;                // quorv_usleep
  QuorvGetMcuStatusFunc GetMcuStatus;    // MCU status of chip types 1 and 7
  QuorvGetImageFunc GetImage;            // callback image readers
  QuorvImageStepFunc ReadImageInit;      // generic reader
  QuorvImageStepFunc ReadImageStart;     // generic, FW4847 and slide readers
  QuorvImageStepFunc ReadImageEnd;       // the same readers as ReadImageStart
  QuorvGetImageBaseFunc GetImageBase;    // FW4847 and slide readers
} QuorvHostCallbacks;

// The registered host callbacks.
extern QuorvHostCallbacks g_quorvHostCallbacks;

// Millisecond clock slot, read by name by the other libraries; NULL at load.
extern QuorvGetSystemTimeFunc quorv_fp_get_system_time;

// Registration: each stores its argument (NULL clears the slot).
void InitFuncSpiWrite(QuorvSpiWriteFunc f);
void InitFuncSpiRead(QuorvSpiReadFunc f);
void InitFuncUsleep(QuorvUsleepFunc f);
void InitFuncGetMcuStatus(QuorvGetMcuStatusFunc f);
void InitFuncGetSystemTime(QuorvGetSystemTimeFunc f);
void InitFuncGetImage(QuorvGetImageFunc f);
void InitFuncReadImageInit(QuorvImageStepFunc f);
void InitFuncReadImageStart(QuorvImageStepFunc f);
void InitFuncReadImageEnd(QuorvImageStepFunc f);
void InitFuncGetImageBase(QuorvGetImageBaseFunc f);

// Registration functions kept for the sensor library's interface; they
// take a pointer and store nothing.
void InitFuncFW4848GetImage(QuorvUnusedFunc f);
void InitFuncWhilePointHandle(QuorvUnusedFunc f);
void InitFuncSetWetFingerHandle(QuorvUnusedFunc f);
void InitFuncDynamicDiffHandle(QuorvUnusedFunc f);

// Pauses `us` microseconds through the Usleep slot; no pause when it is NULL.
void quorv_usleep(uint32_t us);

// The registered millisecond clock, or 0 when none is registered.
uint64_t quorv_fp_system_time(void);

#ifdef __cplusplus
}
#endif

#endif  // SRC_QUORV_BASE_QUORV_HOST_CALLBACKS_H_
