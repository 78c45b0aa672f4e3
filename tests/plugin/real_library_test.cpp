// The plug-in against the built device library itself (not the scripted
// one): configuration resolves all of its functions from it.
#include <dlfcn.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "plugin/community_dev_priv.h"
#include "plugin/community_ops.h"
#include "plugin/zq4842.h"

namespace {

TEST(RealLibraryTest, ConfigureResolvesEveryFunctionFromTheLibrary) {
  GKeyFile *conf = g_key_file_new();
  ASSERT_TRUE(g_key_file_load_from_data(conf, "[zq4842]\nEnable=true\n", static_cast<gsize>(-1),
                                        G_KEY_FILE_NONE, nullptr));
  quorvanta_library_path = FPDEV_QUORVANTA_PATH;
  bio_dev dev{};
  ASSERT_EQ(ops_configure(&dev, conf), 0);
  community_dev_priv *priv = community_priv(&dev);
  ASSERT_NE(priv, nullptr);
  ASSERT_NE(priv->library, nullptr);

  const struct {
    const char *name;
    void *slot;
  } slots[] = {
#define SLOT(name) {#name, reinterpret_cast<void *>(priv->name)}
      SLOT(fp_init), SLOT(fp_discover_devs), SLOT(fp_dscv_dev_get_driver),
      SLOT(fp_driver_get_driver_id), SLOT(fp_driver_get_full_name), SLOT(fp_dev_open),
      SLOT(fp_dscv_devs_free), SLOT(fp_dev_get_nr_enroll_stages), SLOT(fp_dev_close),
      SLOT(fp_exit), SLOT(fp_print_data_get_data), SLOT(fp_print_data_free),
      SLOT(fp_print_data_from_data), SLOT(fp_async_enroll_start), SLOT(fp_async_enroll_stop),
      SLOT(fp_async_identify_start), SLOT(fp_handle_events_timeout), SLOT(fp_async_identify_stop),
      SLOT(fp_driver_get_id_table), SLOT(fp_template_data_sync), SLOT(fp_template_data_delete),
      SLOT(fp_template_data_import), SLOT(fp_template_registered_number),
      SLOT(fp_template_data_update), SLOT(fp_set_debug), SLOT(fp_get_module_type),
#undef SLOT
  };
  ASSERT_EQ(std::size(slots), 26u);
  for (const auto &s : slots) {
    SCOPED_TRACE(s.name);
    ASSERT_NE(s.slot, nullptr);
    Dl_info info{};
    ASSERT_NE(dladdr(s.slot, &info), 0);
    // Defined in the device library, under its own name.
    EXPECT_NE(std::string(info.dli_fname).find("libfpdev_quorvanta.so"), std::string::npos)
        << info.dli_fname;
    ASSERT_NE(info.dli_sname, nullptr);
    EXPECT_STREQ(info.dli_sname, s.name);
  }

  // The library's drivers answer through the resolved functions.
  ASSERT_EQ(priv->fp_init(), 0);
  priv->fp_exit();

  community_ops_free(&dev);
  g_key_file_free(conf);
}

}  // namespace
