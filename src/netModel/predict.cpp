#include "src/netModel/predict.h"

#include "src/netModel/ZqNetMemoryManger.h"
#include "src/netModel/predict_no_finger.h"
#include "src/netModel/predict_true_false_affine.h"
#include "src/quorv_base/quorv_log.h"

extern "C" int32_t net_init_model_v2(int32_t chip) {
  QUORV_LOGD("%s...chip = %d", __func__, chip);
  FakeFinger_ChipType_Set(chip);
  NoneFinger_ChipType_Set(chip);
  const int32_t none_finger = NoneFinger_Net_MaxMemeory();
  QUORV_LOGI("NoneFinger max memory = %d", none_finger);
  const int32_t fake_finger = FakeFinger_Net_MaxMemeory();
  QUORV_LOGI("FakeFinger max memory = %d", fake_finger);
  const int32_t none_part = none_finger < 0 ? 0 : none_finger;
  const int32_t size = fake_finger > none_part ? fake_finger : none_part;
  QUORV_LOGI("Net max memory = %d", size);
  return ZqNetRecallMemroyPool(size);
}

extern "C" void net_free_model_v2(void) {
  NoneFingerUninit();
  FakeFingerUninit();
  ZqNetFreeMemroyPool();
}

extern "C" void NetSetImageSize(void) {}
