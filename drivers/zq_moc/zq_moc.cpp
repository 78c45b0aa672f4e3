#include "drivers/zq_moc/zq_moc.h"

#include <cstdlib>
#include <cstring>

#include "base/bq_log.h"
#include "base/bq_util.h"
#include "framework/quorvanta_ctx.h"
#include "drivers/zq_protocal/zq_cmd_frame.h"

#define TAG "quorvanta:moc"

// Runs one step of a command; a failure is logged under the calling
// function's name and returned.
#define MOC_STEP(expr)               \
  do {                               \
    int step_r_ = (expr);            \
    if (step_r_ != 0) {              \
      BQ_LOG_ERRNO(TAG, step_r_);    \
      return step_r_;                \
    }                                \
  } while (0)

namespace {

// Module type of the products that speak this command set.
constexpr uint32_t kModuleTypeMoc = 1;
// Polls of the interrupt test per IC.
constexpr int kIntTestPolls = 201;
// Dead-pixel test: sample range, thresholds and the allowed bad counts.
constexpr int kFirstSample = 129;
constexpr int kLastSample = 10111;
constexpr int kLowLevel = 400;
constexpr int kHighLevel = 4090;
constexpr int kMinStep = 200;
constexpr int kMaxStep = 1000;
constexpr int kMaxBad = 100;

// One command: the request, then a reply of at most dst_len payload bytes.
int Exchange(uint8_t cmd, const void *payload, uint16_t len, uint8_t *dst, uint16_t dst_len) {
  int r = usb_bulk_write_cmd(cmd, payload, len);
  if (r != 0) return r;
  return usb_bulk_read_cmd(dst, dst_len);
}

// Asks IC `ic` to raise its interrupt.
int SetIntTestIc(uint8_t ic) {
  MOC_STEP(Exchange(ZQ_MOC_CMD_INT_TEST_SET, &ic, 1, nullptr, 0));
  return 0;
}

// Reads which IC's interrupt was seen: request, 2 ms, reply.
int GetIntTestIc(uint8_t *ic) {
  MOC_STEP(usb_bulk_write_cmd(ZQ_MOC_CMD_INT_TEST_GET, nullptr, 0));
  bq_msleep(2);
  MOC_STEP(usb_bulk_read_cmd(ic, 1));
  return 0;
}

// Polls until IC `ic` reports: 1 when it did, 0 when the polls ran out, or
// a command's error (negative or a status).
int WaitForIc(uint8_t ic, int *error) {
  for (int i = 0; i < kIntTestPolls; ++i) {
    uint8_t seen = 0;
    int r = GetIntTestIc(&seen);
    if (r != 0) {
      *error = r;
      return 0;
    }
    if (seen == ic) return 1;
    bq_msleep(5);
  }
  return 0;
}

int Sample(const uint8_t *frame, int index) {
  return frame[2 * index] << 8 | frame[2 * index + 1];
}

}  // namespace

extern "C" int zq_GetFpImage(uint8_t *img) {
  if (img == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NO_DEVICE);
    return BQ_ERROR_NO_DEVICE;
  }
  const unsigned size = static_cast<unsigned>(ctx->sensor_info.sensor.cols) *
                        ctx->sensor_info.sensor.rows;
  if (size + ZQ_CMD_OVERHEAD > ZQ_CMD_BUFFER_SIZE) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_SENSOR_DIMENSION);
    return BQ_ERROR_SENSOR_DIMENSION;
  }
  MOC_STEP(Exchange(ZQ_MOC_CMD_IMAGE, nullptr, 0, img, static_cast<uint16_t>(size)));
  return 0;
}

extern "C" int zq_GetRawData(uint8_t *raw) {
  if (raw == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  MOC_STEP(Exchange(ZQ_MOC_CMD_RAW, nullptr, 0, raw, ZQ_MOC_RAW_FRAME_SIZE));
  return 0;
}

extern "C" int zq_GetImageDAC(uint8_t dac[2]) {
  if (dac == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  MOC_STEP(Exchange(ZQ_MOC_CMD_GET_DAC, nullptr, 0, dac, 2));
  return 0;
}

extern "C" int zq_SetImageDAC(const uint8_t dac[2]) {
  if (dac == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  MOC_STEP(Exchange(ZQ_MOC_CMD_SET_DAC, dac, 2, nullptr, 0));
  return 0;
}

extern "C" int zq_InitSensor(void) {
  MOC_STEP(Exchange(ZQ_MOC_CMD_INIT, nullptr, 0, nullptr, 0));
  return 0;
}

extern "C" int zq_ClearIRQBit(void) {
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr || ctx->module_type != kModuleTypeMoc) return 0;
  MOC_STEP(Exchange(ZQ_MOC_CMD_CLEAR_IRQ, nullptr, 0, nullptr, 0));
  return 0;
}

extern "C" int zq_QueryDeviceStatus(void) {
  uint8_t reply[2] = {0, 0};
  MOC_STEP(Exchange(ZQ_MOC_CMD_STATUS, nullptr, 0, reply, sizeof reply));
  return reply[0] == 0xA5 && reply[1] == 0x5A ? 2 : 0;
}

extern "C" int zq_GetFirmwareVersion(uint16_t *version) {
  if (version == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  uint8_t reply[2] = {0, 0};
  MOC_STEP(Exchange(ZQ_MOC_CMD_VERSION, nullptr, 0, reply, sizeof reply));
  if (reply[0] & 0x80) BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:in bootloader loop.", __LINE__);
  *version = static_cast<uint16_t>(reply[1] << 8 | reply[0]);
  return 0;
}

extern "C" int zq_ResetBySoft(void) {
  MOC_STEP(Exchange(ZQ_MOC_CMD_SOFT_RESET, nullptr, 0, nullptr, 0));
  return 0;
}

extern "C" int zq_MergeImage(uint8_t *img) {
  if (img == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  quorvanta_ctx_t *ctx = quorvanta_ctx;
  if (ctx == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NO_DEVICE);
    return BQ_ERROR_NO_DEVICE;
  }
  const unsigned width = ctx->sensor_info.sensor.cols;
  const unsigned height = ctx->sensor_info.sensor.rows;
  // The second half starts at width x height / 2; past 128 columns it would
  // run beyond the image.
  if (width > 2 * ZQ_MOC_HALF_COLUMNS) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_SENSOR_DIMENSION);
    return BQ_ERROR_SENSOR_DIMENSION;
  }
  const unsigned size = width * height;
  if (size == 0) return 0;
  auto *scratch = static_cast<uint8_t *>(bq_malloc(size));
  if (scratch == nullptr) {
    BQ_LOG_ERRNO(TAG, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  std::memcpy(scratch, img, size);
  const uint8_t *left = scratch;
  const uint8_t *right = scratch + size / 2;
  uint8_t *out = img;
  for (unsigned y = 0; y < height; ++y) {
    for (unsigned x = 0; x < width; ++x) *out++ = x < ZQ_MOC_HALF_COLUMNS ? *left++ : *right++;
  }
  bq_free(scratch);
  return 0;
}

extern "C" int zq_FuncforTestPin(void) {
  int result = 0;
  int error = 0;
  MOC_STEP(SetIntTestIc(1));
  if (!WaitForIc(1, &error)) {
    if (error != 0) return error;
    BQ_LOG_ERROR_MSG(TAG, "IC 1 Int test fail.");
    result = -1;
  } else {
    bq_msleep(2);
    MOC_STEP(SetIntTestIc(2));
    if (!WaitForIc(2, &error)) {
      if (error != 0) return error;
      BQ_LOG_ERROR_MSG(TAG, "IC 2 Int test fail.");
      result = -2;
    } else {
      bq_msleep(2);
    }
  }
  int r = zq_InitSensor();
  if (r != 0) {
    BQ_LOG_ERRNO(TAG, r);
    result = r;
  }
  return result;
}

extern "C" int zq_FuncforTestDeadPixel(void) {
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:'%s' enter.", __LINE__, __func__);
  auto *frame_a = static_cast<uint8_t *>(bq_malloc(ZQ_MOC_RAW_FRAME_SIZE));
  if (frame_a == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "'%s' : data malloc failed.", __func__);
    return BQ_ERROR_NOMEM;
  }
  auto *frame_b = static_cast<uint8_t *>(bq_malloc(ZQ_MOC_RAW_FRAME_SIZE));
  if (frame_b == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "'%s' : data1 malloc failed.", __func__);
    bq_free(frame_a);
    return BQ_ERROR_NOMEM;
  }
  std::memset(frame_a, 0, ZQ_MOC_RAW_FRAME_SIZE);
  std::memset(frame_b, 0, ZQ_MOC_RAW_FRAME_SIZE);

  int result = 0;
  uint8_t dac[2] = {0, 0};
  auto run = [&]() -> int {
    MOC_STEP(zq_GetRawData(frame_a));
    MOC_STEP(zq_GetImageDAC(dac));
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:dac1 = %d, dac2 = %d.", __LINE__, dac[0], dac[1]);
    const uint8_t lowered[2] = {static_cast<uint8_t>(dac[0] - 1),
                                static_cast<uint8_t>(dac[1] - 1)};
    MOC_STEP(zq_SetImageDAC(lowered));
    MOC_STEP(zq_GetRawData(frame_b));

    int first_bad = 0;
    int second_bad = 0;
    for (int i = kFirstSample; i <= kLastSample; ++i) {
      const int column = i % ZQ_MOC_HALF_COLUMNS;
      if (column == 0 || column == 1 || column == 62 || column == 63) continue;
      const int a = Sample(frame_a, i);
      const int d = std::abs(a - Sample(frame_b, i));
      if (a < kLowLevel || a > kHighLevel) ++first_bad;
      if (d < kMinStep || d > kMaxStep) ++second_bad;
    }
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:'%s': mfirstbadcnt = %d, msecondbadcnt = %d.", __LINE__,
           "zq_FuncforTestDeadPixel", first_bad, second_bad);
    result = first_bad > kMaxBad || second_bad > kMaxBad ? -1 : 0;

    MOC_STEP(zq_SetImageDAC(dac));
    MOC_STEP(zq_InitSensor());
    return result;
  };
  int r = run();
  bq_free(frame_b);
  bq_free(frame_a);
  BQ_LOG(BQ_LOG_VERBOSE, TAG, "[%4d]:'%s' leave.", __LINE__, __func__);
  return r;
}
