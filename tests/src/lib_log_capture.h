// Captures the library's log lines for the image-foundation tests.
#ifndef TESTS_SRC_LIB_LOG_CAPTURE_H_
#define TESTS_SRC_LIB_LOG_CAPTURE_H_

#include <string>
#include <vector>

#include "src/quorv_base/quorv_log.h"
#include "support/stderr_capture.h"

namespace testing_support {

// Turns library logging on (mode 1, every level) and collects its lines.
class LibLogCapture {
 public:
  LibLogCapture() {
    g_debuginfo = 1;
    g_loglevel = 0;
  }
  ~LibLogCapture() { g_debuginfo = 0; }

  // Whole lines as written to standard error.
  std::vector<std::string> Lines() { return capture_.Lines(); }

  // The messages only: each line without its tag and its "[line]:" or
  // "error at f(file:line): " prefix.
  std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const std::string &line : capture_.Lines()) {
      std::string s = line;
      const std::string tag = std::string(QUORV_LOG_TAG) + ": ";
      if (s.rfind(tag, 0) == 0) s = s.substr(tag.size());
      if (s.rfind("error at ", 0) == 0) {
        size_t cut = s.find("): ");
        if (cut != std::string::npos) s = s.substr(cut + 3);
      } else if (s.rfind("[", 0) == 0) {
        size_t cut = s.find("]:");
        if (cut != std::string::npos) s = s.substr(cut + 2);
      }
      out.push_back(s);
    }
    return out;
  }

 private:
  StderrCapture capture_;
};

}  // namespace testing_support

#endif  // TESTS_SRC_LIB_LOG_CAPTURE_H_
