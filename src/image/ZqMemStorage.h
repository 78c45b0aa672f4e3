// Block memory storage and growable sequences of fixed-size elements,
// with readers, slices and an in-place quicksort over the block chain.
#ifndef SRC_ZQMEMSTORAGE_H_
#define SRC_ZQMEMSTORAGE_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Header at the start of every storage block; the usable bytes follow.
typedef struct ST_MemBlock {
  struct ST_MemBlock *prev;
  struct ST_MemBlock *next;
} ST_MemBlock;

// A storage: blocks of blockSize bytes carved front to back.
typedef struct ST_MemStorage {
  ST_MemBlock *firstBlock;        // first block, NULL while there is none
  ST_MemBlock *curBlock;          // block allocation proceeds from
  struct ST_MemStorage *parent;   // lender of this storage's blocks, or NULL
  int32_t blockSize;              // bytes per block, header included
  int32_t freeSpace;              // bytes free at the end of curBlock
} ST_MemStorage;

// A saved allocation position of a storage.
typedef struct ST_MemStoragePos {
  ST_MemBlock *block;
  int32_t freeSpace;
} ST_MemStoragePos;

// One block of a sequence's circular chain.
typedef struct ST_SeqBlock {
  struct ST_SeqBlock *prev;  // the first block's prev is the last block
  struct ST_SeqBlock *next;
  int32_t startIndex;        // index of the first element (first block: 0)
  int32_t count;             // elements; room in bytes while free or new
  uint8_t *data;             // first element
} ST_SeqBlock;

// A sequence header; callers may allocate a bigger header for own fields.
typedef struct ST_Seq {
  int32_t headerSize;         // bytes of header allocated by ZqCreateSeq
  int32_t reserved0;          // unused, zero
  void *reserved[4];          // unused, zero
  int32_t total;              // elements
  int32_t elemSize;           // bytes per element
  uint8_t *blockEnd;          // end of the last block's room
  uint8_t *writePos;          // where the next pushed element goes
  int32_t growElems;          // elements per newly allocated block
  ST_MemStorage *storage;     // where blocks come from
  ST_SeqBlock *freeBlocks;    // emptied blocks kept for reuse
  ST_SeqBlock *firstBlock;    // NULL for an empty sequence
} ST_Seq;

// A cursor over a sequence's elements.
typedef struct ST_SeqReader {
  int32_t headerSize;   // sizeof(ST_SeqReader)
  const ST_Seq *seq;
  ST_SeqBlock *block;   // current block
  uint8_t *curElem;     // current element
  uint8_t *blockMin;    // current block's first element
  uint8_t *blockMax;    // end of the current block's elements
  int32_t deltaIndex;   // first block's startIndex when reading started
  uint8_t *prevElem;    // at start: the last element (reverse: the first)
} ST_SeqReader;

// Index range [startIndex, endIndex) with negative and wrapping indices.
typedef struct ST_Slice {
  int32_t startIndex;
  int32_t endIndex;
} ST_Slice;

// Comparator: negative, zero or positive as a sorts before, with or after b.
typedef int (*ZqCmpFunc)(const void *a, const void *b, void *userdata);

// Default storage block size.
#define ZQ_STORAGE_BLOCK_SIZE 8064

// (size + align - 1) & -align; align a power of two.
int ZqAlign(int size, int align);
// size & -align.
int ZqAlignLeft(int size, int align);
// ptr rounded up to align; NULL logged, NULL.
void *ZqAlignPtr64(const void *ptr, int align);
// The same as the low 32 bits of the address; NULL logged, 0.
uint32_t ZqAlignPtr32(const void *ptr, int align);

// Sets blockSize (<= 0: 8064; rounded up to 4), all else NULL or 0: 1, or
// 0 for a NULL storage.
int ZqInitMemStorage(ST_MemStorage *storage, int blockSize);
// New storage with no block yet, or NULL.
ST_MemStorage *ZqCreateMemStorage(int blockSize);
// New storage that borrows its blocks from parent, or NULL.
ST_MemStorage *ZqCreateChildMemStorage(ST_MemStorage *parent);
// Frees the blocks (child: gives them back to the parent); keeps the header.
void ZqDestroyMemStorage(ST_MemStorage *storage);
// Sets *storage to NULL, then destroys and frees it (when not NULL).
void ZqReleaseMemStorage(ST_MemStorage **storage);
// Child: destroy; else rewinds to the first block and keeps every block.
void ZqClearMemStorage(ST_MemStorage *storage);
// Saves (curBlock, freeSpace) in pos.
void ZqSaveMemStoragePos(const ST_MemStorage *storage, ST_MemStoragePos *pos);
// Rewinds to pos; everything carved after it becomes free again.
void ZqRestoreMemStoragePos(ST_MemStorage *storage, const ST_MemStoragePos *pos);
// Makes the next (or a new) block current: 1, or 0 on failure.
int ZqGoNextMemBlock(ST_MemStorage *storage);
// size bytes (not cleared) from the current block, 8-aligned within it, or
// NULL when size exceeds a fresh block's room or no block can be had.
void *ZqMemStorageAlloc(ST_MemStorage *storage, size_t size);

// New empty sequence with a zeroed header of headerSize (>= sizeof(ST_Seq))
// bytes and elements of elemSize (> 0) bytes, or NULL.
ST_Seq *ZqCreateSeq(int headerSize, int elemSize, ST_MemStorage *storage);
// Sets the growth step (0 or less: max(1024 / elemSize, 1)), limited to what
// one storage block can hold.
void ZqSetSeqBlockSize(ST_Seq *seq, int deltaElems);
// Adds room at the back (inFront 0) or the front: 1, or 0 on failure.
int ZqGrowSeq(ST_Seq *seq, int inFront);
// Appends a copy of element: its address in the sequence, or NULL.
void *ZqSeqPush(ST_Seq *seq, const void *element);
// Removes the last element into element; an empty sequence is logged.
void ZqSeqPop(ST_Seq *seq, void *element);
// Removes the last element; an empty sequence is logged.
void ZqSeqPop_1(ST_Seq *seq);
// Prepends a copy of element: its address in the sequence, or NULL.
void *ZqSeqPushFront(ST_Seq *seq, const void *element);
// Removes the first element into element; an empty sequence is logged.
void ZqSeqPopFront(ST_Seq *seq, void *element);
// Removes min(count, total) elements from the back or front into elements
// (in sequence order), or drops them when elements is NULL.
void ZqSeqPopMulti(ST_Seq *seq, void *elements, int count, int inFront);
// Removes all elements; the blocks go to the free list.
void ZqClearSeq(ST_Seq *seq);
// Address of element index (-total..2*total-1, wrapping), or NULL.
uint8_t *ZqGetSeqElem(const ST_Seq *seq, int index);
// Index of the element at address element (its block in *block), -1 when
// it lies in no block; NULL arguments logged, 0.
int ZqSeqElemIdx(const ST_Seq *seq, const void *element, ST_SeqBlock **block);
// Element count of slice on seq; NULL seq logged, 0.
int ZqSliceLength(ST_Slice slice, const ST_Seq *seq);
// Copies the slice into array: array, or NULL (empty slice, NULL arguments).
void *ZqCvtSeqToArray(const ST_Seq *seq, void *array, ST_Slice slice);

// Starts reader at the first element (reverse: the last).
void ZqStartReadSeq(const ST_Seq *seq, ST_SeqReader *reader, int reverse);
// Moves reader to the next block's first element (direction > 0) or the
// previous block's last element.
void ZqChangeSeqBlock(ST_SeqReader *reader, int direction);
// Index of reader's current element; NULL logged, 0.
int ZqGetSeqReaderPos(const ST_SeqReader *reader);
// Moves reader to index (absolute, negative from the end) or by index
// elements (isRelative, wrapping round the chain).
void ZqSetSeqReaderPos(ST_SeqReader *reader, int index, int isRelative);

// Sorts seq in place with cmp (three-way quicksort, not stable).
void ZqSeqSort(ST_Seq *seq, ZqCmpFunc cmp, void *userdata);
// Partially sorts seq so that the element at index k is the one a full sort
// puts there, with no greater element before it and no smaller one after
// it: k, or -1 when refused (logged).
int ZqSeqSortPart(ST_Seq *seq, ZqCmpFunc cmp, int k);
// Swaps elemSize bytes of a and b.
void ZqSwapElems(void *a, void *b, size_t elemSize);
// The address among a, b, c whose element is the median, or NULL.
void *ZqMedium3(void *a, void *b, void *c, ZqCmpFunc cmp, void *userdata);

#ifdef __cplusplus
}
#endif

#endif  // SRC_ZQMEMSTORAGE_H_
