#include "src/Quorv_sensor/quorv_fw4856_base.h"

#include <cstring>

#include "src/Quorv_sensor/quorv_spi_instance.h"
#include "src/image/ZqAlloc.h"
#include "src/quorv_base/quorv_log.h"
#include "src/quorv_fp_spi/quorv_fw4856_cmd.h"

const uint8_t factor1Group1[8] = {10, 25, 40, 55, 69, 79, 110, 137};
const int8_t factor2Group1[4] = {10, 20, 45, 105};
const int8_t factor3Group1[4] = {1, 2, 4, 8};
const int8_t factor4Group1[4] = {1, 2, 4, 8};

FactordValue g_factord_t = {0, 0, 0, 0, 0, 0, 0};
uint8_t g_reg_Agc1 = 0, g_reg_Agc2 = 0, g_reg_Agc3 = 0, g_reg_Agc4 = 0;
uint16_t g_regDac1 = 512, g_regDac2 = 512;
int32_t gather_time = 1;
int16_t data_base[QUORV_FW4856_BASE_SAMPLES];
uint16_t TempFpImgData[2 * QUORV_FW4856_BASE_SAMPLES];

namespace {

// Gains and offsets derived from g_factord_t.
struct VarBase {
  float fa1, fa2, fa3, fa4, dac1, dac2, mv;
};
VarBase var_base = {0, 0, 0, 0, 0, 0, 0};

// Where the error lines of the correction say they come from.
constexpr const char *kCorrection = "Get_hglass_image";

// Table entry `index`, or 0 (logged) when the index lies outside the table.
template <typename T, int N>
float Factor(const T (&table)[N], long index, const char *name) {
  if (index < 0 || index >= N) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "%s index %ld outside 0..%d", name, index, N - 1);
    return 0.0f;
  }
  return static_cast<float>(table[index]);
}

// Number of pixels of the SPI instance's image, or -1 when it cannot be
// corrected here.
long Pixels() {
  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi == nullptr) return -1;
  long n = static_cast<long>(spi->imagewidth) * spi->imageheight;
  if (n > QUORV_FW4856_BASE_SAMPLES) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "image of %ld pixels exceeds %d", n,
                 QUORV_FW4856_BASE_SAMPLES);
    return -1;
  }
  return n;
}

template <typename T>
void TraceEnds(const char *name, const T *v, long n) {
  if (n < 3) return;
  QUORV_LOGD("%s: %f %f %f ... %f %f %f", name, double(v[0]), double(v[1]), double(v[2]),
             double(v[n - 3]), double(v[n - 2]), double(v[n - 1]));
}

// Flattens TempFpImgData against the base into data_VCX_New, then stretches
// it back into TempFpImgData. False when the correction must be skipped.
bool Flatten(long n, float *vcx, float *vcx_r, float *vcx_new) {
  Set_factord_value();
  uint8_t buf[10] = {};
  int got = quorv_fp_sensor_read_info(3, buf, sizeof buf);
  if (got != static_cast<int>(sizeof buf)) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "register read failed, ret = %d", got);
    return false;
  }
  g_reg_Agc1 = buf[0];
  g_reg_Agc2 = buf[1];
  g_reg_Agc3 = buf[2];
  g_reg_Agc4 = buf[3];
  g_regDac1 = static_cast<uint16_t>(buf[4] * 256 + buf[5]);
  g_regDac2 = static_cast<uint16_t>(buf[6] * 256 + buf[7]);
  QUORV_LOGD("agc1 = %d agc2 = %d agc3 = %d agc4 = %d dac1 = %d dac2 = %d dac_offset = %d",
             g_reg_Agc1, g_reg_Agc2, g_reg_Agc3, g_reg_Agc4, g_regDac1, g_regDac2,
             buf[8] * 256 + buf[9]);

  const ZqSpiObj *spi = quorv_get_ZqSpiObjHandle();
  if (spi->imagebit == QUORV_IMAGEBIT_16) {
    for (long i = 0; i < n; ++i) {
      TempFpImgData[i] = static_cast<uint16_t>(static_cast<double>(TempFpImgData[i]) / 40.0);
    }
  }

  // Base response relative to its first pixel.
  const float gain_base = var_base.fa2 * var_base.fa3;
  if (gain_base == 0.0f) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "base gain is 0");
    return false;
  }
  const int t = gather_time;
  const float fd1_n = (var_base.dac1 - 512.0f) * 0.95f * static_cast<float>(t);
  for (long i = 0; i < n; ++i) {
    vcx[i] = (static_cast<float>(data_base[i]) - static_cast<float>(t) * var_base.mv) / gain_base -
             fd1_n;
  }
  TraceEnds("data_base", data_base, n);
  TraceEnds("data_VCX", vcx, n);
  if (vcx[0] == 0.0f) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "data_VCX[0] == 0");
    return false;
  }
  for (long i = 0; i < n; ++i) vcx_r[i] = vcx[i] / vcx[0];
  TraceEnds("data_VCX_R", vcx_r, n);

  // Live offsets and gain.
  const float fd1 = static_cast<float>(g_regDac1 - 512) * 0.95f;
  const float fd2 = static_cast<float>(g_regDac2 - 512) * 0.99f;
  const float g = Factor(factor2Group1, g_reg_Agc2, "agc2") / 10.0f *
                  Factor(factor3Group1, g_reg_Agc3, "agc3");
  if (g == 0.0f) return false;

  float minimum = 10240.0f, maximum = -10240.0f;
  for (long i = 0; i < n; ++i) {
    const float v = static_cast<float>(TempFpImgData[i]);
    // A zero sample, or a base pixel without response, cannot be flattened.
    if (v == 0.0f || vcx_r[i] == 0.0f) {
      vcx_new[i] = 0.0f;
      continue;
    }
    const float a = (v - var_base.mv - fd2) / g - fd1;
    vcx[i] = a;
    float b = (a / vcx_r[i] + fd1) * g;
    b = b > 0.0f ? b + 0.5f : static_cast<float>(static_cast<int>(b - 0.5f));
    vcx_new[i] = b + fd2 + var_base.mv;
    if (vcx_new[i] < minimum) minimum = vcx_new[i];
    if (vcx_new[i] > maximum) maximum = vcx_new[i];
  }
  TraceEnds("u16 samples", TempFpImgData, n);
  TraceEnds("data_VCX_New", vcx_new, n);

  // Stretch back into 0..4095; without a range every sample becomes 0.
  const float scale = maximum == minimum ? 0.0f : 1024.0f / (maximum - minimum);
  for (long i = 0; i < n; ++i) {
    const float s = (vcx_new[i] - minimum) * scale * 0.95f * 4.0f;
    if (!(s >= 0.0f)) {
      TempFpImgData[i] = 0;
    } else if (s > 4092.0f) {
      TempFpImgData[i] = 4095;
    } else {
      TempFpImgData[i] = static_cast<uint16_t>(s);
    }
  }
  return true;
}

}  // namespace

extern "C" void SetFactordValue(FactordValue value) {
  g_factord_t = value;
  QUORV_LOGD("quorv_4856 SetFactordValue success! %d  %d  %d  %d %d  %d %d\n", value.agc1,
             value.agc2, value.agc3, value.agc4, value.dac1, value.dac2, value.mv);
}

extern "C" void Set_factord_value(void) {
  var_base.fa1 = Factor(factor1Group1, g_factord_t.agc1, "agc1") / 10.0f;
  var_base.fa2 = Factor(factor2Group1, g_factord_t.agc2, "agc2") / 10.0f;
  var_base.fa3 = Factor(factor3Group1, g_factord_t.agc3, "agc3");
  var_base.fa4 = Factor(factor4Group1, g_factord_t.agc4, "agc4");
  var_base.dac1 = static_cast<float>(g_factord_t.dac1);
  var_base.dac2 = static_cast<float>(g_factord_t.dac2);
  var_base.mv = static_cast<float>(g_factord_t.mv);
  QUORV_LOGD("%s...Set_factord_value finish", __func__);
}

extern "C" void Set_base_value(const uint8_t *base) {
  long n = Pixels();
  if (base == nullptr || n < 0) return;
  std::memcpy(data_base, base, static_cast<size_t>(n) * 2);
}

extern "C" void Fix_agc_switch(uint8_t enable, uint8_t steps) {
  QUORV_LOGD("quorv_4856 Fix_agc_switch ENTER");
  QUORV_LOGD("quorv_4856 Fix_agc_switch set enable: %d", enable);
  quorv_fp_sensor_image_scan_fix_mode(enable);
  if (enable == 0) return;
  QUORV_LOGD("quorv_4856 Fix_agc_switch call quorv_fp_sensor_fix_mode_set_value");
  Set_factord_value();
  int agc1 = g_factord_t.agc1, agc2 = g_factord_t.agc2, agc3 = g_factord_t.agc3,
      agc4 = g_factord_t.agc4;
  const int dac1 = g_factord_t.dac1, dac2 = g_factord_t.dac2;
  for (int i = 0; i < steps; ++i) {
    if (agc4 > 0) {
      --agc4;
    } else if (agc3 > 0) {
      --agc3;
    } else if (agc2 > 0) {
      --agc2;
    }
  }
  QUORV_LOGD(
      "quorv quorv_fp_sensor_fix_mode_set_value agc1 = %d agc2 = %d agc3 = %d agc4 = %d dac1 = %d "
      "dac2 = %d\n",
      agc1, agc2, agc3, agc4, dac1, dac2);
  quorv_fix_mode_set_value(agc1, agc2, agc3, agc4, dac1, dac2);
  quorv_fix_mode_get_value();
}

extern "C" void App_Quorv_Base_Process(uint8_t *image) {
  long n = Pixels();
  if (image == nullptr || n <= 0) return;
  for (long i = 0; i < n; ++i) {
    TempFpImgData[i] = static_cast<uint16_t>(image[2 * i] * 256 + image[2 * i + 1]);
  }
  QUORV_LOGD("%s...finish", "u8_to_u16");

  gather_time = 1;
  const int bytes = static_cast<int>(n * static_cast<long>(sizeof(float)));
  float *vcx = static_cast<float *>(ZqAlloc(bytes));
  float *vcx_r = static_cast<float *>(ZqAlloc(bytes));
  float *vcx_new = static_cast<float *>(ZqAlloc(bytes));
  if (vcx == nullptr || vcx_r == nullptr || vcx_new == nullptr) {
    QUORV_LOG_IN(kCorrection, QUORV_LOG_ERROR, "memory ZqAlloc error!");
  } else {
    Flatten(n, vcx, vcx_r, vcx_new);
  }
  ZqFree(vcx);
  ZqFree(vcx_r);
  ZqFree(vcx_new);

  for (long i = 0; i < n; ++i) {
    image[2 * i] = static_cast<uint8_t>(TempFpImgData[i] >> 8);
    image[2 * i + 1] = static_cast<uint8_t>(TempFpImgData[i] & 0xFF);
  }
  QUORV_LOGD("%s...finish", "u16_to_u8");
  QUORV_LOGD("%s...finish", "App_Quorv_Base_Process");
}
