#include "src/image/ZqMemStorage.h"

#include <algorithm>
#include <cstring>

#include "src/image/ZqCommon.h"
#include "src/image/ZqMemoryManager.h"

// The keypoint detector passes a literal header size of 96.
static_assert(sizeof(ST_Seq) <= 96, "ST_Seq must fit the 96-byte header its callers allocate");

namespace {

constexpr int32_t kBlockHeader = static_cast<int32_t>(sizeof(ST_MemBlock));
// Chunks of a storage block start on 8-byte boundaries of the block, so
// that the headers carved from it (which hold pointers) are aligned.
constexpr int64_t kChunkAlign = 8;
// Sequence block header rounded up to the chunk alignment.
constexpr int32_t kSeqBlockHeader =
    static_cast<int32_t>((sizeof(ST_SeqBlock) + kChunkAlign - 1) & ~(kChunkAlign - 1));
constexpr int kSortStack = 48;

uint8_t *BlockBytes(ST_MemBlock *block) { return reinterpret_cast<uint8_t *>(block); }

// Where the next chunk of the current block starts.
uint8_t *FreePos(const ST_MemStorage *storage) {
  return BlockBytes(storage->curBlock) + storage->blockSize - storage->freeSpace;
}

// Marks everything of the current block up to `end` as used.
void SetFreeAfter(ST_MemStorage *storage, const uint8_t *end) {
  int64_t used = end - BlockBytes(storage->curBlock);
  used = (used + kChunkAlign - 1) & ~(kChunkAlign - 1);
  storage->freeSpace = static_cast<int32_t>(std::max<int64_t>(0, storage->blockSize - used));
}

int32_t FreshRoom(const ST_MemStorage *storage) {
  return std::max(0, storage->blockSize - kBlockHeader);
}

ST_SeqBlock *LastBlock(const ST_Seq *seq) { return seq->firstBlock->prev; }

// Unlinks the emptied first (inFront) or last block onto the free list,
// turning its count back into its room in bytes.
void FreeSeqBlock(ST_Seq *seq, bool inFront) {
  ST_SeqBlock *block = inFront ? seq->firstBlock : LastBlock(seq);
  const int32_t elemSize = seq->elemSize;
  if (block == block->prev) {
    block->count = static_cast<int32_t>(seq->blockEnd - block->data) + block->startIndex * elemSize;
    block->data = seq->blockEnd - block->count;
    seq->total = 0;
    seq->firstBlock = nullptr;
    seq->writePos = seq->blockEnd = nullptr;
  } else {
    if (!inFront) {
      block->count = static_cast<int32_t>(seq->blockEnd - seq->writePos);
      ST_SeqBlock *prev = block->prev;
      seq->writePos = seq->blockEnd = prev->data + prev->count * elemSize;
    } else {
      int32_t delta = block->startIndex;
      block->count = delta * elemSize;
      block->data -= block->count;
      ST_SeqBlock *b = block;
      do {
        b->startIndex -= delta;
        b = b->next;
      } while (b != block);
      seq->firstBlock = block->next;
    }
    block->prev->next = block->next;
    block->next->prev = block->prev;
  }
  block->next = seq->freeBlocks;
  seq->freeBlocks = block;
}

// Finds the block holding element `index` (0 <= index < total) and the
// index within it.
ST_SeqBlock *FindBlock(const ST_Seq *seq, int32_t *index) {
  ST_SeqBlock *block = seq->firstBlock;
  int32_t i = *index;
  if (2 * static_cast<int64_t>(i) <= seq->total) {
    while (i >= block->count) {
      i -= block->count;
      block = block->next;
    }
  } else {
    int32_t total = seq->total;
    do {
      block = block->prev;
      total -= block->count;
    } while (i < total);
    i -= total;
  }
  *index = i;
  return block;
}

void NextElem(ST_SeqReader *r, int32_t elemSize) {
  r->curElem += elemSize;
  if (r->curElem >= r->blockMax) ZqChangeSeqBlock(r, 1);
}

void PrevElem(ST_SeqReader *r, int32_t elemSize) {
  if (r->curElem <= r->blockMin) {
    ZqChangeSeqBlock(r, -1);
  } else {
    r->curElem -= elemSize;
  }
}

// The sort's and the selection's shared machinery over one sequence.
class Sorter {
 public:
  Sorter(ST_Seq *seq, ZqCmpFunc cmp, void *userdata)
      : seq_(seq), cmp_(cmp), userdata_(userdata), elemSize_(seq->elemSize) {}

  int Pos(const ST_SeqReader &r) const { return ZqGetSeqReaderPos(&r); }

  ST_SeqReader Moved(ST_SeqReader r, int by) const {
    if (by != 0) ZqSetSeqReaderPos(&r, by, 1);
    return r;
  }

  void Swap(uint8_t *a, uint8_t *b) const { ZqSwapElems(a, b, static_cast<size_t>(elemSize_)); }

  int Cmp(const uint8_t *a, const uint8_t *b) const { return cmp_(a, b, userdata_); }

  // Moves each element of the n-element range at `start` towards the front
  // while its predecessor compares greater.
  void InsertionSort(const ST_SeqReader &start, int n) const {
    ST_SeqReader i = start;
    for (int k = 1; k < n; ++k) {
      NextElem(&i, elemSize_);
      ST_SeqReader j = i;
      for (int pos = k; pos > 0; --pos) {
        ST_SeqReader p = j;
        PrevElem(&p, elemSize_);
        if (Cmp(p.curElem, j.curElem) <= 0) break;
        Swap(p.curElem, j.curElem);
        j = p;
      }
    }
  }

  uint8_t *Median(uint8_t *a, uint8_t *b, uint8_t *c) const {
    return static_cast<uint8_t *>(ZqMedium3(a, b, c, cmp_, userdata_));
  }

  // Result of one partition of the range [left0, right0] of n elements.
  struct Split {
    bool swapped;
    int less;     // elements before the pivot's equal zone, at the start
    int greater;  // elements after it, at the end
  };

  Split Partition(const ST_SeqReader &left0, const ST_SeqReader &right0, int n) const {
    auto at = [&](int off) { return Moved(left0, off).curElem; };
    uint8_t *pivot;
    if (n <= 40) {
      pivot = Median(at(0), at(n / 2), at(n - 1));
    } else {
      int d = n / 8;
      uint8_t *p1 = Median(at(0), at(d), at(2 * d));
      uint8_t *p2 = Median(at(n / 2 - d), at(n / 2), at(n / 2 + d));
      uint8_t *p3 = Median(at(n - 1 - 2 * d), at(n - 1 - d), at(n - 1));
      pivot = Median(p1, p2, p3);
    }
    if (pivot != left0.curElem) Swap(pivot, left0.curElem);
    pivot = left0.curElem;

    ST_SeqReader left = left0;
    NextElem(&left, elemSize_);
    ST_SeqReader left1 = left;
    ST_SeqReader right = right0;
    ST_SeqReader right1 = right;
    bool swapped = false;
    for (;;) {
      int r;
      while (left.curElem != right.curElem && (r = Cmp(left.curElem, pivot)) <= 0) {
        if (r == 0) {
          if (left.curElem != left1.curElem) Swap(left.curElem, left1.curElem);
          swapped = true;
          NextElem(&left1, elemSize_);
        }
        NextElem(&left, elemSize_);
      }
      while (left.curElem != right.curElem && (r = Cmp(right.curElem, pivot)) >= 0) {
        if (r == 0) {
          if (right.curElem != right1.curElem) Swap(right.curElem, right1.curElem);
          swapped = true;
          PrevElem(&right1, elemSize_);
        }
        PrevElem(&right, elemSize_);
      }
      if (left.curElem == right.curElem) {
        r = Cmp(left.curElem, pivot);
        if (r == 0) {
          if (left.curElem != left1.curElem) Swap(left.curElem, left1.curElem);
          swapped = true;
          NextElem(&left1, elemSize_);
        }
        if (r <= 0) {
          NextElem(&left, elemSize_);
        } else {
          PrevElem(&right, elemSize_);
        }
        break;
      }
      Swap(left.curElem, right.curElem);
      swapped = true;
      NextElem(&left, elemSize_);
      bool met = left.curElem == right.curElem;
      PrevElem(&right, elemSize_);
      if (met) break;
    }
    if (!swapped) return {false, 0, 0};

    // Move both equal zones to the middle. A reader stepped past the last
    // element wraps to position 0, which stands for total here.
    const int total = seq_->total;
    int l = Pos(left);
    if (l == 0) l = total;
    int l0 = Pos(left0);
    int l1 = Pos(left1);
    if (l1 == 0) l1 = total;
    int k = std::min(l - l1, l1 - l0);
    if (k > 0) {
      ST_SeqReader a = left0;
      ST_SeqReader b = Moved(left, -k);
      for (int i = 0; i < k; ++i) {
        Swap(a.curElem, b.curElem);
        NextElem(&a, elemSize_);
        NextElem(&b, elemSize_);
      }
    }
    int r = Pos(right);
    int r0 = Pos(right0);
    int r1 = Pos(right1);
    int m = std::min(r0 - r1, r1 - r);
    if (m > 0) {
      ST_SeqReader a = left;
      ST_SeqReader b = Moved(right0, -(m - 1));
      for (int i = 0; i < m; ++i) {
        Swap(a.curElem, b.curElem);
        NextElem(&a, elemSize_);
        NextElem(&b, elemSize_);
      }
    }
    return {true, l - l1, r1 - r};
  }

  ST_Seq *seq_;
  ZqCmpFunc cmp_;
  void *userdata_;
  int32_t elemSize_;
};

// Shared argument checks of the sort and the selection, logged on behalf
// of `caller` with the sort's message texts.
bool SortArgsOk(const char *caller, const ST_Seq *seq, ZqCmpFunc cmp) {
  if (seq == nullptr) {
    ZQ_LOG_FAIL_IN(caller, "ZqSeqSort", "seq == NULL");
    return false;
  }
  if (cmp == nullptr) {
    ZQ_LOG_FAIL_IN(caller, "ZqSeqSort", "cmp == NULL");
    return false;
  }
  if (seq->total <= 1) {
    ZQ_LOG_FAIL_IN(caller, "ZqSeqSort", "seq->total <= 1");
    return false;
  }
  return true;
}

}  // namespace

extern "C" int ZqAlign(int size, int align) {
  return static_cast<int>((static_cast<unsigned>(size) + static_cast<unsigned>(align) - 1) &
                          (0u - static_cast<unsigned>(align)));
}

extern "C" int ZqAlignLeft(int size, int align) {
  return static_cast<int>(static_cast<unsigned>(size) & (0u - static_cast<unsigned>(align)));
}

extern "C" void *ZqAlignPtr64(const void *ptr, int align) {
  ZQ_CHECK(ptr == NULL, nullptr);
  uintptr_t a = static_cast<uintptr_t>(align);
  return reinterpret_cast<void *>((reinterpret_cast<uintptr_t>(ptr) + a - 1) & (0 - a));
}

extern "C" uint32_t ZqAlignPtr32(const void *ptr, int align) {
  ZQ_CHECK(ptr == NULL, 0);
  uintptr_t a = static_cast<uintptr_t>(align);
  return static_cast<uint32_t>((reinterpret_cast<uintptr_t>(ptr) + a - 1) & (0 - a));
}

extern "C" int ZqInitMemStorage(ST_MemStorage *storage, int blockSize) {
  ZQ_CHECK(storage == NULL, 0);
  int64_t size = blockSize <= 0 ? ZQ_STORAGE_BLOCK_SIZE : blockSize;
  size = std::min<int64_t>((size + 3) & ~int64_t{3}, INT32_MAX & ~3);
  std::memset(storage, 0, sizeof *storage);
  storage->blockSize = static_cast<int32_t>(size);
  return 1;
}

extern "C" ST_MemStorage *ZqCreateMemStorage(int blockSize) {
  ST_MemStorage *storage = static_cast<ST_MemStorage *>(ZqSafeAlloc(sizeof(ST_MemStorage)));
  ZQ_CHECK(storage == NULL, nullptr);
  ZqInitMemStorage(storage, blockSize);
  return storage;
}

extern "C" ST_MemStorage *ZqCreateChildMemStorage(ST_MemStorage *parent) {
  ZQ_CHECK(parent == NULL, nullptr);
  ST_MemStorage *storage = ZqCreateMemStorage(parent->blockSize);
  if (storage == nullptr) return nullptr;
  storage->parent = parent;
  return storage;
}

extern "C" void ZqDestroyMemStorage(ST_MemStorage *storage) {
  ZQ_CHECK_VOID(storage == NULL);
  ST_MemStorage *parent = storage->parent;
  ST_MemBlock *insertAfter = parent != nullptr ? parent->curBlock : nullptr;
  for (ST_MemBlock *block = storage->firstBlock; block != nullptr;) {
    ST_MemBlock *next = block->next;
    if (parent == nullptr) {
      ZqSafeFree(block);
    } else {
      if (insertAfter != nullptr) {
        block->prev = insertAfter;
        block->next = insertAfter->next;
        if (block->next != nullptr) block->next->prev = block;
        insertAfter->next = block;
      } else {
        parent->firstBlock = parent->curBlock = block;
        block->prev = block->next = nullptr;
      }
      insertAfter = block;
    }
    block = next;
  }
  storage->firstBlock = storage->curBlock = nullptr;
  storage->freeSpace = 0;
}

extern "C" void ZqReleaseMemStorage(ST_MemStorage **storage) {
  ZQ_CHECK_VOID(storage == NULL);
  ST_MemStorage *st = *storage;
  *storage = nullptr;
  if (st == nullptr) return;
  ZqDestroyMemStorage(st);
  ZqSafeFree(st);
}

extern "C" void ZqClearMemStorage(ST_MemStorage *storage) {
  ZQ_CHECK_VOID(storage == NULL);
  if (storage->parent != nullptr) {
    ZqDestroyMemStorage(storage);
    return;
  }
  storage->curBlock = storage->firstBlock;
  storage->freeSpace = storage->firstBlock != nullptr ? FreshRoom(storage) : 0;
}

extern "C" void ZqSaveMemStoragePos(const ST_MemStorage *storage, ST_MemStoragePos *pos) {
  ZQ_CHECK_VOID((storage == NULL) || (pos == NULL));
  pos->block = storage->curBlock;
  pos->freeSpace = storage->freeSpace;
}

extern "C" void ZqRestoreMemStoragePos(ST_MemStorage *storage, const ST_MemStoragePos *pos) {
  ZQ_CHECK_VOID((storage == NULL) || (pos == NULL));
  storage->curBlock = pos->block;
  storage->freeSpace = pos->freeSpace;
  if (storage->curBlock == nullptr) {
    storage->curBlock = storage->firstBlock;
    storage->freeSpace = storage->curBlock != nullptr ? FreshRoom(storage) : 0;
  }
}

extern "C" int ZqGoNextMemBlock(ST_MemStorage *storage) {
  ZQ_CHECK(storage == NULL, 0);
  ST_MemBlock *cur = storage->curBlock;
  if (cur != nullptr && cur->next != nullptr) {
    storage->curBlock = cur->next;
  } else {
    ST_MemBlock *block;
    ST_MemStorage *parent = storage->parent;
    if (parent != nullptr) {
      ST_MemStoragePos pos;
      ZqSaveMemStoragePos(parent, &pos);
      if (!ZqGoNextMemBlock(parent)) return 0;
      block = parent->curBlock;
      ZqRestoreMemStoragePos(parent, &pos);
      if (block == parent->curBlock) {
        parent->firstBlock = parent->curBlock = nullptr;
        parent->freeSpace = 0;
      } else {
        parent->curBlock->next = block->next;
        if (block->next != nullptr) block->next->prev = parent->curBlock;
      }
    } else {
      block = static_cast<ST_MemBlock *>(ZqSafeAlloc(storage->blockSize));
      if (block == nullptr) {
        QUORV_LOGE("ZqGoNextMemBlock...block == NULL, blockSize = %d", storage->blockSize);
        return 0;
      }
    }
    block->prev = cur;
    block->next = nullptr;
    if (cur != nullptr) {
      cur->next = block;
    } else {
      storage->firstBlock = block;
    }
    storage->curBlock = block;
  }
  storage->freeSpace = FreshRoom(storage);
  return 1;
}

extern "C" void *ZqMemStorageAlloc(ST_MemStorage *storage, size_t size) {
  ZQ_CHECK(storage == NULL, nullptr);
  if (storage->curBlock == nullptr || static_cast<size_t>(storage->freeSpace) < size) {
    int64_t room = ZqAlignLeft(FreshRoom(storage), 4);
    if (size > static_cast<size_t>(room)) return nullptr;
    if (!ZqGoNextMemBlock(storage)) return nullptr;
  }
  uint8_t *chunk = FreePos(storage);
  SetFreeAfter(storage, chunk + size);
  return chunk;
}

extern "C" ST_Seq *ZqCreateSeq(int headerSize, int elemSize, ST_MemStorage *storage) {
  ZQ_CHECK(storage == NULL, nullptr);
  if (headerSize < static_cast<int>(sizeof(ST_Seq)) || elemSize <= 0) {
    ZQ_LOG_FAIL("ZqCreateSeq", "headerSize < sizeof(ST_Seq) || elemSize <= 0");
    return nullptr;
  }
  ST_Seq *seq = static_cast<ST_Seq *>(ZqMemStorageAlloc(storage, static_cast<size_t>(headerSize)));
  ZQ_CHECK(seq == NULL, nullptr);
  std::memset(seq, 0, static_cast<size_t>(headerSize));
  seq->headerSize = headerSize;
  seq->elemSize = elemSize;
  seq->storage = storage;
  ZqSetSeqBlockSize(seq, 1024 / elemSize);
  return seq;
}

extern "C" void ZqSetSeqBlockSize(ST_Seq *seq, int deltaElems) {
  if (seq == nullptr || seq->storage == nullptr) {
    ZQ_LOG_FAIL("ZqSetSeqBlockSize", "storage == NULL");
    return;
  }
  const int32_t elemSize = seq->elemSize;
  int64_t usable = ZqAlignLeft(seq->storage->blockSize - kBlockHeader - kSeqBlockHeader, 4);
  usable = std::max<int64_t>(usable, 0);
  int64_t d = deltaElems > 0 ? deltaElems : std::max(1024 / elemSize, 1);
  if (d * elemSize > usable) d = usable / elemSize;
  seq->growElems = static_cast<int32_t>(d);  // 0 when one element does not fit
}

extern "C" int ZqGrowSeq(ST_Seq *seq, int inFront) {
  ZQ_CHECK(seq == NULL, 0);
  ST_SeqBlock *block = seq->freeBlocks;
  const int32_t elemSize = seq->elemSize;
  if (block != nullptr) {
    seq->freeBlocks = block->next;
  } else {
    ST_MemStorage *storage = seq->storage;
    int32_t d = seq->growElems;
    // A storage block too small for one element gives no room at all.
    ZQ_CHECK(seq->growElems <= 0, 0);
    if (seq->total >= 4 * static_cast<int64_t>(d)) ZqSetSeqBlockSize(seq, 2 * d);

    if (!inFront && seq->blockEnd != nullptr && storage->curBlock != nullptr &&
        static_cast<uintptr_t>(FreePos(storage) - seq->blockEnd) < kChunkAlign &&
        storage->freeSpace >= elemSize) {
      int32_t delta = std::min(d, storage->freeSpace / elemSize);
      seq->blockEnd += delta * elemSize;
      SetFreeAfter(storage, seq->blockEnd);
      return 1;
    }

    int64_t size = kSeqBlockHeader + static_cast<int64_t>(elemSize) * d;
    if (storage->curBlock == nullptr || storage->freeSpace < size) {
      if (storage->curBlock != nullptr &&
          storage->freeSpace > kSeqBlockHeader + elemSize * std::max(1, d / 3) + 3) {
        size = kSeqBlockHeader +
               static_cast<int64_t>(elemSize) * ((storage->freeSpace - kSeqBlockHeader) / elemSize);
      } else if (!ZqGoNextMemBlock(storage)) {
        return 0;
      }
    }
    block = static_cast<ST_SeqBlock *>(ZqMemStorageAlloc(storage, static_cast<size_t>(size)));
    if (block == nullptr) return 0;
    block->data = reinterpret_cast<uint8_t *>(block) + kSeqBlockHeader;
    block->count = static_cast<int32_t>(size - kSeqBlockHeader);
    block->prev = block->next = nullptr;
  }

  ST_SeqBlock *first = seq->firstBlock;
  if (first == nullptr) {
    block->prev = block->next = block;
    seq->firstBlock = block;
  } else {
    block->prev = first->prev;
    block->next = first;
    block->prev->next = block;
    first->prev = block;
  }

  if (!inFront) {
    seq->writePos = block->data;
    seq->blockEnd = block->data + block->count;
    block->startIndex = block == block->prev ? 0 : block->prev->startIndex + block->prev->count;
  } else {
    int32_t room = block->count / elemSize;
    block->data += block->count;
    if (block != block->prev) {
      seq->firstBlock = block;
    } else {
      seq->writePos = seq->blockEnd = block->data;
    }
    block->startIndex = 0;
    ST_SeqBlock *b = block;
    do {
      b->startIndex += room;
      b = b->next;
    } while (b != block);
  }
  block->count = 0;
  return 1;
}

extern "C" void *ZqSeqPush(ST_Seq *seq, const void *element) {
  ZQ_CHECK((seq == NULL) || (element == NULL), nullptr);
  if (seq->writePos >= seq->blockEnd && !ZqGrowSeq(seq, 0)) return nullptr;
  uint8_t *ptr = seq->writePos;
  std::memcpy(ptr, element, static_cast<size_t>(seq->elemSize));
  LastBlock(seq)->count++;
  seq->total++;
  seq->writePos += seq->elemSize;
  return ptr;
}

extern "C" void ZqSeqPop(ST_Seq *seq, void *element) {
  ZQ_CHECK_VOID((seq == NULL) || (element == NULL));
  ZQ_CHECK_VOID(seq->total <= 0);
  seq->writePos -= seq->elemSize;
  std::memcpy(element, seq->writePos, static_cast<size_t>(seq->elemSize));
  seq->total--;
  if (--LastBlock(seq)->count == 0) FreeSeqBlock(seq, false);
}

extern "C" void ZqSeqPop_1(ST_Seq *seq) {
  ZQ_CHECK_VOID((seq == NULL));
  ZQ_CHECK_VOID(seq->total <= 0);
  seq->writePos -= seq->elemSize;
  seq->total--;
  if (--LastBlock(seq)->count == 0) FreeSeqBlock(seq, false);
}

extern "C" void *ZqSeqPushFront(ST_Seq *seq, const void *element) {
  ZQ_CHECK((seq == NULL) || (element == NULL), nullptr);
  ST_SeqBlock *block = seq->firstBlock;
  if (block == nullptr || block->startIndex == 0) {
    if (!ZqGrowSeq(seq, 1)) return nullptr;
    block = seq->firstBlock;
  }
  block->data -= seq->elemSize;
  std::memcpy(block->data, element, static_cast<size_t>(seq->elemSize));
  block->count++;
  block->startIndex--;
  seq->total++;
  return block->data;
}

extern "C" void ZqSeqPopFront(ST_Seq *seq, void *element) {
  ZQ_CHECK_VOID((seq == NULL) || (element == NULL));
  ZQ_CHECK_VOID(seq->total <= 0);
  ST_SeqBlock *block = seq->firstBlock;
  std::memcpy(element, block->data, static_cast<size_t>(seq->elemSize));
  block->data += seq->elemSize;
  block->startIndex++;
  seq->total--;
  if (--block->count == 0) FreeSeqBlock(seq, true);
}

extern "C" void ZqSeqPopMulti(ST_Seq *seq, void *elements, int count, int inFront) {
  if (seq == nullptr) {
    ZQ_LOG_FAIL("ZqSeqPopMulti", "(seq == NULL) || (_element == NULL)");
    return;
  }
  count = std::min(count, seq->total);
  if (count <= 0) return;
  const int32_t elemSize = seq->elemSize;
  uint8_t *dst = static_cast<uint8_t *>(elements);
  if (!inFront) {
    if (dst != nullptr) dst += static_cast<size_t>(count) * elemSize;
    while (count > 0) {
      ST_SeqBlock *last = LastBlock(seq);
      int32_t delta = std::min(last->count, count);
      last->count -= delta;
      seq->total -= delta;
      count -= delta;
      seq->writePos -= delta * elemSize;
      if (dst != nullptr) {
        dst -= delta * elemSize;
        std::memcpy(dst, seq->writePos, static_cast<size_t>(delta) * elemSize);
      }
      if (last->count == 0) FreeSeqBlock(seq, false);
    }
  } else {
    while (count > 0) {
      ST_SeqBlock *first = seq->firstBlock;
      int32_t delta = std::min(first->count, count);
      if (dst != nullptr) {
        std::memcpy(dst, first->data, static_cast<size_t>(delta) * elemSize);
        dst += delta * elemSize;
      }
      first->count -= delta;
      seq->total -= delta;
      count -= delta;
      first->startIndex += delta;
      first->data += delta * elemSize;
      if (first->count == 0) FreeSeqBlock(seq, true);
    }
  }
}

extern "C" void ZqClearSeq(ST_Seq *seq) {
  ZQ_CHECK_VOID(seq == NULL);
  ZqSeqPopMulti(seq, nullptr, seq->total, 0);
}

extern "C" uint8_t *ZqGetSeqElem(const ST_Seq *seq, int index) {
  ZQ_CHECK(seq == NULL, nullptr);
  const int32_t total = seq->total;
  if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(total)) {
    int64_t wrapped = static_cast<int64_t>(index) + (index < 0 ? total : -total);
    if (wrapped < 0 || wrapped >= total) return nullptr;
    index = static_cast<int>(wrapped);
  }
  ST_SeqBlock *block = FindBlock(seq, &index);
  return block->data + static_cast<size_t>(index) * seq->elemSize;
}

extern "C" int ZqSeqElemIdx(const ST_Seq *seq, const void *_element, ST_SeqBlock **_block) {
  ZQ_CHECK((seq == NULL) || (_element == NULL) || (_block == NULL), 0);
  ST_SeqBlock *first = seq->firstBlock;
  if (first == nullptr) return -1;
  const uintptr_t elem = reinterpret_cast<uintptr_t>(_element);
  ST_SeqBlock *block = first;
  do {
    uintptr_t offset = elem - reinterpret_cast<uintptr_t>(block->data);
    if (offset < static_cast<uintptr_t>(block->count) * seq->elemSize) {
      *_block = block;
      return static_cast<int>(offset / seq->elemSize) + block->startIndex - first->startIndex;
    }
    block = block->next;
  } while (block != first);
  return -1;
}

extern "C" int ZqSliceLength(ST_Slice slice, const ST_Seq *seq) {
  if (seq == nullptr) {
    ZQ_LOG_FAIL("ZqSliceLength", "(seq == NULL) || (_element == NULL) || (_block == NULL)");
    return 0;
  }
  const int64_t total = seq->total;
  if (total <= 0) return 0;
  int64_t start = slice.startIndex;
  int64_t end = slice.endIndex;
  int64_t length = end - start;
  if (length != 0) {
    if (start < 0) start += total;
    if (end <= 0) end += total;
    length = end - start;
  }
  if (length < 0) length += total * ((-length + total - 1) / total);
  return static_cast<int>(std::min(length, total));
}

extern "C" void *ZqCvtSeqToArray(const ST_Seq *seq, void *array, ST_Slice slice) {
  ZQ_CHECK((seq == NULL) || (array == NULL), nullptr);
  int64_t bytes = static_cast<int64_t>(ZqSliceLength(slice, seq)) * seq->elemSize;
  if (bytes <= 0) return nullptr;
  ST_SeqReader reader;
  ZqStartReadSeq(seq, &reader, 0);
  ZqSetSeqReaderPos(&reader, slice.startIndex, 0);
  uint8_t *dst = static_cast<uint8_t *>(array);
  for (;;) {
    int64_t run = std::min<int64_t>(reader.blockMax - reader.curElem, bytes);
    std::memcpy(dst, reader.curElem, static_cast<size_t>(run));
    dst += run;
    bytes -= run;
    if (bytes <= 0) break;
    reader.block = reader.block->next;
    reader.curElem = reader.blockMin = reader.block->data;
    reader.blockMax = reader.curElem + reader.block->count * seq->elemSize;
  }
  return array;
}

extern "C" void ZqStartReadSeq(const ST_Seq *seq, ST_SeqReader *reader, int reverse) {
  ZQ_CHECK_VOID((seq == NULL) || (reader == NULL));
  std::memset(reader, 0, sizeof *reader);
  reader->headerSize = sizeof(ST_SeqReader);
  reader->seq = seq;
  ST_SeqBlock *first = seq->firstBlock;
  if (first == nullptr) return;
  ST_SeqBlock *last = first->prev;
  reader->curElem = first->data;
  reader->prevElem = last->data + (last->count - 1) * seq->elemSize;
  reader->deltaIndex = first->startIndex;
  reader->block = first;
  if (reverse) {
    std::swap(reader->curElem, reader->prevElem);
    reader->block = last;
  }
  reader->blockMin = reader->block->data;
  reader->blockMax = reader->blockMin + reader->block->count * seq->elemSize;
}

extern "C" void ZqChangeSeqBlock(ST_SeqReader *reader, int direction) {
  ZQ_CHECK_VOID(reader == NULL);
  ST_SeqBlock *block = reader->block;
  if (block == nullptr) return;
  const int32_t elemSize = reader->seq->elemSize;
  if (direction > 0) {
    block = block->next;
    reader->curElem = block->data;
  } else {
    block = block->prev;
    reader->curElem = block->data + (block->count - 1) * elemSize;
  }
  reader->block = block;
  reader->blockMin = block->data;
  reader->blockMax = block->data + block->count * elemSize;
}

extern "C" int ZqGetSeqReaderPos(const ST_SeqReader *reader) {
  ZQ_CHECK(reader == NULL, 0);
  if (reader->block == nullptr) return 0;
  const int32_t elemSize = reader->seq->elemSize;
  int index = static_cast<int>((reader->curElem - reader->blockMin) / elemSize);
  return index + reader->block->startIndex - reader->deltaIndex;
}

extern "C" void ZqSetSeqReaderPos(ST_SeqReader *reader, int index, int isRelative) {
  ZQ_CHECK_VOID(reader == NULL);
  const ST_Seq *seq = reader->seq;
  if (seq == nullptr || reader->block == nullptr || seq->total <= 0) return;
  const int32_t elemSize = seq->elemSize;
  if (!isRelative) {
    const int32_t total = seq->total;
    if (index < 0) {
      index += total;
    } else if (index >= total) {
      index -= total;
    }
    if (index < 0 || index >= total) {
      ZQ_LOG_FAIL("ZqSetSeqReaderPos", "index out of range");
      return;
    }
    ST_SeqBlock *block = FindBlock(seq, &index);
    reader->curElem = block->data + static_cast<size_t>(index) * elemSize;
    if (reader->block != block) {
      reader->block = block;
      reader->blockMin = block->data;
      reader->blockMax = block->data + block->count * elemSize;
    }
    return;
  }
  // Offsets are kept relative to the current block's first element, so no
  // pointer ever leaves its block.
  int64_t offset = (reader->curElem - reader->blockMin) + static_cast<int64_t>(index) * elemSize;
  if (index > 0) {
    while (offset >= reader->blockMax - reader->blockMin) {
      offset -= reader->blockMax - reader->blockMin;
      ZqChangeSeqBlock(reader, 1);
    }
  } else if (index < 0) {
    while (offset < 0) {
      ZqChangeSeqBlock(reader, -1);
      offset += reader->blockMax - reader->blockMin;
    }
  }
  reader->curElem = reader->blockMin + offset;
}

extern "C" void ZqSwapElems(void *a, void *b, size_t elemSize) {
  ZQ_CHECK_VOID((a == NULL) || (b == NULL) || (elemSize == 0));
  uint8_t *pa = static_cast<uint8_t *>(a);
  uint8_t *pb = static_cast<uint8_t *>(b);
  size_t i = 0;
  for (; i + 8 <= elemSize; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, pa + i, 8);
    std::memcpy(&y, pb + i, 8);
    std::memcpy(pa + i, &y, 8);
    std::memcpy(pb + i, &x, 8);
  }
  for (; i < elemSize; ++i) std::swap(pa[i], pb[i]);
}

extern "C" void *ZqMedium3(void *a, void *b, void *c, ZqCmpFunc cmp, void *userdata) {
  ZQ_CHECK((a == NULL) || (b == NULL) || (c == NULL), nullptr);
  if (cmp(a, b, userdata) < 0) {
    if (cmp(b, c, userdata) < 0) return b;
    return cmp(a, c, userdata) < 0 ? c : a;
  }
  if (cmp(b, c, userdata) > 0) return b;
  return cmp(a, c, userdata) < 0 ? a : c;
}

extern "C" void ZqSeqSort(ST_Seq *seq, ZqCmpFunc cmp, void *userdata) {
  if (!SortArgsOk(__func__, seq, cmp)) return;
  Sorter s(seq, cmp, userdata);
  struct Range {
    ST_SeqReader lb, ub;
  } stack[kSortStack];
  int sp = 0;  // the smaller part is sorted first: at most log2(total) entries
  ST_SeqReader left0, right0;
  ZqStartReadSeq(seq, &left0, 0);
  ZqStartReadSeq(seq, &right0, 1);
  for (;;) {
    int n = s.Pos(right0) - s.Pos(left0) + 1;
    bool next_range = true;
    if (n <= 7) {
      s.InsertionSort(left0, n);
    } else {
      Sorter::Split split = s.Partition(left0, right0, n);
      if (!split.swapped) {
        s.InsertionSort(left0, n);
      } else {
        Range less = {left0, s.Moved(left0, split.less - 1)};
        Range greater = {s.Moved(right0, -(split.greater - 1)), right0};
        if (split.less > 1 && split.greater > 1) {
          bool lessIsLarger = split.less > split.greater;
          stack[sp++] = lessIsLarger ? less : greater;
          const Range &smaller = lessIsLarger ? greater : less;
          left0 = smaller.lb;
          right0 = smaller.ub;
          next_range = false;
        } else if (split.less > 1 || split.greater > 1) {
          const Range &part = split.less > 1 ? less : greater;
          left0 = part.lb;
          right0 = part.ub;
          next_range = false;
        }
      }
    }
    if (next_range) {
      if (sp == 0) break;
      --sp;
      left0 = stack[sp].lb;
      right0 = stack[sp].ub;
    }
  }
}

extern "C" int ZqSeqSortPart(ST_Seq *seq, ZqCmpFunc cmp, int k) {
  if (!SortArgsOk(__func__, seq, cmp)) return -1;
  if (k < 0 || k >= seq->total) {
    ZQ_LOG_FAIL("ZqSeqSort", "(k < 0) || (k >= seq->total)");
    return -1;
  }
  Sorter s(seq, cmp, nullptr);
  ST_SeqReader left0, right0;
  ZqStartReadSeq(seq, &left0, 0);
  ZqStartReadSeq(seq, &right0, 1);
  for (;;) {
    int l0 = s.Pos(left0);
    int r0 = s.Pos(right0);
    int n = r0 - l0 + 1;
    if (n <= 7) {
      s.InsertionSort(left0, n);
      return k;
    }
    Sorter::Split split = s.Partition(left0, right0, n);
    if (!split.swapped) {
      s.InsertionSort(left0, n);
      return k;
    }
    if (k < l0 + split.less) {
      if (split.less <= 1) return k;
      right0 = s.Moved(left0, split.less - 1);
    } else if (k > r0 - split.greater) {
      if (split.greater <= 1) return k;
      left0 = s.Moved(right0, -(split.greater - 1));
    } else {
      return k;  // inside the pivot's equal zone
    }
  }
}
