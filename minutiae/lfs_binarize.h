// Binarisation of the padded 6-bit grey image along the block directions.
// The result is 0 (ridge) or 255 (valley).
#ifndef MINUTIAE_LFS_BINARIZE_H_
#define MINUTIAE_LFS_BINARIZE_H_

#include "minutiae/lfs.h"
#include "minutiae/lfs_tables.h"

#ifdef __cplusplus
extern "C" {
#endif

// Hands out the binarised image (the padded size less the grids' pad on
// every side), then closes single-pixel gaps binary_fill_passes times.
// Returns 0, or -600 when memory runs out.
int binarize_with_fill(unsigned char **bdata, int *bw, int *bh, const unsigned char *pdata,
                       int pw, int ph, const int *direction_map, int mw, int mh,
                       const lfs_rotgrids *dirbingrids, const lfs_params *params);

// Hands out the binarised image: 255 in blocks without a direction, else the
// decision of binarize_pixel with the block's grid. Returns 0, or -600 when
// memory runs out.
int binarize_image_V2(unsigned char **bdata, int *bw, int *bh, const unsigned char *pdata,
                      int pw, int ph, const int *direction_map, int mw, int mh,
                      const lfs_rotgrids *dirbingrids, const lfs_params *params);

// 255 when the grid's middle row, through the pixel at `offset`, is at least
// as bright as the mean row of grid `dir`; 0 otherwise.
int binarize_pixel(const unsigned char *pdata, int offset, const lfs_rotgrids *dirbingrids,
                   int dir);

// One pass that gives a pixel between two equal neighbours of the other value
// their value: along every row, then along every column.
void fill_single_pixel_gaps(unsigned char *bdata, int w, int h);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_BINARIZE_H_
