// The detector's entry point: pads and rescales the image, builds the
// tables, block maps and binarised image, scans for minutiae, removes false
// ones, counts ridges to neighbours and rates each minutia. Kept in a unit
// of its own so that a test's stand-in detector can take its place.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "minutiae/lfs.h"
#include "minutiae/lfs_binarize.h"
#include "minutiae/lfs_image.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_quality.h"
#include "minutiae/lfs_remove.h"
#include "minutiae/lfs_ridges.h"
#include "minutiae/lfs_scan.h"
#include "minutiae/lfs_tables.h"
#include "minutiae/lfs_trace.h"

namespace {

const double kDftCoefficients[] = {1.0, 2.0, 3.0, 4.0};

// Everything a detection builds; what is not handed out is freed.
struct Work {
  lfs_dir2rad *dir2rad = nullptr;
  lfs_dftwaves *dftwaves = nullptr;
  lfs_rotgrids *dftgrids = nullptr;
  lfs_rotgrids *bingrids = nullptr;
  unsigned char *pdata = nullptr;
  int *direction_map = nullptr, *low_contrast_map = nullptr, *low_flow_map = nullptr,
      *high_curve_map = nullptr, *quality_map = nullptr;
  unsigned char *bdata = nullptr;
  lfs_minutiae *minutiae = nullptr;

  void FreeTables() {
    free_dir2rad(dir2rad);
    free_dftwaves(dftwaves);
    free_rotgrids(dftgrids);
    dir2rad = nullptr;
    dftwaves = nullptr;
    dftgrids = nullptr;
  }
  ~Work() {
    FreeTables();
    free_rotgrids(bingrids);
    std::free(pdata);
    std::free(direction_map);
    std::free(low_contrast_map);
    std::free(low_flow_map);
    std::free(high_curve_map);
    std::free(quality_map);
    std::free(bdata);
    release_minutiae(minutiae);
  }
};

int Detect(Work &w, int *mw, int *mh, const unsigned char *idata, int iw, int ih, double ppmm,
           const lfs_params *p) {
  const int pad = max_padding(p->dft_window_size, p->dft_window_offset,
                              p->binarize_grid_width, p->binarize_grid_height);
  int r = init_dir2rad(&w.dir2rad, p->direction_count);
  if (r == 0) r = init_dftwaves(&w.dftwaves, kDftCoefficients, p->dft_wave_count,
                                p->dft_window_size);
  if (r == 0)
    r = init_rotgrids(&w.dftgrids, iw, ih, pad, p->first_grid_angle, p->direction_count,
                      p->dft_window_size, p->dft_window_size, LFS_RELATIVE_TO_CORNER);
  if (r != 0) return r;
  int pw = 0, ph = 0;
  r = pad_uchar_image(&w.pdata, &pw, &ph, idata, iw, ih, pad, p->pad_grey);
  if (r != 0) return r;
  scale_to_6_bits(w.pdata, pw, ph);
  detector_trace("\nINITIALIZATION AND PADDING DONE\n");

  r = gen_image_maps(&w.direction_map, &w.low_contrast_map, &w.low_flow_map,
                     &w.high_curve_map, mw, mh, w.pdata, pw, ph, w.dir2rad, w.dftwaves,
                     w.dftgrids, p);
  if (r != 0) return r;
  w.FreeTables();
  detector_trace("\nMAPS DONE\n");

  r = init_rotgrids(&w.bingrids, iw, ih, pad, p->first_grid_angle, p->direction_count,
                    p->binarize_grid_width, p->binarize_grid_height, LFS_RELATIVE_TO_CENTER);
  if (r != 0) return r;
  int bw = 0, bh = 0;
  r = binarize_with_fill(&w.bdata, &bw, &bh, w.pdata, pw, ph, w.direction_map, *mw, *mh,
                         w.bingrids, p);
  free_rotgrids(w.bingrids);
  w.bingrids = nullptr;
  if (r != 0) return r;
  if (bw != iw || bh != ih) {
    std::fputs("ERROR : lfs_detect_minutiae_V2 :", stderr);
    char text[96];
    std::snprintf(text, sizeof text, "binary image has bad dimensions : %d, %d\n", bw, bh);
    std::fputs(text, stderr);
    return -581;
  }
  detector_trace("\nBINARIZATION DONE\n");

  gray_to_binary(1, 1, 0, w.bdata, iw, ih);
  r = alloc_minutiae(&w.minutiae, 1000);
  if (r == 0)
    r = scan_for_minutiae(w.minutiae, w.bdata, iw, ih, w.direction_map, w.low_flow_map,
                          w.high_curve_map, *mw, *mh, p);
  if (r == 0)
    r = purge_false_minutiae(w.minutiae, w.bdata, iw, ih, w.direction_map, w.low_flow_map,
                             w.high_curve_map, *mw, *mh, p);
  if (r != 0) return r;
  detector_trace("\nMINUTIA DETECTION DONE\n");
  r = count_minutia_ridges(w.minutiae, w.bdata, iw, ih, p);
  if (r != 0) return r;
  detector_trace("\nNEIGHBOR RIDGE COUNT DONE\n");

  gray_to_binary(1, 255, 0, w.bdata, iw, ih);
  std::free(w.pdata);
  w.pdata = nullptr;

  r = gen_quality_map(&w.quality_map, w.direction_map, w.low_contrast_map, w.low_flow_map,
                      w.high_curve_map, *mw, *mh);
  if (r != 0) return r;
  return combined_miutia_quality(w.minutiae, w.quality_map, *mw, *mh, p->block_size, idata, iw,
                                 ih, 8, ppmm);
}

}  // namespace

extern "C" int get_minutiae(lfs_minutiae **ominutiae, int **oquality_map, int **odirection_map,
                            int **olow_contrast_map, int **olow_flow_map, int **ohigh_curve_map,
                            int *omap_w, int *omap_h, unsigned char **obdata, int *obw, int *obh,
                            int *obd, const unsigned char *idata, int iw, int ih, int id,
                            double ppmm, const lfs_params *params) {
  if (id != 8) {
    std::fputs("ERROR : get_minutiae : input image pixel ", stderr);
    char text[64];
    std::snprintf(text, sizeof text, "depth = %d != 8.\n", id);
    std::fputs(text, stderr);
    return -2;
  }
  Work w;
  int mw = 0, mh = 0;
  const int r = Detect(w, &mw, &mh, idata, iw, ih, ppmm, params);
  if (r != 0) return r;
  *ominutiae = w.minutiae;
  *oquality_map = w.quality_map;
  *odirection_map = w.direction_map;
  *olow_contrast_map = w.low_contrast_map;
  *olow_flow_map = w.low_flow_map;
  *ohigh_curve_map = w.high_curve_map;
  *omap_w = mw;
  *omap_h = mh;
  *obdata = w.bdata;
  *obw = iw;
  *obh = ih;
  *obd = 8;
  w.minutiae = nullptr;
  w.quality_map = w.direction_map = w.low_contrast_map = w.low_flow_map = w.high_curve_map =
      nullptr;
  w.bdata = nullptr;
  return 0;
}
