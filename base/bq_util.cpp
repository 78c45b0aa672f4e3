#include "base/bq_util.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/bq_log.h"

namespace {

constexpr const char *kTag = "quorvanta:util";

uint64_t RealMonotonicMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

int RealSleepUs(unsigned us) { return usleep(us); }

const bq_time_source kRealTime = {RealMonotonicMs, RealSleepUs};
const bq_time_source *g_time = &kRealTime;

// Shared without a lock; "elapsed" measures from the latest mark of any thread.
uint64_t g_timer_mark = 0;

bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7e && c != '\\' && c != '%'; }

}  // namespace

extern "C" void bq_set_time_source(const bq_time_source *source) {
  g_time = source ? source : &kRealTime;
}

extern "C" int bq_sprintf(char *buf, const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsprintf(buf, fmt, ap);
  va_end(ap);
  return n;
}

extern "C" void bq_hexdump(const char *data, int len) {
  if (data == nullptr || len <= 0) return;
  const auto *bytes = reinterpret_cast<const unsigned char *>(data);
  bool elided = false;
  for (int offset = 0; offset < len; offset += 8) {
    int remaining = len - offset - 8;
    if (remaining < 0) remaining = 0;
    if (!(remaining >= len - 63 || remaining <= 64)) {
      if (!elided) {
        BQ_LOG(BQ_LOG_DEBUG, kTag, "....");
        elided = true;
      }
      continue;
    }
    char row[64];
    int n = std::snprintf(row, sizeof row, "%04x  ", static_cast<unsigned>(offset));
    for (int i = 0; i < 8; ++i) {
      if (offset + i < len) {
        n += std::snprintf(row + n, sizeof row - n, "%02x ", bytes[offset + i]);
      } else {
        n += std::snprintf(row + n, sizeof row - n, "   ");
      }
    }
    n += std::snprintf(row + n, sizeof row - n, " |");
    for (int i = 0; i < 8; ++i) {
      char c = ' ';
      if (offset + i < len) c = Printable(bytes[offset + i]) ? static_cast<char>(bytes[offset + i]) : '.';
      row[n++] = c;
    }
    row[n++] = '|';
    row[n] = '\0';
    BQ_LOG(BQ_LOG_DEBUG, kTag, "%s", row);
  }
}

extern "C" uint64_t bq_timer_ms(bool elapsed) {
  uint64_t now = g_time->monotonic_ms();
  if (elapsed) return now - g_timer_mark;
  g_timer_mark = now;
  return now;
}

extern "C" uint64_t bq_timer_start(void) { return bq_timer_ms(false); }

extern "C" int bq_msleep(int ms) {
  long long us = static_cast<long long>(ms) * 1000;
  if (us < 0) us = 0;
  if (us > 0xffffffffLL) us = 0xffffffffLL;
  return g_time->sleep_us(static_cast<unsigned>(us));
}

extern "C" int bq_usleep(int us) { return g_time->sleep_us(us < 0 ? 0u : static_cast<unsigned>(us)); }

extern "C" void *bq_malloc(unsigned size) { return std::malloc(size); }

extern "C" void bq_free(void *ptr) { std::free(ptr); }

extern "C" void *bq_realloc(void *ptr, unsigned size) { return std::realloc(ptr, size); }

extern "C" char bq_checksum_xor(const char *data, unsigned len) {
  char sum = 0;
  for (unsigned i = 0; i < len; ++i) sum = static_cast<char>(sum ^ data[i]);
  return sum;
}
