// Block quality and minutia reliability of the minutiae detector.
#ifndef MINUTIAE_LFS_QUALITY_H_
#define MINUTIAE_LFS_QUALITY_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the quality map, 0..4 per block: 0 without a direction or with
// low contrast, 1 in the map's outer two rings, otherwise 4 (3 for low flow
// or high curvature) lowered by 2 for a poor 5 x 5 neighbourhood or by 1 for
// a low-flow or curved one. Returns 0, or -2 when memory runs out.
int gen_quality_map(int **qmap, const int *direction_map, const int *low_contrast_map,
                    const int *low_flow_map, const int *high_curve_map, int mw, int mh);

// Sets each minutia's reliability from the quality of its pixel and the grey
// spread of the (2r + 1)-pixel window round it, r about 0.56 mm. Returns 0;
// -2 for a depth other than 8, -3 for a quality outside 0..4, or a
// pixelize_map error.
int combined_miutia_quality(lfs_minutiae *minutiae, const int *qmap, int mw, int mh,
                            int block_size, const unsigned char *idata, int iw, int ih, int id,
                            double ppmm);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_QUALITY_H_
