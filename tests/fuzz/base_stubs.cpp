// The base-library services that the bridge and module code calls besides
// the transfers, reduced to what a fuzz run needs: silent logs, no sleeps.
#include <cstdlib>

#include "base/bq_error.h"
#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/quorvanta/bq_config.h"

uint32_t g_base_log_level = 100;  // above every level: nothing is logged

namespace {
bq_config_t g_config = {};
}  // namespace

bq_config_t *const bq_config = &g_config;

extern "C" int bq_log(int, const char *, const char *, ...) { return 0; }
extern "C" const char *bq_basename(const char *path) { return path; }
extern "C" const char *bq_strerror(int) { return ""; }
extern "C" void bq_hexdump(const char *, int) {}
extern "C" int bq_msleep(int) { return 0; }
extern "C" void *bq_malloc(unsigned size) { return std::malloc(size); }
extern "C" void bq_free(void *ptr) { std::free(ptr); }
