// Small file-system helpers for the dump tests, which run in a private /tmp.
#ifndef TESTS_BASE_DUMP_TEST_UTIL_H_
#define TESTS_BASE_DUMP_TEST_UTIL_H_

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace dump_test {

// Sorted names in `dir`, without "." and "..". Empty when it does not exist.
inline std::vector<std::string> ListDir(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (dirent *e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline bool IsDir(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace dump_test

#endif  // TESTS_BASE_DUMP_TEST_UTIL_H_
