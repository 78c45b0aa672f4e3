#include "minutiae/lfs_list.h"
#include "minutiae/lfs_remove.h"

extern "C" int purge_false_minutiae(lfs_minutiae *minutiae, unsigned char *bdata, int iw,
                                    int ih, const int *direction_map, const int *low_flow_map,
                                    const int *high_curve_map, int mw, int mh,
                                    const lfs_params *params) {
  const lfs_block_maps maps{direction_map, low_flow_map, high_curve_map, mw, mh};
  int r = sort_minutiae_y_x(minutiae, iw);
  if (r == 0) r = remove_islands_and_lakes(minutiae, bdata, iw, ih, params);
  if (r == 0) r = remove_holes(minutiae, bdata, iw, ih, params);
  if (r == 0) r = remove_pointing_invblock(minutiae, &maps, params);
  if (r == 0) r = remove_near_invblock_V2(minutiae, &maps, params);
  if (r == 0) r = remove_or_adjust_side_minutiae_V2(minutiae, bdata, iw, ih, &maps, params);
  if (r == 0) r = remove_hooks(minutiae, bdata, iw, ih, params);
  if (r == 0) r = remove_overlaps(minutiae, bdata, iw, ih, params);
  if (r == 0) r = remove_malformations(minutiae, bdata, iw, ih, &maps, params);
  if (r == 0) r = remove_pores(minutiae, bdata, iw, ih, &maps, params);
  if (r == 0 && params->remove_perimeter_minutiae != 0)
    r = remove_perimeter_pts(minutiae, bdata, iw, ih, params);
  return r;
}
