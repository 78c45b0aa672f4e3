// Test helper: a fresh fake chip together with a driver whose caches no
// longer remember the previous chip's registers.
#ifndef TESTS_CHIPS_FW4846_FW4846_TEST_UTIL_H_
#define TESTS_CHIPS_FW4846_FW4846_TEST_UTIL_H_

#include "chips/fw4846/fake_fw4846.h"
#include "chips/fw4846/fw4846.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_state.h"

namespace fw4846_fake {

// Replaces the fake chip and resets the driver's chip state, including the
// register caches that fw4846_state_reset keeps.
inline void FreshChip() {
  Reset();
  fw4846_state_reset();
  g_fw4846.dac_loaded = FW4846_CACHE_INVALID;
  g_fw4846.dac_flag_loaded = FW4846_CACHE_INVALID;
  g_fw4846.dac_search_active = 0;
  g_fw4846.device_mode = 0;
}

}  // namespace fw4846_fake

#endif  // TESTS_CHIPS_FW4846_FW4846_TEST_UTIL_H_
