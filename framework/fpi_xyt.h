// Conversion of detected minutiae into the matcher's xyt record, and the
// record's byte form in a print item.
#ifndef FRAMEWORK_FPI_XYT_H_
#define FRAMEWORK_FPI_XYT_H_

#include <stdbool.h>
#include <stddef.h>

#include "minutiae/bozorth.h"
#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Most detected minutiae that are converted and sorted.
#define FPI_XYT_MAX_CANDIDATES 1000

// Fills *xyt from the first 1000 minutiae of an image of iw x ih pixels:
// theta above 180 becomes theta - 360, rows sorted by x then y, the first
// 200 kept.
void fpi_minutiae_to_xyt(const lfs_minutiae *minutiae, int iw, int ih, xyt_record *xyt);

// Writes the record's 2404-byte little-endian form to out.
void fpi_xyt_to_bytes(const xyt_record *xyt, unsigned char out[XYT_RECORD_SIZE]);

// Reads a record from a print item's bytes. False when fewer than 2404 bytes
// are given or the count lies outside 0..200.
bool fpi_xyt_from_bytes(const unsigned char *bytes, size_t length, xyt_record *xyt);

#ifdef __cplusplus
}
#endif

#endif  // FRAMEWORK_FPI_XYT_H_
