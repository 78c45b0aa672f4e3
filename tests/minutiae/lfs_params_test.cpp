// The default parameter record: every field in its order with its value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <variant>

#include "minutiae/lfs.h"

namespace {

struct Field {
  const char *name;
  size_t offset;
  std::variant<int32_t, double> value;
};

#define INT_FIELD(f, v) Field{#f, offsetof(lfs_params, f), int32_t{v}}
#define DBL_FIELD(f, v) Field{#f, offsetof(lfs_params, f), double{v}}

// The record's fields in their order with their defaults.
const Field kFields[] = {
    INT_FIELD(pad_grey, 128),
    INT_FIELD(unused, 1),
    INT_FIELD(block_size, 8),
    INT_FIELD(dft_window_size, 24),
    INT_FIELD(dft_window_offset, 8),
    INT_FIELD(direction_count, 16),
    DBL_FIELD(first_grid_angle, 1.5707963267948966),
    INT_FIELD(keep_dir_min_neighbors, 3),
    DBL_FIELD(dir_strength_min, 0.2),
    INT_FIELD(dir_deviation_max, 3),
    INT_FIELD(smooth_fill_min_neighbors, 7),
    INT_FIELD(vorticity_min_neighbors, 7),
    INT_FIELD(vorticity_min, 5),
    INT_FIELD(curvature_min, 5),
    INT_FIELD(interpolate_min_neighbors, 2),
    INT_FIELD(contrast_percentile, 10),
    INT_FIELD(contrast_range_min, 5),
    INT_FIELD(dft_wave_count, 4),
    DBL_FIELD(power_peak_min, 100000.0),
    DBL_FIELD(power_norm_min, 3.8),
    DBL_FIELD(low_wave_power_max, 50000000.0),
    INT_FIELD(fork_step, 2),
    DBL_FIELD(fork_peak_fraction, 0.7),
    DBL_FIELD(fork_norm_fraction, 0.75),
    INT_FIELD(binarize_grid_width, 7),
    INT_FIELD(binarize_grid_height, 9),
    INT_FIELD(unused2, 0),
    INT_FIELD(binary_fill_passes, 3),
    INT_FIELD(duplicate_distance_max, 10),
    DBL_FIELD(high_curve_angle_max, 1.0471975511965976),
    INT_FIELD(high_curve_half_contour, 14),
    INT_FIELD(loop_length_min, 20),
    DBL_FIELD(loop_width_min, 1.0),
    DBL_FIELD(loop_ratio_min, 2.25),
    INT_FIELD(reserved_a, 0),
    INT_FIELD(free_path_transitions_max, 2),
    INT_FIELD(reserved_b, 0),
    INT_FIELD(pair_distance_max, 16),
    INT_FIELD(hook_length_max, 30),
    INT_FIELD(half_loop_length_max, 30),
    INT_FIELD(pointing_distance, 4),
    INT_FIELD(short_loop_length, 15),
    INT_FIELD(side_half_contour, 7),
    INT_FIELD(invalid_block_margin, 4),
    INT_FIELD(invalid_block_min_neighbors, 7),
    INT_FIELD(overlap_distance_max, 8),
    INT_FIELD(overlap_join_distance_max, 6),
    INT_FIELD(malformation_near_steps, 10),
    INT_FIELD(malformation_far_steps, 20),
    DBL_FIELD(malformation_ratio_min, 2.0),
    INT_FIELD(malformation_distance_max, 20),
    INT_FIELD(pore_offset, 3),
    INT_FIELD(pore_search_steps, 12),
    INT_FIELD(pore_forward_steps, 10),
    INT_FIELD(pore_backward_steps, 8),
    DBL_FIELD(pore_width_min, 0.5),
    DBL_FIELD(pore_ratio_max, 2.25),
    INT_FIELD(remove_perimeter_minutiae, 0),
    INT_FIELD(perimeter_distance, 10),
    INT_FIELD(neighbor_count_max, 5),
    INT_FIELD(ridge_trace_steps, 10),
};

TEST(LfsParamsTest, FieldsFollowEachOtherInTheTableOrder) {
  for (size_t i = 1; i < std::size(kFields); ++i)
    EXPECT_LT(kFields[i - 1].offset, kFields[i].offset) << kFields[i].name;
}

TEST(LfsParamsTest, DefaultsMatchTheTable) {
  const auto *base = reinterpret_cast<const unsigned char *>(&lfs_params_V2);
  for (const Field &f : kFields) {
    SCOPED_TRACE(f.name);
    if (std::holds_alternative<int32_t>(f.value)) {
      int32_t v;
      std::memcpy(&v, base + f.offset, sizeof v);
      EXPECT_EQ(v, std::get<int32_t>(f.value));
    } else {
      double v;
      std::memcpy(&v, base + f.offset, sizeof v);
      EXPECT_EQ(v, std::get<double>(f.value));
    }
  }
  EXPECT_DOUBLE_EQ(lfs_params_V2.first_grid_angle, M_PI / 2);
  EXPECT_DOUBLE_EQ(lfs_params_V2.high_curve_angle_max, M_PI / 3);
}

TEST(LfsParamsTest, UnreadFieldsAreZero) {
  for (int32_t v : lfs_params_V2.reserved_a) EXPECT_EQ(v, 0);
  for (int32_t v : lfs_params_V2.reserved_b) EXPECT_EQ(v, 0);
}

}  // namespace
