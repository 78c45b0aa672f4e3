#include "framework/fpi_log.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/bq_dump.h"
#include "base/bq_log.h"

int g_libfpdev_log_level = FPI_LOG_LEVEL_DEBUG;
int g_libfpdev_log_level_fixed = 0;

namespace {

const char *LevelWord(int level) {
  switch (level) {
    case FPI_LOG_LEVEL_ERROR:
      return "error";
    case FPI_LOG_LEVEL_WARNING:
      return "warning";
    case FPI_LOG_LEVEL_INFO:
      return "info";
    case FPI_LOG_LEVEL_DEBUG:
      return "debug";
    default:
      return "unknown";
  }
}

// The dump copy: the base prefix with the letter of 6 - level and the head
// "fp:debug [function] " as its tag, whose closing ": " the message replaces.
void DumpCopy(int level, const char *function, const char *fmt, va_list ap) {
  char tag[BQ_LOG_LINE_MAX];
  std::snprintf(tag, sizeof tag, "%s:%s [%s] ", "fp", "debug", function);
  char line[BQ_LOG_LINE_MAX];
  char *cursor = line;
  int head = bq_log_prefix(&cursor, 6 - level, tag);
  size_t used = static_cast<size_t>(head);
  // The prefix ends with ": "; the message starts where those two stood.
  used -= used < 2 ? used : 2;
  int n = std::vsnprintf(line + used, sizeof line - used, fmt, ap);
  if (n > 0) used += static_cast<size_t>(n);
  if (used >= sizeof line) used = sizeof line - 1;
  line[used] = '\0';
  bq_dump_log_append(line, used);
}

}  // namespace

extern "C" void fpi_log_message(int level, const char *component, const char *function,
                                const char *fmt, ...) {
  if (function == nullptr) function = "";
  if (g_libfpdev_log_level > 0 && g_libfpdev_dump) {
    va_list ap;
    va_start(ap, fmt);
    DumpCopy(level, function, fmt, ap);
    va_end(ap);
  }

  if (g_libfpdev_log_level == 0) return;
  if (static_cast<unsigned>(level) > static_cast<unsigned>(g_libfpdev_log_level)) return;

  std::string text = std::string(component ? component : "fp") + ":" + LevelWord(level) + " [" +
                     function + "] ";
  va_list ap;
  va_start(ap, fmt);
  va_list again;
  va_copy(again, ap);
  int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  if (n > 0) {
    size_t head = text.size();
    text.resize(head + static_cast<size_t>(n) + 1);
    std::vsnprintf(text.data() + head, static_cast<size_t>(n) + 1, fmt, again);
    text.resize(head + static_cast<size_t>(n));
  }
  va_end(again);
  text += '\n';
  std::FILE *stream = level == FPI_LOG_LEVEL_INFO ? stdout : stderr;
  std::fwrite(text.data(), 1, text.size(), stream);
}
