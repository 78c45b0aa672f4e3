#include "base/bq_device.h"

#include "base/bq_log.h"

namespace {

constexpr const char *kTag = "quorvanta:device";
constexpr int kProbeAttempts = 3;

// Sentinel of the circular registry list; empty when it links to itself.
extern bq_device g_registry;
bq_device g_registry = [] {
  bq_device head{};
  head.next = head.prev = &g_registry;
  return head;
}();
bq_device *g_current = nullptr;

// Resets the chip and reads its id up to three times. True when the chip is
// taken: it read the expected id, or at least a nonzero one.
bool ProbeOne(bq_device *chip) {
  chip->reset();
  for (int attempt = 1; attempt <= kProbeAttempts; ++attempt) {
    if (chip->read_id != nullptr) chip->probed_id = chip->read_id();
    if (chip->probed_id == BQ_DEVICE_EXPECTED_ID) return true;
    BQ_LOG(BQ_LOG_WARNING, kTag, "[%4d]:probe id failed, try again (%d/%d)", __LINE__, attempt,
           kProbeAttempts);
    chip->reset();
  }
  return chip->probed_id != 0;
}

}  // namespace

extern "C" int bq_device_register(bq_device *chip) {
  if (chip == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (chip->next != nullptr) return 0;  // linking it twice would break the list
  chip->prev = g_registry.prev;
  chip->next = &g_registry;
  g_registry.prev->next = chip;
  g_registry.prev = chip;
  return 0;
}

extern "C" void bq_device_unlink(bq_device *chip) {
  if (chip == nullptr || chip->next == nullptr || chip == &g_registry) return;
  chip->prev->next = chip->next;
  chip->next->prev = chip->prev;
  chip->next = nullptr;
  chip->prev = nullptr;
}

extern "C" int bq_device_probe_chip(void) {
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:auto probing fingerprint chip...", __LINE__);
  if (g_registry.next == &g_registry) {
    BQ_LOG_ERROR_MSG(kTag, "no fingerprint chip is registered.");
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NO_DEVICE);
    return BQ_ERROR_NO_DEVICE;
  }
  bq_device *selected = nullptr;
  for (bq_device *chip = g_registry.next; chip != &g_registry; chip = chip->next) {
    if (chip->reset != nullptr && ProbeOne(chip)) {
      selected = chip;
      break;
    }
    if (chip->next == &g_registry) {
      if (chip->probed_id == 0) {
        BQ_LOG_ERROR_MSG(kTag, "failed to probe chip id.");
        BQ_LOG_ERRNO(kTag, BQ_ERROR_INTERNAL);
        return BQ_ERROR_INTERNAL;
      }
      selected = chip;
    }
  }
  g_current = selected;
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:fingerprint chip (id = 0x%04x) found.", __LINE__,
         selected->probed_id);
  return 0;
}

extern "C" int bq_device_init(void *context, int option) {
  BQ_LOG_ENTER(kTag);
  bq_device *chip = g_current;
  if (chip == nullptr) {
    BQ_LOG_ERRNO(kTag, BQ_ERROR_NULL_POINTER);
    return BQ_ERROR_NULL_POINTER;
  }
  if (chip->check_firmware != nullptr) {
    BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:checking for firmware...", __LINE__);
    int rc = chip->check_firmware(context, option);
    if (rc != 0) {
      BQ_LOG_ERRNO(kTag, rc);
      return rc;
    }
  }
  if (chip->init_chip == nullptr) {
    BQ_LOG_ERROR_MSG(kTag, "the 'init_chip' interface hasn't been registered.");
    BQ_LOG_ERRNO(kTag, BQ_ERROR_INTERNAL);
    return BQ_ERROR_INTERNAL;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:initializing the device...", __LINE__);
  int rc = chip->init_chip();
  if (rc != 0) {
    BQ_LOG_ERRNO(kTag, rc);
    return rc;
  }
  if (chip->width == 0 || chip->height == 0) {
    BQ_LOG_ERROR_MSG(kTag, "wrong resolution %d x %d.", chip->width, chip->height);
    BQ_LOG_ERRNO(kTag, BQ_ERROR_SENSOR_DIMENSION);
    return BQ_ERROR_SENSOR_DIMENSION;
  }
  if (chip->width > BQ_DEVICE_MAX_DIMENSION || chip->height > BQ_DEVICE_MAX_DIMENSION) {
    BQ_LOG_ERROR_MSG(kTag, "sensor resolution exceed %dx%d.", BQ_DEVICE_MAX_DIMENSION,
                     BQ_DEVICE_MAX_DIMENSION);
    BQ_LOG_ERRNO(kTag, BQ_ERROR_LIMIT);
    return BQ_ERROR_LIMIT;
  }
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:fingerprint device is successfully initialized.", __LINE__);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:device id = 0x%04x", __LINE__, chip->device_id);
  BQ_LOG(BQ_LOG_INFO, kTag, "[%4d]:sensor resolution: %d x %d", __LINE__, chip->width,
         chip->height);
  BQ_LOG_LEAVE(kTag);
  return 0;
}

extern "C" int bq_device_free(void) {
  g_current = nullptr;
  return 0;
}

extern "C" bq_device *bq_device_current(void) { return g_current; }
