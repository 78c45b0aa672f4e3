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

// True when `line` is a mode-1 note: the tag, "[%5d]:" with a line number,
// then exactly `message`.
inline bool IsLibNoteLine(const std::string &line, const std::string &message) {
  const std::string head = std::string(QUORV_LOG_TAG) + ": [";
  const size_t number_at = head.size(), close_at = number_at + 5;
  if (line.compare(0, head.size(), head) != 0 || line.size() < close_at + 2) return false;
  const std::string number = line.substr(number_at, 5);
  const size_t digits_at = number.find_first_not_of(' ');
  if (digits_at == std::string::npos ||
      number.find_first_not_of("0123456789", digits_at) != std::string::npos) {
    return false;
  }
  return line.compare(close_at, 2, "]:") == 0 && line.substr(close_at + 2) == message;
}

// True when `written` names the source file `file` (its path from the top of
// the tree): the same text, or a longer path ending in "/" + `file`, as a
// build that compiles through relative paths writes it.
inline bool NamesSourceFile(const std::string &written, const std::string &file) {
  if (written.size() == file.size()) return written == file;
  return written.size() > file.size() &&
         written.compare(written.size() - file.size(), file.size(), file) == 0 &&
         written[written.size() - file.size() - 1] == '/';
}

// The parts of a mode-1 error line: "error at func(file:line): message".
struct LibErrorLine {
  std::string func;
  std::string file;
  int line = 0;
  std::string message;
};

// Splits a mode-1 error line (the tag, "error at func(file:N): ", then the
// message) into `out`; false when `line` is not one.
inline bool ParseLibErrorLine(const std::string &line, LibErrorLine *out) {
  const std::string head = std::string(QUORV_LOG_TAG) + ": error at ";
  if (line.compare(0, head.size(), head) != 0) return false;
  const size_t open = line.find('(', head.size());
  if (open == std::string::npos || open == head.size()) return false;
  for (size_t colon = line.find(':', open + 1); colon != std::string::npos;
       colon = line.find(':', colon + 1)) {
    const size_t end = line.find_first_not_of("0123456789", colon + 1);
    if (end == colon + 1 || end == std::string::npos || end - colon > 10) continue;
    if (line.compare(end, 3, "): ") != 0) continue;
    if (colon == open + 1) return false;
    out->func = line.substr(head.size(), open - head.size());
    out->file = line.substr(open + 1, colon - open - 1);
    out->line = std::stoi(line.substr(colon + 1, end - colon - 1));
    out->message = line.substr(end + 3);
    return true;
  }
  return false;
}

// True when `line` is a mode-1 error of `func` written in the source file
// `file` (see NamesSourceFile) with exactly `message`.
inline bool IsLibErrorLine(const std::string &line, const std::string &func,
                           const std::string &file, const std::string &message) {
  LibErrorLine e;
  return ParseLibErrorLine(line, &e) && e.func == func && NamesSourceFile(e.file, file) &&
         e.message == message;
}

}  // namespace testing_support

#endif  // TESTS_SRC_LIB_LOG_CAPTURE_H_
