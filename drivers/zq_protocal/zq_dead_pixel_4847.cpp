#include "drivers/zq_protocal/zq_dead_pixel_4847.h"

#include <cstdlib>
#include <memory>

#include "base/bq_log.h"
#include "chips/zq4847_update/zq4847_update.h"
#include "chips/zq4847_update/zq4847_callbacks.h"
#include "drivers/zq_protocal/zq_interface_base.h"

#define TAG "quorvanta:protocal"

namespace {

// Samples per raw row, and the first counted index.
constexpr uint32_t kRow = 64;
constexpr uint32_t kMargin = 65;
constexpr int kFirstBadLow = 400;
constexpr int kFirstBadHigh = 4090;
constexpr int kSecondBadLow = 200;
constexpr int kSecondBadHigh = 1000;
constexpr int kDacSteps = 6;

void Sleep(int ms) {
  if (zq4847_factory_callbacks.msleep != nullptr) zq4847_factory_callbacks.msleep(ms);
}

bool Counted(uint32_t i) {
  const uint32_t column = i % kRow;
  return column != 0 && column != 1 && column != kRow - 2 && column != kRow - 1;
}

int Sample(const uint8_t *frame, uint32_t i) { return frame[2 * i] << 8 | frame[2 * i + 1]; }

// A zeroed buffer, or NULL.
std::unique_ptr<uint8_t, decltype(&std::free)> Zeroed(size_t bytes) {
  return {static_cast<uint8_t *>(std::calloc(bytes, 1)), &std::free};
}

// The integer variance of |A - B| over the counted pixels, using `diff`
// (room for n values) as the difference list.
uint64_t NoiseVariance(const uint8_t *a, const uint8_t *b, uint32_t n, uint32_t *diff) {
  uint32_t count = 0;
  uint64_t sum = 0;
  for (uint32_t i = kMargin; i <= n - kMargin; ++i) {
    if (!Counted(i)) continue;
    diff[count] = static_cast<uint32_t>(std::abs(Sample(a, i) - Sample(b, i)));
    sum += diff[count++];
  }
  const int64_t mean = static_cast<int64_t>(sum / count);
  uint64_t squares = 0;
  for (uint32_t k = 0; k < count; ++k) {
    const int64_t d = static_cast<int64_t>(diff[k]) - mean;
    squares += static_cast<uint64_t>(d * d);
  }
  return squares / count;
}

// The noise check, then the two bad-pixel stages; the frames stay allocated
// by the caller.
int RunTest(uint8_t *a, uint8_t *b, uint32_t n) {
  const uint32_t frame_bytes = 2 * n;
  auto diff = std::unique_ptr<uint32_t, decltype(&std::free)>(
      static_cast<uint32_t *>(std::calloc(n, sizeof(uint32_t))), &std::free);
  if (!diff) {
    BQ_LOG_ERROR_MSG(TAG, "same_dac_diff malloc failed.");
    return BQ_ERROR_NOMEM;
  }
  Factory_Enter();
  Sleep(10);
  for (int pass = 1;; ++pass) {
    Factory_RawData_Read(a, frame_bytes);
    Sleep(10);
    Factory_RawData_Read(b, frame_bytes);
    const uint64_t v = NoiseVariance(a, b, n, diff.get());
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:The frame mean square deviation of the same DAC is: %llu.",
           __LINE__, static_cast<unsigned long long>(v));
    if (v >= ZQ4847_NOISE_VARIANCE_MIN && v <= ZQ4847_NOISE_VARIANCE_MAX) break;
    if (pass == ZQ4847_NOISE_PASSES) return -1;
    zq_interface_base_SensorReset();
    Sleep(400);
    BQ_LOG(BQ_LOG_INFO, TAG,
           "[%4d]:Variance check failed, esd handle return: %d, try again (%d/%d).", __LINE__, 0,
           pass, ZQ4847_NOISE_PASSES - 1);
  }
  diff.reset();

  const uint8_t dac0 = Factory_DAC_Get();
  Sleep(10);
  for (int step = 0; step < kDacSteps; ++step) {
    Factory_DAC_Set(static_cast<uint8_t>(dac0 - 1));
    Sleep(10);
    if (Factory_DAC_Get() != dac0) break;
  }
  Sleep(10);
  Factory_RawData_Read(b, frame_bytes);

  int first_bad = 0;
  int second_bad = 0;
  for (uint32_t i = kMargin; i <= n - kMargin; ++i) {
    if (!Counted(i)) continue;
    const int sa = Sample(a, i);
    const int change = std::abs(sa - Sample(b, i));
    if (sa < kFirstBadLow || sa > kFirstBadHigh) ++first_bad;
    if (change < kSecondBadLow || change > kSecondBadHigh) ++second_bad;
  }
  BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:'%s': mfirstbadcnt = %d, msecondbadcnt = %d.", __LINE__,
         "do_dead_pixel_test_4847", first_bad, second_bad);
  return first_bad > ZQ4847_BAD_PIXELS_MAX || second_bad > ZQ4847_BAD_PIXELS_MAX ? -1 : 0;
}

}  // namespace

extern "C" int do_dead_pixel_test_4847(uint16_t width, uint16_t height) {
  BQ_LOG_ENTER(TAG);
  const uint32_t n = static_cast<uint32_t>(width) * height;
  int result = 0;
  if (n == 0) {
    BQ_LOG(BQ_LOG_INFO, TAG, "[%4d]:'%s': mfirstbadcnt = %d, msecondbadcnt = %d.", __LINE__,
           __func__, 0, 0);
  } else if (n < 2 * kMargin + 1) {
    // No pixel would be counted.
    BQ_LOG_ERROR_MSG(TAG, "sensor too small for the test: %u pixels.", n);
    result = -1;
  } else {
    auto a = Zeroed(2u * n);
    auto b = a ? Zeroed(2u * n) : Zeroed(0);
    if (!a) {
      BQ_LOG_ERROR_MSG(TAG, "data malloc failed.");
      result = BQ_ERROR_NOMEM;
    } else if (!b) {
      BQ_LOG_ERROR_MSG(TAG, "data1 malloc failed.");
      result = BQ_ERROR_NOMEM;
    } else {
      result = RunTest(a.get(), b.get(), n);
    }
  }
  Factory_Exit();
  BQ_LOG_LEAVE(TAG);
  return result;
}
