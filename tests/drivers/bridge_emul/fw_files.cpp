#include "bridge_emul/fw_files.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <stdexcept>

#include "drivers/zq_protocal/zq_fw_images.h"

namespace bridge_emul {

namespace {

const int kTypes[] = {1, 2, 3, 4, 7};

std::string MakeFolder() {
  const char *tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                        "/quorvanta-fw-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
  return pattern + "/";
}

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot write " + path);
  size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != bytes.size()) throw std::runtime_error("short write " + path);
}

}  // namespace

const std::vector<uint8_t> &FillerImage(int type) {
  static std::map<int, std::vector<uint8_t>> images;
  auto it = images.find(type);
  if (it != images.end()) return it->second;
  std::vector<uint8_t> bytes(zq_fw_images_Size(type));
  uint32_t x = 0x48400000u + static_cast<uint32_t>(type) * 0x10001u;
  for (uint8_t &b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 24);
  }
  return images.emplace(type, std::move(bytes)).first->second;
}

std::string InstallFillerFirmware() {
  static std::string folder;
  struct stat st;
  if (folder.empty() || stat(folder.c_str(), &st) != 0) {
    folder = MakeFolder();
    for (int type : kTypes) WriteFile(folder + zq_fw_images_FileName(type), FillerImage(type));
  }
  zq_fw_images_SetFolderForTest(folder.c_str());
  return folder;
}

std::string InstallEmptyFirmwareFolder() {
  std::string folder = MakeFolder();
  zq_fw_images_SetFolderForTest(folder.c_str());
  return folder;
}

}  // namespace bridge_emul
