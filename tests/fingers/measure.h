// Measurements the generator's tests take on rendered images: ridge period
// from the spectrum, local orientation from gradients, correlation.
#pragma once

#include <cstddef>
#include <vector>

namespace fingers_test {

// A real image of doubles, row-major.
struct Plane {
  int width = 0;
  int height = 0;
  std::vector<double> v;
  double At(int x, int y) const { return v[static_cast<size_t>(y) * width + x]; }
};

// Plane from 8-bit samples or from floats.
Plane FromBytes(int width, int height, const std::vector<unsigned char> &bytes);
Plane FromFloats(int width, int height, const std::vector<float> &values);

// Spectrum of an image: weighted mean removed, Hann window, zero padding.
struct RadialSpectrum {
  int size = 0;                // FFT size N (power of two)
  std::vector<double> energy;  // energy per integer radius (cycles per N)
};
// Radial power spectrum of p, each pixel weighted by weight (all 1 if empty).
RadialSpectrum Spectrum(const Plane &p, const std::vector<double> &weight = {});
// Dominant ridge period in pixels: the radial energy peak between periods 4
// and 30, refined by the centroid of the bins around it.
double DominantPeriod(const RadialSpectrum &s);
// Share of the AC energy between periods lo and hi pixels.
double BandShare(const RadialSpectrum &s, double lo, double hi);

// Local ridge direction in [0, pi) and coherence in [0, 1] of the block
// [x0, x0 + size) x [y0, y0 + size), from the gradient structure tensor.
struct BlockOrientation {
  double direction = 0;
  double coherence = 0;
};
BlockOrientation MeasureOrientation(const Plane &p, int x0, int y0, int size);

// Difference of two undirected angles, in [0, pi/2].
double AngleDifference(double a, double b);

// Pearson correlation of paired samples; 0 when either side is constant.
double Correlation(const std::vector<double> &a, const std::vector<double> &b);

// Bilinear sample of p at (x, y); the caller keeps (x, y) inside.
double Sample(const Plane &p, double x, double y);

}  // namespace fingers_test
