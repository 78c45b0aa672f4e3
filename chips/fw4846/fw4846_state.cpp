#include "chips/fw4846/fw4846_state.h"

fw4846_state g_fw4846 = [] {
  fw4846_state s{};
  s.afe_config = FW4846_AFE_NONE;
  s.dac_loaded = FW4846_CACHE_INVALID;
  s.dac_flag_loaded = FW4846_CACHE_INVALID;
  return s;
}();

// The record starts with its defaults, so that a state reset before the
// first fw4846_cfg_init already sees the small-area switch.
fw4846_config g_fw4846_cfg = {120, 1, 1, 60, 200, 4, 4, 50, 45, 1, 2, 140, 2, 50, 5, 8};

extern "C" int fw4846_fdt_block_count(void) { return g_fw4846_cfg.small_area ? 4 : 8; }
