// What the template-blob code calls besides itself, reduced for a fuzz run:
// the settings record, plain heap allocation and silent logs.
#include <cstdlib>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "src/ZqAlg/ZqSensorInfor.h"

ST_SensorInfor gSensorInfor = {};

extern "C" void *bq_malloc(unsigned size) { return std::malloc(size); }
extern "C" void bq_free(void *ptr) { std::free(ptr); }
extern "C" int bq_log(int, const char *, const char *, ...) { return 0; }
