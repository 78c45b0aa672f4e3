// The Validity VFS0050's USB protocol: endpoints, command packets, the
// set-up blob, interrupt messages and the layout of its line records.
#ifndef DRIVERS_VFS0050_VFS0050_PROTO_H_
#define DRIVERS_VFS0050_VFS0050_PROTO_H_

#include <cstddef>
#include <cstdint>

namespace vfs0050 {

// Endpoints: commands out, answers in, line data in, interrupts in.
inline constexpr uint8_t kEpOut = 0x01;
inline constexpr uint8_t kEpIn = 0x81;
inline constexpr uint8_t kEpLines = 0x82;
inline constexpr uint8_t kEpInterrupt = 0x83;

// Time-outs in milliseconds: commands and answers, line reads, drains.
inline constexpr unsigned kBulkTimeoutMs = 100;
inline constexpr unsigned kDrainTimeoutMs = 20;
// Bytes asked for by every line read and every drain.
inline constexpr size_t kReadChunk = 65536;

// Every command packet goes out as this many bytes, zero-padded.
inline constexpr size_t kPacketSize = 125;
// The set-up blob sent after each command packet but packet 2.
inline constexpr size_t kSetupSize = 985;
// The answer read after the set-up blob.
inline constexpr size_t kSetupAnswerSize = 1106;
// The answer read after a command packet or the clear byte.
inline constexpr size_t kAnswerSize = 2;
// The byte that clears the sensor's line buffer.
inline constexpr uint8_t kClearCommand = 0x04;
// Interrupt messages.
inline constexpr size_t kInterruptSize = 5;

extern const uint8_t kPacket0[kPacketSize];  // the initial command
extern const uint8_t kPacket1[kPacketSize];  // arms the sensor for a finger
extern const uint8_t kPacket2[kPacketSize];  // ends a capture; followed by packet 3
extern const uint8_t kPacket3[kPacketSize];
extern const uint8_t kSetup[kSetupSize];
extern const uint8_t kInterruptFinger[3][kInterruptSize];  // a finger arrived
extern const uint8_t kInterruptEmpty[kInterruptSize];      // the answer after a command

// Line records: 148 bytes; pixel x (0..99) at byte 8 + x; bytes 4 and 5 both
// within [41, 215] mark a line read without the finger.
inline constexpr size_t kLineSize = 148;
inline constexpr unsigned kLineWidth = 100;
inline constexpr size_t kPixelOffset = 8;
inline constexpr uint8_t kBlankLow = 41;
inline constexpr uint8_t kBlankHigh = 215;
// Bytes 108.. of a line, compared with pixels 33.. (bytes 41..) of a later one.
inline constexpr size_t kLookaheadOffset = 108;
inline constexpr size_t kLookaheadMatchOffset = 41;
inline constexpr size_t kLookaheadLength = 32;
// Most lines assembled, and the fewest that make a swipe.
inline constexpr size_t kMaxLines = 3000;
inline constexpr size_t kMinLines = 100;

// Pixel x of a line record.
inline unsigned char LinePixel(const uint8_t *line, unsigned x) { return line[kPixelOffset + x]; }

// Sum over i < 32 of (a[108 + i] - b[41 + i])^2: how far line b is from
// where line a looked ahead.
int LineDeviation(const uint8_t *a, const uint8_t *b);

// True for a line read without the finger: bytes 4 and 5 both within
// [41, 215], ends included.
bool IsBlankLine(const uint8_t *line);

// Number of lines to assemble from `bytes` bytes of line records: the whole
// records, less the blank lines at the end, at most kMaxLines.
size_t UsableLines(const uint8_t *data, size_t bytes);

// 1 for one of the finger messages, 2 for "finger already on" (first byte
// 1), 0 for anything else.
int ClassifyInterrupt(const uint8_t message[kInterruptSize]);

}  // namespace vfs0050

#endif  // DRIVERS_VFS0050_VFS0050_PROTO_H_
