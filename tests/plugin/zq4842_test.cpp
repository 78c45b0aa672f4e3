// The plug-in's entry point in an in-process host linked with the real
// service library: the filled record, the resolved device-library functions
// and the key setting.
#include "plugin/zq4842.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "plugin/community_log.h"
#include "plugin/community_ops.h"
#include "plugin/fake_fpdev.h"
#include "plugin/plugin_host.h"

namespace {

using plugin_test::OutputCapture;
using plugin_test::ServiceHost;

TEST(ConfigureTest, FillsTheServiceRecord) {
  ServiceHost host;
  bio_dev *dev = host.dev();
  EXPECT_EQ(host.configure_result(), 0);
  EXPECT_EQ(dev->driver_id, 100);
  EXPECT_STREQ(dev->device_name, "zq4842");
  EXPECT_STREQ(dev->full_name, "Validity ZQ4842");
  EXPECT_EQ(dev->drv_api_version.major, 0);
  EXPECT_EQ(dev->drv_api_version.minor, 10);
  EXPECT_EQ(dev->drv_api_version.function, 2);
  EXPECT_EQ(dev->enable, 1);
  EXPECT_EQ(dev->bioinfo.biotype, BioT_FingerPrint);
  EXPECT_EQ(dev->bioinfo.stotype, 1);
  EXPECT_EQ(dev->bioinfo.eigtype, 1);
  EXPECT_EQ(dev->bioinfo.vertype, 1);
  EXPECT_EQ(dev->bioinfo.idtype, 1);
  EXPECT_EQ(dev->bioinfo.bustype, 1);
  EXPECT_EQ(bio_get_dev_status(dev), 0);
  EXPECT_EQ(bio_get_ops_result(dev), 0);
  EXPECT_EQ(bio_get_notify_mid(dev), 0);
  ASSERT_NE(getenv("BIO_PRINT_LEVEL"), nullptr);
  EXPECT_STREQ(getenv("BIO_PRINT_LEVEL"), "6");

  const uint16_t products[] = {0x3b12, 0x3b13, 0x3b14, 0x3b15, 0x3b19, 0x3b16, 0x3b1a,
                               0x3b11, 0x4841, 0x4842, 0x3b17, 0x3b11, 0x3b18};
  const struct usb_id *table = dev->usb_info.id_table;
  ASSERT_NE(table, nullptr);
  for (size_t i = 0; i < std::size(products); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table[i].idVendor, 0x3c5d);
    EXPECT_EQ(table[i].idProduct, products[i]);
    ASSERT_NE(table[i].description, nullptr);
    EXPECT_STREQ(table[i].description, "");
  }
  EXPECT_EQ(table[13].idVendor, 0);
  EXPECT_EQ(table[13].idProduct, 0);
  EXPECT_EQ(table[13].description, nullptr);

  community_dev_priv *priv = host.priv();
  ASSERT_NE(priv, nullptr);
  EXPECT_EQ(priv->dev, nullptr);
  EXPECT_EQ(priv->driver_id, 35);
  EXPECT_EQ(priv->timeout_ms, 30000);
}

TEST(ConfigureTest, FillsEveryOperationSlot) {
  ServiceHost host;
  bio_dev *dev = host.dev();
  // The service finds the plug-in's functions by these names too.
  const struct {
    const char *name;
    void *slot;
  } slots[] = {
      {"ops_configure", reinterpret_cast<void *>(dev->ops_configure)},
      {"community_ops_driver_init", reinterpret_cast<void *>(dev->ops_driver_init)},
      {"community_ops_free", reinterpret_cast<void *>(dev->ops_free)},
      {"community_ops_discover", reinterpret_cast<void *>(dev->ops_discover)},
      {"community_ops_open", reinterpret_cast<void *>(dev->ops_open)},
      {"community_ops_close", reinterpret_cast<void *>(dev->ops_close)},
      {"community_ops_enroll", reinterpret_cast<void *>(dev->ops_enroll)},
      {"community_ops_verify", reinterpret_cast<void *>(dev->ops_verify)},
      {"community_ops_identify", reinterpret_cast<void *>(dev->ops_identify)},
      {"community_ops_search", reinterpret_cast<void *>(dev->ops_search)},
      {"community_ops_clean", reinterpret_cast<void *>(dev->ops_clean)},
      {"community_ops_get_feature_list", reinterpret_cast<void *>(dev->ops_get_feature_list)},
      {"community_ops_stop_by_user", reinterpret_cast<void *>(dev->ops_stop_by_user)},
      {"community_ops_get_dev_status_mesg", reinterpret_cast<void *>(dev->ops_get_dev_status_mesg)},
      {"community_ops_get_ops_result_mesg", reinterpret_cast<void *>(dev->ops_get_ops_result_mesg)},
      {"community_ops_get_notify_mid_mesg", reinterpret_cast<void *>(dev->ops_get_notify_mid_mesg)},
      {"community_ops_attach", reinterpret_cast<void *>(dev->ops_attach)},
      {"community_ops_detach", reinterpret_cast<void *>(dev->ops_detach)},
  };
  void *plugin = dlopen(ZQ4842_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(plugin, nullptr) << dlerror();
  for (const auto &s : slots) {
    SCOPED_TRACE(s.name);
    void *exported = dlsym(plugin, s.name);
    EXPECT_NE(exported, nullptr);
    EXPECT_EQ(s.slot, exported);
  }
  dlclose(plugin);
  EXPECT_EQ(dev->ops_capture, nullptr);
  EXPECT_EQ(dev->ops_feature_rename, nullptr);
  EXPECT_EQ(dev->ops_status_changed_callback, nullptr);
}

// The service's own way in: dlopen the plug-in and look up its entry point.
TEST(ConfigureTest, EntryPointIsExportedUnmangled) {
  void *plugin = dlopen(ZQ4842_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(plugin, nullptr) << dlerror();
  void *entry = dlsym(plugin, "ops_configure");
  EXPECT_EQ(entry, reinterpret_cast<void *>(&ops_configure));
  dlclose(plugin);
}

TEST(ConfigureTest, DisabledDriverIsRecorded) {
  ServiceHost host("[zq4842]\nEnable=false\n");
  EXPECT_EQ(host.dev()->enable, 0);
  EXPECT_EQ(host.configure_result(), 0);
}

TEST(LoaderTest, ResolvesAllTwentySixFunctions) {
  ServiceHost host;
  ASSERT_EQ(host.configure_result(), 0);
  community_dev_priv *priv = host.priv();
  void *lib = dlopen(FAKE_FPDEV_PATH, RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(priv->library, lib);
  const struct {
    const char *name;
    void *pointer;
  } functions[] = {
#define ENTRY(name) {#name, reinterpret_cast<void *>(priv->name)}
      ENTRY(fp_print_data_get_data), ENTRY(fp_print_data_free), ENTRY(fp_init),
      ENTRY(fp_discover_devs), ENTRY(fp_dscv_dev_get_driver), ENTRY(fp_driver_get_driver_id),
      ENTRY(fp_driver_get_full_name), ENTRY(fp_dev_open), ENTRY(fp_dscv_devs_free),
      ENTRY(fp_dev_get_nr_enroll_stages), ENTRY(fp_dev_close), ENTRY(fp_exit),
      ENTRY(fp_print_data_from_data), ENTRY(fp_async_enroll_start), ENTRY(fp_async_enroll_stop),
      ENTRY(fp_async_identify_start), ENTRY(fp_handle_events_timeout),
      ENTRY(fp_async_identify_stop), ENTRY(fp_driver_get_id_table), ENTRY(fp_template_data_sync),
      ENTRY(fp_template_data_delete), ENTRY(fp_template_data_import),
      ENTRY(fp_template_registered_number), ENTRY(fp_template_data_update), ENTRY(fp_set_debug),
      ENTRY(fp_get_module_type),
#undef ENTRY
  };
  ASSERT_EQ(std::size(functions), 26u);
  for (const auto &f : functions) {
    SCOPED_TRACE(f.name);
    EXPECT_NE(f.pointer, nullptr);
    EXPECT_EQ(f.pointer, dlsym(lib, f.name));
  }
  dlclose(lib);
  EXPECT_TRUE(community_library_ready(priv));
}

TEST(LoaderTest, MissingFunctionFailsAndNamesOnlyIt) {
  std::string printed, errors;
  std::unique_ptr<ServiceHost> configured;
  {
    OutputCapture out(1);
    OutputCapture err(2);
    configured = std::make_unique<ServiceHost>(plugin_test::kEnabledConfig,
                                               FAKE_FPDEV_WITHOUT_MODULE_TYPE_PATH);
    printed = out.Text();
    errors = err.Text();
  }
  ServiceHost &host = *configured;
  EXPECT_EQ(host.configure_result(), -1);
  // The library loaded, so the success line comes before resolution fails.
  EXPECT_NE(printed.find("quorvanta_load_library success"), std::string::npos) << printed;
  EXPECT_NE(errors.find("fp_get_module_type: "), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  community_dev_priv *priv = host.priv();
  EXPECT_NE(priv->library, nullptr);
  EXPECT_NE(priv->fp_init, nullptr);
  EXPECT_NE(priv->fp_set_debug, nullptr);
  EXPECT_NE(priv->fp_template_data_update, nullptr);
  EXPECT_EQ(priv->fp_get_module_type, nullptr);
  EXPECT_FALSE(community_library_ready(priv));
  EXPECT_NE(priv->aes_key, nullptr);  // the key is read all the same
}

// After a failed configure the device operations must not reach the missing
// functions: they report no device instead.
TEST(LoaderTest, OperationsAfterFailedLoadReportNoDevice) {
  std::string errors;
  std::unique_ptr<ServiceHost> configured;
  {
    OutputCapture err(2);
    configured = std::make_unique<ServiceHost>(plugin_test::kEnabledConfig,
                                               "/nonexistent/zq4842-extra.so");
    errors = err.Text();
  }
  ServiceHost &host = *configured;
  EXPECT_EQ(host.configure_result(), -1);
  EXPECT_NE(errors.find("/nonexistent/zq4842-extra.so"), std::string::npos) << errors;
  EXPECT_EQ(host.priv()->library, nullptr);
  EXPECT_NE(host.priv()->aes_key, nullptr);
  EXPECT_EQ(community_ops_discover(host.dev()), 0);
  EXPECT_EQ(community_ops_open(host.dev()), -1);
  EXPECT_STREQ(bio_get_notify_mid_mesg(host.dev()), "Device failed to open");
  community_ops_close(host.dev());
}

// --- Key setting ------------------------------------------------------------

class KeyFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zq4842-key-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

  std::string WriteKeyFile(const std::string &bytes) {
    std::string path = dir_ + "/key";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // The key the plug-in falls back to, taken from a configuration without
  // the setting.
  static std::string DefaultKey() {
    OutputCapture quiet;
    ServiceHost host;
    return host.priv()->aes_key;
  }

  std::string dir_;
};

TEST_F(KeyFileTest, DefaultKeyIsShortPrintableText) {
  std::string key = DefaultKey();
  EXPECT_GT(key.size(), 0u);
  EXPECT_LE(key.size(), 29u);
  for (char c : key) EXPECT_TRUE(std::isprint(static_cast<unsigned char>(c))) << key;
}

TEST_F(KeyFileTest, KeyFileCases) {
  const std::string fallback = DefaultKey();
  const std::string forty = "0123456789abcdefghijABCDEFGHIJ0123456789";
  struct Case {
    const char *name;
    std::string file;     // key file content; "<none>", "<dir>", "<fifo>", "<zero>"
                          // (a link to /dev/zero) or "<big>" (one byte past 4096)
    bool set_key;         // whether the AESKey setting is present
    std::string key;      // expected key, empty for the default
    const char *warning;  // expected warning, empty for none
  } cases[] = {
      {"forty bytes keep the first 32", forty, true, forty.substr(0, 32), ""},
      {"short file is the key", "s3cret", true, "s3cret", ""},
      {"text ends at a NUL", std::string("ab\0cd", 5), true, "ab", ""},
      {"empty file", "", true, "", "AES Key File is Enpty, use default Key.\n"},
      {"leading NUL", std::string("\0abc", 4), true, "", "AES Key is Enpty, use default Key.\n"},
      {"no such file", "<none>", true, "",
       "does not Exist or has no Read Permission, use default key.\n"},
      {"setting missing", "", false, "", "use default Key.\n"},
      {"directory", "<dir>", true, "", "use default"},
      {"fifo", "<fifo>", true, "", "Can not open AES Key File"},
      {"link to /dev/zero", "<zero>", true, "", "Can not open AES Key File"},
      {"larger than any key file", "<big>", true, "", "Can not open AES Key File"},
      {"largest key file", std::string(4096, 'k'), true, std::string(32, 'k'), ""},
  };
  alarm(30);  // a FIFO that blocks the read ends the test instead of hanging it
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir_ + "/missing";
    if (c.file == "<dir>") {
      path = dir_;
    } else if (c.file == "<fifo>" || c.file == "<zero>") {
      path = dir_ + "/special";
      unlink(path.c_str());
      ASSERT_EQ(c.file == "<fifo>" ? mkfifo(path.c_str(), 0600) : symlink("/dev/zero", path.c_str()),
                0);
    } else if (c.file == "<big>") {
      path = WriteKeyFile(std::string(4097, 'k'));
    } else if (c.file != "<none>") {
      path = WriteKeyFile(c.file);
    }
    std::string config = "[zq4842]\nEnable=true\n";
    if (c.set_key) config += "AESKey=" + path + "\n";
    std::string printed, key;
    {
      OutputCapture out;
      ServiceHost host(config.c_str());
      printed = out.Text();
      key = host.priv()->aes_key;
    }
    EXPECT_EQ(key, c.key.empty() ? fallback : c.key);
    if (*c.warning != '\0') {
      EXPECT_NE(printed.find(c.warning), std::string::npos) << printed;
    } else {
      EXPECT_EQ(printed.find("default"), std::string::npos) << printed;
    }
  }
  alarm(0);
}

TEST_F(KeyFileTest, MissingSettingReportsTheKeyFileError) {
  std::string printed;
  {
    OutputCapture out;
    ServiceHost host;
    printed = out.Text();
  }
  std::string expected = "Get AES Key File Error[" + std::to_string(G_KEY_FILE_ERROR_KEY_NOT_FOUND) +
                         "]: ";
  EXPECT_NE(printed.find(expected), std::string::npos) << printed;
  EXPECT_NE(printed.find(", use default Key.\n"), std::string::npos) << printed;
}

TEST(DriverInitTest, LogsAndSucceeds) {
  ServiceHost host;
  std::string printed;
  int r;
  {
    OutputCapture out;
    r = host.dev()->ops_driver_init(host.dev());
    host.dev()->ops_attach(host.dev());
    host.dev()->ops_detach(host.dev());
    printed = out.Text();
  }
  EXPECT_EQ(r, 0);
  EXPECT_NE(printed.find("[community_ops_driver_init] ["), std::string::npos) << printed;
  EXPECT_NE(printed.find("[community_ops_attach] ["), std::string::npos) << printed;
  EXPECT_NE(printed.find("[community_ops_detach] ["), std::string::npos) << printed;
}

TEST(PluginLogTest, LevelSixIsInfoOthersAreDebug) {
  ServiceHost host;
  std::string printed;
  {
    OutputCapture out;
    fpi_log(6, "community", "info %d", 1);
    fpi_log(3, "community", "hidden %d", 2);
    setenv("BIO_PRINT_LEVEL", "7", 1);
    fpi_log(3, "community", "debug %d", 3);
    std::string long_text(3000, 'x');
    fpi_log(6, "community", "%s", long_text.c_str());
    printed = out.Text();
  }
  EXPECT_NE(printed.find("info 1\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("hidden"), std::string::npos) << printed;
  EXPECT_NE(printed.find("debug 3\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("community"), std::string::npos) << "the tag is not printed";
  EXPECT_NE(printed.find(std::string(1023, 'x') + "\n"), std::string::npos);
  EXPECT_EQ(printed.find(std::string(1024, 'x')), std::string::npos);
}

TEST(PluginLogTest, CurrentTimeIsWallClockMilliseconds) {
  struct timeval before, after;
  gettimeofday(&before, nullptr);
  uint64_t ms = 0;
  getCurrentTime(&ms);
  gettimeofday(&after, nullptr);
  EXPECT_GE(ms, static_cast<uint64_t>(before.tv_sec) * 1000 + before.tv_usec / 1000);
  EXPECT_LE(ms, static_cast<uint64_t>(after.tv_sec) * 1000 + after.tv_usec / 1000);
  getCurrentTime(nullptr);  // ignored
}

}  // namespace
