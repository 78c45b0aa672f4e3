// The Bozorth3 matcher's print record and the entry points that the device
// framework calls.
#ifndef MINUTIAE_BOZORTH_H_
#define MINUTIAE_BOZORTH_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Most minutiae a print record holds.
#define XYT_MAX_MINUTIAE 200

// Byte size of a print record in a print item.
#define XYT_RECORD_SIZE 2404

// A minutiae print: rows 0..count-1 used, ordered by x then y; theta in
// degrees -179..180. Its byte form (little-endian, 2404 bytes) is the
// payload of a minutiae print item.
typedef struct xyt_record {
  int32_t count;                   // rows used, 0..200
  int32_t x[XYT_MAX_MINUTIAE];      // columns
  int32_t y[XYT_MAX_MINUTIAE];      // image height minus row
  int32_t theta[XYT_MAX_MINUTIAE];  // degrees
} xyt_record;

// qsort comparator over rows of four int32 (x, y, theta, quality): by x,
// then y; equal positions compare as 0.
int bz_compare_x_y(const void *a, const void *b);

// Builds the edge table of the probe in the matcher's process-wide tables and
// returns the number of its edges that take part in scoring. Not
// re-entrant: a later call replaces the probe.
int bz_prepare_probe(const xyt_record *probe);

// Scores the gallery print against the probe of the last bz_prepare_probe,
// using its first probe_edges edges: the size of the largest consistent set
// of minutia-pair correspondences; 0 when either print has fewer than 10
// minutiae or an internal limit was hit (logged on standard error).
int bz_score_gallery(int probe_edges, const xyt_record *probe, const xyt_record *gallery);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_BOZORTH_H_
