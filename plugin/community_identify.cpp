// Verify, identify and search: asynchronous identifications against a
// gallery of stored templates, with the matched template updated after
// every match.
#include <climits>
#include <cstdio>

#include "plugin/community_log.h"
#include "plugin/community_ops.h"
#include "plugin/community_store.h"

namespace {

constexpr int kNotifyRetry = 1100;
constexpr int kNotifyStart = 1105;

// fp_verify_result codes.
constexpr int kNoMatch = 0;
constexpr int kMatch = 1;
constexpr int kRetry = 100;
constexpr int kRetryLast = 103;

bool stop_requested(bio_dev *dev) { return bio_get_dev_status(dev) % 100 == 2; }

void debug_notify(bio_dev *dev) {
  const char *text = bio_get_notify_mid_mesg(dev);
  bio_print_debug("%s\n", text != nullptr ? text : "");
}

// Sets the operation result and the notify code together.
void outcome(bio_dev *dev, int code) {
  bio_set_ops_abs_result(dev, code);
  bio_set_notify_abs_mid(dev, code);
}

// The outcome code of a failed identification, from the operation's match
// code: + 1 for a failure (-1), + 3 when stopped (-3), + 4 at the time-out
// (-2); 0 for any other value.
int failure_code(int m, int match_code) {
  switch (m) {
    case -1: return match_code + 1;
    case -2: return match_code + 4;
    case -3: return match_code + 3;
    default: return 0;
  }
}

// Ends an operation whose device was unplugged: the device is released and
// the service hears of the operation's error (`error_code`) with its text.
// No stored template is touched.
void end_unplugged(bio_dev *dev, int error_code) {
  community_internal_release_unplugged(dev);
  bio_print_warning("%s\n", bio_get_notify_mid_mesg(dev));
  bio_set_ops_abs_result(dev, error_code);
}

feature_info *read_features(bio_dev *dev, int uid, int idx_start, int idx_end) {
  sqlite3 *db = bio_sto_connect_db();
  if (db == nullptr) return nullptr;
  feature_info *list =
      bio_sto_get_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, idx_start, idx_end);
  bio_sto_disconnect_db(db);
  return list;
}

// Prints one feature of a list.
void print_one(feature_info *feature) {
  feature_info *next = feature->next;
  feature->next = nullptr;
  print_feature_info(feature);
  feature->next = next;
}

// Runs one identification over the gallery from `offset` on and turns its
// match offset into a gallery position. A position past the gallery is an
// error (-1): it names no stored template.
int identify_from(bio_dev *dev, community::Gallery &gallery, size_t offset) {
  int m = community_internal_identify(dev, gallery.data() + offset);
  if (m < 0) return m;
  size_t at = offset + static_cast<size_t>(m);
  if (at >= gallery.size()) {
    bio_print_warning(community_text("Match offset %d is past the %d stored templates\n"), m,
                      static_cast<int>(gallery.size() - offset));
    return -1;
  }
  return static_cast<int>(at);
}

// The stored feature of gallery position `at`, and its sample.
std::pair<feature_info *, feature_sample *> matched(feature_info *list,
                                                    const std::vector<int> &sample_index,
                                                    int at) {
  return community::SampleAt(list, sample_index[static_cast<size_t>(at)]);
}

// Identifies once over the whole gallery of `list`; the matched gallery
// position, or -1, -2, -3. The matched feature's template is updated.
int identify_list(bio_dev *dev, feature_info *list, feature_info **found) {
  community::Gallery gallery = community::BuildGallery(dev, list);
  bio_set_notify_abs_mid(dev, kNotifyStart);
  debug_notify(dev);
  int at = identify_from(dev, gallery, 0);
  std::vector<int> sample_index = gallery.sample_index;
  community::FreeGallery(dev, gallery);
  if (at < 0) return at;
  feature_info *feature = matched(list, sample_index, at).first;
  bio_print_debug("%s", community_text("Find the following feature matching:\n"));
  print_one(feature);
  community_internal_template_update(dev, feature);
  *found = feature;
  return at;
}

}  // namespace

extern "C" {

void community_internal_identify_cb(struct fp_dev * /*fdev*/, int result, size_t match_offset,
                                    struct fp_img * /*img*/, void *user_data) {
  auto *dev = static_cast<bio_dev *>(user_data);
  community_dev_priv *priv = community_priv(dev);
  int outcome_value = -1;
  if (result < 0) {
    priv->library_error = 1;
    std::snprintf(priv->message, sizeof priv->message,
                  community_text("Unknown error, error code: %d"), result);
    bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
    bio_print_warning("%s\n", bio_get_notify_mid_mesg(dev));
  } else if (result == kNoMatch) {
    bio_set_notify_mid(dev, NOTIFY_COMM_NO_MATCH);
    debug_notify(dev);
  } else if (result == kMatch) {
    bio_set_notify_mid(dev, NOTIFY_COMM_SUCCESS);
    debug_notify(dev);
    // An offset beyond any gallery stays beyond it.
    outcome_value = match_offset > static_cast<size_t>(INT_MAX) ? INT_MAX
                                                                 : static_cast<int>(match_offset);
  } else if (result >= kRetry && result <= kRetryLast) {
    bio_set_notify_abs_mid(dev, kNotifyRetry + (result - kRetry));
    debug_notify(dev);
  }
  priv->result = outcome_value;
  priv->done = 1;
}

int community_internal_identify(bio_dev *dev, struct fp_print_data **gallery) {
  community_dev_priv *priv = community_priv(dev);
  priv->library_error = 0;
  if (community_internal_device_gone(dev)) {
    priv->done = 1;
    return COMMUNITY_RESULT_UNPLUGGED;
  }
  // A stop that arrived before the start (between two passes of a search).
  if (stop_requested(dev)) {
    bio_print_warning("position 2 exit identify mode manually\n");
    priv->done = 0;
    priv->result = -3;
    return -3;
  }
  // Device initialisation leaves done at 1, and a previous identification
  // its match offset: neither may end or decide this one.
  priv->done = 0;
  priv->result = -1;
  if (priv->fp_async_identify_start(priv->dev, gallery, community_internal_identify_cb, dev) < 0) {
    if (community_internal_confirm_unplugged(dev)) return COMMUNITY_RESULT_UNPLUGGED;
    bio_print_error(community_text("Failed to call function %s\n"), "community_internal_identify");
    return -1;
  }
  community_internal_interactive_waiting(dev);
  community_internal_identify_stop(dev);
  // A match stands, whatever happened to the device since.
  if (priv->result >= 0) return priv->result;
  if (priv->unplugged || (priv->library_error && community_internal_confirm_unplugged(dev)))
    return COMMUNITY_RESULT_UNPLUGGED;
  return priv->result;
}

int community_ops_verify(bio_dev *dev, OpsActions action, int uid, int idx) {
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return -1;
  }
  if (action != ACTION_START) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_VERIFY_STOP_BY_USER);
    return -1;
  }
  bio_set_dev_status(dev, DEVS_VERIFY_DOING);
  if (community_internal_device_gone(dev)) {
    end_unplugged(dev, OPS_VERIFY_ERROR);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  feature_info *list = read_features(dev, uid, idx, idx);
  print_feature_info(list);
  feature_info *found = nullptr;
  int at = identify_list(dev, list, &found);
  if (at >= 0)
    outcome(dev, OPS_VERIFY_MATCH);
  else if (at == COMMUNITY_RESULT_UNPLUGGED)
    end_unplugged(dev, OPS_VERIFY_ERROR);
  else if (int code = failure_code(at, OPS_VERIFY_MATCH))
    outcome(dev, code);
  bio_sto_free_feature_info_list(list);
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return -1;
}

int community_ops_identify(bio_dev *dev, OpsActions action, int uid, int idx_start,
                           int idx_end) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return -1;
  }
  if (action != ACTION_START) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_IDENTIFY_STOP_BY_USER);
    return -1;
  }
  bio_set_dev_status(dev, DEVS_IDENTIFY_DOING);
  if (community_internal_device_gone(dev)) {
    end_unplugged(dev, OPS_IDENTIFY_ERROR);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  feature_info *list = read_features(dev, uid, idx_start, idx_end);
  print_feature_info(list);
  if (list == nullptr) {
    bio_print_info("Fingerprint feature list is empty, please use password authentication\n");
    bio_set_ops_abs_result(dev, OPS_GET_FLIST_FAIL);
    std::snprintf(
        priv->message, sizeof priv->message, "%s",
        community_text("Fingerprint feature list is empty, please use password authentication"));
    bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  if (stop_requested(dev)) {
    bio_print_warning("position 1 exit identify mode manually\n");
    bio_sto_free_feature_info_list(list);
    outcome(dev, OPS_IDENTIFY_STOP_BY_USER);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  feature_info *found = nullptr;
  int at = identify_list(dev, list, &found);
  int uid_found = -1;
  if (at >= 0) {
    uid_found = found->uid;
    outcome(dev, OPS_IDENTIFY_MATCH);
  } else if (at == COMMUNITY_RESULT_UNPLUGGED) {
    end_unplugged(dev, OPS_IDENTIFY_ERROR);
  } else if (int code = failure_code(at, OPS_IDENTIFY_MATCH)) {
    outcome(dev, code);
  }
  bio_sto_free_feature_info_list(list);
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return uid_found;
}

feature_info *community_ops_search(bio_dev *dev, OpsActions action, int uid, int idx_start,
                                   int idx_end) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return nullptr;
  }
  if (action != ACTION_START) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_SEARCH_STOP_BY_USER);
    return nullptr;
  }
  bio_set_dev_status(dev, DEVS_SEARCH_DOING);
  if (community_internal_device_gone(dev)) {
    end_unplugged(dev, OPS_SEARCH_ERROR);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return nullptr;
  }
  feature_info *list = read_features(dev, uid, idx_start, idx_end);
  print_feature_info(list);
  community::Gallery gallery = community::BuildGallery(dev, list);
  bio_set_notify_abs_mid(dev, kNotifyStart);
  debug_notify(dev);

  feature_info *results = nullptr;
  feature_info **tail = &results;
  size_t offset = 0;
  int found = 0;
  for (;;) {
    int at = identify_from(dev, gallery, offset);
    if (at < 0) {
      // The fingers found before the device went are still the answer.
      if (results != nullptr) {
        if (at == COMMUNITY_RESULT_UNPLUGGED) community_internal_device_free(dev);
        break;
      }
      if (at == COMMUNITY_RESULT_UNPLUGGED)
        end_unplugged(dev, OPS_SEARCH_ERROR);
      else if (int code = failure_code(at, OPS_SEARCH_MATCH))
        outcome(dev, code);
      community::FreeGallery(dev, gallery);
      bio_sto_free_feature_info_list(list);
      bio_set_dev_status(dev, DEVS_COMM_IDLE);
      return nullptr;
    }
    auto [feature, sample] = matched(list, gallery.sample_index, at);
    feature_info *copy = bio_sto_new_feature_info(feature->uid, feature->biotype, feature->driver,
                                                  feature->index, feature->index_name);
    if (copy != nullptr) {
      copy->sample = bio_sto_new_feature_sample(sample->no, nullptr);
      if (copy->sample != nullptr) copy->sample->data = bio_sto_new_str(sample->data);
    }
    int m = at - static_cast<int>(offset);
    bio_print_debug("Search from offset %d, index %d has been searched, global index %d(%d + %d)\n",
                    static_cast<int>(offset), m, at, static_cast<int>(offset), m);
    ++found;
    std::snprintf(priv->message, sizeof priv->message,
                  community_text("The %d feature has been searched(Index = %d, Index Name = %s), "
                                 "please press your finger to continue the search"),
                  found, feature->index + 1,
                  feature->index_name != nullptr ? feature->index_name : "");
    bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
    debug_notify(dev);
    community_internal_template_update(dev, feature);
    if (copy != nullptr) {
      *tail = copy;
      tail = &copy->next;
    }
    offset = static_cast<size_t>(at) + 1;
    if (offset >= gallery.size()) break;
  }
  community::FreeGallery(dev, gallery);
  bio_sto_free_feature_info_list(list);
  bio_print_debug("%s", community_text("Find the following feature matching:\n"));
  print_feature_info(results);
  outcome(dev, OPS_SEARCH_MATCH);
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return results;
}

}  // extern "C"
