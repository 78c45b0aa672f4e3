// The detector's steps up to the minutia scan, run on an 8-bit grey test
// image as the pipeline runs them (padding, 6-bit scaling, tables, block
// maps, binarisation, 1/0 recoding, scan), and grey test patterns.
#ifndef TESTS_MINUTIAE_DETECT_STEPS_H_
#define TESTS_MINUTIAE_DETECT_STEPS_H_

#include <vector>

#include "minutiae/lfs.h"

namespace minutiae_test {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;
  unsigned char &at(int x, int y) { return pixels[y * width + x]; }
};

// Parallel ridges: 127 + 120 cos(2 pi (x cos a + y sin a) / period), a the
// angle of the ridges' normal in degrees, measured with y pointing down.
GreyImage Grating(int width, int height, double normal_degrees, double period);

// A flat image of one grey value.
GreyImage Flat(int width, int height, unsigned char value);

// The padding the pipeline uses for these parameters.
int DetectorPad(const lfs_params &params);

// Block maps of the padded, scaled image.
struct Maps {
  int rc = -1;
  int mw = 0, mh = 0;
  std::vector<int> direction, low_contrast, low_flow, high_curve;
};

// Everything up to the scan.
struct Scan {
  Maps maps;
  int rc = -1;  // of binarisation and scan
  int bw = 0, bh = 0;
  std::vector<unsigned char> binary;  // 1 ridge, 0 valley
  std::vector<lfs_minutia> minutiae;  // copies, without neighbour arrays
};

// The padded 6-bit copy of the image.
std::vector<unsigned char> PadAndScale(const GreyImage &img, int pad, const lfs_params &params);

Maps RunMaps(const GreyImage &img, const lfs_params &params = lfs_params_V2);

Scan RunScan(const GreyImage &img, const lfs_params &params = lfs_params_V2);

}  // namespace minutiae_test

#endif  // TESTS_MINUTIAE_DETECT_STEPS_H_
