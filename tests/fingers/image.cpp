#include "fingers/image.h"

#include <cstdio>
#include <stdexcept>

namespace fingers {
namespace {

bool WriteAll(const std::string &path, const std::string &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::string Header(int width, int height, int maxval) {
  return "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n" +
         std::to_string(maxval) + "\n";
}

}  // namespace

std::string EncodePgm(int width, int height, const std::vector<uint8_t> &gray) {
  if (width <= 0 || height <= 0 ||
      gray.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    throw std::invalid_argument("EncodePgm: size does not match the pixels");
  }
  std::string out = Header(width, height, 255);
  out.append(reinterpret_cast<const char *>(gray.data()), gray.size());
  return out;
}

bool WritePgm(const std::string &path, int width, int height, const std::vector<uint8_t> &gray) {
  return WriteAll(path, EncodePgm(width, height, gray));
}

bool WritePgm16(const std::string &path, int width, int height,
                const std::vector<uint16_t> &raw, int maxval) {
  if (width <= 0 || height <= 0 || maxval < 1 || maxval > 65535 ||
      raw.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  std::string out = Header(width, height, maxval);
  out.reserve(out.size() + raw.size() * 2);
  for (uint16_t v : raw) {
    if (v > maxval) return false;
    out.push_back(static_cast<char>(v >> 8));
    out.push_back(static_cast<char>(v & 0xff));
  }
  return WriteAll(path, out);
}

}  // namespace fingers
