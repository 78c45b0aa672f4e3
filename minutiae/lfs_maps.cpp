// The block maps of a padded image, in their fixed order of steps.
#include <cstdlib>

#include "minutiae/lfs_common.h"
#include "minutiae/lfs_maps.h"

extern "C" int gen_image_maps(int **direction_map, int **low_contrast_map, int **low_flow_map,
                              int **high_curve_map, int *mw, int *mh,
                              const unsigned char *pdata, int pw, int ph,
                              const lfs_dir2rad *dir2rad, const lfs_dftwaves *dftwaves,
                              const lfs_rotgrids *dftgrids, const lfs_params *params) {
  if (dftgrids->grid_w != dftgrids->grid_h)
    return lfs_fail("ERROR : gen_image_maps : DFT grids must be square\n", -540);
  const int pad = dftgrids->pad;
  int *blkoffs = nullptr;
  int bw = 0, bh = 0;
  int r = block_offsets(&blkoffs, &bw, &bh, pw - 2 * pad, ph - 2 * pad, pad,
                        params->block_size);
  if (r != 0) return r;

  int *dmap = nullptr, *lcmap = nullptr, *lfmap = nullptr, *hcmap = nullptr;
  r = gen_initial_maps(&dmap, &lcmap, &lfmap, blkoffs, bw, bh, pdata, pw, ph, dftwaves,
                       dftgrids, params);
  std::free(blkoffs);
  if (r != 0) return r;

  r = morph_TF_map(lfmap, bw, bh);
  if (r == 0) {
    remove_inconsistent_directions(dmap, bw, bh, dir2rad, params);
    smooth_directions(dmap, lcmap, bw, bh, dir2rad, params);
    r = interpolate_direction_map(dmap, lcmap, bw, bh, params);
  }
  if (r == 0) {
    remove_inconsistent_directions(dmap, bw, bh, dir2rad, params);
    smooth_directions(dmap, lcmap, bw, bh, dir2rad, params);
    clear_map_border(dmap, bw, bh);
    r = gen_high_curve_map(&hcmap, dmap, bw, bh, params);
  }
  if (r != 0) {
    std::free(dmap);
    std::free(lcmap);
    std::free(lfmap);
    return r;
  }
  *direction_map = dmap;
  *low_contrast_map = lcmap;
  *low_flow_map = lfmap;
  *high_curve_map = hcmap;
  *mw = bw;
  *mh = bh;
  return 0;
}
