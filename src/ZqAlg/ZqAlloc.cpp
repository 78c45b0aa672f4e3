#include "src/ZqAlg/ZqAlloc.h"

#include "src/image/ZqMemoryManager.h"

extern "C" void *ZqAlloc(int len) { return ZqSafeAlloc(len); }

extern "C" void ZqFree(void *p) { ZqSafeFree(p); }
