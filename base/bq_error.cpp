#include "base/bq_error.h"

#include <cstdio>

namespace {

struct ErrorText {
  int code;
  const char *text;
};

constexpr ErrorText kErrorTexts[] = {
    {0, "Success"},
    {-1, "Internal error"},
    {-2, "No such file or directory"},
    {-4, "Interrupted"},
    {-5, "I/O error"},
    {-11, "Try again"},
    {-12, "Out of memory"},
    {-16, "Resource busy / Timeout"},
    {-200, "Bad parameter(s)"},
    {-201, "Null pointer"},
    {-202, "Buffer overflow"},
    {-203, "Bad protocol"},
    {-204, "Wrong sensor dimension"},
    {-205, "Device not found"},
    {-206, "Device is dead"},
    {-207, "Up to the limit"},
    {-208, "Template store in REE"},
    {-209, "Untrusted enrollment"},
};

// Shared by the whole process, without a lock: that is the documented
// behaviour of the unlisted-code path.
char g_unlisted_text[16];

}  // namespace

extern "C" const char *bq_strerror(int code) {
  for (const ErrorText &e : kErrorTexts) {
    if (e.code == code) return e.text;
  }
  std::snprintf(g_unlisted_text, sizeof g_unlisted_text, "%d", code);
  return g_unlisted_text;
}
