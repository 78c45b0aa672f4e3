#include "detect_steps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "minutiae/lfs_binarize.h"
#include "minutiae/lfs_image.h"
#include "minutiae/lfs_list.h"
#include "minutiae/lfs_maps.h"
#include "minutiae/lfs_numeric.h"
#include "minutiae/lfs_scan.h"
#include "minutiae/lfs_tables.h"

namespace minutiae_test {

namespace {

const double kDftCoefficients[] = {1.0, 2.0, 3.0, 4.0};

std::vector<int> Take(int *p, int n) {
  std::vector<int> v(p, p + n);
  std::free(p);
  return v;
}

// The tables the block maps need; released on destruction.
struct Tables {
  lfs_dir2rad *dir2rad = nullptr;
  lfs_dftwaves *dftwaves = nullptr;
  lfs_rotgrids *dftgrids = nullptr;
  int rc = 0;
  Tables(int iw, int ih, int pad, const lfs_params &p) {
    rc = init_dir2rad(&dir2rad, p.direction_count);
    if (rc == 0)
      rc = init_dftwaves(&dftwaves, kDftCoefficients, p.dft_wave_count, p.dft_window_size);
    if (rc == 0)
      rc = init_rotgrids(&dftgrids, iw, ih, pad, p.first_grid_angle, p.direction_count,
                         p.dft_window_size, p.dft_window_size, LFS_RELATIVE_TO_CORNER);
  }
  ~Tables() {
    free_dir2rad(dir2rad);
    free_dftwaves(dftwaves);
    free_rotgrids(dftgrids);
  }
};

Maps MapsOfPadded(const std::vector<unsigned char> &padded, const GreyImage &img, int pad,
                  const lfs_params &params) {
  Maps maps;
  Tables t(img.width, img.height, pad, params);
  if (t.rc != 0) {
    maps.rc = t.rc;
    return maps;
  }
  int *d, *lc, *lf, *hc;
  maps.rc = gen_image_maps(&d, &lc, &lf, &hc, &maps.mw, &maps.mh, padded.data(),
                           img.width + 2 * pad, img.height + 2 * pad, t.dir2rad, t.dftwaves,
                           t.dftgrids, &params);
  if (maps.rc != 0) return maps;
  const int n = maps.mw * maps.mh;
  maps.direction = Take(d, n);
  maps.low_contrast = Take(lc, n);
  maps.low_flow = Take(lf, n);
  maps.high_curve = Take(hc, n);
  return maps;
}

}  // namespace

GreyImage Grating(int width, int height, double normal_degrees, double period) {
  GreyImage img{width, height, std::vector<unsigned char>(static_cast<size_t>(width) * height)};
  const double a = normal_degrees * M_PI / 180.0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double phase = 2.0 * M_PI * (x * std::cos(a) + y * std::sin(a)) / period;
      img.at(x, y) = static_cast<unsigned char>(std::lround(127.0 + 120.0 * std::cos(phase)));
    }
  return img;
}

GreyImage Flat(int width, int height, unsigned char value) {
  return GreyImage{width, height,
                   std::vector<unsigned char>(static_cast<size_t>(width) * height, value)};
}

int DetectorPad(const lfs_params &p) {
  return max_padding(p.dft_window_size, p.dft_window_offset, p.binarize_grid_width,
                     p.binarize_grid_height);
}

std::vector<unsigned char> PadAndScale(const GreyImage &img, int pad, const lfs_params &params) {
  unsigned char *padded = nullptr;
  int pw = 0, ph = 0;
  if (pad_uchar_image(&padded, &pw, &ph, img.pixels.data(), img.width, img.height, pad,
                      params.pad_grey) != 0)
    return {};
  scale_to_6_bits(padded, pw, ph);
  std::vector<unsigned char> out(padded, padded + static_cast<size_t>(pw) * ph);
  std::free(padded);
  return out;
}

Maps RunMaps(const GreyImage &img, const lfs_params &params) {
  const int pad = DetectorPad(params);
  return MapsOfPadded(PadAndScale(img, pad, params), img, pad, params);
}

Scan RunScan(const GreyImage &img, const lfs_params &params) {
  Scan scan;
  const int pad = DetectorPad(params);
  const std::vector<unsigned char> padded = PadAndScale(img, pad, params);
  scan.maps = MapsOfPadded(padded, img, pad, params);
  if (scan.maps.rc != 0) return scan;
  lfs_rotgrids *bingrids = nullptr;
  scan.rc = init_rotgrids(&bingrids, img.width, img.height, pad, params.first_grid_angle,
                          params.direction_count, params.binarize_grid_width,
                          params.binarize_grid_height, LFS_RELATIVE_TO_CENTER);
  if (scan.rc != 0) return scan;
  unsigned char *bdata = nullptr;
  scan.rc = binarize_with_fill(&bdata, &scan.bw, &scan.bh, padded.data(), img.width + 2 * pad,
                               img.height + 2 * pad, scan.maps.direction.data(), scan.maps.mw,
                               scan.maps.mh, bingrids, &params);
  free_rotgrids(bingrids);
  if (scan.rc != 0) return scan;
  gray_to_binary(1, 1, 0, bdata, scan.bw, scan.bh);
  lfs_minutiae *list = nullptr;
  scan.rc = alloc_minutiae(&list, 1000);
  if (scan.rc == 0) {
    scan.rc = scan_for_minutiae(list, bdata, scan.bw, scan.bh, scan.maps.direction.data(),
                                scan.maps.low_flow.data(), scan.maps.high_curve.data(),
                                scan.maps.mw, scan.maps.mh, &params);
    for (int i = 0; i < list->count; ++i) {
      lfs_minutia m = *list->list[i];
      m.neighbors = nullptr;
      m.ridge_counts = nullptr;
      scan.minutiae.push_back(m);
    }
    release_minutiae(list);
  }
  scan.binary.assign(bdata, bdata + static_cast<size_t>(scan.bw) * scan.bh);
  std::free(bdata);
  return scan;
}

}  // namespace minutiae_test
