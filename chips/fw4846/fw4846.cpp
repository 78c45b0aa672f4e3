#include "chips/fw4846/fw4846.h"

#include <algorithm>

#include "base/bq_error.h"
#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_fdt.h"
#include "chips/fw4846/fw4846_image.h"
#include "chips/fw4846/fw4846_nav.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

constexpr const char *kTag = "quorvanta:fw4846";
constexpr uint16_t kDeviceId = 0x4846;

fw4846_state &S() { return g_fw4846; }

const char *DeviceModeName(int mode) {
  switch (mode) {
    case FW4846_MODE_SLEEP: return "FW4846_Sleep";
    case FW4846_MODE_FDT_DOWN: return "FW4846_FDT_DOWN_DETECT";
    case FW4846_MODE_FDT_UP: return "FW4846_FDT_UP_DETECT";
    case FW4846_MODE_GESTURE: return "BQ_DEVICE_MODE_GESTURE";
    case FW4846_MODE_APK_TEST: return "FW4846_apk_test";
    default: return nullptr;
  }
}

const char *PowerModeName(int mode) {
  switch (mode) {
    case FW4846_POWER_WAKEUP: return "wakeup";
    case FW4846_POWER_AUTO_SLEEP: return "auto sleep";
    case FW4846_POWER_DEEP_SLEEP: return "deep sleep";
    default: return nullptr;
  }
}

void Banner(const char *text) {
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "**********************************");
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "%s", text);
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "**********************************");
}

// Relearns both bases (FDT from 10 samples, image with a DAC search).
void Recalibrate() {
  fw4846_fdt_base_Stable_Update(10);
  fw4846_img_base_Update(1);
}

// Forces the analogue set-up to be written again on the next mode init.
void ForgetSetup() {
  S().afe_config = FW4846_AFE_NONE;
  S().dac_loaded = FW4846_CACHE_INVALID;
  S().dac_flag_loaded = FW4846_CACHE_INVALID;
  S().img_mode_loaded = 0;
  S().fdt_mode_loaded = 0;
}

}  // namespace

bq_device g_fw4846_device = [] {
  bq_device d{};
  d.device_id = 0;
  d.probed_id = FW4846_CHIP_ID;
  return d;
}();

extern "C" void __fw4846_init__(void) {
  fw4846_state_reset();
  g_fw4846_device.read_id = fw4846_probe_id;
  g_fw4846_device.init_chip = fw4846_init_chip;
  g_fw4846_device.reset = fw4846_reset_chip;
  bq_device_register(&g_fw4846_device);
}

extern "C" void fw4846_reset_chip(void) {
  fw4846_send_cmd(FW4846_CMD_OPEN);
  fw4846_send_cmd(FW4846_CMD_SOFT_RESET);
  bq_msleep(1);
  fw4846_sfr_write(0xC6, 1);
}

extern "C" uint16_t fw4846_probe_id(void) {
  fw4846_sfr_write(0xC6, 1);
  uint16_t id = fw4846_read_chip_id();
  fw4846_state_reset();
  fw4846_clear_int(-1);
  if (id == FW4846_CHIP_ID) {
    BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "got device id fw4846 !!!.");
    return kDeviceId;
  }
  BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "got undesired device id 0x%04x", id);
  return 0;
}

extern "C" int fw4846_init_chip(void) {
  BQ_CHIP_LOG_ENTER(kTag);
  bq_device *dev = bq_device_current();
  if (dev == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  dev->ESD_Handle = fw4846_ESD_Handle;
  dev->sfr_write_app = fw4846_sfr_write_app;
  dev->sfr_read_app = fw4846_sfr_read_app;
  dev->sram_write_bulk = fw4846_sram_write_bulk;
  dev->sram_read_bulk = fw4846_sram_read_bulk;
  dev->config_power_mode = fw4846_config_power_mode;
  dev->config_device_mode = fw4846_config_device_mode;
  dev->config_device_fdt = fw4846_config_device_fdt;
  dev->query_event_status = fw4846_query_event_status;
  dev->query_device_status = fw4846_query_device_status;
  dev->query_finger_status = fw4846_query_finger_status;
  dev->query_fdt_finger = fw4846_query_fdt_finger;
  dev->query_gesture_status = fw4846_query_gesture_status;
  dev->read_sensor_data = fw4846_read_sensor_data;
  dev->read_image = fw4846_read_image;
  dev->capture_image = fw4846_capture_image_op;
  dev->Special_img_data_get = fw4846_Special_img_data_get;
  dev->Get_Diff_Data = fw4846_Get_Diff_Data;
  dev->sfr_rw_test = fw4846_sfr_rw_test;
  dev->spi_test = fw4846_spi_test;
  dev->Chip_Paramter_Init = fw4846_Chip_Paramter_Init;
  dev->check_alive = fw4846_check_alive;

  fw4846_config_power_mode(FW4846_POWER_WAKEUP);
  fw4846_Get_OTP_Info(nullptr, nullptr);
  fw4846_get_SMIC_IC_flag();
  fw4846_state_reset();
  fw4846_clear_int(-1);
  fw4846_cfg_init();
  if (S().init_hook != nullptr) S().init_hook();
  Recalibrate();
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);

  S().dac_searched = 0;
  S().fdt_dac_found = 0;
  dev->device_id = kDeviceId;
  dev->width = FW4846_WIDTH;
  dev->height = FW4846_HEIGHT;
  BQ_CHIP_LOG_LEAVE(kTag);
  return 0;
}

extern "C" int fw4846_config_power_mode(int mode) {
  const char *name = PowerModeName(mode);
  if (name == nullptr) {
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "switch to '%d' unknown power mode.", mode);
    return 0;
  }
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "switch to '%s' power mode.", name);
  if (mode == FW4846_POWER_WAKEUP) {
    fw4846_idle();
  } else if (mode == FW4846_POWER_AUTO_SLEEP) {
    uint16_t status = fw4846_read_int_status();
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, " ...TryReadSysWorkMode: 0x%x", status);
    Banner("got e_Int_RST int");
    fw4846_clear_int(status);
    fw4846_state_reset();
    Recalibrate();
    fw4846_fdt_auto_start(FW4846_FDT_DOWN);
    S().work_mode = 1;
  } else {
    fw4846_deep_sleep();
  }
  return 0;
}

extern "C" int fw4846_config_device_mode(int mode) {
  fw4846_state &s = S();
  int previous = s.device_mode;
  s.device_mode = mode;
  const char *name = DeviceModeName(mode);
  switch (mode) {
    case FW4846_MODE_SLEEP:
      fw4846_sleep();
      break;
    case FW4846_MODE_FDT_DOWN:
      fw4846_fdt_auto_start(FW4846_FDT_DOWN);
      s.work_mode = 1;
      break;
    case FW4846_MODE_FDT_UP:
      fw4846_fdt_auto_start(FW4846_FDT_UP);
      s.work_mode = 2;
      break;
    case FW4846_MODE_GESTURE: {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s Gesture LastWorkMode:%d", __func__, previous);
      if (previous == FW4846_MODE_GESTURE) break;
      s.device_mode = previous;
      int status = fw4846_fdt_manual_check(FW4846_FDT_DOWN);
      s.device_mode = mode;
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Gesture start finger status: %x", status);
      if (status & FW4846_FDT_TOUCH) {
        BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "FW4846_FDT_UP_DETECT for gesture");
        fw4846_fdt_auto_start(FW4846_FDT_UP);
      } else {
        BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "FW4846_FDT_DOWN_DETECT for gesture");
        fw4846_fdt_auto_start(FW4846_FDT_DOWN);
      }
      break;
    }
    case FW4846_MODE_APK_TEST:
      break;
    default:
      BQ_CHIP_LOG_ERROR(kTag, "switch to '%d' unknown device mode.", mode);
      return 0;
  }
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "switch to '%s' mode.", name);
  return 0;
}

extern "C" int fw4846_config_device_fdt(void) {
  BQ_CHIP_LOG_ENTER(kTag);
  BQ_CHIP_LOG_LEAVE(kTag);
  return 0;
}

extern "C" int fw4846_query_device_status(void) { return 0; }

extern "C" int fw4846_read_sensor_data(void) {
  BQ_CHIP_LOG_ENTER(kTag);
  BQ_CHIP_LOG_LEAVE(kTag);
  return 0;
}

extern "C" int fw4846_check_communication(int delay) {
  if (delay) bq_msleep(20);
  fw4846_sfr_write(0xC6, 1);
  for (int i = 0; i < 3; ++i) {
    uint16_t id = fw4846_read_chip_id();
    if (id != FW4846_CHIP_ID) {
      BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "%s Got unnormal chip id  0x%X", __func__, id);
      return -1;
    }
  }
  return 0;
}

extern "C" int fw4846_query_event_status(void) {
  fw4846_state &s = S();
  BQ_CHIP_LOG_ENTER(kTag);
  if (fw4846_check_communication(0) != 0) {
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "%s  ucChipid: 0x%x", __func__, fw4846_read_chip_id());
    bool ok = false;
    for (int i = 0; i < 10 && !ok; ++i) {
      BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "%s  try to enter idle", __func__);
      fw4846_idle();
      if (fw4846_check_communication(1) == 0) {
        BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "%s  check communication ok i:%d", __func__, i);
        ok = true;
      }
    }
    if (!ok) {
      BQ_CHIP_LOG_ERROR(kTag, "%s  chip communicate fail", __func__);
      return FW4846_EVENT_ERROR;
    }
  }

  uint16_t status = fw4846_read_int_status();
  fw4846_clear_int(status);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag,
              "[%4d]:Chip INT type: 0x%X(1=idle 2=down 4=up 8=man 10=inv 20=data 40=afeD 80=halfF "
              "100=fullE 200=rst 400=esd )",
              __LINE__, status);
  bool gesture = s.device_mode == FW4846_MODE_GESTURE;
  int stat = FW4846_EVENT_NONE;
  if (status & FW4846_INT_RESET) {
    Banner("got e_Int_RST int");
    stat = s.device_mode == FW4846_MODE_APK_TEST ? FW4846_EVENT_RESET : FW4846_EVENT_ERROR;
  } else if (status & FW4846_INT_ESD) {
    Banner("got e_Int_ESD int");
    return FW4846_EVENT_ERROR;
  } else if (status & FW4846_INT_INV) {
    Banner("got e_Int_INV int");
    if (fw4846_fdt_manual_check(FW4846_FDT_DOWN) == FW4846_FDT_INVERSE) Recalibrate();
    fw4846_fdt_auto_start(FW4846_FDT_DOWN);
    stat = FW4846_EVENT_FINGER_UP;
  } else if (status & FW4846_INT_DOWN) {
    if (!gesture) {
      fw4846_fdt_stable_function();
      fw4846_int_enable(5);
      stat = FW4846_EVENT_FINGER_DOWN;
    } else {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "call fw4846_GestureStart");
      if (fw4846_GestureStart() != 0) {
        fw4846_fdt_auto_start(FW4846_FDT_DOWN);
        stat = FW4846_EVENT_NONE;
      } else {
        BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "First gesture image....");
        stat = FW4846_EVENT_GESTURE_FIRST;
      }
    }
  } else if (status & FW4846_INT_UP) {
    if (fw4846_fdt_up_confirm() != 0) {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "check again fail");
      fw4846_fdt_auto_start(FW4846_FDT_UP);
      stat = FW4846_EVENT_NONE;
    } else {
      stat = FW4846_EVENT_FINGER_UP;
    }
  } else if (status & FW4846_INT_DATA) {
    fw4846_int_enable(5);
    if (gesture) {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "First gesture image2....");
      s.gesture_result = static_cast<uint8_t>(fw4846_GestureDetect());
      fw4846_fdt_auto_start(FW4846_FDT_UP);
      stat = FW4846_EVENT_GESTURE;
    }
  } else {
    fw4846_fdt_auto_start(s.fdt_direction);
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN,stat = %d", stat);
  return stat;
}

extern "C" int fw4846_query_finger_status(void) {
  fw4846_state &s = S();
  fw4846_send_cmd(FW4846_CMD_IDLE);
  fw4846_clear_int(-1);
  int check;
  if (s.finger_latched) {
    check = fw4846_fdt_manual_check(FW4846_FDT_UP);
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "fw4846_fdt_manual_check(FW4846_FDT_UP_DETECT), %x", check);
  } else {
    check = fw4846_fdt_manual_check(FW4846_FDT_DOWN);
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "fw4846_fdt_manual_check(FW4846_FDT_DOWN_DETECT), %x", check);
  }
  if (check & FW4846_FDT_TOUCH) {
    s.finger_latched = 1;
    fw4846_send_cmd(FW4846_CMD_IDLE);
    fw4846_clear_int(-1);
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s GET TOUCH", __func__);
    return 2;
  }
  if (check & (FW4846_FDT_RELEASE | FW4846_FDT_INVERSE)) {
    s.finger_latched = 0;
    if ((check & FW4846_FDT_INVERSE) && s.device_mode == FW4846_MODE_APK_TEST) Recalibrate();
  }
  fw4846_send_cmd(FW4846_CMD_IDLE);
  fw4846_clear_int(-1);
  return (check & FW4846_FDT_RELEASE) ? 0 : -1;
}

extern "C" int fw4846_query_fdt_finger(void) {
  fw4846_idle();
  return (fw4846_fdt_manual_check(FW4846_FDT_DOWN) >> 1) & 1;
}

extern "C" int fw4846_query_gesture_status(void) { return S().gesture_result; }

extern "C" int fw4846_read_image(uint8_t *buffer) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  fw4846_img_read_frames(buffer + 8, 1);
  return 0;
}

extern "C" int fw4846_capture_image_op(uint8_t *buffer) {
  if (buffer == nullptr) return BQ_ERROR_NULL_POINTER;
  fw4846_capture_image(buffer);
  return 0;
}

extern "C" int fw4846_Get_Diff_Data(int16_t *out) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  for (int i = 0; i < n; ++i) {
    if (s.fdt_diff[i] < -50) {
      fw4846_fdt_base_Stable_Update(1);
      std::fill(s.fdt_diff, s.fdt_diff + FW4846_FDT_BLOCKS_MAX, 0);
      return 0;
    }
  }
  int16_t sum = 0;
  for (int i = 0; i < n; ++i) sum = static_cast<int16_t>(sum + s.fdt_diff[i]);
  int mean = sum / n;
  if (out != nullptr) *out = static_cast<int16_t>(std::max(mean, 0));
  return 0;
}

extern "C" int fw4846_sfr_rw_test(int after_reset) {
  constexpr uint8_t kAddr = 0xFD;
  fw4846_idle();
  uint8_t v = fw4846_sfr_read(kAddr);
  if (after_reset) {
    BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "reset read addr %x = %x\n", kAddr, v);
    return v == 0x7F ? 0 : -1;
  }
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "read addr %x = %x\n", kAddr, v);
  fw4846_sfr_write(kAddr, 0x3A);
  v = fw4846_sfr_read(kAddr);
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "write read addr %x = %x\n", kAddr, v);
  return v == 0x3A ? 0 : -1;
}

extern "C" int fw4846_spi_test(void) {
  fw4846_idle();
  uint16_t id = fw4846_read_chip_id();
  if (id != FW4846_CHIP_ID) {
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "got undesired device id 0x%04x", id);
    return BQ_ERROR_IO;
  }
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);
  return 0;
}

extern "C" int fw4846_check_alive(void) {
  for (int i = 0; i < 3; ++i)
    if (fw4846_read_chip_id() == FW4846_CHIP_ID) return 0;
  for (int i = 0; i < 3; ++i) {
    if (fw4846_read_chip_id() == FW4846_CHIP_ID) return 0;
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'change chip mode to idle!");
    fw4846_idle();
  }
  return BQ_ERROR_NO_DEVICE;
}

extern "C" void fw4846_Chip_Paramter_Init(void) {
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "chip id before sleep: 0x%x", fw4846_read_chip_id());
  fw4846_sleep();
  bq_msleep(10);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "chip id after sleep: 0x%x", fw4846_read_chip_id());
  fw4846_idle();
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "chip id after idle: 0x%x", fw4846_read_chip_id());
  fw4846_clear_int(-1);
  ForgetSetup();
  fw4846_img_mode_init(0);
  fw4846_fdt_mode_init();
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);
}

extern "C" int fw4846_ESD_Manual_FDT_Check(int record_only) {
  fw4846_state &s = S();
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "chip id: 0x%x", fw4846_read_chip_id());
  int n = fw4846_fdt_block_count();
  uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
  fw4846_fdt_manual_start();
  fw4846_fdt_read_raw(raw);
  int ret = 0;
  if (!record_only && raw[0] != 0 && std::equal(raw, raw + n, s.esd_last)) {
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "ESD FAIL RESET CHIP");
    ret = -1;
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "last:%3d %3d  %3d  %3d", s.esd_last[0], s.esd_last[1],
              s.esd_last[2], s.esd_last[3]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "curr:%3d %3d  %3d  %3d", raw[0], raw[1], raw[2], raw[3]);
  std::copy(raw, raw + n, s.esd_last);
  return ret;
}

extern "C" int fw4846_ESD_Handle(void) {
  fw4846_clear_int(-1);
  ForgetSetup();
  fw4846_img_mode_init(0);
  fw4846_fdt_mode_init();
  fw4846_ESD_Manual_FDT_Check(1);
  fw4846_fdt_auto_start(FW4846_FDT_DOWN);
  int ret = fw4846_ESD_Manual_FDT_Check(0);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s RETURN ret:%d", __func__, ret);
  return ret;
}

extern "C" void fw4846_Get_OTP_Info(uint8_t *freq, uint8_t *version) {
  uint8_t f = fw4846_otp_read(3) & 0x1F;
  uint8_t v = fw4846_otp_read(19) & 0x0F;
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "Freq_Data:%x(4~12)", f);
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "Chip version:%x(0-A  1-B  2-C  3-D  4-E  e-E)", v);
  if (freq != nullptr) *freq = f;
  if (version != nullptr) *version = v;
}

extern "C" void fw4846_get_SMIC_IC_flag(void) {
  uint8_t value = 0;
  for (int i = 0; i < 10; ++i) {
    value = fw4846_sfr_read(0x9B);
    if ((value >> 2) == 19) {
      S().process_flag = 0xAA;
      return;
    }
    if ((value & 0xFC) == 0) {
      S().process_flag = 0;
      return;
    }
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "read reg fail reg_value:%x try again", value);
  }
  BQ_CHIP_LOG_ERROR(kTag, "'%s'can not get nolmal IC TYPE REG reg_value:%x  flag:%x", __func__,
                    value, S().process_flag);
}

extern "C" void fw4846_set_init_hook(void (*fn)(void)) {
  if (fn != nullptr) S().init_hook = fn;
}

extern "C" int fw4846_config_debug(const uint8_t *bytes, int n) {
  if (bytes == nullptr || n < 5) return BQ_ERROR_BAD_PARAMS;
  for (int i = 0; i < n; ++i)
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "fw4846_config_debug reg_buf[%d] = %d", i, bytes[i]);
  S().debug_param0 = bytes[0];
  for (int i = 0; i < 4; ++i) S().debug_params[i] = bytes[i + 1];
  S().debug_marker = 0xA55A;
  return 0;
}

extern "C" void fw4846_recalibrate(void) { Recalibrate(); }

extern "C" int fw4846_version_major(void) { return 256; }
extern "C" int fw4846_version_minor(void) { return 1833; }

extern "C" void fw4846_cfg_init(void) {
  g_fw4846_cfg = {120, 1, 1, 60, 200, 4, 4, 50, 45, 1, 2, 140, 2, 50, 5, 8};
}

#define FW4846_SETTER(field, type, ok)                  \
  extern "C" int fw4846_set_cfg_##field(type v) {       \
    if (!(ok)) return -1;                               \
    g_fw4846_cfg.field = v;                             \
    return 0;                                           \
  }

FW4846_SETTER(scan, uint8_t, !(v & 0x80))
FW4846_SETTER(mode, uint8_t, v <= 3)
FW4846_SETTER(small_area, uint8_t, v <= 1)
FW4846_SETTER(fdt_rate, uint8_t, v <= 200)
FW4846_SETTER(gesture_rate, uint8_t, v <= 200)
FW4846_SETTER(down_blocks, uint8_t, v <= 8)
FW4846_SETTER(up_blocks, uint8_t, v <= 8)
FW4846_SETTER(down_delta, uint8_t, true)
FW4846_SETTER(up_delta, uint8_t, true)
FW4846_SETTER(base_frames, uint8_t, v <= 5)
FW4846_SETTER(shift, uint8_t, v <= 3)
FW4846_SETTER(integration, uint16_t, v < 512)
FW4846_SETTER(nav_frames, uint8_t, v <= 100)
FW4846_SETTER(nav_threshold, uint8_t, true)
FW4846_SETTER(spare, uint8_t, v <= 20)
FW4846_SETTER(nav_travel, uint8_t, v <= 100)
