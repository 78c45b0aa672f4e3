#include "drivers/zq_protocal/zq_fw_images.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "base/bq_error.h"
#include "base/bq_log.h"
#include "drivers/zq_protocal/zq_sensor_object.h"

#define TAG "quorvanta:protocal"

namespace {

struct ImageFile {
  int type;
  const char *name;
  uint16_t size;
};

const ImageFile kFiles[] = {
    {ZQ_SENSOR_ZQ4841W, "zq4841w.bin", ZQ_FW_SIZE_ZQ4841},
    {ZQ_SENSOR_ZQ4842W, "zq4842w.bin", ZQ_FW_SIZE_ZQ4842},
    {ZQ_SENSOR_ZQ4844W, "zq4844w.bin", ZQ_FW_SIZE_ZQ4844},
    {ZQ_SENSOR_ZQ4847W, "zq4847w.bin", ZQ_FW_SIZE_ZQ4847},
    {ZQ_SENSOR_ZQ4856W, "zq4856w.bin", ZQ_FW_SIZE_ZQ4856},
};
constexpr size_t kCount = sizeof kFiles / sizeof kFiles[0];

std::mutex g_mutex;
std::string g_folder = ZQ_FW_FOLDER;
std::vector<uint8_t> g_images[kCount];

const ImageFile *Find(int type, size_t *index) {
  for (size_t i = 0; i < kCount; ++i) {
    if (kFiles[i].type == type) {
      if (index != nullptr) *index = i;
      return &kFiles[i];
    }
  }
  return nullptr;
}

// Reads exactly `size` bytes of the regular file at `path` into `out`.
int ReadExact(const std::string &path, uint16_t size, std::vector<uint8_t> *out) {
  // Non-blocking, so that a FIFO planted under the name cannot stall the open.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    BQ_LOG_ERROR_MSG(TAG, "bridge firmware file %s: %s; no firmware was sent.", path.c_str(),
                     std::strerror(errno));
    return BQ_ERROR_NOENT;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    BQ_LOG_ERROR_MSG(TAG, "bridge firmware file %s is not a regular file; no firmware was sent.",
                     path.c_str());
    close(fd);
    return BQ_ERROR_NOENT;
  }
  if (st.st_size != static_cast<off_t>(size)) {
    BQ_LOG_ERROR_MSG(TAG,
                     "bridge firmware file %s holds %lld bytes, %u expected; no firmware was sent.",
                     path.c_str(), static_cast<long long>(st.st_size), size);
    close(fd);
    return BQ_ERROR_IO;
  }
  std::vector<uint8_t> bytes(size);
  size_t got = 0;
  while (got < bytes.size()) {
    ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  if (got != bytes.size()) {
    BQ_LOG_ERROR_MSG(TAG, "bridge firmware file %s: short read; no firmware was sent.",
                     path.c_str());
    return BQ_ERROR_IO;
  }
  out->swap(bytes);
  return 0;
}

}  // namespace

extern "C" const char *zq_fw_images_FileName(int type) {
  const ImageFile *f = Find(type, nullptr);
  return f != nullptr ? f->name : nullptr;
}

extern "C" uint16_t zq_fw_images_Size(int type) {
  const ImageFile *f = Find(type, nullptr);
  return f != nullptr ? f->size : 0;
}

extern "C" int zq_fw_images_Load(int type, const uint8_t **image) {
  if (image == nullptr) return BQ_ERROR_NULL_POINTER;
  size_t index = 0;
  const ImageFile *f = Find(type, &index);
  if (f == nullptr) {
    BQ_LOG_ERROR_MSG(TAG, "sensor type %d has no bridge firmware image.", type);
    return BQ_ERROR_BAD_PARAMS;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  int r = ReadExact(g_folder + f->name, f->size, &g_images[index]);
  if (r != 0) return r;
  *image = g_images[index].data();
  return 0;
}

extern "C" void zq_fw_images_SetFolderForTest(const char *folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_folder = folder != nullptr ? folder : ZQ_FW_FOLDER;
}
