// Sensor frames as the generator delivers them, and PGM output.
//
// Grey-level convention (8-bit): a capacitive sensor image, ridges dark on a
// light background. 0 is black (full ridge contact), 255 white; the empty
// sensor reads light (about 215 by default).
// Raw 16-bit convention: samples as a 12-bit capacitive front end returns
// them before normalisation, ridges HIGH: contact raises the count (about 900
// for the empty sensor, up to about 3300 on a ridge, at most 4095). Drivers
// that negate and stretch raw samples get dark ridges again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fingers {

// One frame: width x height samples, row-major, top row first.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> gray;  // 8-bit image, ridges dark (always filled)
  std::vector<uint16_t> raw;  // 16-bit raw samples, ridges high (filled on request)

  // 8-bit sample at (x, y); the caller keeps (x, y) inside the frame.
  uint8_t At(int x, int y) const { return gray[static_cast<size_t>(y) * width + x]; }
};

// Writes an 8-bit binary PGM (P5, maxval 255). Returns false on I/O failure.
bool WritePgm(const std::string &path, int width, int height, const std::vector<uint8_t> &gray);
// Writes a 16-bit binary PGM (P5, maxval as given, samples big-endian).
// Returns false on I/O failure or a sample above maxval.
bool WritePgm16(const std::string &path, int width, int height,
                const std::vector<uint16_t> &raw, int maxval);
// The PGM bytes WritePgm would write.
std::string EncodePgm(int width, int height, const std::vector<uint8_t> &gray);

}  // namespace fingers
