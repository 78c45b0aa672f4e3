#include "chips/fw4846/fw4846_fdt.h"

#include <algorithm>
#include <cstdlib>

#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_image.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

constexpr const char *kTag = "quorvanta:fw4846";

constexpr int kDacSearchTries = 128;
constexpr int kDacMin = 1;
constexpr int kDacMax = 125;
constexpr int kMiddle = 512;
constexpr int kStablePasses = 3;
constexpr int kStableMove = 6;
constexpr int kBaseLow = 300;
constexpr int kBaseHigh = 700;

fw4846_state &S() { return g_fw4846; }
const fw4846_config &Cfg() { return g_fw4846_cfg; }

uint16_t BaseAddr() { return S().process_flag == 0xAA ? 0x00E0 : 0x00B0; }
uint16_t RawAddr() { return S().process_flag == 0xAA ? 0x00E8 : 0x00B8; }

bool Gesture() { return S().device_mode == FW4846_MODE_GESTURE; }

// The 13-bit, 3-bit and 2-bit fields of one block's analogue registers.
void WriteBlockRegisters(uint16_t first, uint16_t level) {
  fw4846_sram_update_bits(first, 12, 0, level);
  uint16_t v = fw4846_set_bits(fw4846_sram_read(first + 1), 5, 3, 4);
  fw4846_sram_write(first + 1, fw4846_set_bits(v, 2, 0, 1));
  fw4846_sram_update_bits(first + 2, 7, 6, 3);
}

// The 16-bit sum of the first four differences.
int16_t DiffSum4() {
  return static_cast<int16_t>(S().fdt_diff[0] + S().fdt_diff[1] + S().fdt_diff[2] +
                              S().fdt_diff[3]);
}

}  // namespace

extern "C" void fw4846_fdt_mode_init(void) {
  fw4846_state &s = S();
  fw4846_idle();
  if (!s.img_mode_loaded) fw4846_img_mode_init(0);

  uint16_t dac_word = 0;
  if (s.fdt_dac != s.dac_loaded) {
    dac_word = fw4846_set_bits(0xFC80, 6, 0, s.fdt_dac);
    fw4846_sram_write(0x1801, dac_word);
    s.dac_loaded = s.fdt_dac;
  } else {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s DAC SET PASS", __func__);
  }
  if (s.dac_search_active != s.dac_flag_loaded) {
    uint16_t flag = fw4846_set_bits(dac_word & 0xF800, 10, 0, s.dac_search_active ? 0 : 0x600);
    fw4846_sram_write(0x180C, flag);
    s.dac_flag_loaded = s.dac_search_active;
  } else {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s PRO FLAG PASS", __func__);
  }

  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s para:%x", __func__, s.afe_config);
  if (s.afe_config == FW4846_AFE_FDT && !Gesture()) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 1");
    return;
  }
  if (Gesture() && s.afe_config == FW4846_AFE_FDT_GESTURE) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 2");
    return;
  }

  const fw4846_config &c = Cfg();
  // A zero rate (refused by the setters) would divide by zero; read it as 1 Hz.
  int rate = std::max<int>(Gesture() ? c.gesture_rate : c.fdt_rate, 1);
  uint16_t rate_word = fw4846_set_bits(0, 15, 8, static_cast<uint16_t>(1000 / rate - 1));
  rate_word = fw4846_set_bits(rate_word, 4, 2, Gesture() ? 1 : static_cast<uint16_t>(c.down_blocks - 1));
  fw4846_sram_write(0x1881, rate_word);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Set FDT %dHZ with set:0x%x", rate, rate_word);

  if (s.afe_config == FW4846_AFE_FDT || s.afe_config == FW4846_AFE_FDT_GESTURE) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 3");
    return;
  }
  s.afe_config = Gesture() ? FW4846_AFE_FDT_GESTURE : FW4846_AFE_FDT;
  uint16_t v = fw4846_set_bits(fw4846_sram_read(0x1800), 10, 1, c.small_area ? 1023 : 72);
  fw4846_sram_write(0x1800, fw4846_set_bits(v, 14, 11, c.small_area ? 0 : 1));
  fw4846_sram_write(0x1804, fw4846_set_bits(0x27C8, 2, 0, static_cast<uint16_t>(c.mode - 1)));
  uint16_t m;
  if (c.small_area) {
    fw4846_sram_write(0x1807, 0x1671);
    m = 1;
  } else {
    m = static_cast<uint16_t>(c.scan - 1);
  }
  fw4846_sram_write(0x1808, fw4846_set_bits(fw4846_set_bits(0x0800, 7, 0, m), 10, 8, 0));
  fw4846_sram_update_bits(0x1887, 2, 0, c.small_area ? 5 : 2);
  fw4846_Set_Scan_Rate_Default();

  if (s.fdt_mode_loaded == 1) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 4");
    return;
  }
  uint16_t r1805 = fw4846_sram_update_bits(0x1805, 4, 4, 0);
  fw4846_sram_write(0x180D, fw4846_set_bits(r1805, 9, 0, 900));
  fw4846_sram_update_bits(0x1888, 9, 2, 0);
  fw4846_sfr_write(0x9A, 0x5A);
  if (c.small_area) {
    WriteBlockRegisters(0x00C0, 1092);
  } else {
    WriteBlockRegisters(0x00C9, 1741);
    WriteBlockRegisters(0x00D2, 1741);
  }
  fw4846_sfr_write(0x9A, 0);
  fw4846_sram_write(0x1880, static_cast<uint16_t>(c.up_delta << 8 | c.down_delta));
  v = fw4846_set_bits(fw4846_sram_read(0x1881), 0, 0, 0);
  v = fw4846_set_bits(v, 1, 1, 1);
  fw4846_sram_write(0x1881, fw4846_set_bits(v, 7, 7, 1));
  fw4846_sram_update_bits(0x1884, 2, 0, static_cast<uint16_t>(c.up_blocks - 1));
  fw4846_int_enable(3);
  s.fdt_mode_loaded = 1;
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 5");
}

extern "C" void fw4846_fdt_base_write(const uint16_t *base) {
  uint8_t bytes[2 * FW4846_FDT_BLOCKS_MAX];
  for (int i = 0; i < FW4846_FDT_BLOCKS_MAX; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(base[i] >> 8);
    bytes[2 * i + 1] = static_cast<uint8_t>(base[i]);
  }
  fw4846_sfr_write(0x9A, 0x5A);
  fw4846_sram_write_bulk(BaseAddr(), bytes, sizeof bytes);
  fw4846_sfr_write(0x9A, 0);
}

extern "C" void fw4846_fdt_auto_start(int direction) {
  fw4846_state &s = S();
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s ENTER START FDT:%d(0--up  1--down)", __func__, direction);
  fw4846_fdt_mode_init();
  s.fdt_direction = direction ? 1 : 0;
  const uint16_t *b = direction ? s.fdt_down_base : s.fdt_up_base;
  if (direction) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:'%s' write fdt base:%4d  %4d  %4d  %4d %4d  %4d  %4d  %4d",
                __LINE__, __func__, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
  } else {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:'%s' write fdt base:%4d  %4d  %4d  %4d  %4d  %4d  %4d  %4d",
                __LINE__, __func__, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
  }
  fw4846_fdt_base_write(b);
  uint16_t v = fw4846_set_bits(fw4846_sram_read(0x1881), 0, 0, direction ? 1 : 0);
  v = fw4846_set_bits(v, 1, 1, 0);
  fw4846_sram_write(0x1881, fw4846_set_bits(v, 7, 7, direction ? 1 : 0));
  fw4846_clear_int(0x2F);
  fw4846_send_cmd(FW4846_CMD_FDT);
}

extern "C" void fw4846_fdt_manual_start(void) {
  fw4846_fdt_mode_init();
  uint16_t v = fw4846_sram_read(0x1881);
  if (!(v & 0x2)) fw4846_sram_write(0x1881, static_cast<uint16_t>(v | 0x2));
  fw4846_send_cmd(FW4846_CMD_FDT);
  fw4846_sram_write(0x1885, 1);
  for (int i = 0; i < 5; ++i) {
    if (fw4846_read_int_status() & FW4846_INT_MANUAL) break;
    bq_msleep(1);
  }
}

extern "C" void fw4846_fdt_read_raw(uint16_t *out) {
  int n = fw4846_fdt_block_count();
  uint8_t bytes[2 * FW4846_FDT_BLOCKS_MAX] = {};
  fw4846_sram_read_bulk_withecc(RawAddr(), bytes, 2 * n + 2);
  for (int i = 0; i < n; ++i) out[i] = static_cast<uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
}

extern "C" int fw4846_fdt_manual_check(int direction) {
  fw4846_state &s = S();
  const fw4846_config &c = Cfg();
  int n = fw4846_fdt_block_count();
  uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
  fw4846_fdt_manual_start();
  fw4846_fdt_read_raw(raw);
  for (int i = 0; i < n; ++i) s.fdt_diff[i] = static_cast<int16_t>(s.fdt_down_base[i] - raw[i]);
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag,
              "fw4846_fdt_base: FW4846_FDT_DELT_DOWN_LO = %d; FW4846_FDT_DELT_UP_LO= %d ", 50, 45);
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag, "diff:%d %d %d %d base:%d %d %d %d", s.fdt_diff[0],
              s.fdt_diff[1], s.fdt_diff[2], s.fdt_diff[3], s.fdt_down_base[0], s.fdt_down_base[1],
              s.fdt_down_base[2], s.fdt_down_base[3]);
  if (direction == FW4846_FDT_DOWN) {
    int touched = 0;
    for (int i = 0; i < n; ++i) {
      if (raw[i] > s.fdt_down_base[i] + c.down_delta) {
        BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "INV DETECT:%d", i);
        return FW4846_FDT_INVERSE;
      }
      if (raw[i] < s.fdt_down_base[i] - c.down_delta) ++touched;
    }
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "FdtDownTrigerBlock %d", touched);
    return touched >= c.down_blocks ? FW4846_FDT_TOUCH : FW4846_FDT_NONE;
  }
  if (direction == FW4846_FDT_UP) {
    int released = 0;
    for (int i = 0; i < n; ++i)
      if (raw[i] + c.up_delta > s.fdt_up_base[i]) ++released;
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "FdtUpTrigerBlock %d", released);
    return released >= c.up_blocks ? FW4846_FDT_RELEASE : FW4846_FDT_NONE;
  }
  return FW4846_FDT_NONE;
}

extern "C" void fw4846_fdt_AutoSDacUpdate(void) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  s.dac_search_active = 1;
  if (!s.fdt_dac_found) {
    s.fdt_dac = g_fw4846_cfg.small_area ? 27 : 56;
    s.fdt_dac_found = 1;
  }
  int prev_middle = 0;
  uint8_t prev_dac = s.fdt_dac;
  for (int t = 0; t < kDacSearchTries; ++t) {
    uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
    fw4846_fdt_manual_start();
    fw4846_fdt_read_raw(raw);
    uint16_t sum = 0;
    for (int i = 0; i < n; ++i) sum = static_cast<uint16_t>(sum + raw[i]);
    int middle = sum / n;
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s try:%d, dac:%x average:%d", __func__, t, s.fdt_dac, middle);
    if (t > 0) {
      if (prev_middle <= kMiddle - 1 && middle > kMiddle) {
        BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "Got FDT DAC OK DAC:%d  middle:%d lastmiddle:%d", s.fdt_dac,
                    middle, prev_middle);
        break;
      }
      if (prev_middle > kMiddle && middle < kMiddle) {
        s.fdt_dac = prev_dac;
        BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "Got FDT DAC OK DAC:%d  middle:%d lastmiddle:%d", s.fdt_dac,
                    middle, prev_middle);
        break;
      }
    }
    // The next DAC must stay within 1..125; the search ends on the current
    // one otherwise.
    int next = middle < kMiddle ? s.fdt_dac + 1 : s.fdt_dac - 1;
    if (next < kDacMin || next > kDacMax) {
      BQ_CHIP_LOG_ERROR(kTag, "Got FDT DAC FAIL!!!");
      break;
    }
    prev_middle = middle;
    prev_dac = s.fdt_dac;
    s.fdt_dac = static_cast<uint8_t>(next);
  }
  s.dac_search_active = 0;
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "fw4846_fdt_AutoSDacUpdate final dac:%d .(normal 1~125)", s.fdt_dac);
}

extern "C" void fw4846_fdt_base_Min_Updata(const uint16_t *values) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  for (int i = 0; i < n; ++i) {
    s.fdt_down_base[i] = values[i];
    s.fdt_up_base[i] = values[i];
    s.fdt_base[i] = values[i];
  }
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "fdt_base = FdtBaseUp = FdtBaseDown[%d] : %d,%d,%d,%d", n,
              values[0], values[1], values[2], values[3]);
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag,
              "fw4846_fdt_base: FW4846_FDT_DELT_DOWN_LO = %d; FW4846_FDT_DELT_UP_LO= %d ", 50, 45);
  s.fdt_down_base_crc = fw4846_crc16(s.fdt_down_base, 2 * n);
  s.fdt_up_base_crc = fw4846_crc16(s.fdt_up_base, 2 * n);
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "'%s SET FDT FLAG OK", __func__);
}

extern "C" void fw4846_fdt_base_Stable_Update(int samples) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  uint16_t minima[FW4846_FDT_BLOCKS_MAX] = {};
  int stable = 0;
  for (int pass = 0; pass < kStablePasses; ++pass) {
    fw4846_fdt_AutoSDacUpdate();
    std::fill(minima, minima + FW4846_FDT_BLOCKS_MAX, 1023);
    uint16_t prev[FW4846_FDT_BLOCKS_MAX] = {};
    for (int r = 0; r < samples; ++r) {
      uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
      fw4846_fdt_manual_start();
      fw4846_fdt_read_raw(raw);
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s Back: %d %d %d %d", __func__, s.fdt_down_base[0],
                  s.fdt_down_base[1], s.fdt_down_base[2], s.fdt_down_base[3]);
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s Data: %d %d %d %d", __func__, raw[0], raw[1], raw[2],
                  raw[3]);
      for (int i = 0; i < n; ++i) minima[i] = std::min(minima[i], raw[i]);
      ++stable;
      if (r > 0) {
        for (int i = 0; i < n; ++i)
          if (std::abs(raw[i] - prev[i]) >= kStableMove) stable = 1;
      }
      std::copy(raw, raw + FW4846_FDT_BLOCKS_MAX, prev);
      if (r > 0 && stable > 2) break;
    }
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Fdt DAC: 0x%x ....stablecnt:%d", s.fdt_dac, stable);
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Min base %d, %d, %d, %d ......", minima[0], minima[1],
                minima[2], minima[3]);
    if (fw4846_fdt_base_in_range(minima) == 0) break;
  }
  fw4846_fdt_base_Min_Updata(minima);
}

extern "C" void fw4846_fdt_base_Update(void) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  uint16_t raw[FW4846_FDT_BLOCKS_MAX] = {};
  fw4846_fdt_manual_start();
  fw4846_fdt_read_raw(raw);
  uint16_t top[FW4846_FDT_BLOCKS_MAX] = {};
  for (int i = 0; i < n; ++i) top[i] = std::max(s.fdt_down_base[i], raw[i]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s fw4846_FDT_Max: %d %d %d %d", __func__, top[0], top[1],
              top[2], top[3]);
  fw4846_fdt_base_Min_Updata(top);
}

extern "C" void fw4846_fdt_stable_function(void) {
  fw4846_fdt_manual_check(FW4846_FDT_DOWN);
  unsigned mean = static_cast<uint16_t>(DiffSum4()) >> 2;
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s get first fdt: %u", __func__, mean);
  if (mean >= 200) return;
  unsigned prev = mean;
  int breaks = 0;
  for (int k = 1; k <= 20; ++k) {
    fw4846_fdt_manual_check(FW4846_FDT_DOWN);
    mean = static_cast<uint16_t>(DiffSum4()) >> 2;
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s get %d times fdt:%u", __func__, k, mean);
    if (mean <= 200 && mean >= prev) {
      prev = mean;
      continue;
    }
    if (++breaks == 2) break;
  }
}

extern "C" int fw4846_fdt_up_confirm(void) {
  for (int pass = 0; pass < 3; ++pass) {
    if (fw4846_fdt_manual_check(FW4846_FDT_UP) != FW4846_FDT_RELEASE) return -1;
    int small = 0;
    for (int i = 0; i < 4; ++i)
      if (S().fdt_diff[i] >= -49 && S().fdt_diff[i] <= 49) ++small;
    if (small <= 2) return -1;
  }
  return 0;
}

extern "C" int fw4846_fdt_base_in_range(const uint16_t *values) {
  for (int i = 0; i < 4; ++i)
    if (values[i] < kBaseLow || values[i] > kBaseHigh) return -1;
  return 0;
}

extern "C" int fw4846_fdt_diff_mean(void) {
  fw4846_fdt_manual_check(FW4846_FDT_DOWN);
  return (S().fdt_diff[0] + S().fdt_diff[1] + S().fdt_diff[2] + S().fdt_diff[3]) / 4;
}

extern "C" int fw4846_wrong_base_check(void) {
  fw4846_state &s = S();
  int n = fw4846_fdt_block_count();
  int code = 0;
  auto out_of = [](uint16_t v, int lo, int hi) { return v < lo || v > hi; };
  for (int i = 0; i < n; ++i) {
    if (out_of(s.fdt_down_base[i], 332, 692)) code |= 0x01;
    if (out_of(s.fdt_up_base[i], 332, 692)) code |= 0x02;
  }
  if (code & 0x01) BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "BASE already down out of range");
  if (code & 0x02) BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "BASE already up out of range");
  auto all512 = [](const uint16_t *b) { return b[0] == 512 && b[1] == 512 && b[2] == 512 && b[3] == 512; };
  if (all512(s.fdt_down_base)) code |= 0x04;
  if (all512(s.fdt_up_base)) code |= 0x08;
  uint16_t crc = fw4846_crc16(s.fdt_down_base, 2 * n);
  if (crc != s.fdt_down_base_crc) {
    code |= 0x10;
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'%s CrcTemp:0x%x   ram:0x%x", __func__, crc, s.fdt_down_base_crc);
  }
  crc = fw4846_crc16(s.fdt_up_base, 2 * n);
  if (crc != s.fdt_up_base_crc) {
    code |= 0x20;
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'%s CrcTemp:0x%x   ram:0x%x", __func__, crc, s.fdt_up_base_crc);
  }
  if (Img_Get_Avg_Middle(s.image_base) > s.image_middle + 30) code |= 0x40;
  if (Img_Get_Avg_Middle(s.image_work_base) + 30 < s.image_middle) code |= 0x80;
  for (int i = 0; i < 4; ++i) {
    if (out_of(s.fdt_down_base[i], kBaseLow, kBaseHigh)) {
      code |= 0x100;
      BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'%s FDT BASE fail base:%d %d %d %d", __func__,
                  s.fdt_down_base[0], s.fdt_down_base[1], s.fdt_down_base[2], s.fdt_down_base[3]);
      break;
    }
  }
  crc = fw4846_crc16(s.image_base, 256);
  if (crc != s.image_base_crc) {
    code |= 0x200;
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'%s CrcTemp:0x%x   ram:0x%x", __func__, crc, s.image_base_crc);
  }
  if (code != 0)
    BQ_CHIP_LOG(BQ_LOG_WARNING, kTag,
                "'%s BASE FAIL CODE:0X%X  (0x01:down unnormal  0x02:up unnormal  0x04:down all 512   "
                "0x08:up all 512  0x10:down crc err  0x20:up crc err  0x40:IMG unnormal  0x80:IMG crc err)",
                __func__, code);
  return code;
}
