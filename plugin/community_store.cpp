#include "plugin/community_store.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "plugin/community_log.h"
#include "plugin/community_ops.h"

namespace {

bool is_base64_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

// The largest print the device library writes: its 10-byte head, one item
// length word and one template item (a 7-byte head and at most 1 MiB of
// template).
constexpr size_t kLargestPrintBytes = 10 + 4 + 7 + 1048576;

// True for a complete base64 text: groups of four alphabet characters, the
// last group ending in at most two '='.
bool is_base64_text(const char *text, size_t len) {
  if (len == 0 || len % 4 != 0) return false;
  size_t pad = 0;
  if (text[len - 1] == '=') ++pad;
  if (pad == 1 && text[len - 2] == '=') ++pad;
  for (size_t i = 0; i < len - pad; ++i)
    if (!is_base64_char(text[i])) return false;
  return true;
}

// Bytes a base64 text of `len` characters (a multiple of four, at least
// four) decodes to.
size_t base64_decoded_size(const char *text, size_t len) {
  size_t pad = text[len - 1] == '=' ? (text[len - 2] == '=' ? 2 : 1) : 0;
  return len / 4 * 3 - pad;
}

// The print stored in one sample, or NULL (logged) when it does not decode
// or parse.
struct fp_print_data *sample_to_print(community_dev_priv *priv, const feature_info *feature,
                                      const feature_sample *sample) {
  const char *data = sample->data;
  size_t len = data != nullptr ? std::strlen(data) : 0;
  struct fp_print_data *print = nullptr;
  if (len >= 4 && len % 4 == 0 && base64_decoded_size(data, len) > kLargestPrintBytes) {
    // No print of the library is this large: not decoded at all.
    bio_print_warning(community_text("Skipping the stored sample %d of user %d, finger %d: %zu "
                                     "bytes, larger than any template\n"),
                      sample->no, feature->uid, feature->index, base64_decoded_size(data, len));
    return nullptr;
  }
  if (is_base64_text(data, len) && len < static_cast<size_t>(INT_MAX)) {
    auto *raw = static_cast<unsigned char *>(std::calloc(len, 1));
    // The same bytes as the service's bio_base64_decode, over a hundred
    // times faster: a stored template is hundreds of kilobytes of text and
    // every verify and identify decodes every stored sample.
    const long n = raw != nullptr ? community_internal_base64_decode(data, len, raw) : -1;
    if (n > 0 && static_cast<size_t>(n) <= len) {
      auto *plain = static_cast<unsigned char *>(std::calloc(static_cast<size_t>(n), 1));
      if (plain != nullptr &&
          community_internal_aes_decrypt(raw, static_cast<int>(n), priv->aes_key, plain) == 0)
        print = priv->fp_print_data_from_data(plain, static_cast<size_t>(n));
      std::free(plain);
    }
    std::free(raw);
  }
  if (print == nullptr)
    bio_print_warning(
        community_text("Skipping the stored sample %d of user %d, finger %d: not a template\n"),
        sample->no, feature->uid, feature->index);
  return print;
}

// A new feature with one sample, number 1, holding a copy of `text`.
feature_info *new_stored_feature(int uid, int biotype, char *driver, int index, char *index_name,
                                 char *text) {
  feature_info *feature = bio_sto_new_feature_info(uid, biotype, driver, index, index_name);
  if (feature == nullptr) return nullptr;
  feature->sample = bio_sto_new_feature_sample(-1, nullptr);
  if (feature->sample == nullptr) {
    bio_sto_free_feature_info_list(feature);
    return nullptr;
  }
  feature->sample->no = 1;
  feature->sample->data = bio_sto_new_str(text);
  return feature;
}

}  // namespace

namespace community {

Gallery BuildGallery(bio_dev *dev, feature_info *list) {
  community_dev_priv *priv = community_priv(dev);
  Gallery gallery;
  int index = 0;
  for (feature_info *f = list; f != nullptr; f = f->next) {
    for (feature_sample *s = f->sample; s != nullptr; s = s->next, ++index) {
      struct fp_print_data *print = sample_to_print(priv, f, s);
      if (print == nullptr) continue;
      // The device library names a print it cannot use by this position.
      bio_print_info("Gallery position %d: sample %d of user %d, finger %d\n",
                      static_cast<int>(gallery.prints.size()), s->no, f->uid, f->index);
      gallery.prints.push_back(print);
      gallery.sample_index.push_back(index);
    }
  }
  gallery.prints.push_back(nullptr);
  return gallery;
}

void FreeGallery(bio_dev *dev, Gallery &gallery) {
  community_dev_priv *priv = community_priv(dev);
  for (struct fp_print_data *print : gallery.prints)
    if (print != nullptr) priv->fp_print_data_free(print);
  gallery.prints.assign(1, nullptr);
  gallery.sample_index.clear();
}

std::pair<feature_info *, feature_sample *> SampleAt(feature_info *list, int sample) {
  int index = 0;
  for (feature_info *f = list; f != nullptr; f = f->next)
    for (feature_sample *s = f->sample; s != nullptr; s = s->next, ++index)
      if (index == sample) return {f, s};
  return {nullptr, nullptr};
}

}  // namespace community

extern "C" {

int community_internal_aes_encrypt(const void *src, int len, const void *key, void *dst) {
  if (src == nullptr || key == nullptr || dst == nullptr || len < 0) return -1;
  std::memcpy(dst, src, static_cast<size_t>(len));
  return 0;
}

int community_internal_aes_decrypt(const void *src, int len, const void *key, void *dst) {
  return community_internal_aes_encrypt(src, len, key, dst);
}

struct fp_print_data **community_internal_create_fp_data(bio_dev *dev, feature_info *list) {
  community::Gallery gallery = community::BuildGallery(dev, list);
  auto **array = static_cast<struct fp_print_data **>(
      std::calloc(gallery.prints.size(), sizeof(struct fp_print_data *)));
  if (array == nullptr) {
    community::FreeGallery(dev, gallery);
    return nullptr;
  }
  std::memcpy(array, gallery.prints.data(), gallery.prints.size() * sizeof array[0]);
  return array;
}

void community_internal_free_fp_data(bio_dev *dev, struct fp_print_data **gallery) {
  if (gallery == nullptr) return;
  community_dev_priv *priv = community_priv(dev);
  for (int i = 0; gallery[i] != nullptr; ++i) priv->fp_print_data_free(gallery[i]);
  std::free(gallery);
}

int community_internal_get_feature_length(feature_info *list) {
  int total = 0;
  int fingers = 0;
  for (feature_info *f = list; f != nullptr; f = f->next) {
    for (feature_sample *s = f->sample; s != nullptr; s = s->next) {
      ++total;
      if (f->biotype == BioT_FingerPrint) ++fingers;
    }
  }
  bool one = total <= 1;
  fpi_log(COMMUNITY_LOG_INFO, "community", "[%4d]:there %s %d template%s loaded.", __LINE__,
          one ? "is" : "are", total, one ? "" : "s");
  fpi_log(COMMUNITY_LOG_INFO, "community", "[%4d]:wkr check there are %d fingers in this",
          __LINE__, fingers);
  return fingers;
}

char *community_internal_print_to_text(bio_dev *dev, struct fp_print_data *print) {
  community_dev_priv *priv = community_priv(dev);
  unsigned char *blob = nullptr;
  size_t size = priv->fp_print_data_get_data(print, &blob);
  priv->fp_print_data_free(print);
  char *text = nullptr;
  if (blob != nullptr && size > 0 && size <= static_cast<size_t>(INT_MAX / 2)) {
    auto *copy = static_cast<unsigned char *>(std::calloc(size, 1));
    if (copy != nullptr &&
        community_internal_aes_encrypt(blob, static_cast<int>(size), priv->aes_key, copy) == 0) {
      // Four characters per started group of three bytes, and the NUL.
      text = static_cast<char *>(std::calloc((size + 2) / 3 * 4 + 1, 1));
      if (text != nullptr) bio_base64_encode(copy, text, static_cast<int>(size));
    }
    std::free(copy);
  }
  std::free(blob);
  return text;
}

int community_internal_store_print(bio_dev *dev, struct fp_print_data *print, int uid, int index,
                                   char *index_name) {
  char *text = community_internal_print_to_text(dev, print);
  if (text == nullptr) return -1;
  feature_info *feature = new_stored_feature(uid, dev->bioinfo.biotype, dev->device_name, index,
                                             index_name, text);
  int r = -1;
  if (feature != nullptr) {
    print_feature_info(feature);
    sqlite3 *db = bio_sto_connect_db();
    if (db != nullptr) {
      r = bio_sto_set_feature_info(db, feature);
      bio_sto_disconnect_db(db);
    }
    bio_sto_free_feature_info_list(feature);
  }
  std::free(text);
  return r == 0 ? 0 : -1;
}

int community_internal_template_update(bio_dev *dev, feature_info *feature) {
  community_dev_priv *priv = community_priv(dev);
  struct fp_print_data *print = nullptr;
  int slot = 0;
  if (priv->fp_template_data_update(&print, &slot) != 0 || print == nullptr) return 0;
  char *text = community_internal_print_to_text(dev, print);
  if (text == nullptr) return 0;
  feature_info *updated = new_stored_feature(feature->uid, feature->biotype, dev->device_name,
                                             feature->index, feature->index_name, text);
  if (updated != nullptr) {
    sqlite3 *db = bio_sto_connect_db();
    if (db != nullptr) {
      bio_sto_clean_feature_info(db, feature->uid, dev->bioinfo.biotype, dev->device_name,
                                 feature->index, feature->index);
      bio_sto_set_feature_info(db, updated);
      bio_sto_disconnect_db(db);
    }
    bio_print_debug("feature info update:\n");
    print_feature_info(updated);
    bio_sto_free_feature_info_list(updated);
  }
  std::free(text);
  return 0;
}

}  // extern "C"
