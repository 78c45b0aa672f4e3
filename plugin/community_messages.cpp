#include "plugin/community_log.h"
#include "plugin/community_ops.h"

extern "C" {

const char *community_ops_get_dev_status_mesg(bio_dev * /*dev*/) { return nullptr; }

const char *community_ops_get_ops_result_mesg(bio_dev *dev) {
  switch (bio_get_ops_result(dev)) {
    case 2001: return community_text("Device is initializing");
    case 2002: return community_text("Chip communication failure");
    case 2003: return community_text("Up to the max finger count");
    default: return nullptr;
  }
}

const char *community_ops_get_notify_mid_mesg(bio_dev *dev) {
  switch (bio_get_notify_mid(dev)) {
    case 1001: return community_text("Sample complete");
    case 1002:
      return community_text(
          "Enrollment failed due to incomprehensible data. (Please use the same finger at "
          "different sampling stages of the same enroll)");
    case 1100:
      return community_text(
          "Please place your finger again because of poor quality of the sample or other "
          "scanning problems");
    case 1101:
      return community_text("Fingerprint repeat area too high, please place your finger again");
    case 1102:
      return community_text(
          "Didn't catch that, please center your finger on the sensor and try again.");
    case 1103:
      return community_text(
          "Because of the scanning image quality or finger pressure problem, the sampling "
          "failed, please remove the finger and retry");
    case 1104: return community_text("Unable to generate feature data, enroll failure");
    case 1105: return community_text("Sample start, please press and lift your finger");
    case COMMUNITY_NOTIFY_MESSAGE: return community_priv(dev)->message;
    default: return nullptr;
  }
}

}  // extern "C"
