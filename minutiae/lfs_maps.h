// Block maps of the minutiae detector: the image is cut into blocks of
// block_size pixels and every block gets a ridge-flow direction (0..
// direction_count-1, or -1) from a DFT of the grey values along rotated
// grids, or is flagged low-contrast, low-flow or high-curvature. All maps are
// row-major int32 arrays of map width x map height entries.
#ifndef MINUTIAE_LFS_MAPS_H_
#define MINUTIAE_LFS_MAPS_H_

#include "minutiae/lfs.h"
#include "minutiae/lfs_tables.h"

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the offset into the padded image of every block's top-left
// pixel (row-major) and the map size, ceil(iw / bs) x ceil(ih / bs); the last
// row and column start at ih - bs and iw - bs. Returns 0; -80 for an image
// smaller than a block, -81 when memory runs out.
int block_offsets(int **offsets, int *mw, int *mh, int iw, int ih, int pad, int bs);

// Hands out an iw x ih pixel map in which every pixel of a block holds the
// block's value (later blocks win where the last row and column overlap).
// Returns 0; -591 when the map size does not fit the image, -590 or a
// block_offsets error otherwise.
int pixelize_map(int **pmap, int iw, int ih, const int *map, int mw, int mh, int bs);

// Builds the direction, low-contrast, low-flow and high-curvature maps of a
// padded 6-bit image (padding dftgrids->pad). Returns 0 and hands out the four
// maps and their size, or a negative code with nothing handed out.
int gen_image_maps(int **direction_map, int **low_contrast_map, int **low_flow_map,
                   int **high_curve_map, int *mw, int *mh, const unsigned char *pdata, int pw,
                   int ph, const lfs_dir2rad *dir2rad, const lfs_dftwaves *dftwaves,
                   const lfs_rotgrids *dftgrids, const lfs_params *params);

// The per-block DFT analysis: hands out the direction map (-1 where no
// direction was found), the low-contrast map and the low-flow map for the
// given block offsets. Windows are kept inside the padded image; a block
// whose window cannot fit in it counts as low contrast. Returns 0, or a
// negative code with nothing handed out.
int gen_initial_maps(int **direction_map, int **low_contrast_map, int **low_flow_map,
                     const int *blkoffs, int mw, int mh, const unsigned char *pdata, int pw,
                     int ph, const lfs_dftwaves *dftwaves, const lfs_rotgrids *dftgrids,
                     const lfs_params *params);

// Sets *low_contrast to 1 when the 10th and 90th percentile grey values of the
// s x s window at `offset` are less than contrast_range_min apart, else 0.
// Returns 0, or -510 / -511 when a percentile is not found.
int low_contrast_block(int *low_contrast, int offset, int s, const unsigned char *pdata,
                       int pw, const lfs_params *params);

// Fills powers[w][d] with the power of wave w along grid d for the window at
// `offset`. Returns 0; -90 for grids that are not square, -91 when memory
// runs out.
int dft_dir_powers(double **powers, const unsigned char *pdata, int offset, int pw,
                   const lfs_dftwaves *dftwaves, const lfs_rotgrids *dftgrids);

// Per-wave statistics of waves 1..nwaves-1 (entry i for wave i + 1): peak
// power, its first direction and peak / mean power (mean floored at
// 10 / ndirs); wis ranks the entries by peak * norm, largest first.
void dft_power_stats(int *wis, double *powmaxs, int *powmax_dirs, double *pownorms,
                     double **powers, int nwaves, int ndirs);

// Orders wis (entry indices) by peak * norm, largest first; a stable
// exchange sort, so equal products keep their order.
void sort_dft_waves(int *wis, const double *powmaxs, const double *pownorms, int nstats);

// The block direction from the ranked statistics: the first wave that passes
// the peak, norm and low-wave tests gives its peak direction; -1 for none.
int primary_dir_test(double **powers, const int *wis, const double *powmaxs,
                     const int *powmax_dirs, const double *pownorms, int nstats,
                     const lfs_params *params);

// The fallback for a block the primary test rejects: the top-ranked wave
// with a relaxed norm gives its peak direction when exactly one of the
// directions fork_step either side keeps fork_peak_fraction of the peak; -1
// otherwise.
int fork_dir_test(double **powers, const int *wis, const double *powmaxs,
                  const int *powmax_dirs, const double *pownorms, const lfs_params *params);

// Closes the flag map: dilates twice and erodes twice over 4-neighbours.
// Returns 0, or -660 / -661 when memory runs out (the map unchanged).
int morph_TF_map(int *map, int mw, int mh);

// Mean direction of the 8 neighbours of block (x, y) that have one: the mean
// (-1 with strength 0 when there is none or the strength is below 0.2), the
// strength (squared length of the mean doubled-angle vector) and the count.
void neighbour_mean_direction(int *mean, double *strength, int *count, int x, int y,
                              const int *direction_map, int mw, int mh,
                              const lfs_dir2rad *dir2rad);

// Whether block (x, y) keeps its direction: 0 keep, 1 remove (too few
// neighbours with a direction), 2 remove (too far from their mean).
int check_block_direction(int x, int y, const int *direction_map, int mw, int mh,
                          const lfs_dir2rad *dir2rad, const lfs_params *params);

// Removes directions that disagree with their neighbourhood, spiralling out
// from the centre block, until a pass removes nothing.
void remove_inconsistent_directions(int *direction_map, int mw, int mh,
                                    const lfs_dir2rad *dir2rad, const lfs_params *params);

// Replaces the direction of each block with enough agreeing neighbours by
// their mean (and fills a block without one), in place, row-major; blocks of
// low contrast are skipped.
void smooth_directions(int *direction_map, const int *low_contrast_map, int mw, int mh,
                       const lfs_dir2rad *dir2rad, const lfs_params *params);

// Walks from block (x, y) by (dx, dy) blocks: returns 1 with the first
// direction met and its distance in blocks, or 0 when the map edge or a
// low-contrast block comes first.
int search_direction_block(int *direction, int *dist, int x, int y, int dx, int dy,
                           const int *direction_map, const int *low_contrast_map, int mw,
                           int mh);

// Gives each block without a direction (and not of low contrast) the
// distance-weighted mean of the directions found north, east, south and west
// of it, when at least interpolate_min_neighbors are found. Returns 0, or
// -520 when memory runs out (the map unchanged).
int interpolate_direction_map(int *direction_map, const int *low_contrast_map, int mw,
                              int mh, const lfs_params *params);

// Sets the direction of every block of the map's outer ring to -1.
void clear_map_border(int *direction_map, int mw, int mh);

// Hands out the high-curvature map: blocks without a direction whose
// neighbours turn round them (vorticity), and blocks whose direction differs
// sharply from a neighbour's (curvature). Returns 0, or -530 when memory runs
// out.
int gen_high_curve_map(int **high_curve_map, const int *direction_map, int mw, int mh,
                       const lfs_params *params);

// Signed count of the turns round block (x, y) through its 8 neighbours.
int block_vorticity(int x, int y, const int *direction_map, int mw, int mh, int ndirs);

// Largest direction gap between block (x, y) and a neighbour with a
// direction.
int block_curvature(int x, int y, const int *direction_map, int mw, int mh, int ndirs);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_MAPS_H_
