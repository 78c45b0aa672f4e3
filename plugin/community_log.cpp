#include "plugin/community_log.h"

#include <libintl.h>
#include <locale.h>
#include <sys/time.h>

#include <cstdarg>
#include <cstdio>

#include "biometric_common.h"

extern "C" {

void fpi_log(int level, const char * /*tag*/, const char *format, ...) {
  char line[COMMUNITY_LOG_LINE_MAX];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (level == COMMUNITY_LOG_INFO)
    bio_print_info("%s\n", line);
  else
    bio_print_debug("%s\n", line);
}

void getCurrentTime(uint64_t *out_ms) {
  if (out_ms == nullptr) return;
  struct timeval now;
  gettimeofday(&now, nullptr);
  *out_ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_usec) / 1000u;
}

const char *community_text(const char *text) {
  return dcgettext(COMMUNITY_TEXT_DOMAIN, text, LC_MESSAGES);
}

}  // extern "C"
