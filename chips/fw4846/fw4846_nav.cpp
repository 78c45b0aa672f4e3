#include "chips/fw4846/fw4846_nav.h"

#include <algorithm>
#include <cstdlib>

#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_image.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

constexpr const char *kTag = "quorvanta:fw";

constexpr int kW = FW4846_WIDTH;
constexpr int kRows = FW4846_NAV_ROWS;
constexpr int kRowWeights[kRows] = {8, 9, 24, 25, 40, 41, 56, 57, 72, 73};
constexpr int kReferenceOffset = 4000;

fw4846_state &S() { return g_fw4846; }
const fw4846_config &Cfg() { return g_fw4846_cfg; }

// Reads, binarises and locates one frame; stores it as track entry `index`.
void TrackFrame(int index, const char *suffix) {
  fw4846_nav_read_frame();
  int count = fw4846_nav_binarize();
  int row = 0, col = 0;
  fw4846_nav_centroid(&row, &col);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "NAV Frame:%3d coorR:%d  coorC:%d  TouchCnt:%d%s", index, row,
              col, count, suffix);
  S().nav_track[index] = {row, col, count};
}

int Distance(const fw4846_nav_point &a, const fw4846_nav_point &b) {
  return std::abs(a.row - b.row) + std::abs(a.col - b.col);
}

}  // namespace

extern "C" int fw4846_nav_image_row(int index) { return kRowWeights[index]; }

extern "C" void fw4846_nav_mode_init(void) {
  fw4846_state &s = S();
  if (!s.nav_mode_loaded) {
    fw4846_idle();
    fw4846_sfr_write(0x9A, 0x5A);
    fw4846_sram_update_bits(0x1808, 13, 11, 1);
    for (uint16_t addr = 0x00C2; addr <= 0x00DD; addr += 3) {
      uint16_t v = fw4846_set_bits(fw4846_sram_read(addr), 5, 3, 1);
      fw4846_sram_write(addr, fw4846_set_bits(v, 2, 0, 0));
    }
    s.nav_mode_loaded = 1;
  }
  fw4846_sfr_write(0x9A, 0);
}

extern "C" void fw4846_nav_read_frame(void) {
  uint8_t bytes[2 * FW4846_NAV_PIXELS] = {};
  fw4846_fifo_read_once(bytes, sizeof bytes);
  fw4846_frame_to_samples(bytes, S().nav_frame, FW4846_NAV_PIXELS);
}

extern "C" void fw4846_nav_load_reference(void) {
  fw4846_state &s = S();
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kW; ++c)
      s.nav_reference[r * kW + c] =
          static_cast<uint16_t>(s.image_base[kRowWeights[r] * kW + c] + kReferenceOffset);
}

extern "C" int fw4846_nav_binarize(void) {
  fw4846_state &s = S();
  int value[FW4846_NAV_PIXELS];
  for (int k = 0; k < FW4846_NAV_PIXELS; ++k)
    value[k] = std::max(0, static_cast<int>(s.nav_reference[k]) - s.nav_frame[k]);
  int m1 = 10000, m2 = 10000, m3 = 10000, m4 = 10000, m5 = 10000;
  for (int k = 1; k < FW4846_NAV_PIXELS; ++k) {
    int col = k % kW;
    if (col < 1 || col > kW - 2) continue;
    int v = value[k];
    if (v <= m1) m1 = v;
    else if (v <= m2) m2 = v;
    else if (v <= m3) m3 = v;
    else if (v <= m4) m4 = v;
    else if (v < m5) m5 = v;
  }
  int floor = m5 > m1 + 19 ? m5 : m1 + 20;
  for (int k = 0; k < FW4846_NAV_PIXELS; ++k) {
    int v = std::max(0, value[k] - floor);
    int col = k % kW;
    s.nav_set[k] = col >= 1 && col <= kW - 2 && v > Cfg().nav_threshold;
  }
  int count = 0;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kW; ++c) {
      int k = r * kW + c;
      if (!s.nav_set[k]) continue;
      if (r != 0 && r != kRows - 1 && c != 0 && c != kW - 1 && !s.nav_set[k - 1] &&
          !s.nav_set[k + 1] && !s.nav_set[k - kW] && !s.nav_set[k + kW]) {
        s.nav_set[k] = 0;
        continue;
      }
      ++count;
    }
  }
  return count;
}

extern "C" void fw4846_nav_centroid(int *row, int *col) {
  const fw4846_state &s = S();
  long sum = 0, rows = 0, cols = 0;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 1; c < kW - 1; ++c) {
      int v = s.nav_set[r * kW + c];
      sum += v;
      rows += static_cast<long>(kRowWeights[r]) * v;
      cols += static_cast<long>(c) * v;
    }
  }
  *row = sum ? static_cast<int>(rows / sum) : 0;
  *col = sum ? static_cast<int>(cols / sum) : 0;
}

extern "C" int fw4846_GestureDetectFirst(void) {
  fw4846_state &s = S();
  s.nav_frame_index = 0;
  for (int f = 0; f < 3; ++f) TrackFrame(s.nav_frame_index++, "  first");
  return s.nav_track[0].count;
}

extern "C" int fw4846_GestureStart(void) {
  fw4846_nav_load_reference();
  fw4846_img_mode_init(1);
  fw4846_nav_mode_init();
  fw4846_send_cmd(FW4846_CMD_NAV);
  fw4846_sram_update_bits(0x1800, 0, 0, 1);
  bq_msleep(1);
  int count = fw4846_GestureDetectFirst();
  int ret = 0;
  if (count <= 100) {
    fw4846_idle();
    fw4846_clear_int(0x05);
    ret = -1;
  } else {
    fw4846_int_disable(5);
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN Trigger_Num:%d ret:%d", count, ret);
  return ret;
}

extern "C" int fw4846_GestureDetect(void) {
  fw4846_state &s = S();
  int end = 0, cover = 0, streak = 0;
  for (int idx = 3; idx < FW4846_NAV_TRACK; ++idx) {
    s.nav_frame_index = static_cast<uint16_t>(idx);
    fw4846_nav_read_frame();
    int count = fw4846_nav_binarize();
    int row = 40, col = 31;
    if (count > 550) {
      ++cover;
    } else {
      fw4846_nav_centroid(&row, &col);
      if (count >= 351) ++cover;
      if (count <= 89 && end == 0) end = idx;
    }
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "NAV Frame:%3d coorR:%d  coorC:%d  TouchCnt:%d", idx, row, col,
                count);
    s.nav_track[idx] = {row, col, count};
    streak = count > 99 ? 0 : streak + 1;
    if (streak > 3 || count < 20 || (row == 0 && col == 0)) {
      if (end > 1) end -= 1;
      end -= end / 10;
      int ret = fw4846_GestureDirection(idx, end, cover);
      BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "NAV endframe:%d; ret = %d (L-1 R-2 U-4 D-8 C-32) ", end, ret);
      return ret;
    }
  }
  return 0;
}

extern "C" int fw4846_GestureDirection(int last, int end, int cover) {
  const fw4846_nav_point *t = S().nav_track;
  last = std::clamp(last, 0, FW4846_NAV_TRACK - 1);
  end = std::clamp(end, 0, last);
  int end_count = 0;
  for (int k = last; k > 0 && t[k].count <= t[k - 1].count; --k) ++end_count;
  end_count = std::max(end_count, 1);

  if (end > 6) {
    int dis_cur = Distance(t[end], t[end - 1]);
    int dis_last1 = Distance(t[end - 1], t[end - 2]);
    int dis_last2 = Distance(t[end - 2], t[end - 3]);
    if (dis_cur > 8 && (dis_last1 <= 2 || (dis_last1 <= 5 && dis_last2 <= 5))) {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "NAV Frame dis_cur:%d dis_last1:%d,dis_last2:%d", dis_cur,
                  dis_last1, dis_last2);
      end -= 1;
    }
  }
  int dr = t[end].row - t[0].row;
  int dc = t[end].col - t[0].col;
  int adr = std::abs(dr), adc = std::abs(dc);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "NAV Frame abs_disR:%d abs_disC:%d,endframe:%d  endframe_cnt:%d",
              adr, adc, end, end_count);

  int ret;
  if ((adr <= 6 && adc <= 6) || end < Cfg().nav_frames || cover == 0 ||
      adr + adc < Cfg().nav_travel) {
    ret = FW4846_NAV_CLICK;
  } else if (adc > 7 && dr < 0) {
    int reduced = adr - adr / 3;
    if (adc < reduced)
      ret = reduced > 10 && end_count > 5 ? FW4846_NAV_LEFT : FW4846_NAV_CLICK;
    else
      ret = dc < 0 ? FW4846_NAV_UP : FW4846_NAV_DOWN;
  } else if (adc >= adr) {
    ret = dc < 0 ? FW4846_NAV_UP : FW4846_NAV_DOWN;
  } else if (dr > 0) {
    ret = FW4846_NAV_RIGHT;
  } else {
    ret = adr > 10 && end_count > 5 ? FW4846_NAV_LEFT : FW4846_NAV_CLICK;
  }

  if (end > 4 && t[3].row > t[0].row && t[4].row > t[0].row) {
    int rise3 = t[3].row - t[0].row;
    int rise = std::max(rise3, t[4].row - t[0].row);
    if (ret == FW4846_NAV_CLICK && rise > 4) {
      ret = FW4846_NAV_RIGHT;
    } else if (ret == FW4846_NAV_DOWN && rise > 4 && rise3 <= 7 && adc <= 9) {
      ret = FW4846_NAV_RIGHT;
    }
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "NAV Frame ret:%x updis1:%d updis2:%d", ret, rise3,
                t[4].row - t[0].row);
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s'  ret:%x", __func__, ret);
  return ret;
}
