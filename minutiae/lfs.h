// The minutiae detector's records and the entry points that the device
// framework calls.
#ifndef MINUTIAE_LFS_H_
#define MINUTIAE_LFS_H_

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One minutia; owned by the list that holds it.
typedef struct lfs_minutia {
  int32_t x, y;            // the minutia pixel
  int32_t edge_x, edge_y;  // adjacent pixel of the other colour
  int32_t direction;       // 0..31, 11.25 degrees each, 0 up, clockwise
  double reliability;      // 0..1
  int32_t type;            // 1 ridge ending, 0 bifurcation
  int32_t appearing;       // 1 for an appearing pattern
  int32_t pattern_id;      // feature-pattern row that found it
  int32_t *neighbors;      // list indices of the neighbours, or NULL
  int32_t *ridge_counts;   // ridges crossed to each neighbour, or NULL
  int32_t neighbor_count;  // entries in both arrays
} lfs_minutia;

// A list of minutiae; owns every minutia it holds.
typedef struct lfs_minutiae {
  int32_t capacity;    // slots in list
  int32_t count;       // minutiae held
  lfs_minutia **list;  // capacity pointers
} lfs_minutiae;

// The detector's parameter record; each step reads the fields named beside
// it. The reserved fields are read by no step and stay zero.
typedef struct lfs_params {
  int32_t pad_grey;                     // padding value of the grey image
  int32_t unused;                       // read by no step (1)
  int32_t block_size;                   // block grid, pixelised maps, removal passes
  int32_t dft_window_size;              // DFT grids, padding, window placement
  int32_t dft_window_offset;            // window placement, padding
  int32_t direction_count;              // block directions per half turn
  double first_grid_angle;              // rotated grids (radians)
  int32_t keep_dir_min_neighbors;       // inconsistent directions, smoothing
  double dir_strength_min;              // inconsistent directions, smoothing
  int32_t dir_deviation_max;            // inconsistent directions
  int32_t smooth_fill_min_neighbors;    // smoothing
  int32_t vorticity_min_neighbors;      // high-curvature map
  int32_t vorticity_min;                // high-curvature map
  int32_t curvature_min;                // high-curvature map
  int32_t interpolate_min_neighbors;    // direction interpolation
  int32_t contrast_percentile;          // low-contrast test
  int32_t contrast_range_min;           // low-contrast test
  int32_t dft_wave_count;               // DFT waves
  double power_peak_min;                // primary and fork direction tests
  double power_norm_min;                // primary and fork direction tests
  double low_wave_power_max;            // primary and fork direction tests
  int32_t fork_step;                    // fork direction test
  double fork_peak_fraction;            // fork direction test
  double fork_norm_fraction;            // fork direction test
  int32_t binarize_grid_width;          // binarisation grids, padding
  int32_t binarize_grid_height;         // binarisation grids, padding
  int32_t unused2;                      // read by no step (0)
  int32_t binary_fill_passes;           // binarisation
  int32_t duplicate_distance_max;       // adding minutiae to the list
  double high_curve_angle_max;          // high-curvature minutiae (radians)
  int32_t high_curve_half_contour;      // high-curvature minutiae
  int32_t loop_length_min;              // loop minutiae
  double loop_width_min;                // loop minutiae
  double loop_ratio_min;                // loop minutiae
  int32_t reserved_a[4];                // read by no step
  int32_t free_path_transitions_max;    // overlap removal
  int32_t reserved_b[4];                // read by no step
  int32_t pair_distance_max;            // island, lake and hook removal
  int32_t hook_length_max;              // hook removal
  int32_t half_loop_length_max;         // island and lake removal
  int32_t pointing_distance;            // minutiae pointing to invalid blocks
  int32_t short_loop_length;            // hole removal
  int32_t side_half_contour;            // side-minutia adjustment
  int32_t invalid_block_margin;         // removal near invalid blocks
  int32_t invalid_block_min_neighbors;  // removal near invalid blocks
  int32_t overlap_distance_max;         // overlap removal
  int32_t overlap_join_distance_max;    // overlap removal
  int32_t malformation_near_steps;      // malformation removal
  int32_t malformation_far_steps;       // malformation removal
  double malformation_ratio_min;        // malformation removal
  int32_t malformation_distance_max;    // malformation removal
  int32_t pore_offset;                  // pore removal
  int32_t pore_search_steps;            // pore removal
  int32_t pore_forward_steps;           // pore removal
  int32_t pore_backward_steps;          // pore removal
  double pore_width_min;                // pore removal
  double pore_ratio_max;                // pore removal
  int32_t remove_perimeter_minutiae;    // nonzero also drops minutiae near the outline
  int32_t perimeter_distance;           // perimeter pass
  int32_t neighbor_count_max;           // neighbour search
  int32_t ridge_trace_steps;            // ridge counting
} lfs_params;

// The default parameter set; the framework writes remove_perimeter_minutiae
// before every detection.
extern lfs_params lfs_params_V2;

// Detects the minutiae of an 8-bit grey image with dark ridges. On success
// returns 0 and hands out a new list, five block maps and a binarized image
// of the same size (maps and image released with free); a negative code
// otherwise, with nothing handed out.
int get_minutiae(lfs_minutiae **minutiae, int **quality_map, int **direction_map,
                 int **low_contrast_map, int **low_flow_map, int **high_curve_map,
                 int *map_w, int *map_h, unsigned char **bdata, int *bw, int *bh,
                 int *bdepth, const unsigned char *idata, int iw, int ih, int id,
                 double ppmm, const lfs_params *params);

// x = column, y = image height - row, theta = (270 - direction * 11.25
// rounded) mod 360 in 0..359. Returns 0.
int lfs_minutia_to_xyt(int *x, int *y, int *theta, const lfs_minutia *minutia, int iw,
                       int ih);

// Releases every minutia with its arrays, then the list and the record.
// NULL is ignored.
void release_minutiae(lfs_minutiae *minutiae);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_H_
