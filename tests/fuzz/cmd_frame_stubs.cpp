// The services the framed-command code calls besides the frame checks,
// reduced to what a fuzz run of those checks needs: no device, silent logs.
#include "base/bq_error.h"
#include "base/bq_log.h"
#include "base/bq_util.h"
#include "drivers/quorvanta/bq_config.h"
#include "drivers/zq_sensor/zq_usb.h"

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
extern "C" int usb_bulk_in_transfer(void *, uint16_t, int *, unsigned) { return BQ_ERROR_NO_DEVICE; }
extern "C" int usb_bulk_out_transfer(const void *, uint16_t, int *, unsigned) {
  return BQ_ERROR_NO_DEVICE;
}
