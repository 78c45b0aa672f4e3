// What the template-blob code and the driver's template path call besides
// themselves, reduced for a fuzz run: the settings record, plain heap
// allocation and silent logs.
#include <cstdlib>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "src/ZqAlg/ZqSensorInfor.h"

ST_SensorInfor gSensorInfor = {};

extern "C" void *bq_malloc(unsigned size) { return std::malloc(size); }
extern "C" void bq_free(void *ptr) { std::free(ptr); }
uint32_t g_base_log_level = 100;  // above every level: nothing is logged

extern "C" int bq_log(int, const char *, const char *, ...) { return 0; }
extern "C" const char *bq_basename(const char *path) { return path; }
extern "C" const char *bq_strerror(int) { return ""; }
