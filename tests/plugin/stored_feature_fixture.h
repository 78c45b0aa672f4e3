// A plug-in device and one stored feature, as the plug-in's reading of
// stored samples into prints (community_internal_create_fp_data) sees them.
#ifndef TESTS_PLUGIN_STORED_FEATURE_FIXTURE_H_
#define TESTS_PLUGIN_STORED_FEATURE_FIXTURE_H_

#include <string>
#include <utility>
#include <vector>

#include "biometric_common.h"
#include "biometric_storage.h"
#include "plugin/community_dev_priv.h"

namespace testing_support {

// A device whose private record holds the key text `key` and a print parser,
// and one feature of the zq4842 driver with one stored sample per text
// (numbered from 1). Frees the feature when it goes.
class StoredFeatureFixture {
 public:
  StoredFeatureFixture(std::string key, fp_print_data_from_data_fn parser,
                       fp_print_data_free_fn free_print, const std::vector<std::string> &texts)
      : key_(std::move(key)) {
    priv_.aes_key = key_.data();
    priv_.fp_print_data_from_data = parser;
    priv_.fp_print_data_free = free_print;
    dev_.dev_priv = &priv_;
    feature_ = bio_sto_new_feature_info(1000, 0, driver_, 0, name_);
    if (feature_ == nullptr) return;
    feature_sample **tail = &feature_->sample;
    int no = 1;
    for (const std::string &text : texts) {
      *tail = bio_sto_new_feature_sample(no++, nullptr);
      if (*tail == nullptr) break;
      (*tail)->data = bio_sto_new_str(const_cast<char *>(text.c_str()));
      tail = &(*tail)->next;
    }
  }
  ~StoredFeatureFixture() { bio_sto_free_feature_info_list(feature_); }
  StoredFeatureFixture(const StoredFeatureFixture &) = delete;
  StoredFeatureFixture &operator=(const StoredFeatureFixture &) = delete;

  // The device, its private record pointing at the key and the parser.
  bio_dev *dev() { return &dev_; }
  // The feature; null when the service could not allocate it.
  feature_info *feature() { return feature_; }

 private:
  std::string key_;
  char driver_[8] = "zq4842";
  char name_[8] = "finger";
  community_dev_priv priv_ = {};
  bio_dev dev_ = {};
  feature_info *feature_ = nullptr;
};

}  // namespace testing_support

#endif  // TESTS_PLUGIN_STORED_FEATURE_FIXTURE_H_
