#include "src/image/ZqAlloc.h"

#include "src/image/ZqMemoryManager.h"

extern "C" void *ZqAlloc(int len) { return ZqSafeAlloc(len); }

extern "C" void ZqFree(void *p) { ZqSafeFree(p); }

extern "C" int32_t ZqGetHeapMallocCnts(void) { return ZqGetMallocCnts(); }

extern "C" int32_t ZqGetMaxHeapMemorySize(void) { return 0; }

extern "C" int32_t ZqGetTotalHeapMemorySize(void) { return 0; }
