// Stand-ins for the biometric operations (enrol, verify, identify, search,
// clean, feature list), so that every slot the service calls is set. Each
// reports that the operation is not available and changes nothing.
#include "plugin/community_log.h"
#include "plugin/community_ops.h"

namespace {

void not_available(const char *name) {
  bio_print_error(community_text("%s is not available\n"), name);
}

}  // namespace

extern "C" {

int community_ops_enroll(bio_dev *, OpsActions, int, int, char *) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return -1;
}

int community_ops_verify(bio_dev *, OpsActions, int, int) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return -1;
}

int community_ops_identify(bio_dev *, OpsActions, int, int, int) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return -1;
}

feature_info *community_ops_search(bio_dev *, OpsActions, int, int, int) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return nullptr;
}

int community_ops_clean(bio_dev *, OpsActions, int, int, int) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return -1;
}

feature_info *community_ops_get_feature_list(bio_dev *, OpsActions, int, int, int) {
  COMMUNITY_LOG_ENTRY();
  not_available(__func__);
  return nullptr;
}

}  // extern "C"
