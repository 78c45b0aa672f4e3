#include "base/bq_log.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/bq_dump.h"

uint32_t g_base_log_level = 0;
uint8_t g_libfpdev_dump = 0;

namespace {

constexpr char kLevelLetters[] = "-VDIWE";

char LevelLetter(int level) {
  // Only 0..5 have a letter; anything else is shown as the "no level" mark.
  if (level < 0 || level > 5) return kLevelLetters[0];
  return kLevelLetters[level];
}

// Appends a vprintf result at buf[used], keeping the whole text within size
// bytes. Returns the new used length.
size_t AppendV(char *buf, size_t size, size_t used, const char *fmt, va_list ap) {
  if (used + 1 >= size) return used;
  int n = std::vsnprintf(buf + used, size - used, fmt, ap);
  if (n < 0) {
    buf[used] = '\0';
    return used;
  }
  size_t added = static_cast<size_t>(n);
  if (used + added >= size) added = size - 1 - used;
  return used + added;
}

int WritePrefix(char *buf, size_t size, int level, const char *tag) {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  struct tm local;
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &local);
  int n = std::snprintf(buf, size, "%02u-%02u %02u:%02u:%02u.%03u  %u  %u %c %s: ",
                        static_cast<unsigned>(local.tm_mon + 1),
                        static_cast<unsigned>(local.tm_mday),
                        static_cast<unsigned>(local.tm_hour),
                        static_cast<unsigned>(local.tm_min),
                        static_cast<unsigned>(local.tm_sec),
                        static_cast<unsigned>(tv.tv_usec / 1000),
                        static_cast<unsigned>(getpid()),
                        static_cast<unsigned>(syscall(SYS_gettid)), LevelLetter(level),
                        tag ? tag : "");
  if (n < 0) return 0;
  if (static_cast<size_t>(n) >= size) n = static_cast<int>(size - 1);
  return n;
}

}  // namespace

extern "C" int bq_log_prefix(char **cursor, int level, const char *tag) {
  if (cursor == nullptr || *cursor == nullptr) return 0;
  int n = WritePrefix(*cursor, BQ_LOG_LINE_MAX, level, tag);
  *cursor += n;
  return n;
}

extern "C" const char *bq_basename(const char *path) {
  if (path == nullptr) return "";
  const char *slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

extern "C" int bq_log(int level, const char *tag, const char *fmt, ...) {
  const char *safe_tag = tag ? tag : "";
  if (static_cast<unsigned>(level) > 1 && g_libfpdev_dump && g_base_log_level <= 5) {
    char line[BQ_LOG_LINE_MAX];
    size_t used = static_cast<size_t>(WritePrefix(line, sizeof line, level, safe_tag));
    va_list ap;
    va_start(ap, fmt);
    used = AppendV(line, sizeof line, used, fmt, ap);
    va_end(ap);
    bq_dump_log_append(line, used);
  }

  char line[BQ_LOG_LINE_MAX];
  int head = std::snprintf(line, sizeof line, "%s: ", safe_tag);
  size_t used = head < 0 ? 0 : static_cast<size_t>(head);
  if (used >= sizeof line) used = sizeof line - 1;
  va_list ap;
  va_start(ap, fmt);
  AppendV(line, sizeof line, used, fmt, ap);
  va_end(ap);
  size_t length = std::strlen(line);
  line[length] = '\n';  // the buffer always has room: AppendV keeps a byte free
  int written = static_cast<int>(std::fwrite(line, 1, length + 1, stderr));
  std::fflush(stderr);
  return written;
}
