// Clean and feature list: the service's database operations on a range of
// a user's stored features.
#include "plugin/community_log.h"
#include "plugin/community_ops.h"
#include "plugin/community_store.h"

namespace {

constexpr int kModuleWithTemplateStore = 1;

void outcome(bio_dev *dev, int code) {
  bio_set_ops_abs_result(dev, code);
  bio_set_notify_abs_mid(dev, code);
}

}  // namespace

extern "C" {

int community_ops_clean(bio_dev *dev, OpsActions action, int uid, int idx_start, int idx_end) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    // Nothing was deleted: never report it as done.
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return -1;
  }
  if (action != ACTION_START) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_CLEAN_STOP_BY_USER);
    return 0;
  }
  bio_set_dev_status(dev, DEVS_CLEAN_DOING);
  int r = -1;
  sqlite3 *db = bio_sto_connect_db();
  if (db != nullptr) {
    feature_info *list = nullptr;
    if (priv->module_type == kModuleWithTemplateStore) {
      list = bio_sto_get_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, idx_start,
                                      idx_end);
      print_feature_info(list);
    }
    r = bio_sto_clean_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, idx_start,
                                   idx_end);
    bio_sto_disconnect_db(db);
    if (priv->module_type == kModuleWithTemplateStore) {
      struct fp_print_data **gallery = community_internal_create_fp_data(dev, list);
      int deleted = priv->fp_template_data_delete(gallery);
      // The first failure is the one reported; two codes are never mixed.
      if (r == 0) r = deleted;
      community_internal_free_fp_data(dev, gallery);
      bio_sto_free_feature_info_list(list);
    }
  }
  if (r != 0) {
    bio_set_ops_result(dev, OPS_CLEAN_FAIL);
    bio_set_notify_abs_mid(dev, OPS_CLEAN_FAIL);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    return r;
  }
  outcome(dev, OPS_CLEAN_SUCCESS);
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  return 0;
}

feature_info *community_ops_get_feature_list(bio_dev *dev, OpsActions action, int uid,
                                             int idx_start, int idx_end) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return nullptr;
  }
  if (action != ACTION_START) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_GET_FLIST_STOP_BY_USER);
    return nullptr;
  }
  feature_info *list = nullptr;
  if (priv->module_type == kModuleWithTemplateStore) {
    // The module keeps templates of every user: bring it in line with the
    // database.
    pthread_mutex_lock(&priv->mutex);
    bio_set_dev_status(dev, DEVS_GET_FLIST_DOING);
    sqlite3 *db = bio_sto_connect_db();
    feature_info *all = nullptr;
    if (db != nullptr) {
      list = bio_sto_get_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, idx_start,
                                      idx_end);
      print_feature_info(list);
      all = bio_sto_get_feature_info(db, -1, dev->bioinfo.biotype, dev->device_name, 0, -1);
      bio_print_debug("all users feature info:\n");
      print_feature_info(all);
      bio_sto_disconnect_db(db);
    }
    struct fp_print_data **gallery = community_internal_create_fp_data(dev, all);
    priv->fp_template_data_sync(gallery);
    community_internal_free_fp_data(dev, gallery);
    bio_sto_free_feature_info_list(all);
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_GET_FLIST_SUCCESS);
    pthread_mutex_unlock(&priv->mutex);
  } else {
    sqlite3 *db = bio_sto_connect_db();
    bio_set_dev_status(dev, DEVS_GET_FLIST_DOING);
    if (db != nullptr) {
      list = bio_sto_get_feature_info(db, uid, dev->bioinfo.biotype, dev->device_name, idx_start,
                                      idx_end);
      print_feature_info(list);
      bio_sto_disconnect_db(db);
    }
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    outcome(dev, OPS_GET_FLIST_SUCCESS);
  }
  community_internal_get_feature_length(list);
  return list;
}

}  // extern "C"
