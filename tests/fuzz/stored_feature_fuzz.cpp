// libFuzzer target: random text as the stored samples of one feature, read
// back from the service's database into prints (base64 text, the copy step,
// the print blob parser). The input is split at newlines into up to four
// samples. No sample may crash the gallery, and the gallery holds at most one
// print per sample, ended by NULL.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "biometric_common.h"
#include "biometric_storage.h"
#include "plugin/community_ops.h"
#include "plugin/community_store.h"
#include "plugin/stored_feature_fixture.h"

extern "C" struct fp_print_data *fp_print_data_from_data(const unsigned char *buf, size_t buflen);
extern "C" void fp_print_data_free(struct fp_print_data *data);

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// The device library's parser behind the plug-in's slot type (the plug-in
// reaches it through dlsym).
struct fp_print_data *FromData(unsigned char *buf, size_t len) {
  return fp_print_data_from_data(buf, len);
}

}  // namespace

// The service prints nothing below its error level.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("BIO_PRINT_LEVEL", "3", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<std::string> texts(1);
  for (size_t i = 0; i < size && texts.size() <= 4; ++i) {
    if (data[i] == '\n') {
      texts.emplace_back();
    } else if (data[i] != '\0') {
      texts.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (texts.size() > 4) texts.resize(4);

  testing_support::StoredFeatureFixture stored("fuzz-key", FromData, fp_print_data_free, texts);
  if (stored.feature() == nullptr) return 0;
  struct fp_print_data **gallery = community_internal_create_fp_data(stored.dev(), stored.feature());
  if (gallery != nullptr) {
    size_t n = 0;
    while (gallery[n] != nullptr) ++n;
    Check(n <= texts.size());
    community_internal_free_fp_data(stored.dev(), gallery);
  }
  return 0;
}
