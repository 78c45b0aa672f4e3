// libFuzzer target: random bytes into the print blob parser. Whatever it
// accepts must serialise and parse back consistently.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "framework/fpdev.h"
#include "framework/fpi_print_data.h"

namespace {

struct Blob {
  unsigned char *data = nullptr;
  size_t size = 0;
  explicit Blob(fp_print_data *print) { size = fp_print_data_get_data(print, &data); }
  ~Blob() { std::free(data); }
  bool operator==(const Blob &other) const {
    return size == other.size && std::memcmp(data, other.data, size) == 0;
  }
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fp_print_data *print = fp_print_data_from_data(data, size);
  if (print == nullptr) return 0;

  size_t payload = 0;
  for (GSList *l = print->prints; l != nullptr; l = l->next)
    payload += static_cast<fp_print_data_item *>(l->data)->length;
  Check(payload + 10 <= size);

  // Each read reverses the item order, so two round trips restore the blob.
  Blob first(print);
  Check(first.data != nullptr && first.size >= 10);
  fp_print_data *reversed = fp_print_data_from_data(first.data, first.size);
  Check(reversed != nullptr);
  Check(fp_print_data_get_driver_id(reversed) == fp_print_data_get_driver_id(print));
  Check(fp_print_data_get_devtype(reversed) == fp_print_data_get_devtype(print));
  Check(g_slist_length(reversed->prints) == g_slist_length(print->prints));
  Blob second(reversed);
  fp_print_data *restored = fp_print_data_from_data(second.data, second.size);
  Check(restored != nullptr);
  Blob third(restored);
  Check(third == first);

  fp_print_data_free(restored);
  fp_print_data_free(reversed);
  fp_print_data_free(print);
  return 0;
}
