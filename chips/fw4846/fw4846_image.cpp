#include "chips/fw4846/fw4846_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/bq_util.h"
#include "chips/chip_log.h"
#include "chips/fw4846/fw4846_afe.h"
#include "chips/fw4846/fw4846_spidrv.h"
#include "chips/fw4846/fw4846_state.h"

namespace {

constexpr const char *kTag = "quorvanta:fw";

constexpr int kW = FW4846_WIDTH;
constexpr int kH = FW4846_HEIGHT;
constexpr int kN = FW4846_PIXELS;
constexpr int kDacTries = 30;
constexpr int kMiddle = 512;
constexpr int kGoodCount = 20;
constexpr int kFakeJump = 300;
constexpr int kFakeNeighbour = 100;

fw4846_state &S() { return g_fw4846; }
const fw4846_config &Cfg() { return g_fw4846_cfg; }

int DarkLimit() { return 125 << Cfg().shift; }
int BrightLimit() { return 1003 << Cfg().shift; }

// One image frame (scan start, one FIFO read, scan end) as samples.
void ReadSamples(uint16_t *samples) {
  std::vector<uint8_t> frame(FW4846_FRAME_BYTES);
  fw4846_img_read_once(frame.data(), FW4846_FRAME_BYTES);
  fw4846_frame_to_samples(frame.data(), samples, kN);
}

void WriteDac(uint8_t dac) {
  fw4846_sram_write(0x1801, fw4846_set_bits(0xFC80, 6, 0, dac));
}

}  // namespace

extern "C" void fw4846_frame_to_samples(const uint8_t *frame, uint16_t *samples, int count) {
  for (int i = 0; i < count; ++i)
    samples[i] = static_cast<uint16_t>(frame[2 * i] << 8 | frame[2 * i + 1]);
}

extern "C" void fw4846_Set_Scan_Rate_2M(void) {
  fw4846_sram_update_bits(0x1806, 13, 7, 9);
  uint16_t v = fw4846_set_bits(fw4846_sram_read(0x180A), 13, 7, 9);
  fw4846_sram_write(0x180A, fw4846_set_bits(v, 6, 0, 3));
  v = fw4846_set_bits(fw4846_sram_read(0x180B), 13, 7, 4);
  fw4846_sram_write(0x180B, fw4846_set_bits(v, 6, 0, 8));
}

extern "C" void fw4846_img_mode_init(int with_nav) {
  fw4846_state &s = S();
  const fw4846_config &c = Cfg();
  fw4846_idle();
  if (s.image_dac != s.dac_loaded) {
    WriteDac(s.image_dac);
    s.dac_loaded = s.image_dac;
  } else {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s DAC SET PASS", __func__);
  }
  if (with_nav)
    fw4846_sram_update_bits(0x1800, 14, 1, 4778);
  else
    fw4846_sram_write(0x1800, 20478);

  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "'%s para:%x", __func__, s.afe_config);
  if (s.afe_config == FW4846_AFE_IMAGE) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN OUT 1");
    return;
  }
  s.afe_config = FW4846_AFE_IMAGE;
  uint16_t v = fw4846_set_bits(0x07C0, 1, 0, c.shift & 3);
  v = fw4846_set_bits(v, 3, 3, c.shift > 1 ? 1 : 0);
  fw4846_sram_write(0x1804, fw4846_set_bits(v, 13, 13, 1));
  fw4846_Set_Scan_Rate_2M();
  v = fw4846_set_bits(1, 13, 5, static_cast<uint16_t>(c.integration - 1));
  if (c.small_area) v = fw4846_set_bits(v, 4, 4, 0);
  fw4846_sram_write(0x1807, v);
  fw4846_sram_write(0x1887, c.small_area ? 2 : 0);

  if (s.img_mode_loaded) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN 2");
    return;
  }
  v = fw4846_set_bits(fw4846_sram_read(0x1805), 4, 4, 0);
  fw4846_sram_write(0x1805, fw4846_set_bits(v, 7, 5, 0));
  fw4846_sram_update_bits(0x1811, 9, 0, 510);
  fw4846_int_enable(5);
  fw4846_int_enable(6);
  s.img_mode_loaded = 1;
  fw4846_set_scaled_level(100);
  fw4846_set_level_word(2000);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "RETURN 3");
}

namespace {

// Common tail of the two scan starts: image command, wait for the scan
// state, start bit, 1 ms.
void StartScan() {
  fw4846_send_cmd(FW4846_CMD_IMAGE);
  for (int i = 0; i < 10; ++i)
    if (fw4846_read_state() == 0x54) break;
  fw4846_sram_update_bits(0x1800, 0, 0, 1);
  bq_msleep(1);
}

}  // namespace

extern "C" int fw4846_img_scan_start(void) {
  fw4846_img_mode_init(0);
  StartScan();
  return 0;
}

extern "C" int fw4846_Special_img_scan_start(int dac) {
  fw4846_img_mode_init(0);
  fw4846_sram_update_bits(0x1801, 6, 0, static_cast<uint16_t>(dac & 0x7F));
  // The DAC register no longer holds a cached value: the next mode init
  // writes it again.
  S().dac_loaded = FW4846_CACHE_INVALID;
  StartScan();
  return 0;
}

extern "C" void fw4846_img_scan_end(void) {
  fw4846_clear_int(FW4846_INT_DATA);
  fw4846_idle();
}

extern "C" int fw4846_img_read_frames(uint8_t *buffer, int frames) {
  fw4846_img_scan_start();
  fw4846_fifo_read_frames(buffer, frames);
  fw4846_img_scan_end();
  return 0;
}

extern "C" int fw4846_img_read_once(uint8_t *buffer, int len) {
  fw4846_img_scan_start();
  fw4846_fifo_read_once(buffer, len);
  fw4846_img_scan_end();
  return 0;
}

extern "C" int fw4846_Special_img_data_get(uint8_t *buffer, int set_dac) {
  fw4846_state &s = S();
  if (set_dac < s.image_dac) {
    fw4846_Special_img_scan_start(s.image_dac - set_dac);
  } else {
    BQ_CHIP_LOG_ERROR(kTag, "%s SETDAC TOO SMALL S_DAC_Auto:%d  SetDac:%d", __func__, s.image_dac,
                      set_dac);
  }
  fw4846_fifo_read_frames(buffer, 1);
  fw4846_img_scan_end();
  return 0;
}

extern "C" void fw4846_img_base_get(uint8_t *buffer, int *length) {
  fw4846_state &s = S();
  for (int i = 0; i < kN; ++i) {
    uint16_t v = static_cast<uint16_t>(s.image_base[i] + 4000);
    buffer[2 * i] = static_cast<uint8_t>(v);
    buffer[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  uint8_t *t = buffer + 2 * kN;
  t[0] = 0xFA;
  t[3] = Cfg().base_frames;
  t[4] = 0x00;
  t[5] = 0x01;
  t[6] = 0xA5;
  t[7] = 0x01;
  t[8] = 20;
  t[9] = 0;
  t[10] = 0;
  if (length != nullptr) *length = 2 * kN;
}

extern "C" void fw4846_img_count_extremes(const uint16_t *samples, int *dark, int *bright) {
  int d = 0, b = 0;
  for (int r = 0; r < kH; ++r) {
    for (int c = 1; c < kW - 1; ++c) {
      int v = samples[r * kW + c];
      if (v < DarkLimit()) ++d;
      if (v > BrightLimit()) ++b;
    }
  }
  *dark = d;
  *bright = b;
}

extern "C" int Img_Get_Avg_Middle(const uint16_t *samples) {
  std::vector<int> hist(1024, 0);
  for (int r = 0; r < kH; ++r)
    for (int c = 1; c < kW - 1; ++c) ++hist[std::min(samples[r * kW + c] >> Cfg().shift, 1023)];
  int sum = 0;
  for (int bin = 0; bin < 1024; ++bin) {
    sum += hist[bin];
    if (sum > kH * (kW - 2) / 2) return bin;
  }
  return 1024;
}

extern "C" void Img_Get_Better_DAC(const uint16_t *samples) {
  fw4846_state &s = S();
  int dark = 0, bright = 0;
  fw4846_img_count_extremes(samples, &dark, &bright);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "old DAC:%d middle:%d", s.image_dac, s.image_middle);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Left_Point:%d Right_Point:%d", dark, bright);
  auto good = [](int n) { return n < kGoodCount; };
  auto bad = [](int n) { return n > kGoodCount; };
  int step = 0;
  if (good(dark) && good(bright)) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "case 1 left and right both ok return direct");
  } else if (bad(dark) && bad(bright)) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "case 2 left and right both fail return direct");
  } else if (good(dark) && bad(bright)) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "case 3 left ok and right fail");
    step = -1;
  } else if (bad(dark) && good(bright)) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "case 4 left fail and right ok");
    step = 1;
  }
  if (step != 0) {
    uint8_t old_dac = s.image_dac;
    s.image_dac = static_cast<uint8_t>(std::clamp(old_dac + step, 0, 127));
    std::vector<uint16_t> frame(kN);
    ReadSamples(frame.data());
    int new_dark = 0, new_bright = 0;
    fw4846_img_count_extremes(frame.data(), &new_dark, &new_bright);
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "new Left_Point:%d Right_Point:%d", new_dark, new_bright);
    if (new_dark + new_bright >= dark + bright) {
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "restore last dac");
      s.image_dac = old_dac;
    } else {
      s.image_middle = static_cast<uint16_t>(Img_Get_Avg_Middle(frame.data()));
    }
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "newDAC:%d middle:%d", s.image_dac, s.image_middle);
}

extern "C" void fw4846_AutoSDacUpdate(void) {
  fw4846_state &s = S();
  if (!s.dac_searched) s.image_dac = 54;
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "IMG par SHILD L:%d R:%d U:%d D:%d", 1, 1, 0, 0);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "IMG par BADTH 1:%d 2:%d 3:%d 4:%d", DarkLimit(), BrightLimit(), 20, 30);
  int low = 0, high = 127;
  int prev_middle = 0;
  int prev_dac = s.image_dac;
  std::vector<uint16_t> frame(kN);
  for (int t = 0; t < kDacTries; ++t) {
    ReadSamples(frame.data());
    int middle = Img_Get_Avg_Middle(frame.data());
    int dac = s.image_dac;
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Try %d AVG DAC_Temp:%d Last_DAC:%d MiddleTemp:%d", t, dac,
                prev_dac, middle);
    if (middle > kMiddle && prev_middle <= kMiddle && dac == prev_dac + 1) {
      s.image_middle = static_cast<uint16_t>(middle);
      Img_Get_Better_DAC(frame.data());
      break;
    }
    if (middle <= kMiddle && prev_middle > kMiddle && prev_dac == dac + 1) {
      s.image_dac = static_cast<uint8_t>(prev_dac);
      s.image_middle = static_cast<uint16_t>(prev_middle);
      ReadSamples(frame.data());
      Img_Get_Better_DAC(frame.data());
      break;
    }
    if (t == kDacTries - 1) {
      BQ_CHIP_LOG(BQ_LOG_WARNING, kTag, "'%s Got DAC FAIL!!!!!!", __func__);
      break;
    }
    int next;
    if (middle < 20 || middle > 1000) {
      int bound = middle < 20 ? high : low;
      if (dac == bound) {
        BQ_CHIP_LOG_ERROR(kTag, "fw4846_AutoSDacUpdate find DAC fail loop:%d dac:%d last:%d MiddleTemp:%d",
                          t, dac, prev_dac, middle);
        break;
      }
      if (middle < 20) low = dac; else high = dac;
      next = (dac + bound) / 2;
    } else if (middle <= 311) {
      next = dac + (kMiddle - middle) / 150;
    } else if (middle <= kMiddle) {
      next = dac + 1;
    } else if (middle <= 712) {
      next = dac - 1;
    } else {
      next = dac - (middle - kMiddle) / 150;
    }
    // The proportional steps never leave the search bounds.
    s.image_dac = static_cast<uint8_t>(std::clamp(next, 0, 127));
    s.img_mode_loaded = 0;
    prev_middle = middle;
    prev_dac = dac;
  }
  s.dac_searched = 1;
  BQ_CHIP_LOG(BQ_LOG_INFO, kTag, "fw4846_AutoSDacUpdate final dac:%d ......", s.image_dac);
}

extern "C" void fw4846_img_base_Update(int search) {
  fw4846_state &s = S();
  if (search == 1) {
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "call fw4846_AutoSDacUpdate");
    fw4846_AutoSDacUpdate();
  }
  ReadSamples(s.image_work_base);
  if (Cfg().base_frames > 1) {
    std::vector<uint16_t> more(kN);
    for (int f = 1; f < Cfg().base_frames; ++f) {
      ReadSamples(more.data());
      for (int i = 0; i < kN; ++i) s.image_work_base[i] = static_cast<uint16_t>(s.image_work_base[i] + more[i]);
    }
  }
  const uint16_t *w = s.image_work_base;
  uint16_t *b = s.image_base;
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "new base:%d %d %d %d %d %d %d %d %d %d", w[0], w[1], w[2], w[3],
              w[4], w[5], w[6], w[7], w[8], w[9]);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "old base:%d %d %d %d %d %d %d %d %d %d", b[0], b[1], b[2], b[3],
              b[4], b[5], b[6], b[7], b[8], b[9]);
  if (search == 1) {
    std::memcpy(b, w, sizeof s.image_base);
  } else {
    // Neighbours are compared with the base as it was before this merge, so
    // that a patch rising together is recognised whatever the merge order.
    std::vector<uint16_t> before(b, b + kN);
    auto rise = [&](int i) { return static_cast<int>(w[i]) - static_cast<int>(before[i]); };
    for (int i = 0; i < kN; ++i) {
      int row = i / kW, col = i % kW;
      int nv = w[i], old = b[i];
      if (nv > old + kFakeJump) {
        // Row 0, row 63, the last row (which has no row below to compare
        // with) and column 0 take the new value directly.
        if (row == 0 || row == 63 || row == kH - 1 || col == 0) {
          BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:%s Get new point condtion1 i:%d new:%d back:%d",
                      __LINE__, __func__, i, nv, old);
          b[i] = static_cast<uint16_t>(nv);
          continue;
        }
        int up = rise(i - kW), down = rise(i + kW), left = rise(i - 1), right = rise(i + 1);
        BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s >300 up:%d down:%d left:%d right:%d", __func__, up,
                    down, left, right);
        if (up < kFakeNeighbour && down < kFakeNeighbour && left < kFakeNeighbour &&
            right < kFakeNeighbour) {
          BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Get fake point i:%d new:%d back:%d", i, nv, old);
        } else {
          BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:%s Get new condtion2 point i:%d new:%d back:%d",
                      __LINE__, __func__, i, nv, old);
          b[i] = static_cast<uint16_t>(nv);
        }
      } else if (nv > old) {
        BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag, "[%4d]:%s Get new condtion3 point i:%d new:%d back:%d",
                    __LINE__, __func__, i, nv, old);
        b[i] = static_cast<uint16_t>(nv);
      }
    }
  }
  s.image_base_crc = fw4846_crc16(s.image_base, 256);
}

extern "C" void fw4846_white_Point_Handle(int16_t *image) {
  for (int r = 2; r <= 77; ++r) {
    for (int c = 2; c <= 61; ++c) {
      int i = r * kW + c;
      int p = image[i];
      int nb[4] = {image[i - 1], image[i + 1], image[i - kW], image[i + kW]};
      int lower = p > 50 ? p - 50 : 0;
      int brighter = 0, darker = 0;
      for (int v : nb) {
        if (v > p + 50) ++brighter;
        if (v < lower) ++darker;
      }
      if (brighter > 2 || darker > 2) {
        int mean = (nb[0] + nb[1] + nb[2] + nb[3]) / 4;
        BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag, "white_Point_Handleindex:%d old:%d %d %d %d %d  new:%d", i,
                    p, nb[0], nb[1], nb[2], nb[3], mean);
        image[i] = static_cast<int16_t>(mean);
      }
    }
  }
}

extern "C" int fw4846_find_min_max(int16_t *image) {
  int16_t least = 10000;
  for (int i = 0; i < kN; ++i) least = std::min(least, image[i]);
  for (int i = 0; i < kN; ++i) image[i] = static_cast<int16_t>(image[i] - least);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s Temp_Min:%d ", __func__, least);
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%d %d %d %d %d %d %d %d %d %d", image[0], image[1], image[2],
              image[3], image[4], image[5], image[6], image[7], image[8], image[9]);
  std::vector<int> hist(1024, 0);
  for (int i = 0; i < kN; ++i) ++hist[std::clamp<int>(image[i], 0, 1023)];
  int lo = 0, hi = 0, sum = 0;
  bool have_lo = false;
  for (int bin = 0; bin < 1024; ++bin) {
    sum += hist[bin];
    if (!have_lo && sum > 50) {
      lo = bin;
      have_lo = true;
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "Got Min i:%d  Temp_Sum:%d Min_Thr:%d", bin, sum, 50);
    }
    if (sum > 5067) {
      hi = bin;
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "[%4d]:%s Got Max i:%d  Temp_Sum:%d Min_Thr:%d", __LINE__,
                  __func__, bin, sum, 5067);
      break;
    }
  }
  int range = hi - lo;
  int step = range / 25;
  if (step > 10) {
    for (int i = 0; i < kN; ++i) {
      int v = image[i] > lo ? (image[i] - lo) * 10 / step : 0;
      image[i] = static_cast<int16_t>(std::min(v, 32767));
    }
    return 0;
  }
  if (range <= 99 && hi < 120) {
    for (int i = 0; i < kN; ++i) image[i] = 255;
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s Got Empty Image", __func__);
    return -1;
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "%s rebutn", __func__);
  return 0;
}

extern "C" void fw4846_capture_image(uint8_t *out) {
  fw4846_state &s = S();
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, " %s Enter", __func__);
  std::vector<uint8_t> frame(FW4846_FRAME_BYTES);
  fw4846_img_read_frames(frame.data(), 1);
  std::vector<uint16_t> raw(kN);
  fw4846_frame_to_samples(frame.data(), raw.data(), kN);
  for (int r : {0, 10})
    BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "row %d base:%d %d %d %d %d raw:%d %d %d %d %d", r,
                s.image_base[r * kW], s.image_base[r * kW + 1], s.image_base[r * kW + 2],
                s.image_base[r * kW + 3], s.image_base[r * kW + 4], raw[r * kW], raw[r * kW + 1],
                raw[r * kW + 2], raw[r * kW + 3], raw[r * kW + 4]);
  std::vector<int16_t> img(kN);
  for (int i = 0; i < kN; ++i) {
    int d = s.image_base[i] > raw[i] ? s.image_base[i] - raw[i] : 0;
    img[i] = static_cast<int16_t>(std::min(d, 32767));
  }
  for (int r = 0; r < kH; ++r) {
    img[r * kW] = img[r * kW + 1];
    img[r * kW + kW - 1] = img[r * kW + kW - 2];
  }
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag, "sheld row:%d", 0);
  BQ_CHIP_LOG(BQ_LOG_VERBOSE, kTag, "sheld row:%d", 63);
  fw4846_white_Point_Handle(img.data());
  fw4846_find_min_max(img.data());
  for (int i = 0; i < kN; ++i) {
    if (img[i] > 255) img[i] = 255;
    out[i] = img[i] <= 255 && img[i] >= 0 ? static_cast<uint8_t>(255 - img[i]) : 0;
  }
  BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "img out:%d  %d  %d  %d  %d", out[0], out[1], out[2], out[3], out[4]);
}

extern "C" void fw4846_Get_Wet_finger_Para(int result, int wet, int area, int quality,
                                           int condition) {
  (void)area;
  (void)quality;
  (void)condition;
  fw4846_state &s = S();
  if (result == 0) {
    if (wet <= 1 && s.wet_flag) {
      s.wet_flag = 0;
      s.wet_count = 0;
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "SET FLAG 0");
    }
    return;
  }
  if (wet > 1) {
    if (++s.wet_count >= 3) {
      s.wet_flag = 1;
      s.wet_count = 0;
      BQ_CHIP_LOG(BQ_LOG_DEBUG, kTag, "SET FLAG 1");
    }
    return;
  }
  s.wet_flag = 0;
  s.wet_count = 0;
}

extern "C" void fw4846_Wet_finger_Handle(int *count, uint16_t *base) {
  if (!S().wet_flag) return;
  if (count != nullptr) *count = 3;
  if (base != nullptr)
    for (int i = 0; i < kN; ++i) base[i] = static_cast<uint16_t>(base[i] * 3 - 8000);
}
