// The print store.
#include <glib.h>

#include "framework/fpi_print_store.h"

namespace {

// The store's base directory; unset until first use.
char *g_base_store = nullptr;

}  // namespace

extern "C" void fpi_print_store_exit(void) {
  g_free(g_base_store);
  g_base_store = nullptr;
}
