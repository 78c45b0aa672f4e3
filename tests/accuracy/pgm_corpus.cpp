#include "accuracy/pgm_corpus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace accuracy {

namespace {

// Parses a decimal number of 1..9 digits filling s[begin, end).
bool Number(const std::string &s, size_t begin, size_t end, int *out) {
  if (end <= begin || end - begin > 9) return false;
  int v = 0;
  for (size_t i = begin; i < end; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
    v = v * 10 + (s[i] - '0');
  }
  *out = v;
  return true;
}

// Reads the next header number of a PGM at *pos, skipping white space and
// comments; false when there is none.
bool HeaderNumber(const std::string &b, size_t *pos, long *out) {
  size_t p = *pos;
  while (p < b.size()) {
    if (b[p] == '#') {
      while (p < b.size() && b[p] != '\n') ++p;
    } else if (std::isspace(static_cast<unsigned char>(b[p]))) {
      ++p;
    } else {
      break;
    }
  }
  const size_t start = p;
  long v = 0;
  while (p < b.size() && std::isdigit(static_cast<unsigned char>(b[p])) && p - start < 9) {
    v = v * 10 + (b[p] - '0');
    ++p;
  }
  if (p == start || (p < b.size() && std::isdigit(static_cast<unsigned char>(b[p])))) return false;
  *pos = p;
  *out = v;
  return true;
}

}  // namespace

std::string CorpusEntry::Name() const {
  return std::to_string(finger) + "_" + std::to_string(impression);
}

bool ParseCorpusName(const std::string &file_name, int *finger, int *impression) {
  const std::string ext = ".pgm";
  if (file_name.size() <= ext.size() ||
      file_name.compare(file_name.size() - ext.size(), ext.size(), ext) != 0) {
    return false;
  }
  const size_t stem_end = file_name.size() - ext.size();
  const size_t us = file_name.find('_');
  if (us == std::string::npos || us > stem_end) return false;
  return Number(file_name, 0, us, finger) && Number(file_name, us + 1, stem_end, impression);
}

std::vector<CorpusEntry> ListCorpus(const std::string &dir) {
  std::vector<CorpusEntry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) throw std::runtime_error("cannot read folder " + dir + ": " + ec.message());
  for (const auto &e : it) {
    CorpusEntry c;
    if (!e.is_regular_file(ec)) continue;
    if (!ParseCorpusName(e.path().filename().string(), &c.finger, &c.impression)) continue;
    c.path = e.path().string();
    entries.push_back(std::move(c));
  }
  if (entries.empty()) throw std::runtime_error("no <finger>_<impression>.pgm file in " + dir);
  std::sort(entries.begin(), entries.end(), [](const CorpusEntry &a, const CorpusEntry &b) {
    return a.finger != b.finger ? a.finger < b.finger : a.impression < b.impression;
  });
  return entries;
}

bool DecodePgm(const std::string &bytes, GrayImage *image, std::string *error) {
  if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '5') {
    *error = "not a binary PGM (P5)";
    return false;
  }
  size_t pos = 2;
  long w = 0, h = 0, maxval = 0;
  if (!HeaderNumber(bytes, &pos, &w) || !HeaderNumber(bytes, &pos, &h) ||
      !HeaderNumber(bytes, &pos, &maxval)) {
    *error = "bad PGM header";
    return false;
  }
  if (w < 1 || h < 1 || w > 4096 || h > 4096) {
    *error = "PGM size out of range";
    return false;
  }
  if (maxval < 1 || maxval > 255) {
    *error = "not an 8-bit PGM";
    return false;
  }
  // Exactly one white-space byte ends the header.
  if (pos >= bytes.size() || !std::isspace(static_cast<unsigned char>(bytes[pos]))) {
    *error = "bad PGM header";
    return false;
  }
  ++pos;
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  if (bytes.size() - pos < n) {
    *error = "PGM pixel block too short";
    return false;
  }
  image->width = static_cast<int>(w);
  image->height = static_cast<int>(h);
  image->pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                       bytes.begin() + static_cast<std::ptrdiff_t>(pos + n));
  return true;
}

GrayImage ReadPgm(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  std::ostringstream s;
  s << in.rdbuf();
  GrayImage img;
  std::string error;
  if (!DecodePgm(s.str(), &img, &error)) throw std::runtime_error(path + ": " + error);
  return img;
}

}  // namespace accuracy
