#include "plugin/plugin_host.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace plugin_test {

const char kEnabledConfig[] = "[zq4842]\nEnable=true\n";

ServiceHost::ServiceHost(const char *config, const char *library) {
  conf_ = g_key_file_new();
  if (!g_key_file_load_from_data(conf_, config, static_cast<gsize>(-1), G_KEY_FILE_NONE, nullptr))
    std::abort();
  quorvanta_library_path = library;
  configure_result_ = ops_configure(&dev_, conf_);
}

ServiceHost::~ServiceHost() {
  if (dev_.dev_priv != nullptr) community_ops_free(&dev_);
  g_key_file_free(conf_);
}

std::string Captured(const std::function<void()> &action, int fd) {
  OutputCapture capture(fd);
  action();
  return capture.Text();
}

}  // namespace plugin_test
