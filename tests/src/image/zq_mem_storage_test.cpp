#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "src/lib_log_capture.h"
#include "src/image/ZqMemStorage.h"
#include "src/image/ZqMemoryManager.h"

namespace {

using testing_support::LibLogCapture;

// A 40-byte record like the keypoint detector's.
struct Elem {
  int32_t key;
  int32_t id;
  double pad[4];
};
static_assert(sizeof(Elem) == 40);

Elem Make(int key, int id) { return Elem{key, id, {0.5 * id, 0, 0, 0}}; }

bool Aligned8(const void *p) { return (reinterpret_cast<uintptr_t>(p) & 7) == 0; }

int CmpKey(const void *a, const void *b, void *) {
  int ka = static_cast<const Elem *>(a)->key, kb = static_cast<const Elem *>(b)->key;
  return (ka > kb) - (ka < kb);
}

// Checks the chain's bookkeeping and returns the elements in order.
std::vector<Elem> Contents(const ST_Seq *seq) {
  std::vector<Elem> out;
  const ST_SeqBlock *first = seq->firstBlock;
  if (first == nullptr) {
    EXPECT_EQ(seq->total, 0);
    return out;
  }
  int sum = 0;
  const ST_SeqBlock *b = first;
  do {
    EXPECT_EQ(b->next->prev, b);
    if (b->next != first) {
      EXPECT_EQ(b->next->startIndex, b->startIndex + b->count);
    }
    EXPECT_GT(b->count, 0);
    for (int i = 0; i < b->count; ++i) {
      Elem e;
      std::memcpy(&e, b->data + i * sizeof(Elem), sizeof e);
      out.push_back(e);
    }
    sum += b->count;
    b = b->next;
  } while (b != first);
  EXPECT_EQ(sum, seq->total);
  EXPECT_EQ(seq->writePos, first->prev->data + first->prev->count * seq->elemSize);
  return out;
}

std::vector<int> Keys(const std::vector<Elem> &v) {
  std::vector<int> k;
  for (const Elem &e : v) k.push_back(e.key);
  return k;
}

// A default storage with one 40-byte sequence, released at the end.
class SeqTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(0); }
  void Open(int blockSize) {
    if (storage_ != nullptr) ZqReleaseMemStorage(&storage_);
    storage_ = ZqCreateMemStorage(blockSize);
    ASSERT_NE(storage_, nullptr);
    seq_ = ZqCreateSeq(96, sizeof(Elem), storage_);
    ASSERT_NE(seq_, nullptr);
  }
  void TearDown() override {
    ZqReleaseMemStorage(&storage_);
    EXPECT_EQ(ZqGetMallocCnts(), start_);
  }
  void PushBack(int key, int id) {
    Elem e = Make(key, id);
    ASSERT_NE(ZqSeqPush(seq_, &e), nullptr);
  }
  void PushFront(int key, int id) {
    Elem e = Make(key, id);
    ASSERT_NE(ZqSeqPushFront(seq_, &e), nullptr);
  }

  const int32_t start_ = ZqGetMallocCnts();
  ST_MemStorage *storage_ = nullptr;
  ST_Seq *seq_ = nullptr;
};

TEST(ZqMemStorage, BlockSizes) {
  struct Case {
    int given, block;
  } cases[] = {{0, 8064}, {-5, 8064}, {1001, 1004}, {1004, 1004}, {8064, 8064}, {1, 4}};
  const int32_t start = ZqGetMallocCnts();
  for (const Case &c : cases) {
    ST_MemStorage *s = ZqCreateMemStorage(c.given);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->blockSize, c.block) << c.given;
    EXPECT_EQ(s->firstBlock, nullptr);
    EXPECT_EQ(s->freeSpace, 0);
    ZqReleaseMemStorage(&s);
    EXPECT_EQ(s, nullptr);
    ZqReleaseMemStorage(&s);  // a second release does nothing
  }
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqMemStorage, ChunksAreAlignedDisjointAndBoundedByTheBlock) {
  const int32_t start = ZqGetMallocCnts();
  ST_MemStorage *s = ZqCreateMemStorage(1001);
  std::mt19937 rng(5);
  std::vector<std::pair<uint8_t *, int>> chunks;
  for (int i = 0; i < 400; ++i) {
    int size = static_cast<int>(rng() % 120);
    auto *p = static_cast<uint8_t *>(ZqMemStorageAlloc(s, size));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Aligned8(p)) << i;
    std::memset(p, i & 0xff, size);
    chunks.emplace_back(p, size);
  }
  for (size_t i = 0; i < chunks.size(); ++i) {
    const auto &[p, size] = chunks[i];
    EXPECT_EQ(std::count(p, p + size, static_cast<uint8_t>(i & 0xff)), size) << i;
  }
  // The room of a fresh block is 1004 - 16, rounded down to 4.
  EXPECT_EQ(ZqMemStorageAlloc(s, 989), nullptr);
  EXPECT_NE(ZqMemStorageAlloc(s, 988), nullptr);
  ZqReleaseMemStorage(&s);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqMemStorage, SaveRestoreAndClearReuseBlocks) {
  ST_MemStorage *s = ZqCreateMemStorage(0);
  void *first = ZqMemStorageAlloc(s, 24);
  ST_MemStoragePos pos;
  ZqSaveMemStoragePos(s, &pos);
  void *a = ZqMemStorageAlloc(s, 5000);
  ZqMemStorageAlloc(s, 5000);  // second block
  const int32_t heap = ZqGetMallocCnts();
  ZqRestoreMemStoragePos(s, &pos);
  EXPECT_EQ(ZqMemStorageAlloc(s, 5000), a);
  ZqClearMemStorage(s);
  EXPECT_EQ(ZqMemStorageAlloc(s, 24), first);
  ZqMemStorageAlloc(s, 6000);  // moves on to the kept second block
  EXPECT_EQ(ZqGetMallocCnts(), heap);
  ST_MemStoragePos none = {nullptr, 0};
  ZqRestoreMemStoragePos(s, &none);
  EXPECT_EQ(s->curBlock, s->firstBlock);
  EXPECT_EQ(s->freeSpace, 8064 - 16);
  ZqReleaseMemStorage(&s);
}

TEST(ZqMemStorage, ChildBorrowsAndGivesBackParentBlocks) {
  const int32_t start = ZqGetMallocCnts();
  ST_MemStorage *parent = ZqCreateMemStorage(1024);
  ST_MemStorage *child = ZqCreateChildMemStorage(parent);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->parent, parent);
  EXPECT_EQ(child->blockSize, 1024);
  // Parent without blocks: its fresh block goes to the child entirely.
  void *p = ZqMemStorageAlloc(child, 100);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(parent->firstBlock, nullptr);
  EXPECT_EQ(parent->freeSpace, 0);
  ST_MemBlock *lent = child->firstBlock;
  ZqClearMemStorage(child);  // a child's clear gives its blocks back
  EXPECT_EQ(child->firstBlock, nullptr);
  EXPECT_EQ(parent->firstBlock, lent);
  EXPECT_EQ(parent->curBlock, lent);

  // Parent with spare blocks behind its current one: the child takes the
  // next one and gives it back behind the parent's current block.
  ZqMemStorageAlloc(parent, 900);  // freeSpace was left 0: a new block
  ZqMemStorageAlloc(parent, 900);  // and another: lent, B, C
  ZqClearMemStorage(parent);       // current block back to lent
  ST_MemBlock *b = parent->firstBlock->next;
  ST_MemBlock *c = b->next;
  ASSERT_NE(c, nullptr);
  const int32_t heap = ZqGetMallocCnts();
  ZqMemStorageAlloc(child, 900);
  EXPECT_EQ(child->firstBlock, b);
  EXPECT_EQ(parent->firstBlock->next, c);
  EXPECT_EQ(c->prev, parent->firstBlock);
  EXPECT_EQ(ZqGetMallocCnts(), heap);
  ZqReleaseMemStorage(&child);
  EXPECT_EQ(parent->firstBlock->next, b);
  EXPECT_EQ(b->next, c);
  EXPECT_EQ(c->prev, b);
  ZqReleaseMemStorage(&parent);
  EXPECT_EQ(ZqGetMallocCnts(), start);
}

TEST(ZqMemStorage, NullArgumentsAreLogged) {
  LibLogCapture log;
  ST_MemStoragePos pos;
  EXPECT_EQ(ZqInitMemStorage(nullptr, 0), 0);
  EXPECT_EQ(ZqCreateChildMemStorage(nullptr), nullptr);
  ZqDestroyMemStorage(nullptr);
  ZqReleaseMemStorage(nullptr);
  ZqClearMemStorage(nullptr);
  ZqSaveMemStoragePos(nullptr, &pos);
  EXPECT_EQ(ZqGoNextMemBlock(nullptr), 0);
  EXPECT_EQ(ZqMemStorageAlloc(nullptr, 4), nullptr);
  EXPECT_EQ(ZqCreateSeq(96, 40, nullptr), nullptr);
  EXPECT_EQ(ZqAlignPtr64(nullptr, 8), nullptr);
  EXPECT_EQ(ZqAlignPtr32(nullptr, 8), 0u);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqInitMemStorage...storage == NULL",
                                "ZqCreateChildMemStorage...parent == NULL",
                                "ZqDestroyMemStorage...storage == NULL",
                                "ZqReleaseMemStorage...storage == NULL",
                                "ZqClearMemStorage...storage == NULL",
                                "ZqSaveMemStoragePos...(storage == NULL) || (pos == NULL)",
                                "ZqGoNextMemBlock...storage == NULL",
                                "ZqMemStorageAlloc...storage == NULL",
                                "ZqCreateSeq...storage == NULL",
                                "ZqAlignPtr64...ptr == NULL",
                                "ZqAlignPtr32...ptr == NULL",
                            }));
}

TEST(ZqAlign, RoundsToPowersOfTwo) {
  struct Case {
    int size, align, up, down;
  } cases[] = {{0, 4, 0, 0}, {1, 4, 4, 0}, {1001, 4, 1004, 1000}, {17, 16, 32, 16}, {-5, 4, -4, -8}};
  for (const Case &c : cases) {
    EXPECT_EQ(ZqAlign(c.size, c.align), c.up) << c.size;
    EXPECT_EQ(ZqAlignLeft(c.size, c.align), c.down) << c.size;
  }
  alignas(16) char buf[32];
  EXPECT_EQ(ZqAlignPtr64(buf + 1, 16), buf + 16);
  EXPECT_EQ(ZqAlignPtr32(buf + 16, 16), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buf + 16)));
}

TEST_F(SeqTest, HeaderFitsAndStartsEmpty) {
  EXPECT_LE(sizeof(ST_Seq), 96u);
  EXPECT_TRUE(Aligned8(seq_));
  EXPECT_EQ(seq_->headerSize, 96);
  EXPECT_EQ(seq_->elemSize, 40);
  EXPECT_EQ(seq_->total, 0);
  EXPECT_EQ(seq_->firstBlock, nullptr);
  EXPECT_EQ(seq_->storage, storage_);
}

TEST_F(SeqTest, GrowthStepDoublesUpToOneBlock) {
  // (step before, total at the push that changed it, step after)
  std::vector<std::tuple<int, int, int>> changes;
  EXPECT_EQ(seq_->growElems, 25);
  for (int i = 0; i < 3000; ++i) {
    int before = seq_->growElems;
    PushBack(i, i);
    if (seq_->growElems != before) changes.emplace_back(before, i, seq_->growElems);
  }
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0], std::make_tuple(25, 100, 50));  // the push of element 101
  EXPECT_EQ(std::get<2>(changes[1]), 100);
  EXPECT_EQ(std::get<2>(changes[2]), 200);  // (8064 - 16 - 32) / 40
  for (auto &[before, total, after] : changes) {
    EXPECT_GE(total, 4 * before);
    EXPECT_LT(total, 4 * before + before);  // the first growth at or past 4 x step
  }
  for (const ST_SeqBlock *b = seq_->firstBlock;;) {  // no block beyond one storage block
    EXPECT_LE(b->count, 200);
    if ((b = b->next) == seq_->firstBlock) break;
  }
  std::vector<Elem> all = Contents(seq_);
  ASSERT_EQ(all.size(), 3000u);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(all[i].key, i);
}

TEST_F(SeqTest, AppendingExtendsTheLastBlockInPlace) {
  for (int i = 0; i < 100; ++i) PushBack(i, i);
  // 100 elements of 25-element steps, all carved behind each other.
  EXPECT_EQ(seq_->firstBlock, seq_->firstBlock->next);
  EXPECT_EQ(seq_->firstBlock->count, 100);
}

TEST_F(SeqTest, BothEndsAgainstADeque) {
  std::mt19937 rng(42);
  std::deque<Elem> model;
  for (int i = 0; i < 1000; ++i) {
    Elem e = Make(static_cast<int>(rng() % 100000), i);
    if (rng() % 4 == 0) {
      ASSERT_NE(ZqSeqPushFront(seq_, &e), nullptr);
      model.push_front(e);
    } else {
      ASSERT_NE(ZqSeqPush(seq_, &e), nullptr);
      model.push_back(e);
    }
  }
  for (int round = 0; round < 300; ++round) {
    Elem e;
    switch (rng() % 6) {
      case 0:
        ZqSeqPop(seq_, &e);
        EXPECT_EQ(e.id, model.back().id);
        model.pop_back();
        break;
      case 1:
        ZqSeqPop_1(seq_);
        model.pop_back();
        break;
      case 2:
        ZqSeqPopFront(seq_, &e);
        EXPECT_EQ(e.id, model.front().id);
        model.pop_front();
        break;
      case 3: {
        int n = std::min(static_cast<int>(rng() % 20), static_cast<int>(model.size()));
        std::vector<Elem> out(n);
        bool front = rng() % 2;
        ZqSeqPopMulti(seq_, out.data(), n, front);
        for (int k = 0; k < n; ++k) {
          const Elem &want = front ? model[k] : model[model.size() - n + k];
          EXPECT_EQ(out[k].id, want.id) << round;
        }
        for (int k = 0; k < n; ++k) front ? model.pop_front() : model.pop_back();
        break;
      }
      default: {
        Elem f = Make(static_cast<int>(rng() % 100000), 5000 + round);
        if (rng() % 2) {
          ZqSeqPushFront(seq_, &f);
          model.push_front(f);
        } else {
          ZqSeqPush(seq_, &f);
          model.push_back(f);
        }
      }
    }
    if (model.empty()) break;
  }
  ASSERT_GT(model.size(), 100u);
  ASSERT_EQ(seq_->total, static_cast<int>(model.size()));
  std::vector<Elem> got = Contents(seq_);
  for (size_t i = 0; i < model.size(); ++i) ASSERT_EQ(got[i].id, model[i].id) << i;

  const int total = seq_->total;
  for (int i = 0; i < total; ++i) {
    auto *e = reinterpret_cast<Elem *>(ZqGetSeqElem(seq_, i));
    ASSERT_EQ(e->id, model[i].id) << i;
    EXPECT_TRUE(Aligned8(e));
    EXPECT_EQ(ZqGetSeqElem(seq_, i - total), reinterpret_cast<uint8_t *>(e));
    EXPECT_EQ(ZqGetSeqElem(seq_, i + total), reinterpret_cast<uint8_t *>(e));
    ST_SeqBlock *block = nullptr;
    EXPECT_EQ(ZqSeqElemIdx(seq_, e, &block), i);
    EXPECT_NE(block, nullptr);
  }
  EXPECT_EQ(reinterpret_cast<Elem *>(ZqGetSeqElem(seq_, -1))->id, model.back().id);
  EXPECT_EQ(reinterpret_cast<Elem *>(ZqGetSeqElem(seq_, total))->id, model.front().id);
  EXPECT_EQ(ZqGetSeqElem(seq_, 2 * total), nullptr);
  EXPECT_EQ(ZqGetSeqElem(seq_, -total - 1), nullptr);
  ST_SeqBlock *block = nullptr;
  Elem outside;
  EXPECT_EQ(ZqSeqElemIdx(seq_, &outside, &block), -1);
}

TEST_F(SeqTest, EmptiedSequenceReusesItsFreedBlock) {
  for (int i = 0; i < 60; ++i) PushBack(i, i);
  Elem e;
  while (seq_->total > 0) ZqSeqPop(seq_, &e);
  EXPECT_EQ(seq_->firstBlock, nullptr);
  ASSERT_NE(seq_->freeBlocks, nullptr);
  uint8_t *room = seq_->freeBlocks->data;
  const int32_t heap = ZqGetMallocCnts();
  Elem f = Make(7, 7);
  EXPECT_EQ(ZqSeqPush(seq_, &f), room);
  EXPECT_EQ(ZqGetMallocCnts(), heap);

  while (seq_->total > 0) ZqSeqPopFront(seq_, &e);
  EXPECT_EQ(seq_->firstBlock, nullptr);
  void *pushed = ZqSeqPushFront(seq_, &f);
  ASSERT_NE(pushed, nullptr);
  EXPECT_EQ(pushed, seq_->firstBlock->data);
  EXPECT_EQ(Keys(Contents(seq_)), std::vector<int>{7});
}

TEST_F(SeqTest, ClearPutsEveryBlockOnTheFreeList) {
  Open(1024);  // 24 elements per block
  for (int i = 0; i < 200; ++i) PushBack(i, i);
  int blocks = 0;
  for (const ST_SeqBlock *b = seq_->firstBlock;;) {
    ++blocks;
    if ((b = b->next) == seq_->firstBlock) break;
  }
  EXPECT_GT(blocks, 3);
  ZqClearSeq(seq_);
  EXPECT_EQ(seq_->total, 0);
  EXPECT_EQ(seq_->firstBlock, nullptr);
  int free_blocks = 0;
  for (const ST_SeqBlock *b = seq_->freeBlocks; b != nullptr; b = b->next) ++free_blocks;
  EXPECT_EQ(free_blocks, blocks);
  const int32_t heap = ZqGetMallocCnts();
  for (int i = 0; i < 200; ++i) PushBack(-i, i);
  EXPECT_EQ(ZqGetMallocCnts(), heap);
  EXPECT_EQ(Contents(seq_).size(), 200u);
}

TEST_F(SeqTest, MisuseIsRefusedWithoutTouchingMemory) {
  LibLogCapture log;
  Elem e = Make(1, 1);
  ZqSeqPop(seq_, &e);
  ZqSeqPop_1(seq_);
  ZqSeqPopFront(seq_, &e);
  ZqSeqPopMulti(seq_, &e, 5, 0);
  EXPECT_EQ(ZqSeqPush(seq_, nullptr), nullptr);
  EXPECT_EQ(ZqSeqPushFront(nullptr, &e), nullptr);
  EXPECT_EQ(ZqGetSeqElem(seq_, 0), nullptr);
  EXPECT_EQ(ZqGetSeqElem(nullptr, 0), nullptr);
  ZqSeqPopMulti(nullptr, nullptr, 1, 0);
  ZqClearSeq(nullptr);
  EXPECT_EQ(ZqGrowSeq(nullptr, 0), 0);
  EXPECT_EQ(ZqCreateSeq(8, 40, storage_), nullptr);
  EXPECT_EQ(ZqCreateSeq(96, 0, storage_), nullptr);
  EXPECT_EQ(seq_->total, 0);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSeqPop...seq->total <= 0",
                                "ZqSeqPop_1...seq->total <= 0",
                                "ZqSeqPopFront...seq->total <= 0",
                                "ZqSeqPush...(seq == NULL) || (element == NULL)",
                                "ZqSeqPushFront...(seq == NULL) || (element == NULL)",
                                "ZqGetSeqElem...seq == NULL",
                                "ZqSeqPopMulti...(seq == NULL) || (_element == NULL)",
                                "ZqClearSeq...seq == NULL",
                                "ZqGrowSeq...seq == NULL",
                                "ZqCreateSeq...headerSize < sizeof(ST_Seq) || elemSize <= 0",
                                "ZqCreateSeq...headerSize < sizeof(ST_Seq) || elemSize <= 0",
                            }));
}

TEST(ZqSeq, StorageTooSmallForOneElementRefusesPushes) {
  ST_MemStorage *s = ZqCreateMemStorage(160);  // 160 - 16 - 32 = 112 bytes of room
  ST_Seq *seq = ZqCreateSeq(96, 200, s);
  ASSERT_NE(seq, nullptr);
  EXPECT_EQ(seq->growElems, 0);
  std::vector<uint8_t> big(200, 1);
  {
    LibLogCapture log;
    EXPECT_EQ(ZqSeqPush(seq, big.data()), nullptr);
    EXPECT_EQ(ZqSeqPushFront(seq, big.data()), nullptr);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{"ZqGrowSeq...seq->growElems <= 0",
                                                        "ZqGrowSeq...seq->growElems <= 0"}));
  }
  EXPECT_EQ(seq->total, 0);
  ZqReleaseMemStorage(&s);
}

TEST(ZqSeq, HeaderAndBlocksStayAlignedAfterOddChunks) {
  ST_MemStorage *s = ZqCreateMemStorage(1001);
  ZqMemStorageAlloc(s, 3);
  ST_Seq *seq = ZqCreateSeq(100, 12, s);  // odd header, 12-byte elements
  ASSERT_NE(seq, nullptr);
  EXPECT_TRUE(Aligned8(seq));
  ZqMemStorageAlloc(s, 5);
  ST_Seq *other = ZqCreateSeq(96, 40, s);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(Aligned8(other));
  int32_t v[3] = {1, 2, 3};
  Elem e = Make(1, 1);
  for (int i = 0; i < 500; ++i) {
    ASSERT_NE(ZqSeqPush(seq, v), nullptr);
    ASSERT_NE(ZqSeqPush(other, &e), nullptr);  // interleaved growth
  }
  for (const ST_Seq *q : {seq, other}) {
    for (const ST_SeqBlock *b = q->firstBlock;;) {
      EXPECT_TRUE(Aligned8(b));
      if ((b = b->next) == q->firstBlock) break;
    }
  }
  for (int i = 0; i < 500; ++i) EXPECT_TRUE(Aligned8(ZqGetSeqElem(other, i)));
  ZqReleaseMemStorage(&s);
}

TEST_F(SeqTest, SliceLengthAndConversion) {
  for (int i = 0; i < 10; ++i) PushBack(i, i);
  struct Case {
    int start, end, length;
  } cases[] = {{-3, 0, 3}, {5, 2, 7}, {0, 0, 0}, {0, 100, 10}, {2, 5, 3}, {-1, -3, 8}, {9, 10, 1}};
  for (const Case &c : cases) {
    EXPECT_EQ(ZqSliceLength(ST_Slice{c.start, c.end}, seq_), c.length) << c.start << "," << c.end;
  }
  std::vector<Elem> out(10);
  EXPECT_EQ(ZqCvtSeqToArray(seq_, out.data(), ST_Slice{-3, 0}), out.data());
  EXPECT_EQ(Keys({out.begin(), out.begin() + 3}), (std::vector<int>{7, 8, 9}));
  EXPECT_EQ(ZqCvtSeqToArray(seq_, out.data(), ST_Slice{0, 0}), nullptr);
  LibLogCapture log;
  EXPECT_EQ(ZqSliceLength(ST_Slice{0, 1}, nullptr), 0);
  EXPECT_EQ(ZqCvtSeqToArray(seq_, nullptr, ST_Slice{0, 1}), nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSliceLength...(seq == NULL) || (_element == NULL) || (_block == NULL)",
                                "ZqCvtSeqToArray...(seq == NULL) || (array == NULL)"}));
}

TEST_F(SeqTest, ConversionAndReadersCrossBlocks) {
  Open(1024);  // 24 elements per block
  for (int i = 0; i < 50; ++i) PushFront(-1 - i, i);  // front blocks with offsets
  for (int i = 0; i < 100; ++i) PushBack(i, 100 + i);
  std::vector<Elem> model = Contents(seq_);
  ASSERT_EQ(model.size(), 150u);

  std::vector<Elem> out(150);
  ZqCvtSeqToArray(seq_, out.data(), ST_Slice{10, 130});
  for (int i = 0; i < 120; ++i) ASSERT_EQ(out[i].id, model[10 + i].id) << i;

  ST_SeqReader reader;
  ZqStartReadSeq(seq_, &reader, 0);
  EXPECT_EQ(reader.headerSize, static_cast<int>(sizeof(ST_SeqReader)));
  EXPECT_EQ(ZqGetSeqReaderPos(&reader), 0);
  EXPECT_EQ(reinterpret_cast<Elem *>(reader.prevElem)->id, model.back().id);
  int pos = 0;
  std::mt19937 rng(3);
  for (int step = 0; step < 200; ++step) {
    int by = static_cast<int>(rng() % 121) - 60;
    ZqSetSeqReaderPos(&reader, by, 1);
    pos = ((pos + by) % 150 + 150) % 150;
    ASSERT_EQ(ZqGetSeqReaderPos(&reader), pos) << step;
    ASSERT_EQ(reinterpret_cast<Elem *>(reader.curElem)->id, model[pos].id);
  }
  for (int index : {0, 1, 23, 24, 75, 149, -1, -150}) {
    ZqSetSeqReaderPos(&reader, index, 0);
    int want = index < 0 ? index + 150 : index;
    EXPECT_EQ(ZqGetSeqReaderPos(&reader), want);
    EXPECT_EQ(reinterpret_cast<Elem *>(reader.curElem)->id, model[want].id);
  }
  ZqStartReadSeq(seq_, &reader, 1);
  EXPECT_EQ(reinterpret_cast<Elem *>(reader.curElem)->id, model.back().id);
  EXPECT_EQ(ZqGetSeqReaderPos(&reader), 149);
  ZqChangeSeqBlock(&reader, 1);  // wraps to the first block
  EXPECT_EQ(ZqGetSeqReaderPos(&reader), 0);
}

// Sorting: the key order of std::sort, the same multiset, user data intact,
// and the comparator only ever sees elements of the sequence.
struct SortProbe {
  const ST_Seq *seq;
  int calls = 0;
  bool outside = false;
};

int ProbeCmp(const void *a, const void *b, void *userdata) {
  auto *probe = static_cast<SortProbe *>(userdata);
  ++probe->calls;
  ST_SeqBlock *block;
  if (probe->seq->total <= 2000 &&
      (ZqSeqElemIdx(probe->seq, a, &block) < 0 || ZqSeqElemIdx(probe->seq, b, &block) < 0)) {
    probe->outside = true;
  }
  return CmpKey(a, b, nullptr);
}

TEST_F(SeqTest, SortMatchesStdSortOnManyShapes) {
  struct Shape {
    const char *name;
    int n;
    int (*key)(int i, int n, std::mt19937 &rng);
  } shapes[] = {
      {"random", 1500, [](int, int, std::mt19937 &r) { return static_cast<int>(r() % 1000000); }},
      {"sorted", 1200, [](int i, int, std::mt19937 &) { return i; }},
      {"reversed", 1200, [](int i, int n, std::mt19937 &) { return n - i; }},
      {"all equal", 1000, [](int, int, std::mt19937 &) { return 7; }},
      {"few distinct", 1500, [](int, int, std::mt19937 &r) { return static_cast<int>(r() % 4); }},
      {"organ pipe", 1000, [](int i, int n, std::mt19937 &) { return std::min(i, n - i); }},
      {"large", 20000, [](int, int, std::mt19937 &r) { return static_cast<int>(r() % 5000); }},
      {"eight", 8, [](int i, int, std::mt19937 &) { return (i * 5) % 8; }},
      {"two", 2, [](int i, int, std::mt19937 &) { return 2 - i; }},
  };
  for (const Shape &shape : shapes) {
    for (bool with_front : {false, true}) {
      Open(shape.n > 5000 ? 0 : 2048);  // several blocks in every shape
      std::mt19937 rng(11);
      std::vector<Elem> input;
      for (int i = 0; i < shape.n; ++i) {
        input.push_back(Make(shape.key(i, shape.n, rng), i));
        if (with_front && i % 2) {
          ZqSeqPushFront(seq_, &input.back());
        } else {
          ZqSeqPush(seq_, &input.back());
        }
      }
      SortProbe probe{seq_};
      ZqSeqSort(seq_, ProbeCmp, &probe);
      std::vector<Elem> got = Contents(seq_);
      std::vector<int> want = Keys(input);
      std::sort(want.begin(), want.end());
      EXPECT_EQ(Keys(got), want) << shape.name << " front " << with_front;
      std::vector<std::pair<int, int>> a, b;
      for (const Elem &e : input) a.emplace_back(e.id, e.key);
      for (const Elem &e : got) {
        b.emplace_back(e.id, e.key);
        EXPECT_EQ(e.pad[0], 0.5 * e.id);  // whole records move, not only keys
      }
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      EXPECT_EQ(a, b) << shape.name;
      EXPECT_FALSE(probe.outside) << shape.name;
      if (std::string(shape.name) == "all equal") {
        EXPECT_LT(probe.calls, 2 * shape.n);  // one partition, no recursion
      }
    }
  }
}

TEST_F(SeqTest, SortRefusesTooShortSequences) {
  LibLogCapture log;
  SortProbe probe{seq_};
  ZqSeqSort(seq_, ProbeCmp, &probe);
  PushBack(3, 0);
  ZqSeqSort(seq_, ProbeCmp, &probe);
  ZqSeqSort(nullptr, ProbeCmp, &probe);
  EXPECT_EQ(ZqSeqSortPart(seq_, CmpKey, 0), -1);
  EXPECT_EQ(probe.calls, 0);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSeqSort...seq->total <= 1", "ZqSeqSort...seq->total <= 1",
                                "ZqSeqSort...seq == NULL", "ZqSeqSort...seq->total <= 1"}));
  std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].find("quorvanta-lib: error at ZqSeqSort("), 0u) << lines[0];
  EXPECT_EQ(lines[3].find("quorvanta-lib: error at ZqSeqSortPart("), 0u) << lines[3];
}

TEST_F(SeqTest, SortPartSelectsTheKthElement) {
  Open(2048);
  std::mt19937 rng(8);
  for (int k : {0, 1, 499, 500, 998, 999}) {
    for (int keys : {1000000, 5}) {
      ZqClearSeq(seq_);
      std::vector<int> want;
      for (int i = 0; i < 1000; ++i) {
        int key = static_cast<int>(rng() % keys);
        PushBack(key, i);
        want.push_back(key);
      }
      std::sort(want.begin(), want.end());
      EXPECT_EQ(ZqSeqSortPart(seq_, CmpKey, k), k);
      std::vector<int> got = Keys(Contents(seq_));
      ASSERT_EQ(got[k], want[k]) << k;
      for (int i = 0; i < k; ++i) ASSERT_LE(got[i], got[k]);
      for (int i = k + 1; i < 1000; ++i) ASSERT_GE(got[i], got[k]);
    }
  }
}

TEST(ZqSeqHelpers, SwapAndMedianOfThree) {
  char a[11] = "abcdefghij", b[11] = "0123456789";
  ZqSwapElems(a, b, 10);
  EXPECT_STREQ(a, "0123456789");
  EXPECT_STREQ(b, "abcdefghij");
  Elem x = Make(1, 0), y = Make(2, 1), z = Make(3, 2);
  Elem *perms[6][3] = {{&x, &y, &z}, {&x, &z, &y}, {&y, &x, &z},
                       {&y, &z, &x}, {&z, &x, &y}, {&z, &y, &x}};
  for (auto &p : perms) EXPECT_EQ(ZqMedium3(p[0], p[1], p[2], CmpKey, nullptr), &y);
  LibLogCapture log;
  ZqSwapElems(a, nullptr, 4);
  ZqSwapElems(a, b, 0);
  EXPECT_EQ(ZqMedium3(&x, nullptr, &z, CmpKey, nullptr), nullptr);
  EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                "ZqSwapElems...(a == NULL) || (b == NULL) || (elemSize == 0)",
                                "ZqSwapElems...(a == NULL) || (b == NULL) || (elemSize == 0)",
                                "ZqMedium3...(a == NULL) || (b == NULL) || (c == NULL)"}));
}

}  // namespace
