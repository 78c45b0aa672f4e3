#include "plugin/operation_fixture.h"

#include <cstring>
#include <ostream>

#include "support/private_tmp.h"

namespace plugin_test {

namespace {

char kDriver[] = "zq4842";

void NoteHook(int /*call*/, void *arg) { static_cast<OperationTest *>(arg)->RecordNote(); }

}  // namespace

void PrintTo(const Row &row, std::ostream *os) {
  *os << "{uid " << row.uid << ", index " << row.index << ", \"" << row.name << "\", no "
      << row.no << ", \"" << row.data << "\"}";
}

std::string Base64(const std::string &bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t group = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<uint8_t>(bytes[i + 2]);
    out += kAlphabet[group >> 18 & 63];
    out += kAlphabet[group >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[group >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

std::string StoredText(const std::string &item) {
  std::string blob("FP2\x23\x00\x00\x00\x00\x00\x01", 10);
  uint32_t n = static_cast<uint32_t>(item.size());
  for (int i = 0; i < 4; ++i) blob += static_cast<char>(n >> (8 * i) & 0xff);
  return Base64(blob + item);
}

void StoreFeature(int uid, int index, const std::string &name, const std::string &data) {
  std::string name_copy = name;
  std::string data_copy = data;
  feature_info *f = bio_sto_new_feature_info(uid, 0, kDriver, index, name_copy.data());
  f->sample = bio_sto_new_feature_sample(-1, nullptr);
  f->sample->no = 1;
  f->sample->data = bio_sto_new_str(data_copy.data());
  sqlite3 *db = bio_sto_connect_db();
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(bio_sto_set_feature_info(db, f), 0);
  bio_sto_disconnect_db(db);
  bio_sto_free_feature_info_list(f);
}

std::vector<Row> StoredRows() {
  std::vector<Row> rows;
  sqlite3 *db = bio_sto_connect_db();
  if (db == nullptr) return rows;
  feature_info *list = bio_sto_get_feature_info(db, -1, 0, kDriver, 0, -1);
  bio_sto_disconnect_db(db);
  for (feature_info *f = list; f != nullptr; f = f->next)
    for (feature_sample *s = f->sample; s != nullptr; s = s->next)
      rows.push_back({f->uid, f->index, f->index_name ? f->index_name : "", s->no,
                      s->data ? s->data : ""});
  bio_sto_free_feature_info_list(list);
  return rows;
}

void OperationTest::SetUp() {
  REQUIRE_PRIVATE_SERVICE_DATABASE();
  fake_ = fake_fpdev_control();
  *fake_ = fake_fpdev_script{};
  fake_->driver_ids[fake_->nr_devices++] = 35;
  fake_->nr_enroll_stages = 12;
  Finger("abc");
  usb_.Clear();
  usb_.Plug("1-2", 0x3c5d, 0x4842);
  host_ = std::make_unique<ServiceHost>();
  ASSERT_EQ(community_ops_open(dev()), 0);
}

void OperationTest::TearDown() {
  host_.reset();
  if (fake_ != nullptr) {
    EXPECT_EQ(fake_->prints_alive, 0) << "prints left unfreed";
  }
}

void OperationTest::Finger(const char *text) {
  std::snprintf(fake_->finger, sizeof fake_->finger, "%s", text);
}

void OperationTest::Identify(std::initializer_list<fake_fpdev_identify_step> steps) {
  fake_->nr_identify_steps = 0;
  for (const auto &s : steps) fake_->identify_steps[fake_->nr_identify_steps++] = s;
}

void OperationTest::RecordNotifyTexts() {
  fake_->on_poll = NoteHook;
  fake_->on_poll_arg = this;
}

void OperationTest::RecordNote() {
  const char *text = bio_get_notify_mid_mesg(dev());
  notes_.push_back(text != nullptr ? text : "(none)");
}

void OperationTest::ShortTimeout() {
  bio_set_ops_timeout_ms(5500);
  priv()->timeout_ms = 5500 - COMMUNITY_TIMEOUT_MARGIN_MS;
}

}  // namespace plugin_test
