#include "src/quorv_base/quorv_host_callbacks.h"

QuorvHostCallbacks g_quorvHostCallbacks = {};
QuorvGetSystemTimeFunc quorv_fp_get_system_time = nullptr;

extern "C" void InitFuncSpiWrite(QuorvSpiWriteFunc f) { g_quorvHostCallbacks.SpiWrite = f; }
extern "C" void InitFuncSpiRead(QuorvSpiReadFunc f) { g_quorvHostCallbacks.SpiRead = f; }
extern "C" void InitFuncUsleep(QuorvUsleepFunc f) { g_quorvHostCallbacks.Usleep = f; }
extern "C" void InitFuncGetMcuStatus(QuorvGetMcuStatusFunc f) {
  g_quorvHostCallbacks.GetMcuStatus = f;
}
extern "C" void InitFuncGetSystemTime(QuorvGetSystemTimeFunc f) { quorv_fp_get_system_time = f; }
extern "C" void InitFuncGetImage(QuorvGetImageFunc f) { g_quorvHostCallbacks.GetImage = f; }
extern "C" void InitFuncReadImageInit(QuorvImageStepFunc f) {
  g_quorvHostCallbacks.ReadImageInit = f;
}
extern "C" void InitFuncReadImageStart(QuorvImageStepFunc f) {
  g_quorvHostCallbacks.ReadImageStart = f;
}
extern "C" void InitFuncReadImageEnd(QuorvImageStepFunc f) {
  g_quorvHostCallbacks.ReadImageEnd = f;
}
extern "C" void InitFuncGetImageBase(QuorvGetImageBaseFunc f) {
  g_quorvHostCallbacks.GetImageBase = f;
}

extern "C" void InitFuncFW4848GetImage(QuorvUnusedFunc) {}
extern "C" void InitFuncWhilePointHandle(QuorvUnusedFunc) {}
extern "C" void InitFuncSetWetFingerHandle(QuorvUnusedFunc) {}
extern "C" void InitFuncDynamicDiffHandle(QuorvUnusedFunc) {}

extern "C" void quorv_usleep(uint32_t us) {
  if (g_quorvHostCallbacks.Usleep != nullptr) g_quorvHostCallbacks.Usleep(us);
}

extern "C" uint64_t quorv_fp_system_time(void) {
  return quorv_fp_get_system_time != nullptr ? quorv_fp_get_system_time() : 0;
}
