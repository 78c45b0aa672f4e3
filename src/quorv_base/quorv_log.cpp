#include "src/quorv_base/quorv_log.h"

uint8_t g_debuginfo = 0;
uint32_t g_loglevel = 0;
uint8_t g_functimes = 0;
QuorvLogFunc quorv_fp_log = nullptr;

extern "C" void InitFuncDebugEnable(uint8_t enable) { g_debuginfo = enable; }

extern "C" void InitPrintFuncTime(uint8_t enable) { g_functimes = enable; }

extern "C" void InitLogLevel(int level) {
  g_loglevel = static_cast<uint32_t>(static_cast<uint8_t>(level));
}

extern "C" void InitFuncSetLog(QuorvLogFunc log) { quorv_fp_log = log; }
