#include "src/features/ZqAlgMode.h"

#include "src/quorv_base/quorv_log.h"

namespace {

constexpr ST_AlgMode kInitialAlgMode = {
    /*sensorType=*/2,
    /*kpNum=*/ZQ_DEFAULT_KP_NUM,
    /*kpValidRegionSwitch=*/0,
    /*imageMode=*/4,
    /*badPixInValidRegion=*/0,
    /*histToDescrVariant=*/0,
};

}  // namespace

ST_AlgMode gAlgMode = kInitialAlgMode;

void ZqSensorTypeSet(uint16_t type) {
  if (type > ZQ_MAX_SENSOR_TYPE) {
    QUORV_LOGE("There is no such chip!!");
    return;
  }
  gAlgMode.sensorType = type;
}

uint16_t ZqSensorTypeGet(void) { return gAlgMode.sensorType; }

void ZqKpNumSet(uint16_t n) {
  if (n > ZQ_MAX_KP_NUM) {
    QUORV_LOGE("The maximum feature num of setting is too large!");
    return;
  }
  gAlgMode.kpNum = n;
}

uint16_t ZqGetKpNum(void) { return gAlgMode.kpNum; }

uint16_t ZqGetKpNumMode4(void) { return ZQ_DEFAULT_KP_NUM; }

void ZqObtainKeyPointInValidRegion(uint8_t flag) { gAlgMode.kpValidRegionSwitch = flag != 0 ? 1 : 0; }

uint8_t ZqGetKpValidRegionSwitch(void) { return gAlgMode.kpValidRegionSwitch; }

void ZqSetBadPixInValidRegion(uint8_t value) { gAlgMode.badPixInValidRegion = value; }

uint8_t ZqGetBadPixInValidRegion(void) { return gAlgMode.badPixInValidRegion; }

void ZqAlgModeResetForTest(void) { gAlgMode = kInitialAlgMode; }
