#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/fpdev.h"
#include "framework/fp_internal.h"
#include "framework/fpi_print_data.h"
#include "support/stderr_capture.h"

namespace {

using Bytes = std::vector<unsigned char>;
using testing_support::StderrCapture;

Bytes B(const std::string &s) { return Bytes(s.begin(), s.end()); }

// A print with the given header fields and items, in list order.
fp_print_data *MakePrint(uint16_t driver_id, uint32_t devtype, int type,
                         const std::vector<Bytes> &items) {
  fp_print_data *print = fpi_print_data_new_fields(driver_id, devtype, type);
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    fp_print_data_item *item = fpi_print_data_item_new(it->size());
    std::copy(it->begin(), it->end(), item->data);
    print->prints = g_slist_prepend(print->prints, item);
  }
  return print;
}

std::vector<Bytes> Items(const fp_print_data *print) {
  std::vector<Bytes> out;
  for (GSList *l = print->prints; l != nullptr; l = l->next) {
    auto *item = static_cast<fp_print_data_item *>(l->data);
    out.emplace_back(item->data, item->data + item->length);
  }
  return out;
}

Bytes Serialise(fp_print_data *print) {
  unsigned char *buf = nullptr;
  size_t len = fp_print_data_get_data(print, &buf);
  Bytes out(buf, buf + len);
  std::free(buf);
  return out;
}

TEST(PrintBlob, SerialisesHeaderAndItemsLittleEndianInListOrder) {
  struct Case {
    const char *name;
    uint16_t driver_id;
    uint32_t devtype;
    int type;
    std::vector<Bytes> items;
    Bytes blob;
  } cases[] = {
      {"quorvanta one item", 35, 0, 1, {B("abc")},
       {'F', 'P', '2', 0x23, 0, 0, 0, 0, 0, 1, 3, 0, 0, 0, 'a', 'b', 'c'}},
      {"no items", 35, 0, 1, {}, {'F', 'P', '2', 0x23, 0, 0, 0, 0, 0, 1}},
      {"two items, wide fields", 0x1234, 0xA1B2C3D4, 0, {B("x"), B("")},
       {'F', 'P', '2', 0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0, 1, 0, 0, 0, 'x', 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    fp_print_data *print = MakePrint(c.driver_id, c.devtype, c.type, c.items);
    EXPECT_EQ(Serialise(print), c.blob) << c.name;
    fp_print_data_free(print);
  }
}

TEST(PrintBlob, QuorvantaExampleIsTheKnownBase64) {
  fp_print_data *print = MakePrint(35, 0, 1, {B("abc")});
  Bytes blob = Serialise(print);
  gchar *text = g_base64_encode(blob.data(), blob.size());
  EXPECT_STREQ(text, "RlAyIwAAAAAAAQMAAABhYmM=");
  g_free(text);
  fp_print_data_free(print);
}

TEST(PrintBlob, ReadsBackHeaderFieldsAndReversesItemOrder) {
  fp_print_data *print = MakePrint(0xBEEF, 0x01020304, 1, {B("A"), B("BB"), B("")});
  Bytes blob = Serialise(print);
  fp_print_data_free(print);

  fp_print_data *back = fp_print_data_from_data(blob.data(), blob.size());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(fp_print_data_get_driver_id(back), 0xBEEF);
  EXPECT_EQ(fp_print_data_get_devtype(back), 0x01020304u);
  EXPECT_EQ(back->type, 1);
  EXPECT_EQ(Items(back), (std::vector<Bytes>{B(""), B("BB"), B("A")}));
  // A single item survives a round trip unchanged.
  fp_print_data *one = MakePrint(35, 0, 1, {B("template")});
  Bytes one_blob = Serialise(one);
  fp_print_data *one_back = fp_print_data_from_data(one_blob.data(), one_blob.size());
  ASSERT_NE(one_back, nullptr);
  EXPECT_EQ(Serialise(one_back), one_blob);
  fp_print_data_free(one);
  fp_print_data_free(one_back);
  fp_print_data_free(back);
}

// A 10-byte header with the given prefix for driver 35, devtype 0, type 1.
Bytes Header(const char *prefix) {
  Bytes h = B(prefix);
  Bytes rest = {0x23, 0, 0, 0, 0, 0, 1};
  h.insert(h.end(), rest.begin(), rest.end());
  return h;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes First(Bytes b, size_t n) { return Bytes(b.begin(), b.begin() + n); }

Bytes Len(uint32_t n) {
  return {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
          static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
}

TEST(PrintBlob, ParsesOrRejectsEachBlobShape) {
  const std::string corrupted = "fp:error [fpi_print_data_from_fp2_data] corrupted fingerprint data";
  const std::string bad_prefix = "fp:error [fp_print_data_from_data] bad header prefix";
  struct Case {
    const char *name;
    Bytes blob;
    bool parses;
    std::vector<Bytes> items;  // in list order
    std::vector<std::string> log;
  } cases[] = {
      {"9 bytes", First(Header("FP2"), 9), false, {}, {}},
      {"empty", {}, false, {}, {}},
      {"10-byte FP2", Header("FP2"), false, {}, {}},
      {"10-byte FP1", Header("FP1"), true, {B("")}, {}},
      {"FP1 runs to the end", Cat({Header("FP1"), B("xyz\x01")}), true, {B("xyz\x01")}, {}},
      {"11-byte FP2", Cat({Header("FP2"), {7}}), false, {}, {}},
      {"A then B", Cat({Header("FP2"), Len(1), B("A"), Len(2), B("BB")}), true,
       {B("BB"), B("A")}, {}},
      {"zero-length item", Cat({Header("FP2"), Len(0)}), true, {B("")}, {}},
      {"three trailing bytes", Cat({Header("FP2"), Len(1), B("A"), {1, 2, 3}}), true,
       {B("A")}, {}},
      {"second length past the end", Cat({Header("FP2"), Len(1), B("A"), Len(3), B("BB")}),
       true, {B("A")}, {corrupted}},
      {"first length past the end", Cat({Header("FP2"), Len(5), B("AAAA")}), false, {},
       {corrupted}},
      {"length near 4 GiB", Cat({Header("FP2"), Len(0xFFFFFFFF), B("A")}), false, {},
       {corrupted}},
      {"length wraps a 32-bit position", Cat({Header("FP2"), Len(0xFFFFFFF2), B("AAAA")}),
       false, {}, {corrupted}},
      {"bad prefix", Cat({Header("XYZ"), Len(1), B("A")}), false, {}, {bad_prefix}},
      {"lower-case prefix", Cat({Header("fp2"), Len(1), B("A")}), false, {}, {bad_prefix}},
  };
  for (const Case &c : cases) {
    StderrCapture capture;
    fp_print_data *print = fp_print_data_from_data(c.blob.data(), c.blob.size());
    EXPECT_EQ(print != nullptr, c.parses) << c.name;
    if (print != nullptr) {
      EXPECT_EQ(Items(print), c.items) << c.name;
      EXPECT_EQ(print->driver_id, 35) << c.name;
      EXPECT_EQ(print->type, 1) << c.name;
    }
    EXPECT_EQ(capture.Lines(), c.log) << c.name;
    fp_print_data_free(print);
  }
}

TEST(PrintData, NewPrintTakesTheDeviceDriverAndDataType) {
  struct Case {
    int driver_type;
    int data_type;
  } cases[] = {{DRIVER_IMAGING, FP_PRINT_DATA_MINUTIAE}, {DRIVER_PRIMITIVE, FP_PRINT_DATA_RAW}};
  for (const Case &c : cases) {
    fp_driver driver{};
    driver.id = 35;
    driver.type = c.driver_type;
    fp_dev dev{};
    dev.driver = &driver;
    dev.devtype = 7;
    fp_print_data *print = fpi_print_data_new(&dev);
    EXPECT_EQ(print->driver_id, 35);
    EXPECT_EQ(print->devtype, 7u);
    EXPECT_EQ(print->type, c.data_type);
    EXPECT_EQ(print->prints, nullptr);
    fp_print_data_free(print);
  }
  fp_print_data_free(nullptr);
}

TEST(PrintData, NewItemIsZeroed) {
  fp_print_data_item *item = fpi_print_data_item_new(64);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->length, 64u);
  EXPECT_EQ(Bytes(item->data, item->data + 64), Bytes(64, 0));
  std::free(item);
  EXPECT_EQ(fpi_print_data_item_new(SIZE_MAX - 4), nullptr);
}

TEST(PrintData, FingerNames) {
  struct Case {
    int finger;
    const char *name;
  } cases[] = {{0, "UNKNOWN"},       {1, "left thumb"},  {5, "left little"},
               {6, "right thumb"},   {10, "right little"}, {11, "UNKNOWN"},
               {-1, "UNKNOWN"}};
  for (const Case &c : cases) EXPECT_STREQ(fpi_finger_name(c.finger), c.name) << c.finger;
}

}  // namespace
