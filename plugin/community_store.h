// Templates between the device library and the service's feature database:
// the copy step named encrypt/decrypt, galleries built from stored
// features, and the storing of enrolled and updated templates.
//
// A stored feature holds one sample whose data is the base64 text of the
// print's "FP2" byte form. A gallery is a NULL-terminated array of prints,
// one per stored sample that decodes and parses, in list order (features in
// list order, each feature's samples in order).
#ifndef PLUGIN_COMMUNITY_STORE_H_
#define PLUGIN_COMMUNITY_STORE_H_

#include "biometric_common.h"
#include "plugin/community_dev_priv.h"

#ifdef __cplusplus
#include <vector>
extern "C" {
#endif

// Copies `len` bytes from src to dst. 0; -1 without copying when src, key
// or dst is NULL or len is negative.
int community_internal_aes_encrypt(const void *src, int len, const void *key, void *dst);
// The same copy on the way back.
int community_internal_aes_decrypt(const void *src, int len, const void *key, void *dst);

// Decodes the base64 text[0..len-1] (standard alphabet, groups of four, the
// last ending in at most two '=') into out, which holds len / 4 * 3 bytes;
// the bytes written, or -1 when the text is not of that form (out may then
// be partly written). The bits below the last byte of a padded group are
// not used.
long community_internal_base64_decode(const char *text, size_t len, unsigned char *out);

// New gallery of the samples of `list`. A sample that does not decode or
// parse is skipped with a log line; the others are still used. A NULL list
// gives a gallery holding only the terminator. NULL when out of memory.
struct fp_print_data **community_internal_create_fp_data(bio_dev *dev, feature_info *list);
// Frees each print of the gallery and the array; NULL is ignored.
void community_internal_free_fp_data(bio_dev *dev, struct fp_print_data **gallery);

// Logs the number of samples and of fingerprint samples (biometric type 0)
// in `list`; returns the latter.
int community_internal_get_feature_length(feature_info *list);

// Turns `print` into its stored text (base64 of the copied "FP2" blob) and
// frees it. A new NUL-terminated text, or NULL when the print gives no bytes.
char *community_internal_print_to_text(bio_dev *dev, struct fp_print_data *print);

// Stores `print` (freed here) as finger `index` of user `uid` named
// `index_name`, with one sample numbered 1. 0, or -1 when nothing could be
// stored.
int community_internal_store_print(bio_dev *dev, struct fp_print_data *print, int uid,
                                   int index, char *index_name);

// Fetches the device library's updated template of the last match and
// replaces the stored sample of `feature` with it. A failed update leaves
// the stored sample as it was. Returns 0.
int community_internal_template_update(bio_dev *dev, feature_info *feature);

#ifdef __cplusplus
}  // extern "C"

namespace community {

// A gallery with, for each print, the position of its sample among all
// samples of the list it was built from.
struct Gallery {
  std::vector<struct fp_print_data *> prints;  // NULL-terminated
  std::vector<int> sample_index;               // one per print

  // Number of prints, the terminator not counted.
  size_t size() const { return sample_index.size(); }
  struct fp_print_data **data() { return prints.data(); }
};

// Builds the gallery of `list`, skipping samples that do not decode or parse.
Gallery BuildGallery(bio_dev *dev, feature_info *list);
// Frees the prints of the gallery and empties it.
void FreeGallery(bio_dev *dev, Gallery &gallery);
// The feature owning sample number `sample` (0-based over the whole list)
// and that sample; {NULL, NULL} when the list is shorter.
std::pair<feature_info *, feature_sample *> SampleAt(feature_info *list, int sample);

}  // namespace community
#endif

#endif  // PLUGIN_COMMUNITY_STORE_H_
