#include "plugin/community_ops.h"

#include <dlfcn.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "plugin/community_log.h"
#include "plugin/community_presence.h"

extern "C" {
std::atomic<int> community_close_called{0};
}

namespace {

constexpr int kPollUsec = 100000;
constexpr int kStopStepMs = 100;
constexpr int kResendMs = 200;
// How long a failed operation looks for its device's unplugging.
constexpr int kUnplugConfirmMs = 250;
constexpr int kUnplugCheckStepMs = 25;
// Polls an identification stop may take once the device is gone.
constexpr int kGoneStopPolls = 20;

void set_message(community_dev_priv *priv, const char *text) {
  std::snprintf(priv->message, sizeof priv->message, "%s", text);
}

bool is_busy(int status) { return status % 100 != 0; }

// Every poll may wait the full 100 ms again: the library writes back the wait
// it used, which must not shorten the polls that follow.
int poll_events(community_dev_priv *priv) {
  priv->poll_tv.tv_sec = 0;
  priv->poll_tv.tv_usec = kPollUsec;
  return priv->fp_handle_events_timeout(&priv->poll_tv);
}

void log_time(int line, const char *format) {
  uint64_t now_ms = 0;
  getCurrentTime(&now_ms);
  fpi_log(COMMUNITY_LOG_INFO, "community", format, line, static_cast<int>(now_ms));
}

// Ends the running operation as stopped by the user.
void signal_stop(bio_dev *dev, community_dev_priv *priv, int status_class) {
  bio_set_dev_status(dev, status_class * 100 + 2);
  priv->result = -3;
  priv->done = 1;
}

// Opens every discovered device of the wanted driver; *last gets the last
// one opened, the earlier ones are closed again. With last NULL every device
// is closed again. Returns the number opened. The library must be up.
int open_devices(community_dev_priv *priv, struct fp_dev **last) {
  struct fp_dscv_dev **list = priv->fp_discover_devs();
  int count = 0;
  struct fp_dev *kept = nullptr;
  for (int i = 0; list != nullptr && list[i] != nullptr; ++i) {
    struct fp_driver *driver = priv->fp_dscv_dev_get_driver(list[i]);
    if (priv->fp_driver_get_driver_id(driver) != static_cast<uint16_t>(priv->driver_id)) continue;
    struct fp_dev *opened = priv->fp_dev_open(list[i]);
    if (opened == nullptr) {
      bio_print_warning("Could not open device (driver %s)",
                        priv->fp_driver_get_full_name(driver));
      continue;
    }
    // Only the last device is kept; the earlier one would be unreachable.
    if (kept != nullptr) priv->fp_dev_close(kept);
    kept = opened;
    ++count;
  }
  if (list != nullptr) priv->fp_dscv_devs_free(list);
  if (last != nullptr)
    *last = kept;
  else if (kept != nullptr)
    priv->fp_dev_close(kept);
  return count;
}

// Closes the device, releases a pending enrolled print and shuts the
// library down once. With the private mutex held.
void free_locked(community_dev_priv *priv) {
  if (!community_library_ready(priv)) return;
  if (priv->dev != nullptr) priv->fp_dev_close(priv->dev);
  priv->dev = nullptr;
  priv->result = -1;
  priv->done = 1;
  priv->stop_done = 1;
  if (priv->enrolled_print != nullptr) {
    priv->fp_print_data_free(priv->enrolled_print);
    priv->enrolled_print = nullptr;
  }
  if (priv->library_up) priv->fp_exit();
  priv->library_up = 0;
  priv->session = 0;
}

// Device initialisation, with the private mutex held. A device or library
// left over from an open without close is released first, so the library
// is never initialised twice over.
int init_locked(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  if (!community_library_ready(priv)) {
    bio_print_error("%s\n", community_text("The device library is not loaded"));
    return 0;
  }
  if (priv->library_up || priv->dev != nullptr) free_locked(priv);
  priv->fp_init();
  priv->library_up = 1;
  struct fp_dev *last = nullptr;
  int count = open_devices(priv, &last);
  if (count > 0) {
    priv->dev = last;
    priv->result = -1;
    priv->done = 1;
    priv->stop_done = 1;
    priv->module_type = priv->fp_get_module_type(last);
    priv->timeout_ms = bio_get_ops_timeout_ms() - COMMUNITY_TIMEOUT_MARGIN_MS;
    priv->poll_tv.tv_sec = 0;
    priv->poll_tv.tv_usec = kPollUsec;
    priv->nr_enroll_stages = priv->fp_dev_get_nr_enroll_stages(last);
    priv->enroll_stage = 0;
    priv->enrolled_print = nullptr;
  }
  return count;
}

// Discovery outside a session: initialises the library, opens and closes
// every device of the wanted driver and shuts the library down again,
// without touching the open device's state. With the private mutex held.
int count_locked(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  if (!community_library_ready(priv)) {
    bio_print_error("%s\n", community_text("The device library is not loaded"));
    return 0;
  }
  if (priv->library_up) free_locked(priv);
  priv->fp_init();
  int count = open_devices(priv, nullptr);
  priv->fp_exit();
  return count;
}

}  // namespace

extern "C" {

int community_library_ready(const community_dev_priv *priv) {
  return priv->fp_print_data_get_data && priv->fp_print_data_free && priv->fp_init &&
         priv->fp_discover_devs && priv->fp_dscv_dev_get_driver &&
         priv->fp_driver_get_driver_id && priv->fp_driver_get_full_name && priv->fp_dev_open &&
         priv->fp_dscv_devs_free && priv->fp_dev_get_nr_enroll_stages && priv->fp_dev_close &&
         priv->fp_exit && priv->fp_print_data_from_data && priv->fp_async_enroll_start &&
         priv->fp_async_enroll_stop && priv->fp_async_identify_start &&
         priv->fp_handle_events_timeout && priv->fp_async_identify_stop &&
         priv->fp_driver_get_id_table && priv->fp_template_data_sync &&
         priv->fp_template_data_delete && priv->fp_template_data_import &&
         priv->fp_template_registered_number && priv->fp_template_data_update &&
         priv->fp_set_debug && priv->fp_get_module_type;
}

int community_internal_device_init(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  pthread_mutex_lock(&priv->mutex);
  int count = init_locked(dev);
  pthread_mutex_unlock(&priv->mutex);
  return count;
}

void community_internal_device_free(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  pthread_mutex_lock(&priv->mutex);
  free_locked(priv);
  pthread_mutex_unlock(&priv->mutex);
}

int community_ops_open(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  log_time(__LINE__, "[%4d]:curTime=%d");
  community_close_called = 0;
  bio_set_dev_status(dev, DEVS_COMM_IDLE);
  bio_set_ops_result(dev, 2001);
  set_message(priv, community_text("Device is initializing"));
  bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
  if (!dev->enable) {
    bio_set_dev_status(dev, DEVS_COMM_DISABLE);
    return -1;
  }
  bio_set_dev_status(dev, DEVS_OPEN_DOING);
  pthread_mutex_lock(&priv->mutex);
  bool opened = init_locked(dev) > 0;
  if (opened) {
    priv->session = 1;
    priv->unplugged = 0;
  } else {
    // Shut the library down again, so the next open starts from fp_init.
    free_locked(priv);
  }
  pthread_mutex_unlock(&priv->mutex);
  if (opened) {
    bio_set_dev_status(dev, DEVS_COMM_IDLE);
    bio_set_ops_abs_result(dev, OPS_OPEN_SUCCESS);
    log_time(__LINE__, "[%4d]:curTime1=%d");
    return 0;
  }
  set_message(priv, community_text("Device failed to open"));
  bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
  bio_print_warning("%s\n", bio_get_notify_mid_mesg(dev));
  return -1;
}

void community_ops_close(bio_dev *dev) {
  COMMUNITY_LOG_ENTRY();
  community_internal_device_free(dev);
  community_close_called = 1;
}

int community_ops_discover(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  bio_print_info(community_text("Detect %s device\n"), dev->device_name);
  pthread_mutex_lock(&priv->mutex);
  int n;
  if (priv->session) {
    // The operation thread owns the library until the service closes the
    // device: count from sysfs (less what the kernel answers "no device"
    // for), and end the session when its device went.
    n = community_present_devices(dev);
    if (n == 0 && !priv->unplugged) {
      bio_print_warning(community_text("The %s device in use was unplugged\n"),
                        dev->device_name);
      priv->unplugged = 1;
      priv->done = 1;
    }
  } else {
    n = count_locked(dev);
  }
  pthread_mutex_unlock(&priv->mutex);
  if (n < 0) {
    bio_print_info(community_text("No %s fingerprint device detected\n"), dev->device_name);
    return -1;
  }
  if (n > 0) {
    bio_print_info(community_text("There is %d %s fingerprint device detected\n"), n,
                   dev->device_name);
    return n;
  }
  bio_print_info(community_text("No %s fingerprint device detected\n"), dev->device_name);
  return 0;
}

int community_internal_device_gone(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  if (priv->unplugged) return 1;
  if (priv->dev == nullptr) return 1;
  return 0;
}

int community_internal_confirm_unplugged(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  // The failed transfers may come a moment before the kernel answers "no
  // device" for it, and before the service's hot-plug thread hears of it.
  for (int waited = 0;; waited += kUnplugCheckStepMs) {
    if (priv->unplugged) return 1;
    if (community_present_devices(dev) == 0) {
      priv->unplugged = 1;
      return 1;
    }
    if (waited >= kUnplugConfirmMs) return 0;
    usleep(kUnplugCheckStepMs * 1000);
  }
}

void community_internal_release_unplugged(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  bio_print_warning(community_text("The %s device was unplugged, releasing it\n"),
                    dev->device_name);
  community_internal_device_free(dev);
  set_message(priv, community_text("The fingerprint device was unplugged"));
  bio_set_notify_abs_mid(dev, COMMUNITY_NOTIFY_MESSAGE);
}

void community_ops_free(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  COMMUNITY_LOG_ENTRY();
  community_internal_device_free(dev);
  pthread_mutex_destroy(&priv->mutex);
  std::free(priv->aes_key);
  priv->aes_key = nullptr;
  if (priv->library != nullptr) dlclose(priv->library);
  priv->library = nullptr;
  priv->~community_dev_priv();
  std::free(priv);
  dev->dev_priv = nullptr;
}

void community_internal_timeout_tv_update(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  struct timeval now;
  gettimeofday(&now, nullptr);
  priv->deadline_sec = static_cast<int64_t>(now.tv_sec) + priv->timeout_ms / 1000;
  priv->deadline_usec = now.tv_usec;
}

void community_internal_interactive_waiting(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  community_internal_timeout_tv_update(dev);
  if (priv->done == 1) return;
  do {
    if (poll_events(priv) < 0) {
      priv->library_error = 1;
      priv->done = 1;
    }
    if (priv->unplugged) {
      priv->done = 1;
      break;
    }
    struct timeval now;
    gettimeofday(&now, nullptr);
    if (now.tv_sec > priv->deadline_sec ||
        (now.tv_sec == priv->deadline_sec && now.tv_usec >= priv->deadline_usec)) {
      priv->result = -2;
      priv->done = 1;
      break;
    }
  } while (priv->done == 0);
}

int community_internal_enroll_stop(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  priv->stop_done = 0;
  priv->fp_async_enroll_stop(priv->dev, community_internal_enroll_stopped_cb, dev);
  priv->stop_done = 1;
  return 0;
}

int community_internal_identify_stop(bio_dev *dev) {
  community_dev_priv *priv = community_priv(dev);
  priv->stop_done = 0;
  // A refused stop never calls back: do not wait for it.
  if (priv->fp_async_identify_stop(priv->dev, community_internal_identify_stopped_cb, dev) < 0)
    priv->stop_done = 1;
  // An unplugged device may never finish its stop.
  for (int polls = 0; priv->stop_done == 0; ++polls) {
    if (poll_events(priv) < 0 || (priv->unplugged && polls >= kGoneStopPolls))
      priv->stop_done = 1;
  }
  return 0;
}

void community_internal_enroll_stopped_cb(struct fp_dev * /*fdev*/, void *user_data) {
  community_priv(static_cast<bio_dev *>(user_data))->stop_done = 1;
}

void community_internal_identify_stopped_cb(struct fp_dev * /*fdev*/, void *user_data) {
  community_priv(static_cast<bio_dev *>(user_data))->stop_done = 1;
}

int community_ops_stop_by_user(bio_dev *dev, int waiting_ms) {
  community_dev_priv *priv = community_priv(dev);
  int timeout = bio_get_ops_timeout_ms();
  int saved_status = bio_get_dev_status(dev);
  int status_class = saved_status / 100;
  COMMUNITY_LOG_ENTRY();
  bio_print_debug("Device %s[%d] received interrupt request\n", dev->device_name, dev->driver_id);
  log_time(__LINE__, "[%4d]:curTime=%d");
  int limit = timeout < waiting_ms ? timeout : waiting_ms;
  if (is_busy(bio_get_dev_status(dev))) signal_stop(dev, priv, status_class);
  int elapsed = 0;
  int since_resend = 0;
  while (is_busy(bio_get_dev_status(dev)) && elapsed < limit) {
    if (community_close_called) {
      fpi_log(COMMUNITY_LOG_INFO, "community", "[%4d]:community_close_called is set \n",
              __LINE__);
      signal_stop(dev, priv, status_class);
      return 0;
    }
    usleep(kStopStepMs * 1000);
    elapsed += kStopStepMs;
    since_resend += kStopStepMs;
    if (since_resend >= kResendMs) {
      fpi_log(COMMUNITY_LOG_INFO, "community", "[%4d]:driver cancel timeout,resend\n", __LINE__);
      // An operation that has just ended keeps its idle status.
      if (is_busy(bio_get_dev_status(dev))) signal_stop(dev, priv, status_class);
      since_resend = 0;
    }
  }
  if (!is_busy(bio_get_dev_status(dev))) return 0;
  bio_set_dev_status(dev, saved_status);
  return -1;
}

}  // extern "C"
