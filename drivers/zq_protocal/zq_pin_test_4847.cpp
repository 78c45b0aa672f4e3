#include "drivers/zq_protocal/zq_pin_test_4847.h"

#include "base/bq_log.h"
#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_interface_base.h"

#define TAG "quorvanta:protocal"

namespace {

void Sleep(int ms) {
  if (zq4847_factory_callbacks.msleep != nullptr) zq4847_factory_callbacks.msleep(ms);
}

// Polls the bridge's pin until it reads `high` (a failed read counts as not
// yet): true when it did within ZQ4847_PIN_POLLS polls.
bool WaitForPin(bool high) {
  for (int poll = 0; poll < ZQ4847_PIN_POLLS; ++poll) {
    bool level = !high;
    if (zq_interface_base_QuerySensorPinStatus(&level) == 0 && level == high) return true;
    Sleep(1);
  }
  return false;
}

}  // namespace

extern "C" int zq_feature_4847_FunctionforTestPin(void) {
  Sleep(20);
  if (Reset_Test() != 0) {
    Factory_Exit();
    BQ_LOG_ERROR_MSG(TAG, "RST test failed.");
    return -1;
  }
  Sleep(300);
  Factory_Enter();
  Sleep(3);
  Factory_Workmode_Wait(1);
  Sleep(10);
  bool ok = WaitForPin(true);
  if (ok) {
    Sleep(50);
    Factory_Workmode_Wait(0);
    Sleep(10);
    ok = WaitForPin(false);
  }
  Factory_Exit();
  if (!ok) {
    BQ_LOG(BQ_LOG_ERROR, TAG, "error at %s[%s:%d]: '%s'.", __func__, bq_basename(__FILE__),
           __LINE__, bq_strerror(-1));
    return -1;
  }
  return 0;
}
