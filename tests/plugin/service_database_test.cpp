// The service's feature database, reached through the real service library,
// lives in a private folder for tests: the machine's database is never
// touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include "biometric_common.h"
#include "support/private_tmp.h"

namespace {

constexpr long kTmpfsMagic = 0x01021994;

TEST(ServiceDatabaseTest, ConnectCreatesTheDatabaseInThePrivateFolder) {
  REQUIRE_PRIVATE_SERVICE_DATABASE();
  struct statfs fs;
  ASSERT_EQ(statfs("/var/lib/biometric-auth", &fs), 0);
  EXPECT_EQ(static_cast<long>(fs.f_type), kTmpfsMagic);
  struct stat st;
  ASSERT_NE(stat("/var/lib/biometric-auth/biometric.db", &st), 0);

  sqlite3 *db = bio_sto_connect_db();
  ASSERT_NE(db, nullptr);
  char driver[] = "zq4842";
  feature_info *none = bio_sto_get_feature_info(db, -1, 0, driver, 0, -1);
  EXPECT_EQ(none, nullptr);
  bio_sto_disconnect_db(db);
  EXPECT_EQ(stat("/var/lib/biometric-auth/biometric.db", &st), 0);
}

}  // namespace
