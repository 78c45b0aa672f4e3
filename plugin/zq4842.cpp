#include "plugin/zq4842.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <libintl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/community_key_file.h"
#include "plugin/community_log.h"
#include "plugin/community_ops.h"

extern "C" {
const char *quorvanta_library_path =
    "/usr/lib/biometric-authentication/drivers/extra/zq4842-extra.so";
}

namespace {

char kNoDescription[] = "";

// The devices the plug-in serves, ended by a zero row.
const struct usb_id kIdTable[] = {
    {0x3c5d, 0x3b12, kNoDescription}, {0x3c5d, 0x3b13, kNoDescription},
    {0x3c5d, 0x3b14, kNoDescription}, {0x3c5d, 0x3b15, kNoDescription},
    {0x3c5d, 0x3b19, kNoDescription}, {0x3c5d, 0x3b16, kNoDescription},
    {0x3c5d, 0x3b1a, kNoDescription}, {0x3c5d, 0x3b11, kNoDescription},
    {0x3c5d, 0x4841, kNoDescription}, {0x3c5d, 0x4842, kNoDescription},
    {0x3c5d, 0x3b17, kNoDescription}, {0x3c5d, 0x3b11, kNoDescription},
    {0x3c5d, 0x3b18, kNoDescription}, {0, 0, nullptr},
};

char kDeviceName[] = "zq4842";
char kFullName[] = "Validity ZQ4842";

// Size of the block holding the built-in key.
constexpr size_t kDefaultKeyBlock = 30;

// Builds the built-in key in a new zeroed block.
char *default_key() {
  static const char kHead[16] = {'Q', 'u', 'o', 'r', 'v', 'a', 'n', 't',
                                 'a', '-', 'Z', 'Q', '4', '8', '4', '2'};
  char *key = static_cast<char *>(std::calloc(kDefaultKeyBlock, 1));
  if (key == nullptr) return nullptr;
  std::memcpy(key, kHead, sizeof kHead);
  std::memcpy(key + 16, "-Key", 4);
  std::memcpy(key + 20, "-Default", 8);
  return key;
}

// Resolves one function into `slot`; prints the failure.
template <typename Fn>
bool resolve(void *library, const char *name, Fn &slot) {
  void *symbol = dlsym(library, name);
  if (symbol == nullptr) {
    bio_print_error("%s: %s\n", name, dlerror());
    return false;
  }
  slot = reinterpret_cast<Fn>(symbol);
  return true;
}

}  // namespace

extern "C" {

int quorvanta_load_library(community_dev_priv *priv) {
  priv->library = dlopen(quorvanta_library_path, RTLD_LAZY);
  if (priv->library == nullptr) {
    bio_print_error("%s\n", dlerror());
    return -1;
  }
  bio_print_info("quorvanta_load_library success");
  void *lib = priv->library;
#define COMMUNITY_RESOLVE(name) \
  if (!resolve(lib, #name, priv->name)) return -1
  COMMUNITY_RESOLVE(fp_init);
  COMMUNITY_RESOLVE(fp_discover_devs);
  COMMUNITY_RESOLVE(fp_dscv_dev_get_driver);
  COMMUNITY_RESOLVE(fp_driver_get_driver_id);
  COMMUNITY_RESOLVE(fp_driver_get_full_name);
  COMMUNITY_RESOLVE(fp_dev_open);
  COMMUNITY_RESOLVE(fp_dscv_devs_free);
  COMMUNITY_RESOLVE(fp_dev_get_nr_enroll_stages);
  COMMUNITY_RESOLVE(fp_dev_close);
  COMMUNITY_RESOLVE(fp_exit);
  COMMUNITY_RESOLVE(fp_print_data_get_data);
  COMMUNITY_RESOLVE(fp_print_data_free);
  COMMUNITY_RESOLVE(fp_print_data_from_data);
  COMMUNITY_RESOLVE(fp_async_enroll_start);
  COMMUNITY_RESOLVE(fp_async_enroll_stop);
  COMMUNITY_RESOLVE(fp_async_identify_start);
  COMMUNITY_RESOLVE(fp_handle_events_timeout);
  COMMUNITY_RESOLVE(fp_async_identify_stop);
  COMMUNITY_RESOLVE(fp_driver_get_id_table);
  COMMUNITY_RESOLVE(fp_template_data_sync);
  COMMUNITY_RESOLVE(fp_template_data_delete);
  COMMUNITY_RESOLVE(fp_template_data_import);
  COMMUNITY_RESOLVE(fp_template_registered_number);
  COMMUNITY_RESOLVE(fp_template_data_update);
  COMMUNITY_RESOLVE(fp_set_debug);
  COMMUNITY_RESOLVE(fp_get_module_type);
#undef COMMUNITY_RESOLVE
  return 0;
}

int community_para_config(bio_dev *dev, GKeyFile *conf) {
  community_dev_priv *priv = community_priv(dev);
  priv->aes_key = nullptr;
  GError *error = nullptr;
  gchar *path = g_key_file_get_string(conf, dev->device_name, "AESKey", &error);
  if (error != nullptr) {
    bio_print_warning(community_text("Get AES Key File Error[%d]: %s, use default Key.\n"),
                      error->code, error->message);
    g_error_free(error);
  } else if (path != nullptr) {
    priv->aes_key = community_internal_read_key_file(path);
  }
  g_free(path);
  if (priv->aes_key == nullptr) priv->aes_key = default_key();
  return 0;
}

int ops_configure(bio_dev *dev, GKeyFile *conf) {
  COMMUNITY_LOG_ENTRY();
  setenv("BIO_PRINT_LEVEL", "6", 1);

  dev->driver_id = bio_get_empty_driver_id();
  dev->device_name = kDeviceName;
  dev->full_name = kFullName;
  dev->drv_api_version.major = 0;
  dev->drv_api_version.minor = 10;
  dev->drv_api_version.function = 2;
  dev->enable = bio_dev_is_enable(dev, conf);
  dev->bioinfo.biotype = BioT_FingerPrint;
  dev->bioinfo.stotype = StoT_OS;
  dev->bioinfo.eigtype = EigT_Eigenvalue;
  dev->bioinfo.vertype = VerT_Software;
  dev->bioinfo.idtype = IdT_Software;
  dev->bioinfo.bustype = BusT_USB;
  dev->usb_info.id_table = kIdTable;
  dev->usb_info.driver_data = 0;

  dev->ops_configure = ops_configure;
  dev->ops_driver_init = community_ops_driver_init;
  dev->ops_free = community_ops_free;
  dev->ops_discover = community_ops_discover;
  dev->ops_open = community_ops_open;
  dev->ops_close = community_ops_close;
  dev->ops_capture = nullptr;
  dev->ops_enroll = community_ops_enroll;
  dev->ops_verify = community_ops_verify;
  dev->ops_identify = community_ops_identify;
  dev->ops_search = community_ops_search;
  dev->ops_clean = community_ops_clean;
  dev->ops_get_feature_list = community_ops_get_feature_list;
  dev->ops_feature_rename = nullptr;
  dev->ops_stop_by_user = community_ops_stop_by_user;
  dev->ops_get_dev_status_mesg = community_ops_get_dev_status_mesg;
  dev->ops_get_ops_result_mesg = community_ops_get_ops_result_mesg;
  dev->ops_get_notify_mid_mesg = community_ops_get_notify_mid_mesg;
  dev->ops_attach = community_ops_attach;
  dev->ops_detach = community_ops_detach;

  bio_set_dev_status(dev, 0);
  bio_set_ops_result(dev, 0);
  bio_set_notify_mid(dev, 0);

  void *block = std::calloc(1, sizeof(community_dev_priv));
  if (block == nullptr) {
    bio_print_error("%s\n", std::strerror(ENOMEM));
    return -1;
  }
  community_dev_priv *priv = new (block) community_dev_priv{};
  priv->dev = nullptr;
  priv->driver_id = COMMUNITY_DRIVER_ID;
  priv->timeout_ms = 30000;
  pthread_mutex_init(&priv->mutex, nullptr);
  dev->dev_priv = priv;

  int r = quorvanta_load_library(priv);
  community_para_config(dev, conf);
  return r;
}

int community_ops_driver_init(bio_dev * /*dev*/) {
  COMMUNITY_LOG_ENTRY();
  setlocale(LC_CTYPE, "");
  bindtextdomain(COMMUNITY_TEXT_DOMAIN, "/usr/share/locale/");
  textdomain(COMMUNITY_TEXT_DOMAIN);
  return 0;
}

void community_ops_attach(bio_dev * /*dev*/) { COMMUNITY_LOG_ENTRY(); }

void community_ops_detach(bio_dev * /*dev*/) { COMMUNITY_LOG_ENTRY(); }

}  // extern "C"
