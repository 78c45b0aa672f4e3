// The plug-in's logger, its wall clock and its translation helper.
#ifndef PLUGIN_COMMUNITY_LOG_H_
#define PLUGIN_COMMUNITY_LOG_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Gettext domain of every user-facing text of the plug-in.
#define COMMUNITY_TEXT_DOMAIN "biometric-driver-zq4842"
// Level of the entry lines and of the plug-in's info output.
#define COMMUNITY_LOG_INFO 6
// Longest formatted line of fpi_log, NUL included.
#define COMMUNITY_LOG_LINE_MAX 1024

// Formats the message (cut to COMMUNITY_LOG_LINE_MAX - 1 bytes) and prints it
// followed by a newline through the service's info printer for level 6, its
// debug printer for any other level. The tag is not printed.
void fpi_log(int level, const char *tag, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Writes the wall-clock time in milliseconds (seconds * 1000 + microseconds /
// 1000) to *out_ms; a NULL pointer is ignored.
void getCurrentTime(uint64_t *out_ms);

// Returns the translation of `text` in the plug-in's domain (LC_MESSAGES).
const char *community_text(const char *text);

#ifdef __cplusplus
}
#endif

// The entry line every operation starts with.
#define COMMUNITY_LOG_ENTRY() \
  fpi_log(COMMUNITY_LOG_INFO, "community", "[%s] [%4d]:", __func__, __LINE__)

#endif  // PLUGIN_COMMUNITY_LOG_H_
