// A folder of impressions named <finger>_<impression>.pgm (8-bit binary
// PGM), the layout of the public verification databases.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace accuracy {

// One impression file of a corpus.
struct CorpusEntry {
  int finger = 0;      // the number before the underscore
  int impression = 0;  // the number after it
  std::string path;
  // "<finger>_<impression>", the name used in reports.
  std::string Name() const;
};

// Parses "<finger>_<impression>.pgm" (decimal numbers, no sign, at most 9
// digits each). False for any other name.
bool ParseCorpusName(const std::string &file_name, int *finger, int *impression);

// The impressions of folder dir ordered by finger, then impression; files
// with other names are skipped. Throws std::runtime_error when dir cannot
// be read or holds no impression.
std::vector<CorpusEntry> ListCorpus(const std::string &dir);

// An 8-bit image.
struct GrayImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // row-major, width x height
};

// Decodes an 8-bit binary PGM (P5, maxval 1..255, '#' comments in the
// header). False, with *error set, for anything else or a short pixel block.
bool DecodePgm(const std::string &bytes, GrayImage *image, std::string *error);

// Reads and decodes path; throws std::runtime_error naming the file.
GrayImage ReadPgm(const std::string &path);

}  // namespace accuracy
