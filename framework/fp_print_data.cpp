// The print record and its "FP2" byte form (which also reads "FP1").
#include "framework/fpi_print_data.h"

#include <cstdlib>
#include <cstring>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"

namespace {

void PutLe(unsigned char *out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; i++) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetLe(const unsigned char *in, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; i++) value |= static_cast<uint32_t>(in[i]) << (8 * i);
  return value;
}

struct fp_print_data_item *ItemFromBytes(const unsigned char *bytes, size_t length) {
  struct fp_print_data_item *item = fpi_print_data_item_new(length);
  if (item != nullptr && length > 0) std::memcpy(item->data, bytes, length);
  return item;
}

}  // namespace

extern "C" struct fp_print_data *fpi_print_data_new_fields(uint16_t driver_id,
                                                           uint32_t devtype, int type) {
  auto *data = static_cast<struct fp_print_data *>(g_malloc0(sizeof(struct fp_print_data)));
  data->driver_id = driver_id;
  data->devtype = devtype;
  data->type = type;
  return data;
}

extern "C" struct fp_print_data *fpi_print_data_new(struct fp_dev *dev) {
  return fpi_print_data_new_fields(dev->driver->id, dev->devtype,
                                   fpi_driver_get_data_type(dev->driver));
}

extern "C" struct fp_print_data_item *fpi_print_data_item_new(size_t length) {
  if (length > SIZE_MAX - sizeof(struct fp_print_data_item)) return nullptr;
  auto *item = static_cast<struct fp_print_data_item *>(
      std::calloc(1, sizeof(struct fp_print_data_item) + length));
  if (item != nullptr) item->length = length;
  return item;
}

extern "C" void fp_print_data_free(struct fp_print_data *data) {
  if (data == nullptr) return;
  g_slist_free_full(data->prints, std::free);
  g_free(data);
}

extern "C" uint16_t fp_print_data_get_driver_id(struct fp_print_data *data) {
  return data->driver_id;
}

extern "C" uint32_t fp_print_data_get_devtype(struct fp_print_data *data) {
  return data->devtype;
}

extern "C" size_t fp_print_data_get_data(struct fp_print_data *data, unsigned char **ret) {
  *ret = nullptr;
  size_t total = FP_PRINT_BLOB_HEADER;
  for (GSList *l = data->prints; l != nullptr; l = l->next) {
    size_t length = static_cast<struct fp_print_data_item *>(l->data)->length;
    // Each item length travels in 4 bytes.
    if (length > UINT32_MAX || length > SIZE_MAX - total - 4) {
      fp_err("print item of %zu bytes does not fit a blob", length);
      return 0;
    }
    total += 4 + length;
  }
  auto *buf = static_cast<unsigned char *>(std::malloc(total));
  if (buf == nullptr) return 0;
  std::memcpy(buf, "FP2", 3);
  PutLe(buf + 3, data->driver_id, 2);
  PutLe(buf + 5, data->devtype, 4);
  buf[9] = static_cast<unsigned char>(data->type);
  unsigned char *pos = buf + FP_PRINT_BLOB_HEADER;
  for (GSList *l = data->prints; l != nullptr; l = l->next) {
    auto *item = static_cast<struct fp_print_data_item *>(l->data);
    PutLe(pos, item->length, 4);
    if (item->length > 0) std::memcpy(pos + 4, item->data, item->length);
    pos += 4 + item->length;
  }
  *ret = buf;
  return total;
}

// Reads the items of an FP2 blob after its header, each put at the head of
// the list; stops at the first length that runs past the end.
static void fpi_print_data_from_fp2_data(struct fp_print_data *data,
                                         const unsigned char *buf, size_t buflen) {
  size_t pos = FP_PRINT_BLOB_HEADER;
  while (buflen - pos >= 4) {
    size_t length = GetLe(buf + pos, 4);
    pos += 4;
    if (length > buflen - pos) {
      fp_err("corrupted fingerprint data");
      break;
    }
    struct fp_print_data_item *item = ItemFromBytes(buf + pos, length);
    if (item == nullptr) break;
    data->prints = g_slist_prepend(data->prints, item);
    pos += length;
  }
}

extern "C" struct fp_print_data *fp_print_data_from_data(const unsigned char *buf,
                                                         size_t buflen) {
  if (buf == nullptr || buflen <= 9) return nullptr;
  bool fp1 = std::memcmp(buf, "FP1", 3) == 0;
  if (!fp1 && std::memcmp(buf, "FP2", 3) != 0) {
    fp_err("bad header prefix");
    return nullptr;
  }
  struct fp_print_data *data = fpi_print_data_new_fields(
      static_cast<uint16_t>(GetLe(buf + 3, 2)), GetLe(buf + 5, 4), buf[9]);
  if (fp1) {
    struct fp_print_data_item *item =
        ItemFromBytes(buf + FP_PRINT_BLOB_HEADER, buflen - FP_PRINT_BLOB_HEADER);
    if (item != nullptr) data->prints = g_slist_prepend(data->prints, item);
  } else {
    fpi_print_data_from_fp2_data(data, buf, buflen);
  }
  if (data->prints == nullptr) {
    fp_print_data_free(data);
    return nullptr;
  }
  return data;
}

extern "C" const char *fpi_finger_name(int finger) {
  static const char *const names[] = {
      "left thumb",  "left index",  "left middle",  "left ring",  "left little",
      "right thumb", "right index", "right middle", "right ring", "right little",
  };
  if (finger < 1 || finger > 10) return "UNKNOWN";
  return names[finger - 1];
}
