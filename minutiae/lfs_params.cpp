// The detector's default parameter set.
#include "minutiae/lfs.h"

lfs_params lfs_params_V2 = {
    128,                 // pad_grey
    1,                   // unused
    8,                   // block_size
    24,                  // dft_window_size
    8,                   // dft_window_offset
    16,                  // direction_count
    1.5707963267948966,  // first_grid_angle (pi / 2)
    3,                   // keep_dir_min_neighbors
    0.2,                 // dir_strength_min
    3,                   // dir_deviation_max
    7,                   // smooth_fill_min_neighbors
    7,                   // vorticity_min_neighbors
    5,                   // vorticity_min
    5,                   // curvature_min
    2,                   // interpolate_min_neighbors
    10,                  // contrast_percentile
    5,                   // contrast_range_min
    4,                   // dft_wave_count
    100000.0,            // power_peak_min
    3.8,                 // power_norm_min
    50000000.0,          // low_wave_power_max
    2,                   // fork_step
    0.7,                 // fork_peak_fraction
    0.75,                // fork_norm_fraction
    7,                   // binarize_grid_width
    9,                   // binarize_grid_height
    0,                   // unused2
    3,                   // binary_fill_passes
    10,                  // duplicate_distance_max
    1.0471975511965976,  // high_curve_angle_max (pi / 3)
    14,                  // high_curve_half_contour
    20,                  // loop_length_min
    1.0,                 // loop_width_min
    2.25,                // loop_ratio_min
    {0, 0, 0, 0},        // reserved_a
    2,                   // free_path_transitions_max
    {0, 0, 0, 0},        // reserved_b
    16,                  // pair_distance_max
    30,                  // hook_length_max
    30,                  // half_loop_length_max
    4,                   // pointing_distance
    15,                  // short_loop_length
    7,                   // side_half_contour
    4,                   // invalid_block_margin
    7,                   // invalid_block_min_neighbors
    8,                   // overlap_distance_max
    6,                   // overlap_join_distance_max
    10,                  // malformation_near_steps
    20,                  // malformation_far_steps
    2.0,                 // malformation_ratio_min
    20,                  // malformation_distance_max
    3,                   // pore_offset
    12,                  // pore_search_steps
    10,                  // pore_forward_steps
    8,                   // pore_backward_steps
    0.5,                 // pore_width_min
    2.25,                // pore_ratio_max
    0,                   // remove_perimeter_minutiae
    10,                  // perimeter_distance
    5,                   // neighbor_count_max
    10,                  // ridge_trace_steps
};
