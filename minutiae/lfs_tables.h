// Lookup tables of the minutiae detector: direction cosines (dir2rad), DFT
// waves (dftwaves), rotated sampling grids (rotgrids), and the DFT power
// table with its per-wave statistics.
#ifndef MINUTIAE_LFS_TABLES_H_
#define MINUTIAE_LFS_TABLES_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Cosine and sine of twice the angle of each block direction.
typedef struct lfs_dir2rad {
  int32_t ndirs;  // direction count n
  double *cos;    // n entries: snap14(cos(2 pi i / n))
  double *sin;    // n entries: snap14(sin(2 pi i / n))
} lfs_dir2rad;

// One DFT wave sampled over a window.
typedef struct lfs_dftwave {
  double *cos;  // wave-length entries
  double *sin;  // wave-length entries
} lfs_dftwave;

// The DFT waves: wave w, sample j is cos/sin(2 pi / len * c_w * j).
typedef struct lfs_dftwaves {
  int32_t nwaves;       // wave count
  int32_t wavelen;      // samples per wave (the window size)
  lfs_dftwave **waves;  // nwaves records
} lfs_dftwaves;

// Rotated grids of pixel offsets into a padded image.
typedef struct lfs_rotgrids {
  int32_t pad;          // padding the offsets assume
  int32_t relative2;    // 1 relative to the window's top-left corner, 0 to its centre
  double start_angle;   // angle of grid 0 (radians)
  int32_t ngrids;       // grids over a half turn
  int32_t grid_w;       // grid width
  int32_t grid_h;       // grid height
  int32_t **grids;      // ngrids arrays of grid_w * grid_h offsets, row by row
} lfs_rotgrids;

// Relative modes of lfs_rotgrids.
enum { LFS_RELATIVE_TO_CENTER = 0, LFS_RELATIVE_TO_CORNER = 1 };

// Hands out the table for `ndirs` block directions. Returns 0, or -10, -11
// or -12 when memory runs out.
int init_dir2rad(lfs_dir2rad **dir2rad, int ndirs);

// Frees the table's arrays and the table; NULL is ignored.
void free_dir2rad(lfs_dir2rad *dir2rad);

// Hands out `nwaves` waves of `blocksize` samples, wave w making
// coefficients[w] cycles per window. Returns 0, or -20 to -24 when memory
// runs out.
int init_dftwaves(lfs_dftwaves **dftwaves, const double *coefficients, int nwaves,
                  int blocksize);

// Frees every wave, the wave array and the table; NULL is ignored.
void free_dftwaves(lfs_dftwaves *dftwaves);

// Hands out `ngrids` grids of grid_w x grid_h offsets into an image of
// width iw padded by `pad` on every side (-1: the smallest pad the grids
// need), rotated by start_angle + i * pi / ngrids. Returns 0; -31 for an
// unknown relative mode, -32 for a pad below the smallest, -30, -33 or -34
// when memory runs out.
int init_rotgrids(lfs_rotgrids **rotgrids, int iw, int ih, int pad, double start_angle,
                  int ngrids, int grid_w, int grid_h, int relative2);

// Frees every grid, the grid array and the table; NULL is ignored.
void free_rotgrids(lfs_rotgrids *rotgrids);

// Hands out a power table of `nwaves` rows of `ndirs` doubles. Returns 0, or
// -40 or -41 when memory runs out.
int alloc_dir_powers(double ***powers, int nwaves, int ndirs);

// Frees the table's `nwaves` rows and the row array; NULL is ignored.
void free_dir_powers(double **powers, int nwaves);

// Hands out the four per-wave statistics arrays of `nstats` entries. Returns
// 0, or -50 to -53 when memory runs out, with nothing handed out.
int alloc_power_stats(int32_t **wis, double **powmaxs, int32_t **powmax_dirs,
                      double **pownorms, int nstats);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_TABLES_H_
