// The VFS0050's fixed packets and blob against the device's published bytes,
// and the line-record and interrupt helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/vfs0050/vfs0050_proto.h"

namespace {

using namespace vfs0050;

std::vector<uint8_t> Bytes(const uint8_t *data, size_t size) {
  return std::vector<uint8_t>(data, data + size);
}

TEST(Vfs0050PacketsTest, SetupBlobHasItsLengthAndSpotValues) {
  static_assert(sizeof(kSetup) == 985);
  const struct {
    size_t offset;
    uint8_t value;
  } spots[] = {{0, 0x02},   {1, 0x94},   {4, 0x00},   {9, 0x2c},   {544, 0xfb},
               {547, 0x2b}, {548, 0xc5}, {575, 0x24}, {805, 0x24}, {807, 0x84},
               {810, 0x65}, {959, 0x02}, {978, 0x1f}, {982, 0x0f}, {983, 0x03},
               {984, 0x00}};
  for (const auto &s : spots) EXPECT_EQ(kSetup[s.offset], s.value) << "offset " << s.offset;
}

TEST(Vfs0050PacketsTest, SetupBlobStartsWithFortyRegisterWrites) {
  // A byte lost or doubled anywhere in the first 485 bytes shifts the records.
  for (size_t r = 0; r < 40; ++r) {
    const uint8_t *rec = kSetup + 5 + 12 * r;
    EXPECT_EQ(Bytes(rec, 4), (std::vector<uint8_t>{0x20, 0x00, 0x08, 0x00})) << "record " << r;
    EXPECT_EQ(rec[7], 0x30) << "record " << r;  // registers 0x3000xxxx
  }
  EXPECT_EQ(kSetup[5 + 12 * 40], 0x25);
}

TEST(Vfs0050PacketsTest, PacketsHaveTheirLeadingBytesAndZeroPadding) {
  const struct {
    const char *name;
    const uint8_t *packet;
    size_t leading;
    std::vector<uint8_t> head;
    uint8_t last_leading;
  } cases[] = {
      {"packet 0", kPacket0, 2, {0x39, 0x01}, 0x01},
      {"packet 1", kPacket1, 73, {0x39, 0x20, 0xbf, 0x02, 0x00, 0xf4, 0x01}, 0x20},
      {"packet 2", kPacket2, 73, {0x39, 0xb8, 0x0b, 0x00, 0x00, 0xb8, 0x0b}, 0x20},
      {"packet 3", kPacket3, 73, {0x39, 0xe8, 0x03, 0x00, 0x00, 0xe8, 0x03}, 0x20},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(Bytes(c.packet, c.head.size()), c.head) << c.name;
    EXPECT_EQ(c.packet[c.leading - 1], c.last_leading) << c.name;
    EXPECT_EQ(Bytes(c.packet + c.leading, kPacketSize - c.leading),
              std::vector<uint8_t>(kPacketSize - c.leading, 0))
        << c.name;
  }
  EXPECT_EQ(kPacket1[25], 0xf4);
  EXPECT_EQ(kPacket1[45], 0xf4);
  EXPECT_EQ(kPacket3[21], 0xd1);
  EXPECT_EQ(kPacket3[49], 0x02);
}

// 64-bit FNV-1a.
uint64_t Digest(const uint8_t *data, size_t size) {
  uint64_t h = 0xcbf29ce484222325u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 0x100000001b3u;
  return h;
}

TEST(Vfs0050PacketsTest, WholeBlobAndPacketsMatchTheDeviceBytes) {
  // Digests of the device's bytes as published (packets padded with zeros to
  // 125 bytes): any one byte changed anywhere shows.
  const struct {
    const char *name;
    const uint8_t *data;
    size_t size;
    uint64_t digest;
  } cases[] = {
      {"setup", kSetup, kSetupSize, 0x097683f7b806b6a9u},
      {"packet 0", kPacket0, kPacketSize, 0xb7bd4631e5c947c5u},
      {"packet 1", kPacket1, kPacketSize, 0x3cc624292bbf5b9du},
      {"packet 2", kPacket2, kPacketSize, 0x971a68ebf31e7c67u},
      {"packet 3", kPacket3, kPacketSize, 0x0992cb65326db31fu},
  };
  for (const auto &c : cases) EXPECT_EQ(Digest(c.data, c.size), c.digest) << c.name;
}

TEST(Vfs0050PacketsTest, Packet2IsPacket3WithThreeTimeValuesChanged) {
  std::vector<size_t> differing;
  for (size_t i = 0; i < kPacketSize; ++i) {
    if (kPacket2[i] != kPacket3[i]) differing.push_back(i);
  }
  EXPECT_EQ(differing, (std::vector<size_t>{1, 2, 5, 6, 65, 66}));
  for (size_t i : {1, 5, 65}) {
    EXPECT_EQ(Bytes(kPacket3 + i, 2), (std::vector<uint8_t>{0xe8, 0x03})) << i;
    EXPECT_EQ(Bytes(kPacket2 + i, 2), (std::vector<uint8_t>{0xb8, 0x0b})) << i;
  }
}

TEST(Vfs0050InterruptTest, ClassifiesMessages) {
  const struct {
    std::vector<uint8_t> message;
    int kind;
  } cases[] = {
      {{0x02, 0x00, 0x0e, 0x00, 0xf0}, 1}, {{0x02, 0x04, 0x0a, 0x00, 0xf0}, 1},
      {{0x02, 0x00, 0x0a, 0x00, 0xf0}, 1}, {{0x01, 0x00, 0x00, 0x00, 0x00}, 2},
      {{0x01, 0x04, 0x0a, 0x00, 0xf0}, 2}, {{0x00, 0x00, 0x00, 0x00, 0x00}, 0},
      {{0x02, 0x00, 0x0e, 0x00, 0xf1}, 0}, {{0x02, 0x04, 0x0e, 0x00, 0xf0}, 0},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(ClassifyInterrupt(c.message.data()), c.kind) << testing::PrintToString(c.message);
  }
}

// A line record: bytes 4 and 5 as given, pixels and look-ahead bytes filled.
std::vector<uint8_t> Line(uint8_t b4, uint8_t b5) {
  std::vector<uint8_t> line(kLineSize, 0xee);
  line[4] = b4;
  line[5] = b5;
  return line;
}

TEST(Vfs0050LinesTest, BlankLinesHaveBothMarkersWithinTheRangeEndsIncluded) {
  const struct {
    uint8_t b4, b5;
    bool blank;
  } cases[] = {{41, 41, true},   {215, 215, true}, {128, 41, true},  {40, 128, false},
               {128, 40, false}, {216, 128, false}, {128, 216, false}, {0, 255, false}};
  for (const auto &c : cases) {
    EXPECT_EQ(IsBlankLine(Line(c.b4, c.b5).data()), c.blank) << int(c.b4) << "," << int(c.b5);
  }
}

// Records of `finger` lines (markers 0, 0), then `blank` (128, 128), then
// `extra` bytes of a partial record.
std::vector<uint8_t> Records(const std::vector<bool> &blank_pattern, size_t extra = 0) {
  std::vector<uint8_t> data;
  for (bool blank : blank_pattern) {
    std::vector<uint8_t> l = blank ? Line(128, 128) : Line(0, 0);
    data.insert(data.end(), l.begin(), l.end());
  }
  data.insert(data.end(), extra, 128);
  return data;
}

std::vector<bool> Pattern(size_t finger, size_t blank) {
  std::vector<bool> p(finger, false);
  p.insert(p.end(), blank, true);
  return p;
}

std::vector<bool> Concat(std::vector<bool> a, const std::vector<bool> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Vfs0050LinesTest, UsableLinesDropTrailingBlanksAndKeepTheFirst3000) {
  const struct {
    const char *name;
    std::vector<bool> pattern;
    size_t extra;
    size_t usable;
  } cases[] = {
      {"trailing blanks", Pattern(5, 3), 0, 5},
      {"blanks inside stay", {false, true, false, true, true}, 0, 3},
      {"all blank", Pattern(0, 4), 0, 0},
      {"nothing", {}, 0, 0},
      {"partial record ignored", Pattern(2, 0), 147, 2},
      {"long swipe", Pattern(5000, 0), 0, 3000},
      {"long swipe with blanks", Pattern(5000, 10), 0, 3000},
      // Blank lines are dropped from the end before the cut: here the cut
      // keeps five blank lines from the middle.
      {"trim then cut", Concat(Pattern(2995, 10), Pattern(5, 0)), 0, 3000},
      {"trim then cut, blank tail", Concat(Pattern(2995, 10), Pattern(0, 5)), 0, 2995},
  };
  for (const auto &c : cases) {
    std::vector<uint8_t> data = Records(c.pattern, c.extra);
    EXPECT_EQ(UsableLines(data.data(), data.size()), c.usable) << c.name;
  }
}

TEST(Vfs0050LinesTest, DeviationComparesTheLookAheadWithTheLaterLinesPixels) {
  std::vector<uint8_t> a(kLineSize, 0xff), b(kLineSize, 0x00);
  for (size_t i = 0; i < 32; ++i) {
    a[108 + i] = static_cast<uint8_t>(100 + i);
    b[41 + i] = static_cast<uint8_t>(100 + i + (i % 2 == 0 ? 3 : -2));
  }
  EXPECT_EQ(LineDeviation(a.data(), b.data()), 16 * 9 + 16 * 4);
  EXPECT_EQ(LinePixel(b.data(), 33), 103);
}

}  // namespace
