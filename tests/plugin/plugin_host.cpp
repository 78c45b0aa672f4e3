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

OutputCapture::OutputCapture(int fd) : fd_(fd) {
  std::fflush(stdout);
  std::fflush(stderr);
  FILE *tmp = std::tmpfile();
  if (tmp == nullptr) std::abort();
  file_fd_ = dup(fileno(tmp));
  std::fclose(tmp);
  saved_fd_ = dup(fd_);
  dup2(file_fd_, fd_);
}

OutputCapture::~OutputCapture() {
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(saved_fd_, fd_);
  close(saved_fd_);
  close(file_fd_);
}

std::string OutputCapture::Text() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::string out;
  char buf[4096];
  off_t pos = 0;
  ssize_t n;
  while ((n = pread(file_fd_, buf, sizeof buf, pos)) > 0) {
    out.append(buf, static_cast<size_t>(n));
    pos += n;
  }
  return out;
}

std::string Captured(const std::function<void()> &action, int fd) {
  OutputCapture capture(fd);
  action();
  return capture.Text();
}

}  // namespace plugin_test
