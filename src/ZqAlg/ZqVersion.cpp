#include "src/ZqAlg/ZqVersion.h"

#include <string.h>

namespace {

void PutText(char *buf, const char (&text)[ZQ_VERSION_TEXT_SIZE]) {
  if (buf != nullptr) memcpy(buf, text, ZQ_VERSION_TEXT_SIZE);
}

}  // namespace

extern "C" {

void ZqCoreVersion(char *buf) { PutText(buf, "v2.2.2.5-r4830-x86_64_64bit-20230526"); }

void ZqNoneFingerVersion(char *buf) { PutText(buf, "v1.1.3.a-r4830-x86_64_64bit-20230526"); }

void ZqTrueFalseFingerVersion(char *buf) { PutText(buf, "v1.1.2.6-r4830-x86_64_64bit-20230526"); }

void ZqClassifierVersion(char *buf) { PutText(buf, "v1.1.1.5-r4830-x86_64_64bit-20230526"); }

}  // extern "C"
