// The enrol operation: the user's stored templates go to the device
// library first, then one asynchronous enrolment runs to its end and the
// finished print is stored.
#include <cstdio>

#include "plugin/community_log.h"
#include "plugin/community_ops.h"
#include "plugin/community_store.h"

namespace {

// Most fingers one user may have stored.
constexpr int kMaxFingers = 9;
constexpr int kModuleWithTemplateStore = 1;
constexpr int kOpsCommunicationFailure = 2002;
constexpr int kOpsMaxFingers = 2003;
constexpr int kNotifyComplete = 1001;
constexpr int kNotifyFail = 1002;
constexpr int kNotifyRetry = 1100;
constexpr int kNotifyStart = 1105;

// fp_enroll_result codes.
constexpr int kEnrollComplete = 1;
constexpr int kEnrollFail = 2;
constexpr int kEnrollPass = 3;
constexpr int kEnrollRetry = 100;
constexpr int kEnrollRetryLast = 103;

// Writes the plug-in's own message and shows it (notify 1106).
void notify_message(bio_dev *dev, const char *format, int value) {
  community_dev_priv *priv = community_priv(dev);
  std::snprintf(priv->message, sizeof priv->message, format, value);
  bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
}

void notify_text(bio_dev *dev, const char *text) {
  community_dev_priv *priv = community_priv(dev);
  std::snprintf(priv->message, sizeof priv->message, "%s", text);
  bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
}

void debug_notify(bio_dev *dev) {
  const char *text = bio_get_notify_mid_mesg(dev);
  bio_print_debug("%s\n", text != nullptr ? text : "");
}

// Refuses the enrolment with a custom result and its text.
int refuse(bio_dev *dev, int result, const char *text) {
  bio_set_ops_abs_result(dev, result);
  notify_text(dev, community_text(text));
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return -1;
}

// Ends an enrolment whose device was unplugged: nothing is stored, the
// device is released, and the service hears of an error with its text.
int end_unplugged(bio_dev *dev) {
  community_internal_release_unplugged(dev);
  bio_print_warning("%s\n", bio_get_notify_mid_mesg(dev));
  bio_set_ops_result(dev, OPS_COMM_ERROR);
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return -1;
}

}  // namespace

extern "C" {

void community_internal_enroll_cb(struct fp_dev * /*fdev*/, int result,
                                  struct fp_print_data *print, struct fp_img * /*img*/,
                                  void *user_data) {
  auto *dev = static_cast<bio_dev *>(user_data);
  community_dev_priv *priv = community_priv(dev);
  // The print is ours from here on; only a COMPLETE keeps it.
  if (print != nullptr && result != kEnrollComplete) {
    priv->fp_print_data_free(print);
    print = nullptr;
  }
  if (result < 0) {
    // The enrolment's stop follows the wait; stopping here as well would stop
    // the library twice.
    notify_message(dev, community_text("Unknown error, error code: %d"), result);
    debug_notify(dev);
    priv->library_error = 1;
    priv->result = -1;
    priv->done = 1;
    return;
  }
  community_internal_timeout_tv_update(dev);
  if (result == kEnrollComplete && print != nullptr) {
    bio_set_notify_abs_mid(dev, kNotifyComplete);
    debug_notify(dev);
    if (priv->enrolled_print != nullptr) priv->fp_print_data_free(priv->enrolled_print);
    priv->enrolled_print = print;
    priv->result = 0;
    priv->done = 1;
  } else if (result == kEnrollComplete) {
    notify_text(dev, community_text("Enroll failed: The feature was successfully sampled, but the "
                                    "encoding of the sampling feature could not be generated"));
    debug_notify(dev);
    priv->result = -1;
    priv->done = 1;
  } else if (result == kEnrollFail) {
    bio_set_notify_abs_mid(dev, kNotifyFail);
    debug_notify(dev);
    priv->result = -1;
    priv->done = 1;
  } else if (result == kEnrollPass) {
    int stages = priv->nr_enroll_stages;
    int percent = stages > 0 ? priv->enroll_stage * 100 / stages : 0;
    notify_message(dev,
                   community_text("Sampling progress [%d%%], in the next sampling: please press "
                                  "and lift your finger"),
                   percent);
    debug_notify(dev);
    ++priv->enroll_stage;
  } else if (result >= kEnrollRetry && result <= kEnrollRetryLast) {
    bio_set_notify_abs_mid(dev, kNotifyRetry + (result - kEnrollRetry));
    debug_notify(dev);
    priv->result = -1;
  } else {
    priv->result = -1;
  }
}

int community_internal_enroll(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  // Device initialisation leaves done at 1, and a previous operation its
  // result: neither may end this wait.
  priv->done = 0;
  priv->result = -1;
  if (priv->enrolled_print != nullptr) {
    priv->fp_print_data_free(priv->enrolled_print);
    priv->enrolled_print = nullptr;
  }
  priv->enroll_stage = 1;
  priv->library_error = 0;
  if (community_internal_device_gone(dev)) return COMMUNITY_RESULT_UNPLUGGED;
  if (priv->fp_async_enroll_start(priv->dev, community_internal_enroll_cb, dev) < 0) {
    if (community_internal_confirm_unplugged(dev)) return COMMUNITY_RESULT_UNPLUGGED;
    bio_print_error(community_text("Failed to call function %s\n"), "community_internal_enroll");
    return -1;
  }
  community_internal_interactive_waiting(dev);
  community_internal_enroll_stop(dev);
  // A finished enrolment stands, whatever happened to the device since.
  if (priv->result == 0 && priv->enrolled_print != nullptr) return 0;
  if (priv->unplugged || (priv->library_error && community_internal_confirm_unplugged(dev)))
    return COMMUNITY_RESULT_UNPLUGGED;
  return priv->result;
}

int community_ops_enroll(bio_dev *dev, OpsActions action, int uid, int idx, char *bio_idx_name) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return -1;
  }
  if (action != ACTION_START) {
    bio_set_notify_mid(dev, NOTIFY_COMM_STOP_BY_USER);
    bio_set_ops_result(dev, OPS_COMM_STOP_BY_USER);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  bio_set_dev_status(dev, DEVS_ENROLL_DOING);
  if (community_internal_device_gone(dev)) return end_unplugged(dev);

  if (priv->module_type != kModuleWithTemplateStore) {
    feature_info *list = nullptr;
    sqlite3 *db = bio_sto_connect_db();
    if (db != nullptr) {
      list = bio_sto_get_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, 0, -1);
      bio_sto_disconnect_db(db);
    }
    if (community_internal_get_feature_length(list) > kMaxFingers) {
      bio_sto_free_feature_info_list(list);
      return refuse(dev, kOpsMaxFingers, "Up to the max finger count");
    }
    struct fp_print_data **gallery = community_internal_create_fp_data(dev, list);
    priv->fp_template_data_import(gallery);
    community_internal_free_fp_data(dev, gallery);
    bio_sto_free_feature_info_list(list);
  } else {
    uint8_t count = 0;
    int r = priv->fp_template_registered_number(&count);
    if (count > kMaxFingers) return refuse(dev, kOpsMaxFingers, "Up to the max finger count");
    if (r != 0) return refuse(dev, kOpsCommunicationFailure, "Chip communication failure");
  }

  bio_set_notify_abs_mid(dev, kNotifyStart);
  debug_notify(dev);
  int rc = community_internal_enroll(dev);
  if (rc == COMMUNITY_RESULT_UNPLUGGED) return end_unplugged(dev);
  if (rc == -3 || rc == -2) {
    int code = rc == -3 ? OPS_COMM_STOP_BY_USER : OPS_COMM_TIMEOUT;
    bio_set_ops_result(dev, code);
    bio_set_notify_mid(dev, code);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return -1;
  }
  if (rc >= 0 && priv->enrolled_print != nullptr) {
    struct fp_print_data *print = priv->enrolled_print;
    priv->enrolled_print = nullptr;
    if (community_internal_store_print(dev, print, uid, idx, bio_idx_name) == 0) {
      bio_set_notify_mid(dev, NOTIFY_COMM_SUCCESS);
      bio_set_ops_result(dev, OPS_COMM_SUCCESS);
      bio_set_dev_status(dev, DEVS_COMM_IDLE);
      return 0;
    }
    // Not stored: a failure, never reported as an enrolment.
    rc = -1;
  }
  bio_set_ops_result(dev, OPS_COMM_FAIL);
  notify_message(dev, community_text("Unknown error, error code: %d"), rc);
  bio_print_warning("%s\n", bio_get_notify_mid_mesg(dev));
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return -1;
}

}  // extern "C"
