// False-minutia removal: passes over the scan's candidate list that drop
// artefacts of the binarised image (1 ridge, 0 valley) and move side
// minutiae onto the tip of their feature. Block maps are row-major int32
// arrays of mw x mh entries.
#ifndef MINUTIAE_LFS_REMOVE_H_
#define MINUTIAE_LFS_REMOVE_H_

#include "minutiae/lfs.h"

#ifdef __cplusplus
extern "C" {
#endif

// The block maps the passes read.
typedef struct lfs_block_maps {
  const int *direction;    // -1 where a block has no direction
  const int *low_flow;     // 1 for low-flow blocks
  const int *high_curve;   // 1 for high-curvature blocks
  int mw, mh;
} lfs_block_maps;

// Sorts the list by y then x and runs every removal pass in order; the
// first failing pass ends it. Two passes may fill loops in bdata. Returns 0
// or a negative code.
int purge_false_minutiae(lfs_minutiae *minutiae, unsigned char *bdata, int iw, int ih,
                         const int *direction_map, const int *low_flow_map,
                         const int *high_curve_map, int mw, int mh, const lfs_params *params);

// Removes both ends of short islands and lakes (filling them) from a list
// sorted by y then x. Returns 0, -610, -611 or a contour error.
int remove_islands_and_lakes(lfs_minutiae *minutiae, unsigned char *bdata, int iw, int ih,
                             const lfs_params *params);

// Removes bifurcations on loops of at most short_loop_length pixels.
int remove_holes(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                 const lfs_params *params);

// Removes minutiae whose point pointing_distance ahead lies in a block
// without a direction. Returns 0.
int remove_pointing_invblock(lfs_minutiae *minutiae, const lfs_block_maps *maps,
                             const lfs_params *params);

// Removes minutiae near blocks without a direction (or near the map edge)
// that have few neighbours with one. Returns 0 or -620.
int remove_near_invblock_V2(lfs_minutiae *minutiae, const lfs_block_maps *maps,
                            const lfs_params *params);

// Moves each minutia to the tip of its contour seen across its direction,
// or removes it when the contour has no single tip. Returns 0, -630 or a
// contour error.
int remove_or_adjust_side_minutiae_V2(lfs_minutiae *minutiae, const unsigned char *bdata,
                                      int iw, int ih, const lfs_block_maps *maps,
                                      const lfs_params *params);

// Removes pairs of facing minutiae of different types joined along the
// other colour's contour. Returns 0, -640, -641 or a contour error.
int remove_hooks(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                 const lfs_params *params);

// Removes pairs of facing minutiae of one type across a ridge break.
// Returns 0, -650, -651 or a line error.
int remove_overlaps(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                    const lfs_params *params);

// Removes minutiae whose contour sides do not run parallel.
int remove_malformations(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                         const lfs_block_maps *maps, const lfs_params *params);

// Removes minutiae in low-flow or high-curvature blocks that sit on pores.
int remove_pores(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                 const lfs_block_maps *maps, const lfs_params *params);

// Removes minutiae closer than perimeter_distance to the print's left or
// right outline. Returns 0, or -690 when memory runs out.
int remove_perimeter_pts(lfs_minutiae *minutiae, const unsigned char *bdata, int iw, int ih,
                         const lfs_params *params);

// Index of the block holding pixel (x, y), each coordinate clamped into
// the map.
int lfs_block_index(int x, int y, int block_size, int mw, int mh);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_REMOVE_H_
