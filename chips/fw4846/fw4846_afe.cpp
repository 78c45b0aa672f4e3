#include "chips/fw4846/fw4846_afe.h"

#include <algorithm>

#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

constexpr const char *kTag = "quorvanta:fw4846";

constexpr uint16_t kRegChipId = 0x1A8B;
constexpr uint16_t kRegIntStatus = 0x1A82;
constexpr uint16_t kRegIntMask = 0x1A83;
constexpr uint16_t kRegIntClear = 0x1A84;
constexpr uint16_t kRegIntCtrl = 0x1A81;

}  // namespace

extern "C" uint16_t fw4846_read_chip_id(void) { return fw4846_sram_read(kRegChipId); }

extern "C" uint16_t fw4846_read_int_status(void) { return fw4846_sram_read(kRegIntStatus); }

extern "C" void fw4846_clear_int(int bits) {
  fw4846_sram_write(kRegIntClear, static_cast<uint16_t>(bits));
}

extern "C" void fw4846_int_enable(int index) {
  uint16_t mask = fw4846_sram_read(kRegIntMask);
  fw4846_sram_write(kRegIntMask, static_cast<uint16_t>(mask | (1u << index)));
}

extern "C" void fw4846_int_disable(int index) {
  uint16_t mask = fw4846_sram_read(kRegIntMask);
  fw4846_sram_write(kRegIntMask, static_cast<uint16_t>(mask & ~(1u << index)));
}

extern "C" uint16_t fw4846_read_int_mask(void) { return fw4846_sram_read(kRegIntMask); }

extern "C" void fw4846_write_int_mask(uint16_t mask) { fw4846_sram_write(kRegIntMask, mask); }

extern "C" void fw4846_int_ctrl_set(int index) {
  uint16_t v = fw4846_sram_read(kRegIntCtrl);
  fw4846_sram_write(kRegIntCtrl, static_cast<uint16_t>(v | (1u << index)));
}

extern "C" void fw4846_set_scaled_level(int v) {
  fw4846_sfr_write(0x8E, static_cast<uint8_t>(std::min(v, 104) * 625 / 256));
}

extern "C" void fw4846_level_enable(int flag) { fw4846_sfr_write(0x90, flag ? 1 : 0); }

extern "C" void fw4846_set_level_word(int v) {
  uint8_t high = 0x7F, low = 0xFF;
  if (v >= 0) {
    high = static_cast<uint8_t>((v >> 8) & 0x7F);
    low = static_cast<uint8_t>(v);
  }
  fw4846_sfr_write(0x90, 0);
  fw4846_sfr_write(0x91, high);
  fw4846_sfr_write(0x92, low);
  fw4846_sfr_write(0x90, 1);
}

extern "C" uint8_t fw4846_read_state(void) { return fw4846_sfr_read(0x80); }

extern "C" int fw4846_idle(void) {
  fw4846_send_cmd(FW4846_CMD_OPEN);
  if (fw4846_read_state() != 0x50) fw4846_send_cmd(FW4846_CMD_IDLE);
  fw4846_send_cmd(FW4846_CMD_CLOSE);
  return 0;
}

extern "C" void fw4846_sleep(void) {
  fw4846_send_cmd(FW4846_CMD_IDLE);
  fw4846_send_cmd(FW4846_CMD_SLEEP);
}

extern "C" void fw4846_deep_sleep(void) {
  fw4846_idle();
  fw4846_send_cmd(FW4846_CMD_SLEEP);
}

extern "C" void fw4846_soft_reset(void) {
  fw4846_send_cmd(FW4846_CMD_SOFT_RESET);
  bq_msleep(2);
  for (int i = 0; i < 20; ++i) {
    if (fw4846_read_chip_id() == FW4846_CHIP_ID) break;
  }
  fw4846_clear_int(fw4846_read_int_status() & 0x7FF);
}

extern "C" uint16_t fw4846_set_bits(uint16_t word, int high, int low, uint16_t field) {
  unsigned width = static_cast<unsigned>(high - low + 1);
  unsigned mask = ((1u << width) - 1u) << low;
  return static_cast<uint16_t>((word & ~mask) | (static_cast<unsigned>(field) << low));
}

extern "C" uint16_t fw4846_set_bits_alt(uint16_t field, int high, int low, uint16_t word) {
  return fw4846_set_bits(word, high, low, field);
}

extern "C" int fw4846_mode_code(int v) {
  if (v == 1 || v == 2) return 0;
  if (v == 3) return 1;
  return 256;
}

extern "C" uint16_t fw4846_sram_update_bits(uint16_t addr, int high, int low, uint16_t field) {
  uint16_t v = fw4846_set_bits(fw4846_sram_read(addr), high, low, field);
  fw4846_sram_write(addr, v);
  return v;
}

extern "C" void fw4846_Set_Scan_Rate_Default(void) {
  fw4846_sram_update_bits(0x1806, 13, 7, 19);
  uint16_t v = fw4846_set_bits(fw4846_sram_read(0x180A), 13, 7, 19);
  fw4846_sram_write(0x180A, fw4846_set_bits(v, 6, 0, 7));
  v = fw4846_set_bits(fw4846_sram_read(0x180B), 13, 7, 9);
  fw4846_sram_write(0x180B, fw4846_set_bits(v, 6, 0, 17));
}

extern "C" void fw4846_state_reset(void) {
  fw4846_state &s = g_fw4846;
  s.image_dac = 54;
  s.fdt_dac = g_fw4846_cfg.small_area ? 27 : 56;
  s.image_middle = 512;
  s.afe_config = FW4846_AFE_NONE;
  s.debug_param0 = 19;
  s.debug_params[0] = 19;
  s.debug_params[1] = 7;
  s.debug_params[2] = 9;
  s.debug_params[3] = 17;
  s.debug_marker = 0;
  s.img_mode_loaded = 0;
  s.fdt_mode_loaded = 0;
  s.nav_mode_loaded = 0;
  s.dac_searched = 0;
  s.fdt_dac_found = 0;
  s.work_mode = 0;
  s.fdt_direction = 0;
  s.finger_latched = 0;
}

extern "C" void fw4846_dump_fdt_debug(void) {
  int n = fw4846_fdt_block_count();
  uint16_t base[FW4846_FDT_BLOCKS_MAX] = {};
  uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
  uint8_t bytes[2 * FW4846_FDT_BLOCKS_MAX];
  fw4846_sram_read_bulk_withecc(0x00B0, bytes, 2 * n + 2);
  for (int i = 0; i < n; ++i) base[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  fw4846_sram_read_bulk_withecc(g_fw4846.process_flag == 0xAA ? 0x00E8 : 0x00B8, bytes, 2 * n + 2);
  for (int i = 0; i < n; ++i) raw[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:SS_Base  :%d  %d  %d  %d  %d  %d  %d  %d  ", __LINE__,
              base[0], base[1], base[2], base[3], base[4], base[5], base[6], base[7]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:SS_Raw   :%d  %d  %d  %d  %d  %d  %d  %d  ", __LINE__,
              raw[0], raw[1], raw[2], raw[3], raw[4], raw[5], raw[6], raw[7]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:Delta   :%X ", __LINE__, fw4846_sram_read(0x1880));
}
