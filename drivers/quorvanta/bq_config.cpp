#include "drivers/quorvanta/bq_config.h"

#include <cstring>

#include "base/bq_log.h"

namespace {
bq_config_t g_config_record;
}  // namespace

bq_config_t *const bq_config = &g_config_record;

extern "C" void bq_config_reset(void) {
  std::memset(&g_config_record, 0, sizeof g_config_record);
  g_config_record.base_log_level = 3;
  g_config_record.chip_log_level = 3;
  g_config_record.lib_log_level = 4;
  g_config_record.debug_info = 1;
  g_config_record.dump_images = g_libfpdev_dump;
  g_config_record.dump_commands = 0;
  g_config_record.print_func_time = 0;
  g_config_record.opened = 1;
}
