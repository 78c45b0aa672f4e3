#include "accuracy/driver_algorithm.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "src/ZqAlg/quorv_action_mode.h"
#include "src/FpSensorLib/quorv_config.h"
#include "src/FpSensorLib/quorv_sensor_lib.h"
#include "src/ZqAlg/ZqAlgInit.h"
#include "src/ZqAlg/ZqFarLevel.h"
#include "src/ZqAlg/ZqGetTemplate.h"
#include "src/ZqAlg/ZqSensorInfor.h"

namespace accuracy {

void ApplyFw4843Set(const Fw4843Set &set, int level) {
  // The algorithm's part of the driver's FW4843 set, chip and mode replaced.
  quorv_SetFpSensorColsRows(80, 128);
  quorv_IcInfoSwitch(static_cast<uint8_t>(set.chip));
  quorv_SetModuleType(0);
  quorv_SetAlgoMode(static_cast<uint8_t>(set.mode));
  quorv_SetNonFingerDetectVer(0);
  quorv_SetForeignBodyAttackSwitch(1);
  quorv_SpaEn(1);
  quorv_SetAdjustMatchEn(1);
  quorv_SetFpAlgMaxTpl(96);
  quorv_SetEnrollMaxTpl(48);
  quorv_SetAlgFarLevel(static_cast<uint8_t>(level));
  quorv_SetTemplateBuffEn(1);
  quorv_SetClassifierOn(1);
  quorv_SetUpdateTemplateFarLevel(16);
  quorv_UpdateTemplateOutsideEn(1);
}

DriverAlgorithm::DriverAlgorithm(int cols, int rows, const Fw4843Set *fw4843) : cols_(cols), rows_(rows) {
  if (cols < 1 || rows < 1 || cols > 255 || rows > 255) {
    throw std::invalid_argument("sensor size out of range");
  }
  if (fw4843 != nullptr && (cols != 80 || rows != 128)) {
    throw std::invalid_argument("the FW4843 set takes 80x128 impressions");
  }
  if (quorv_config_create() != 0) throw std::runtime_error("no configuration record");
  if (fw4843 != nullptr) {
    ApplyFw4843Set(*fw4843, 15);
  } else {
    // The algorithm's part of the driver's second parameter set, in its order.
    quorv_SetNonFingerDetectVer(0);
    quorv_SetModuleType(0);
    quorv_SetFpSensorColsRows(static_cast<uint8_t>(cols), static_cast<uint8_t>(rows));
    quorv_SetAlgoMode(1);
    quorv_SpaEn(1);
    quorv_SetFpAlgMaxTpl(96);
    quorv_SetEnrollMaxTpl(48);
    quorv_SetAlgFarLevel(14);
    quorv_SetUpdateTemplateFarLevel(16);
    quorv_UpdateTemplateOutsideEn(1);
    quorv_SetTemplateBuffEn(0);
    quorv_SetForeignBodyAttackSwitch(1);
  }
  const int ret = ZqInitAlgorithm();
  if (ret != 0) {
    quorv_config_destroy();
    throw std::runtime_error("ZqInitAlgorithm() = " + std::to_string(ret));
  }
}

DriverAlgorithm::~DriverAlgorithm() {
  ZqDestroyIntiAlg();
  quorv_config_destroy();
  gQuorvActionMode = 0;
}

Sample DriverAlgorithm::Extract(const GrayImage &image, uint32_t mode, int *code) const {
  if (image.width != cols_ || image.height != rows_) {
    throw std::invalid_argument("image of " + std::to_string(image.width) + "x" +
                                std::to_string(image.height) + " on a " + std::to_string(cols_) +
                                "x" + std::to_string(rows_) + " sensor");
  }
  Sample s(ZqCreateTemp());
  if (!s) {
    *code = -2;
    return nullptr;
  }
  std::vector<uint8_t> pixels = image.pixels;  // extraction works in place
  gQuorvActionMode = mode;
  *code = ZqGetTemplate(pixels.data(), s.get(), nullptr);
  if (*code != 0) return nullptr;
  return s;
}

int DriverAlgorithm::Threshold() const { return gMatchScores[gSensorInfor.algVerifyFarLevel]; }

int DriverAlgorithm::InlierLimit() const {
  const int limit = cols_ == 56 && rows_ == 56 ? 5 : 6;
  return Threshold() < limit ? Threshold() : limit;
}

}  // namespace accuracy
