#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>

#include "base/bq_log.h"
#include "drivers/quorvanta/bq_config.h"
#include "framework/capture_flags.h"
#include "framework/quorvanta_ctx.h"
#include "framework/zq_sensor_info.h"

namespace {

// The framework's stop operations and the dump code reach into the context
// by field name; the fields keep their documented order.
#define FOLLOWS(a, b) static_assert(offsetof(quorvanta_ctx_t, a) < offsetof(quorvanta_ctx_t, b))
FOLLOWS(imgdev, enroll_timeout);
FOLLOWS(enroll_timeout, poll_timeout);
FOLLOWS(poll_timeout, raw_image);
FOLLOWS(raw_image, ep_in);
FOLLOWS(ep_in, ep_out);
FOLLOWS(ep_out, loop_running);
FOLLOWS(loop_running, stop_requested);
FOLLOWS(stop_requested, update_tpl);
FOLLOWS(update_tpl, module_type);
FOLLOWS(module_type, usb_lock);
FOLLOWS(usb_lock, sensor_info);
FOLLOWS(sensor_info, first_loop);
FOLLOWS(first_loop, pid);
FOLLOWS(pid, result_reported);
#undef FOLLOWS
static_assert(offsetof(quorvanta_ctx_t, imgdev) == 0, "the imaging device comes first");

zq_sensor_info_t SampleInfo() {
  zq_sensor_info_t info{};
  info.fw_version = 0x0102;
  info.chip_id = 0x4846;
  info.sensor.cols = 0x0140;
  info.sensor.rows = 80;
  info.sensor_type = 0x0a0b0c0d;
  std::memcpy(info.version_text, "v1.2", 4);
  return info;
}

TEST(ZqSensorInfo, SerialisesFieldByFieldLittleEndian) {
  std::array<uint8_t, 44> expected{};
  const uint8_t head[] = {0x02, 0x01, 0x46, 0x48, 0x40, 0x01, 0x50, 0x00,
                          0x0d, 0x0c, 0x0b, 0x0a, 'v',  '1',  '.',  '2'};
  std::memcpy(expected.data(), head, sizeof head);

  zq_sensor_info_t info = SampleInfo();
  std::array<uint8_t, 48> out;
  out.fill(0xee);
  ASSERT_EQ(zq_sensor_info_serialize(&info, out.data(), out.size()), 44u);
  EXPECT_EQ(0, std::memcmp(out.data(), expected.data(), 44));
  EXPECT_EQ(out[44], 0xee);  // nothing past the record

  zq_sensor_info_t back;
  std::memset(&back, 0x55, sizeof back);
  ASSERT_EQ(zq_sensor_info_parse(&back, expected.data(), expected.size()), 44u);
  EXPECT_EQ(back.fw_version, 0x0102);
  EXPECT_EQ(back.chip_id, 0x4846);
  EXPECT_EQ(back.sensor.cols, 0x0140);
  EXPECT_EQ(back.sensor.rows, 80);
  EXPECT_EQ(back.sensor_type, 0x0a0b0c0du);
  EXPECT_STREQ(back.version_text, "v1.2");
}

TEST(ZqSensorInfo, RefusesShortBuffersAndNull) {
  zq_sensor_info_t info = SampleInfo();
  std::array<uint8_t, 44> buf;
  buf.fill(0xee);
  EXPECT_EQ(zq_sensor_info_serialize(&info, buf.data(), 43), 0u);
  EXPECT_EQ(buf[0], 0xee);
  EXPECT_EQ(zq_sensor_info_serialize(nullptr, buf.data(), 44), 0u);
  EXPECT_EQ(zq_sensor_info_serialize(&info, nullptr, 44), 0u);
  zq_sensor_info_t untouched = SampleInfo();
  EXPECT_EQ(zq_sensor_info_parse(&untouched, buf.data(), 43), 0u);
  EXPECT_EQ(untouched.fw_version, 0x0102);
  EXPECT_EQ(zq_sensor_info_parse(nullptr, buf.data(), 44), 0u);
}

TEST(BqConfig, ResetWritesTheDefaults) {
  for (uint8_t dump : {0, 1}) {
    std::memset(bq_config, 0x77, sizeof *bq_config);
    g_libfpdev_dump = dump;
    bq_config_reset();
    EXPECT_EQ(bq_config->base_log_level, 3u);
    EXPECT_EQ(bq_config->chip_log_level, 3u);
    EXPECT_EQ(bq_config->lib_log_level, 4u);
    EXPECT_EQ(bq_config->debug_info, 1);
    EXPECT_EQ(bq_config->dump_images, dump);
    EXPECT_EQ(bq_config->dump_commands, 0);
    EXPECT_EQ(bq_config->print_func_time, 0);
    EXPECT_EQ(bq_config->opened, 1);
    for (uint8_t b : bq_config->reserved) EXPECT_EQ(b, 0);
  }
  g_libfpdev_dump = 0;
}

TEST(CaptureFlags, StartValues) {
  EXPECT_EQ(isNeedClearImgFirst.load(), 1);
  EXPECT_EQ(g_resumed_from_sleep.load(), 1);
  EXPECT_EQ(g_identify_error.load(), 0);
  EXPECT_EQ(quorvanta_ctx, nullptr);
}

}  // namespace
